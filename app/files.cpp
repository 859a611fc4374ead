#include "app/files.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <random>
#include <system_error>

#include "app/ansi.h"
#include "app/failure.h"

namespace kestrel {

namespace fs = std::filesystem;

namespace {

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

}  // namespace

// Where the system's names are bytes, the bytes go through untouched, UTF-8 or not.
fs::path path_from_utf8(const std::string& utf8) {
#ifdef _WIN32
  try {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
  } catch (const std::exception&) {
    throw make_failure(FailureCode::bad_file_name_or_number);
  }
#else
  return fs::path(utf8);
#endif
}

fs::path path_from_ansi(const std::string& ansi) { return path_from_utf8(ansi::to_utf8(ansi)); }

std::string utf8_path(const fs::path& path) {
#ifdef _WIN32
  const std::u8string utf8 = path.u8string();
  return std::string(utf8.begin(), utf8.end());
#else
  return path.native();
#endif
}

std::string ansi_path(const fs::path& path) { return ansi::from_utf8(utf8_path(path)); }

std::string Files::read(const fs::path& path) {
  check_target(path);
  return read_file(path);
}

void Files::write(const fs::path& path, std::string_view bytes) {
  check_target(path);
  write_file(path, bytes);
}

void Files::check_target(const fs::path& path) const {
  if (is_blank_name(path) || holds_nul(path))
    throw make_failure(FailureCode::bad_file_name_or_number);
  if (kind(path) == EntryKind::folder) throw make_failure(FailureCode::path_file_access_error);
}

Failure missing_entry(const Files& files, const fs::path& path) {
  const fs::path parent = path.parent_path();
  const bool folder_missing = !parent.empty() && files.kind(parent) != EntryKind::folder;
  return make_failure(folder_missing ? FailureCode::path_not_found : FailureCode::file_not_found);
}

std::vector<fs::path> DiskFiles::list(const fs::path& folder) const {
  std::vector<fs::path> names;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec))
    names.push_back(it->path().filename());
  return names;
}

EntryKind DiskFiles::kind(const fs::path& path) const {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (fs::is_directory(status)) return EntryKind::folder;
  return fs::exists(status) ? EntryKind::file : EntryKind::missing;
}

bool DiskFiles::same_file(const fs::path& a, const fs::path& b) const {
  std::error_code ec;
  return fs::equivalent(a, b, ec) && !ec;
}

fs::path DiskFiles::current_folder() const {
  std::error_code ec;
  fs::path current = fs::current_path(ec);
  return ec ? fs::path(".") : current;
}

namespace {

[[noreturn]] void throw_os_failure(int os_error) {
  throw failure_from_os_error(os_error != 0 ? os_error : EIO);
}

}  // namespace

// istream::read turns a failing read of the file into the stream's bad state; reading through
// the stream buffer directly would throw the library's own exception instead.
std::string DiskFiles::read_file(const fs::path& path) {
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (errno == ENOENT) throw missing_entry(*this, path);
    throw_os_failure(errno);
  }
  std::string bytes;
  // Room for the whole file at once; a file that grows meanwhile is still read to its end.
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (!ec) bytes.reserve(static_cast<std::size_t>(size));
  char chunk[1 << 16];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0)
    bytes.append(chunk, static_cast<std::size_t>(in.gcount()));
  if (in.bad()) throw_os_failure(errno);
  return bytes;
}

namespace {

// Creates or empties `path` and writes `bytes` into it. Every write, the flush and the close are
// checked, so that a file that did not reach the disk is reported.
void write_whole(const Files& files, const fs::path& path, std::string_view bytes,
                 std::ios::openmode mode) {
  errno = 0;
  std::ofstream out(path, std::ios::binary | mode);
  if (!out) {
    if (errno == ENOENT) throw missing_entry(files, path);
    throw_os_failure(errno);
  }
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  if (!out) throw_os_failure(errno);
  out.close();
  if (out.fail()) throw_os_failure(errno);
}

// A name in the target's own folder, so that the rename stays on one file system.
fs::path temporary_beside(const fs::path& target) {
  std::random_device random;
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
  std::string name = ".";
  name += utf8_path(target.filename());
  name += ".kestrel-";
  name += suffix;
  return target.parent_path() / path_from_utf8(name);
}

// An existing file that refuses to be written keeps its refusal, though the rename would pass
// it by: opening for appending changes nothing.
void check_writable(const fs::path& target) {
  errno = 0;
  std::ofstream probe(target, std::ios::binary | std::ios::app);
  if (!probe) throw_os_failure(errno);
}

}  // namespace

// The old file is replaced only by a complete new one: the bytes go to a temporary file beside it,
// which is renamed over it, with the old file's permissions, once every byte is written. A target
// that is no regular file (a device, a pipe) is written directly; a link is followed, so that the
// file it names is replaced and the link stays.
void DiskFiles::write_file(const fs::path& path, std::string_view bytes) {
  std::error_code ec;
  fs::path target = path;
  if (fs::is_symlink(fs::symlink_status(path, ec))) {
    const fs::path followed = fs::canonical(path, ec);
    if (!ec) target = followed;
  }
  const fs::file_status status = fs::status(target, ec);
  if (fs::exists(status) && !fs::is_regular_file(status))
    return write_whole(*this, target, bytes, std::ios::trunc);
  if (fs::exists(status)) check_writable(target);
  const fs::path temporary = temporary_beside(target);
  try {
    write_whole(*this, temporary, bytes, std::ios::trunc);
    if (fs::exists(status)) fs::permissions(temporary, status.permissions(), ec);
    fs::rename(temporary, target, ec);
    if (ec) throw_os_failure(ec.value());
  } catch (const Failure&) {
    fs::remove(temporary, ec);
    throw;
  }
}

}  // namespace kestrel
