#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::lsp {

// How the client counts the columns of a position.
enum class Encoding { utf16, utf8 };

// The lines of a text as loading reads them: ended by CR LF, a lone CR or a lone LF.
std::vector<std::string_view> split_lines(std::string_view text);

// The column, as the client counts it, of the code point numbered `point` (0-based) of a UTF-8
// line. A source's byte in the code page is one code point.
int column_of(std::string_view utf8_line, int point, Encoding encoding);
// The code point at a client's column.
int point_of(std::string_view utf8_line, int column, Encoding encoding);

// The byte offset of the code point numbered `point` of a UTF-8 line, or its size past its end.
std::size_t utf8_offset(std::string_view utf8_line, int point);

// The characters of a UTF-8 text that the code page cannot hold: their line and code point.
struct Lost {
  int line = 0;
  int point = 0;
};
std::vector<Lost> lost_characters(std::string_view utf8);

// "file://" addresses and paths, percent escapes and Windows drive letters included.
std::optional<std::filesystem::path> path_of_uri(std::string_view uri);
std::string uri_of_path(const std::filesystem::path& path);

}  // namespace kestrel::lsp
