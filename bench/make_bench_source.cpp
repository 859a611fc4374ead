#include <cstdio>
#include <iostream>
#include <string>

#include "source_generator.h"

// Writes a generated source to standard output: "make_bench_source NAME [seed]"; without a name
// it lists the names.
int main(int argc, char** argv) {
  using namespace kestrel::bench;
  const NamedInput* input = argc > 1 ? find_named_input(argv[1]) : nullptr;
  if (input == nullptr) {
    std::cerr << "usage: make_bench_source NAME [seed]\n\nNAME is one of:\n";
    for (const NamedInput& named : named_inputs())
      std::cerr << "  " << named.name << ": " << named.about << "\n";
    return 2;
  }
  const auto seed = argc > 2 ? static_cast<std::uint32_t>(std::stoul(argv[2])) : 7u;
  const std::string text = input->make(seed);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}
