#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "loader/open_command.h"
#include "source_generator.h"
#include "workbench/workbench.h"

namespace kestrel::bench {

inline constexpr std::uint32_t kSeed = 7;

// A generated source written to a fresh folder under the system's temporary one, removed when the
// object goes.
class SourceOnDisk {
 public:
  explicit SourceOnDisk(const SourceShape& shape);
  explicit SourceOnDisk(const std::string& text);
  SourceOnDisk(const SourceOnDisk&) = delete;
  SourceOnDisk& operator=(const SourceOnDisk&) = delete;
  ~SourceOnDisk();

  const std::filesystem::path& folder() const { return folder_; }
  std::string source_path() const { return (folder_ / "source.bas").string(); }
  std::string output_path() const { return (folder_ / "output.bas").string(); }
  std::uintmax_t size() const { return std::filesystem::file_size(source_path()); }

 private:
  std::filesystem::path folder_;
};

// Opens the file named by `path` as Open does with the path typed in.
OpenOutcome open_source(Workbench& wb, const std::string& path);

// Whether the core opens and compiles the source to "COMPILE OK": a figure for a pass that
// stopped early would mean nothing.
bool compiles_cleanly(const SourceOnDisk& file);

}  // namespace kestrel::bench
