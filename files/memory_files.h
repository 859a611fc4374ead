#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "files/failure.h"
#include "files/files.h"

namespace kestrel {

// Files kept in memory, for tests and fuzzing: a tree of folders and files under "/", with a
// current folder. A folder exists when it was added or holds an entry. A path can be made to fail
// every read or write with a failure of the table; the rest behaves as the disk does.
class MemoryFiles : public Files {
 public:
  explicit MemoryFiles(std::filesystem::path current = "/work");

  void add_file(const std::filesystem::path& path, std::string bytes);
  void add_folder(const std::filesystem::path& path);
  void remove(const std::filesystem::path& path);
  void fail_reads(const std::filesystem::path& path, FailureCode code);
  void fail_writes(const std::filesystem::path& path, FailureCode code);

  // The content of a file; none when there is no such file.
  std::optional<std::string> content(const std::filesystem::path& path) const;
  // How often a file has been read.
  int reads(const std::filesystem::path& path) const;

  std::vector<std::filesystem::path> list(const std::filesystem::path& folder) const override;
  EntryKind kind(const std::filesystem::path& path) const override;
  bool same_file(const std::filesystem::path& a, const std::filesystem::path& b) const override;
  std::filesystem::path current_folder() const override { return current_; }

 protected:
  std::string read_file(const std::filesystem::path& path, std::size_t most) override;
  std::optional<WriteFailure> write_files(std::span<const FileWrite> writes) override;

 private:
  // The absolute, lexically normal form of a path: the key of every table.
  std::filesystem::path key(const std::filesystem::path& path) const;
  void throw_if_failing(const std::map<std::filesystem::path, FailureCode>& failing,
                        const std::filesystem::path& key) const;

  std::filesystem::path current_;
  std::map<std::filesystem::path, std::string> files_;
  std::set<std::filesystem::path> folders_;
  std::map<std::filesystem::path, FailureCode> failing_reads_;
  std::map<std::filesystem::path, FailureCode> failing_writes_;
  std::map<std::filesystem::path, int> reads_;
};

}  // namespace kestrel
