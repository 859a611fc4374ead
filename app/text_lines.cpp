#include "app/text_lines.h"

#include <algorithm>

namespace kestrel {

// A plain scan for either byte: a search for a set of characters looks each byte up in the set.
std::string_view FileLines::next() {
  std::size_t end = pos_;
  while (end < bytes_.size() && bytes_[end] != '\r' && bytes_[end] != '\n') ++end;
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
