#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "files/files.h"

namespace kestrel {

// Files as an editor sees them: the texts of its open buffers stand in for the files of the same
// path, and every other file is read from the files below. Writes go below and end the buffer's
// standing in. Paths are compared in their absolute, lexically normal form.
class OverlayFiles : public Files {
 public:
  explicit OverlayFiles(Files& below) : below_(below) {}

  // The buffer's bytes, in the code page, read instead of the file at `path`.
  void put(const std::filesystem::path& path, std::string bytes);
  void drop(const std::filesystem::path& path);
  // Whether a buffer stands in for `path`.
  bool holds(const std::filesystem::path& path) const;

  std::vector<std::filesystem::path> list(const std::filesystem::path& folder) const override;
  EntryKind kind(const std::filesystem::path& path) const override;
  bool same_file(const std::filesystem::path& a, const std::filesystem::path& b) const override;
  std::filesystem::path current_folder() const override { return below_.current_folder(); }

 protected:
  std::string read_file(const std::filesystem::path& path, std::size_t most) override;
  std::optional<WriteFailure> write_files(std::span<const FileWrite> writes) override;

 private:
  std::filesystem::path key(const std::filesystem::path& path) const;

  Files& below_;
  std::map<std::filesystem::path, std::string> buffers_;
};

}  // namespace kestrel
