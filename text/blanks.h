#pragma once

#include <cstddef>
#include <string_view>

namespace kestrel {

// Trimming removes blanks (spaces) only: tabs and every other character stay.

inline std::string_view trim_left_blanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

inline std::string_view trim_right_blanks(std::string_view text) {
  const std::size_t last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

inline std::string_view trim_blanks(std::string_view text) {
  return trim_right_blanks(trim_left_blanks(text));
}

}  // namespace kestrel
