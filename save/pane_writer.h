#pragma once

#include <ostream>
#include <string>
#include <string_view>

namespace kestrel {

// A pane's text is written as it stands, every line followed by CR LF: a text whose last line has
// no CR LF gets one, and an empty pane gives an empty file. A lone CR or LF is no line break and
// is written inside its line. There is no limit on the number of lines.

// What has to follow the pane's text so that the file ends with CR LF: CR LF or nothing.
std::string_view missing_line_end(std::string_view pane_text);

// Creates or empties the file and writes the pane into it. Every failure, of the open, of a write
// or of the close, is thrown as a Failure.
void write_pane(const std::string& ansi_path, std::string_view pane_text);

// Writes the same bytes to a stream; a stream that refuses them is thrown as a Failure.
void write_pane(std::ostream& out, std::string_view pane_text);

}  // namespace kestrel
