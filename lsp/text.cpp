#include "lsp/text.h"

#include <algorithm>
#include <cstdint>

#include "files/files.h"
#include "text/ansi.h"

namespace kestrel::lsp {

namespace {

// The size in bytes of the UTF-8 sequence that begins with `lead`; a stray byte counts as one.
std::size_t sequence_size(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

constexpr std::string_view kFileScheme = "file://";
constexpr std::string_view kHexDigits = "0123456789ABCDEF";

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool kept_in_uri(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::string_view("-._~/").find(static_cast<char>(c)) != std::string_view::npos;
}

}  // namespace

std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  lines.push_back(text.substr(start));
  return lines;
}

int column_of(std::string_view utf8_line, int point, Encoding encoding) {
  int column = 0;
  std::size_t at = 0;
  int p = 0;
  for (; p < point && at < utf8_line.size(); ++p) {
    const std::size_t size = sequence_size(static_cast<unsigned char>(utf8_line[at]));
    column += encoding == Encoding::utf8 ? static_cast<int>(size) : (size == 4 ? 2 : 1);
    at += size;
  }
  // Past the line's end a point is one column.
  return column + (point - p);
}

int point_of(std::string_view utf8_line, int column, Encoding encoding) {
  int point = 0;
  int counted = 0;
  for (std::size_t at = 0; at < utf8_line.size() && counted < column; ++point) {
    const std::size_t size = sequence_size(static_cast<unsigned char>(utf8_line[at]));
    counted += encoding == Encoding::utf8 ? static_cast<int>(size) : (size == 4 ? 2 : 1);
    at += size;
  }
  return point;
}

std::size_t utf8_offset(std::string_view utf8_line, int point) {
  std::size_t at = 0;
  for (int p = 0; p < point && at < utf8_line.size(); ++p)
    at += sequence_size(static_cast<unsigned char>(utf8_line[at]));
  return std::min(at, utf8_line.size());
}

std::vector<Lost> lost_characters(std::string_view utf8) {
  std::vector<Lost> lost;
  // Most texts are ASCII, which the code page holds whole.
  if (std::ranges::all_of(utf8, [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return lost;
  int line = 0;
  for (const std::string_view text : split_lines(utf8)) {
    int point = 0;
    for (std::size_t at = 0; at < text.size(); ++point) {
      const std::size_t size =
          std::min(sequence_size(static_cast<unsigned char>(text[at])), text.size() - at);
      if (size == 1 && static_cast<unsigned char>(text[at]) < 0x80) {
        ++at;
        continue;
      }
      const std::string_view character = text.substr(at, size);
      if (ansi::to_utf8(ansi::from_utf8(character)) != character) lost.push_back({line, point});
      at += size;
    }
    ++line;
  }
  return lost;
}

std::optional<std::filesystem::path> path_of_uri(std::string_view uri) {
  if (!uri.starts_with(kFileScheme)) return std::nullopt;
  uri.remove_prefix(kFileScheme.size());
  const std::size_t slash = uri.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  uri.remove_prefix(slash);  // the host, "localhost" or none
  std::string decoded;
  for (std::size_t i = 0; i < uri.size(); ++i) {
    if (uri[i] == '%' && i + 2 < uri.size() && hex_value(uri[i + 1]) >= 0 &&
        hex_value(uri[i + 2]) >= 0) {
      decoded.push_back(static_cast<char>(hex_value(uri[i + 1]) * 16 + hex_value(uri[i + 2])));
      i += 2;
    } else {
      decoded.push_back(uri[i]);
    }
  }
  // "/C:/folder" is the drive's path on Windows.
  if (decoded.size() >= 3 && decoded[0] == '/' && decoded[2] == ':') decoded.erase(0, 1);
  return path_from_utf8(decoded);
}

std::string uri_of_path(const std::filesystem::path& path) {
  std::string text = utf8_path(path.lexically_normal());
  for (char& c : text)
    if (c == '\\') c = '/';
  if (!text.starts_with('/')) text = '/' + text;
  std::string uri(kFileScheme);
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (kept_in_uri(byte) || (c == ':' && uri.size() == kFileScheme.size() + 2)) {
      uri.push_back(c);
    } else {
      uri.push_back('%');
      uri.push_back(kHexDigits[byte >> 4]);
      uri.push_back(kHexDigits[byte & 0xF]);
    }
  }
  return uri;
}

}  // namespace kestrel::lsp
