#pragma once

#include <string>

#include "app/file_io.h"
#include "app/ui.h"
#include "app/workbench.h"

namespace kestrel {

// Includes nested deeper than this fail, so that a file that includes itself, directly or through
// others, ends instead of exhausting the stack.
inline constexpr int kIncludeDepthLimit = 64;

// Reads the file that an include line names, below the current directory, into Source_bas at the
// place of the include line, following its own include lines. Reports its own failures, titled
// with the include's path, and returns; the caller goes on with its next line either way.
// `depth` counts this include and those around it.
void Include_file(Workbench& wb, Ui& ui, const std::string& inc_name, int depth = 1);

// The loading loop shared by Open and Include_file: every line of `file` goes to Parse_define,
// except include lines, which are expanded in place. `depth` counts the includes around `file`
// (0 for the file Open reads). Returns whether the file held at least one line.
bool load_lines(Workbench& wb, Ui& ui, SourceFile& file, int depth);

}  // namespace kestrel
