#pragma once

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace kestrel {

// Paths inside the program are text in the code page, like every other string; the file system
// wants its own encoding. This is the one place where a path crosses over.
std::filesystem::path native_path(const std::string& ansi_path);

// A text file opened for reading line by line. A line ends at CR LF, at a lone CR or at a lone
// LF; the terminator is not part of the line, and a last line without one is read as well.
// Every failure is thrown as a Failure of the file layer's table.
class SourceFile {
 public:
  explicit SourceFile(const std::string& ansi_path);

  bool at_end() const { return pos_ >= bytes_.size(); }
  std::string read_line();

 private:
  void read_all(std::ifstream& in, const std::filesystem::path& path);

  std::string bytes_;
  std::size_t pos_ = 0;
};

// A file opened for writing: created, or emptied when it exists. Every write and the close are
// checked, so that a file that did not reach the disk is reported as a Failure.
class TargetFile {
 public:
  explicit TargetFile(const std::string& ansi_path);
  TargetFile(const TargetFile&) = delete;
  TargetFile& operator=(const TargetFile&) = delete;

  void write(std::string_view bytes);
  void close();

 private:
  [[noreturn]] void fail();

  std::filesystem::path path_;
  std::ofstream stream_;
};

}  // namespace kestrel
