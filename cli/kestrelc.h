#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kestrel::cli {

// The whole command-line compiler: `args` are the arguments after the program's name. Returns
// the exit status.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kestrel::cli
