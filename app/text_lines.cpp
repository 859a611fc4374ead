#include "app/text_lines.h"

namespace kestrel {

std::string_view FileLines::next() {
  const std::size_t end = bytes_.find_first_of("\r\n", pos_);
  if (end == std::string_view::npos) {
    const std::string_view line = bytes_.substr(pos_);
    pos_ = bytes_.size();
    return line;
  }
  const std::string_view line = bytes_.substr(pos_, end - pos_);
  pos_ = end + 1;
  if (bytes_[end] == '\r' && pos_ < bytes_.size() && bytes_[pos_] == '\n') ++pos_;
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
