#include <iostream>
#include <string>
#include <vector>

#include "cli/kestrelc.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return kestrel::cli::run(args, std::cout, std::cerr);
}
