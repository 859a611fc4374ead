#include "app/text_lines.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace kestrel {

namespace {

constexpr std::uint64_t kEveryByte = 0x0101010101010101u;
constexpr std::uint64_t kLowBits = 0x7F7F7F7F7F7F7F7Fu;

// The high bit of every byte of `word` that is zero, and no other bit: no carry crosses a byte.
constexpr std::uint64_t zero_bytes(std::uint64_t word) {
  return ~(((word & kLowBits) + kLowBits) | word | kLowBits);
}

// The index in memory order of the first byte whose high bit `marks` holds.
int first_marked(std::uint64_t marks) {
  if constexpr (std::endian::native == std::endian::little) return std::countr_zero(marks) / 8;
  return std::countl_zero(marks) / 8;
}

}  // namespace

// Eight bytes at a time: a search for a set of characters looks each byte up in the set, and a
// search for each byte apart starts over at every line.
std::size_t FileLines::line_end() const {
  const char* const data = bytes_.data();
  std::size_t at = pos_;
  for (; bytes_.size() - at >= sizeof(std::uint64_t); at += sizeof(std::uint64_t)) {
    std::uint64_t word;
    std::memcpy(&word, data + at, sizeof word);
    const std::uint64_t marks =
        zero_bytes(word ^ (kEveryByte * '\r')) | zero_bytes(word ^ (kEveryByte * '\n'));
    if (marks != 0) return at + static_cast<std::size_t>(first_marked(marks));
  }
  while (at < bytes_.size() && data[at] != '\r' && data[at] != '\n') ++at;
  return at;
}

std::string_view FileLines::next() {
  const std::size_t end = line_end();
  const std::string_view line = bytes_.substr(pos_, end - pos_);
  pos_ = end + 1;
  if (end < bytes_.size() && bytes_[end] == '\r' && pos_ < bytes_.size() && bytes_[pos_] == '\n')
    ++pos_;
  pos_ = std::min(pos_, bytes_.size());
  return line;
}

bool PaneLines::next(std::string_view& line) {
  const std::size_t end = rest_.find(crlf);
  if (end == std::string_view::npos) return false;
  line = rest_.substr(0, end);
  rest_.remove_prefix(end + crlf.size());
  return true;
}

}  // namespace kestrel
