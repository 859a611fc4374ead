#pragma once

#include <algorithm>
#include <filesystem>
#include <string>

namespace kestrel::testing {

// The separator with which the program joins a folder and a name below it.
constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

// `path` as the program composes and shows it: every "/" the platform's separator.
inline std::string native(std::string path) {
  std::ranges::replace(path, '/', kSeparator);
  return path;
}

}  // namespace kestrel::testing
