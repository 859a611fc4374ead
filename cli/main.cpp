#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "cli/kestrelc.h"

int main(int argc, char** argv) {
#ifdef _WIN32
  // The result goes to standard output as the bytes a file would get, CR LF untranslated.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  const std::vector<std::string> args(argv + 1, argv + argc);
  return kestrel::cli::run(args, std::cout, std::cerr);
}
