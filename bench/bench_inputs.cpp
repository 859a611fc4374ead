#include "bench_inputs.h"

#include <fstream>
#include <random>

namespace kestrel::bench {

SourceOnDisk::SourceOnDisk(const SourceShape& shape) {
  std::random_device rd;
  folder_ = std::filesystem::temp_directory_path() / ("kestrel-bench-" + std::to_string(rd()));
  std::filesystem::create_directories(folder_);
  const std::string text = generate_source(shape, kSeed);
  std::ofstream(source_path(), std::ios::binary)
      .write(text.data(), static_cast<std::streamsize>(text.size()));
}

SourceOnDisk::~SourceOnDisk() {
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

}  // namespace kestrel::bench
