#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "source_generator.h"

// Writes a generated source to standard output: "make_bench_source typical|limit [seed]".
int main(int argc, char** argv) {
  using namespace kestrel::bench;
  if (argc < 2 || (std::strcmp(argv[1], "typical") != 0 && std::strcmp(argv[1], "limit") != 0)) {
    std::cerr << "usage: make_bench_source typical|limit [seed]\n";
    return 2;
  }
  const SourceShape& shape = std::strcmp(argv[1], "typical") == 0 ? kTypical : kLimit;
  const auto seed = argc > 2 ? static_cast<std::uint32_t>(std::stoul(argv[2])) : 7u;
  const std::string text = generate_source(shape, seed);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}
