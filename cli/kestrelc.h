#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/files.h"

namespace kestrel::cli {

// The whole command-line compiler: `args` are the arguments after the program's name. Returns
// the exit status.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// The same over `files`, against whose current folder relative paths and include names are taken.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, Files& files);

}  // namespace kestrel::cli
