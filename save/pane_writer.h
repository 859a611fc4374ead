#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>

#include "files/files.h"

namespace kestrel {

// A pane's text is written as it stands, every line followed by CR LF: a text whose last line has
// no CR LF gets one, and an empty pane gives an empty file. A lone CR or LF is no line break and
// is written inside its line. There is no limit on the number of lines.

// The bytes of the file that holds the pane: the pane itself where it already ends as its file
// does, without a copy; else they are made in `completed`, which must outlive the view.
std::string_view pane_file_view(std::string_view pane_text, std::string& completed);

// Creates or empties the file and writes the pane into it. Every failure is thrown as a Failure.
void write_pane(Files& files, const std::filesystem::path& path, std::string_view pane_text);

// Writes the same bytes to a stream; a stream that refuses them is thrown as a Failure.
void write_pane(std::ostream& out, std::string_view pane_text);

}  // namespace kestrel
