#include "loader/include_path.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrel {

namespace {

namespace fs = std::filesystem;

constexpr char kSeparator = static_cast<char>(fs::path::preferred_separator);

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

// The one entry of `folder` whose name matches `name` ignoring case. Entries whose names the
// code page cannot hold are passed over: no name read from a source can match them.
std::optional<fs::path> unique_entry(const Files& files, const fs::path& folder,
                                     std::string_view name) {
  std::optional<fs::path> found;
  for (const fs::path& entry : files.list(folder)) {
    const std::string ansi = ansi_path(entry);
    if (path_from_ansi(ansi) != entry || !same_ignoring_case(ansi, name)) continue;
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

// The folder and a name below it, joined by one separator whatever the name begins with.
fs::path joined(const fs::path& folder, const fs::path& name) {
  return fs::path(folder.native() + fs::path::preferred_separator + name.native());
}

fs::path resolve_letter_case(const Files& files, const fs::path& folder, std::string_view relative,
                             const fs::path& composed) {
  fs::path path = folder;
  for (std::string_view part : split(relative)) {
    fs::path exact = joined(path, path_from_ansi(std::string(part)));
    if (files.kind(exact) == EntryKind::missing) {
      const std::optional<fs::path> entry = unique_entry(files, path, part);
      if (!entry) return composed;
      exact = joined(path, *entry);
    }
    path = std::move(exact);
  }
  return path;
}

IncludePath locate_in(const Files& files, const fs::path& folder, const std::string& relative) {
  IncludePath where;
  where.composed = joined(folder, path_from_ansi(relative));
  where.resolved = files.kind(where.composed) != EntryKind::missing
                       ? where.composed
                       : resolve_letter_case(files, folder, relative, where.composed);
  return where;
}

}  // namespace

IncludePath locate_include(const Files& files, const std::vector<fs::path>& folders,
                           const std::string& inc_name) {
  // Sources are written on Windows, where both "\\" and "/" separate the parts of a name.
  std::string relative = inc_name;
  std::ranges::replace(relative, '\\', kSeparator);
  std::ranges::replace(relative, '/', kSeparator);
  std::vector<fs::path> passed_over;
  for (const fs::path& folder : folders) {
    IncludePath where = locate_in(files, folder, relative);
    if (files.kind(where.resolved) != EntryKind::missing) {
      where.passed_over = std::move(passed_over);
      return where;
    }
    passed_over.push_back(std::move(where.composed));
  }
  IncludePath where = locate_in(files, folders.front(), relative);
  where.passed_over = std::move(passed_over);
  return where;
}

}  // namespace kestrel
