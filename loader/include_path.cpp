#include "loader/include_path.h"

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "app/ansi.h"
#include "app/file_io.h"

namespace kestrel {

namespace {

namespace fs = std::filesystem;

constexpr char kSeparator = static_cast<char>(fs::path::preferred_separator);

std::string to_ansi(const fs::path& path) {
  const std::u8string utf8 = path.u8string();
  return ansi::from_utf8(std::string(utf8.begin(), utf8.end()));
}

// Windows-1251's capital letters outside its two contiguous alphabets, each with its small letter.
constexpr std::pair<unsigned char, unsigned char> kOtherCapitals[] = {
    {0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C}, {0x8D, 0x9D},
    {0x8E, 0x9E}, {0x8F, 0x9F}, {0xA1, 0xA2}, {0xA3, 0xBC}, {0xA5, 0xB4},
    {0xA8, 0xB8}, {0xAA, 0xBA}, {0xAF, 0xBF}, {0xB2, 0xB3}, {0xBD, 0xBE},
};

// Lower case in Windows-1251: ASCII, the Russian alphabet and the other Cyrillic letters.
unsigned char fold(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDF)) return c + 0x20;
  for (const auto& [capital, small] : kOtherCapitals)
    if (c == capital) return small;
  return c;
}

bool same_ignoring_case(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return fold(static_cast<unsigned char>(x)) == fold(static_cast<unsigned char>(y));
  });
}

bool exists(const std::string& ansi_path) {
  std::error_code ec;
  return fs::exists(native_path(ansi_path), ec);
}

// The name of the one entry of `folder` that matches `name` ignoring case. Entries whose names the
// code page cannot hold are passed over: their path could not be opened from the code page.
std::optional<std::string> unique_entry(const std::string& folder, std::string_view name) {
  std::error_code ec;
  fs::directory_iterator it(native_path(folder), ec);
  std::optional<std::string> found;
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string entry = to_ansi(it->path().filename());
    if (native_path(entry) != it->path().filename() || !same_ignoring_case(entry, name)) continue;
    if (found) return std::nullopt;
    found = entry;
  }
  return found;
}

std::vector<std::string_view> split(std::string_view relative) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t sep; (sep = relative.find(kSeparator, start)) != std::string_view::npos;
       start = sep + 1)
    parts.push_back(relative.substr(start, sep - start));
  parts.push_back(relative.substr(start));
  return parts;
}

std::string resolve_letter_case(const std::string& directory, std::string_view relative,
                                const std::string& composed) {
  std::string path = directory;
  for (std::string_view part : split(relative)) {
    std::string exact = path + kSeparator + std::string(part);
    if (!exists(exact)) {
      const std::optional<std::string> entry = unique_entry(path, part);
      if (!entry) return composed;
      exact = path + kSeparator + *entry;
    }
    path = std::move(exact);
  }
  return path;
}

// A current directory that has been removed has no name; "." still names it, and every open
// below it fails as the missing file it is.
std::string current_directory() {
  std::error_code ec;
  const fs::path current = fs::current_path(ec);
  return ec ? std::string(".") : to_ansi(current);
}

}  // namespace

IncludePath locate_include(const std::string& inc_name) {
  const std::string directory = current_directory();
  std::string relative = inc_name;
  std::ranges::replace(relative, '\\', kSeparator);
  IncludePath where;
  where.composed = directory + kSeparator + relative;
  where.resolved = exists(where.composed)
                       ? where.composed
                       : resolve_letter_case(directory, relative, where.composed);
  return where;
}

}  // namespace kestrel
