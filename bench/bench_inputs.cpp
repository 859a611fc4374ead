#include "bench_inputs.h"

#include <fstream>
#include <random>

#include "compiler/compile_pass.h"
#include "files/files.h"
#include "workbench/ui.h"

namespace kestrel::bench {

SourceOnDisk::SourceOnDisk(const SourceShape& shape)
    : SourceOnDisk(generate_source(shape, kSeed)) {}

SourceOnDisk::SourceOnDisk(const std::string& text) {
  std::random_device rd;
  folder_ = std::filesystem::temp_directory_path() / ("kestrel-bench-" + std::to_string(rd()));
  std::filesystem::create_directories(folder_);
  std::ofstream(source_path(), std::ios::binary)
      .write(text.data(), static_cast<std::streamsize>(text.size()));
}

SourceOnDisk::~SourceOnDisk() {
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

OpenOutcome open_source(Workbench& wb, const std::string& path) {
  SilentUi ui;
  DiskFiles files;
  wb.source_path = path;
  return open_command(wb, ui, files, {files.current_folder()});
}

bool compiles_cleanly(const SourceOnDisk& file) {
  Workbench wb;
  const OpenOutcome opened = open_source(wb, file.source_path());
  SilentUi ui;
  return opened.read_to_end && compile_command(wb, ui, opened.source_map).ok;
}

}  // namespace kestrel::bench
