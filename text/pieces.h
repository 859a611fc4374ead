#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <string_view>

namespace kestrel {

// The lines are built mostly of short pieces: a name's value, the text between two names, a line
// to be numbered. A piece copied in whole blocks costs less than a call, or a loop that stops at a
// length it cannot foresee: its last block may read on past the piece, up to `readable`, and
// writes as far past its end, where the room after `out` must go on for kPieceBlock - 1 bytes.
// Longer pieces, and those too near the end of what may be read, are copied as they stand.
inline constexpr std::size_t kPieceBlock = 16;

// Whether `part` lies within `text`, whose bytes around it may then be read. Views into different
// buffers are compared as std::less_equal orders every pointer.
inline bool lies_within(std::string_view text, std::string_view part) {
  const std::less_equal<const char*> not_after;
  return not_after(text.data(), part.data()) &&
         not_after(part.data() + part.size(), text.data() + text.size());
}

inline char* copy_piece(const char* first, const char* last, const char* readable, char* out) {
  constexpr std::size_t kMostBlocks = 4;
  if (first == last) return out;
  const auto size = static_cast<std::size_t>(last - first);
  const std::size_t blocks = (size + kPieceBlock - 1) / kPieceBlock;
  if (blocks > kMostBlocks || static_cast<std::size_t>(readable - first) < blocks * kPieceBlock)
    return std::copy(first, last, out);
  for (std::size_t block = 0; block < blocks; ++block)
    std::memcpy(out + block * kPieceBlock, first + block * kPieceBlock, kPieceBlock);
  return out + size;
}

}  // namespace kestrel
