#pragma once

#include <string>
#include <string_view>

#include "loader/loading.h"

namespace kestrel {

// Includes nested deeper than this fail, so that a file that includes itself, directly or through
// others, ends instead of exhausting the stack.
inline constexpr int kIncludeDepthLimit = 64;
// Includes one load may read in all. The depth bound alone does not end a file that includes
// itself twice: that would read 2^64 files.
inline constexpr int kIncludeCountLimit = 4096;

// Reads the file that an include line names, below the folder of includes, into Source_bas at the
// place of the include line, following its own include lines. Reports its own failures, titled
// with the include's path, and returns; the caller goes on with its next line either way.
void Include_file(Loading& load, const std::string& inc_name);

// The loading loop shared by Open and Include_file: every line of `bytes` goes to Parse_define,
// except include lines, which are expanded in place. `path` is the file's name as composed, which
// the origins of its lines record. Returns whether the file held at least one line.
bool load_lines(Loading& load, std::string_view bytes, const std::string& path);

}  // namespace kestrel
