#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "files/failure.h"
#include "files/file_reading.h"
#include "files/file_writing.h"

namespace kestrel {

// Paths are Unicode from the path boxes, the dialog and the command line to the file system, held
// in UTF-8 strings until they become paths here. A text that no path can stand for (a broken
// UTF-8 sequence where the system's names are wide) is "Bad file name or number", never a file
// under another name.
std::filesystem::path path_from_utf8(const std::string& utf8);
// An include name read from a source is text in the code page.
std::filesystem::path path_from_ansi(const std::string& ansi);
// A path shown as UTF-8, whole.
std::string utf8_path(const std::filesystem::path& path);
// A path in a text of the code page (the run log): a character the code page cannot hold becomes
// '?'.
std::string ansi_path(const std::filesystem::path& path);

enum class EntryKind { missing, file, folder };

// Every file the commands read or write goes through this interface, so that the commands can run
// over files kept in memory. A relative path is taken against current_folder(). Every failure is
// thrown as a Failure of the file layer's table, with the same number whichever implementation
// runs: a name of blanks alone or holding a NUL is "Bad file name or number", a folder where a
// file is wanted "Path/File access error", a missing file "File not found" and a missing folder on
// the way to it "Path not found".
class Files {
 public:
  virtual ~Files() = default;

  // The whole content of a file, which may hold at most `most` bytes: a larger one is over the
  // load bound, found out before it is read whole.
  std::string read(const std::filesystem::path& path, std::size_t most = kLoadedBytesLimit);
  // Creates the file, or empties it, and writes `bytes` into it.
  void write(const std::filesystem::path& path, std::string_view bytes);
  // Writes every one of `writes`, or, when any of them cannot be written, none: returns the first
  // that could not, and why.
  std::optional<WriteFailure> write_all(std::span<const FileWrite> writes);

  // The names of a folder's entries, in no particular order; none when it cannot be listed.
  virtual std::vector<std::filesystem::path> list(const std::filesystem::path& folder) const = 0;
  virtual EntryKind kind(const std::filesystem::path& path) const = 0;
  // Whether two paths name one existing file, however each is spelt.
  virtual bool same_file(const std::filesystem::path& a, const std::filesystem::path& b) const = 0;
  // Whether two writes would go to one file: one that exists, however each is spelt, or one still
  // to be made, by the normal form of its absolute path.
  bool same_target(const std::filesystem::path& a, const std::filesystem::path& b) const;
  // The folder that relative paths are taken against.
  virtual std::filesystem::path current_folder() const = 0;

 protected:
  virtual std::string read_file(const std::filesystem::path& path, std::size_t most) = 0;
  // Writes all or none, as write_all(); every target has been checked.
  virtual std::optional<WriteFailure> write_files(std::span<const FileWrite> writes) = 0;

 private:
  void check_target(const std::filesystem::path& path) const;
};

// The failure for a path that names no entry of `files`: a missing file, or a missing folder on
// its way.
Failure missing_entry(const Files& files, const std::filesystem::path& path);

// The files of the machine.
class DiskFiles : public Files {
 public:
  explicit DiskFiles(ReadPolicy policy = ReadPolicy::any_file) : policy_(policy) {}

  std::vector<std::filesystem::path> list(const std::filesystem::path& folder) const override;
  EntryKind kind(const std::filesystem::path& path) const override;
  bool same_file(const std::filesystem::path& a, const std::filesystem::path& b) const override;
  // The process's current directory; "." when it has been removed and so has no name, which
  // still names it: every open below it fails as the missing file it is.
  std::filesystem::path current_folder() const override;

 protected:
  std::string read_file(const std::filesystem::path& path, std::size_t most) override;
  std::optional<WriteFailure> write_files(std::span<const FileWrite> writes) override;

 private:
  ReadPolicy policy_;
};

}  // namespace kestrel
