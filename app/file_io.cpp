#include "app/file_io.h"

#include <cerrno>
#include <system_error>

#include "app/ansi.h"
#include "app/failure.h"

namespace kestrel {

namespace {

namespace fs = std::filesystem;

// A name made of blanks alone is no file name on the platforms the sources come from; treating it
// as one here would let a path box full of blanks create a file nobody can see.
bool is_blank_name(const fs::path& path) {
  const std::string name = path.filename().string();
  return !name.empty() && name.find_first_not_of(' ') == std::string::npos;
}

// The operating system reads a path only up to its first NUL; opening the shorter path would
// quietly read or write a file the name does not name.
bool holds_nul(const fs::path& path) {
  return path.native().find('\0') != fs::path::string_type::npos;
}

void check_name(const fs::path& path) {
  if (is_blank_name(path) || holds_nul(path))
    throw make_failure(FailureCode::bad_file_name_or_number);
}

[[noreturn]] void throw_os_failure(int os_error, const fs::path& path) {
  throw failure_from_os_error(os_error != 0 ? os_error : EIO, path.string());
}

}  // namespace

fs::path native_path(const std::string& ansi_path) {
  const std::string utf8 = ansi::to_utf8(ansi_path);
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

SourceFile::SourceFile(const std::string& ansi_path) {
  const fs::path path = native_path(ansi_path);
  check_name(path);
  std::error_code ec;
  if (fs::is_directory(path, ec)) throw make_failure(FailureCode::path_file_access_error);
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw_os_failure(errno, path);
  read_all(in, path);
}

// istream::read turns a failing read of the file into the stream's bad state; reading through
// the stream buffer directly would throw the library's own exception instead.
void SourceFile::read_all(std::ifstream& in, const std::filesystem::path& path) {
  char chunk[1 << 16];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    bytes_.append(chunk, static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) throw_os_failure(errno, path);
}

std::string SourceFile::read_line() {
  const std::size_t end = bytes_.find_first_of("\r\n", pos_);
  if (end == std::string::npos) {
    std::string line = bytes_.substr(pos_);
    pos_ = bytes_.size();
    return line;
  }
  std::string line = bytes_.substr(pos_, end - pos_);
  pos_ = end + 1;
  if (bytes_[end] == '\r' && pos_ < bytes_.size() && bytes_[pos_] == '\n') ++pos_;
  return line;
}

TargetFile::TargetFile(const std::string& ansi_path) : path_(native_path(ansi_path)) {
  check_name(path_);
  std::error_code ec;
  if (fs::is_directory(path_, ec)) throw make_failure(FailureCode::path_file_access_error);
  errno = 0;
  stream_.open(path_, std::ios::binary | std::ios::trunc);
  if (!stream_) throw_os_failure(errno, path_);
}

void TargetFile::write(std::string_view bytes) {
  errno = 0;
  stream_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!stream_) fail();
}

void TargetFile::close() {
  errno = 0;
  stream_.flush();
  if (!stream_) fail();
  stream_.close();
  if (stream_.fail()) fail();
}

void TargetFile::fail() {
  const int os_error = errno;
  stream_.setstate(std::ios::badbit);
  throw_os_failure(os_error, path_);
}

}  // namespace kestrel
