#include "app/files.h"

#include <cstdio>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#include <utility>
#else
#include <cerrno>
#include <fstream>
#endif

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

std::string Files::read(const fs::path& path, std::size_t most) {
  check_target(path);
  return read_file(path, most);
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

#ifdef _WIN32

// Windows' own error tells apart what the C library's errno does not: a file held open by another
// program (a sharing violation) and a read-only file (access denied) are both EACCES there.
[[noreturn]] void throw_windows_failure() { throw failure_from_windows_error(GetLastError()); }

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  HANDLE get() const { return handle_; }
  // Closes the file, so that a write the system finishes only then is reported.
  void close() {
    const BOOL closed = CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
    if (!closed) throw_windows_failure();
  }

 private:
  HANDLE handle_;
};

// Shared for reading and writing, as the C library opens files: another program may go on
// reading or writing a file while it is read here.
Handle open_file(const fs::path& path, DWORD access, DWORD disposition) {
  const HANDLE handle = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) throw_windows_failure();
  return Handle(handle);
}

void write_whole(const Files&, const fs::path& path, std::string_view bytes) {
  Handle file = open_file(path, GENERIC_WRITE, CREATE_ALWAYS);
  constexpr std::size_t kMostAtOnce = 1 << 30;
  while (!bytes.empty()) {
    DWORD written = 0;
    const auto size = static_cast<DWORD>(std::min(bytes.size(), kMostAtOnce));
    // A write that makes no progress would otherwise be retried for ever.
    if (!WriteFile(file.get(), bytes.data(), size, &written, nullptr) || written == 0)
      throw_windows_failure();
    bytes.remove_prefix(written);
  }
  file.close();
}

void check_writable(const fs::path& target) { open_file(target, GENERIC_WRITE, OPEN_EXISTING); }

void replace_with(const fs::path& temporary, const fs::path& target) {
  if (!MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
    throw_windows_failure();
}

#else

[[noreturn]] void throw_os_failure(int os_error) {
  throw failure_from_os_error(os_error != 0 ? os_error : EIO);
}

// Every write, the flush and the close are checked, so that a file that did not reach the disk is
// reported.
void write_whole(const Files& files, const fs::path& path, std::string_view bytes) {
  errno = 0;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
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

// Opening for appending changes nothing.
void check_writable(const fs::path& target) {
  errno = 0;
  std::ofstream probe(target, std::ios::binary | std::ios::app);
  if (!probe) throw_os_failure(errno);
}

void replace_with(const fs::path& temporary, const fs::path& target) {
  std::error_code ec;
  fs::rename(temporary, target, ec);
  if (ec) throw_os_failure(ec.value());
}

#endif

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

}  // namespace

std::string DiskFiles::read_file(const fs::path& path, std::size_t most) {
  return read_file_bounded(path, most, policy_);
}

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
  if (fs::exists(status) && !fs::is_regular_file(status)) return write_whole(*this, target, bytes);
  // An existing file that refuses to be written keeps its refusal, though the rename would pass
  // it by.
  if (fs::exists(status)) check_writable(target);
  const fs::path temporary = temporary_beside(target);
  try {
    write_whole(*this, temporary, bytes);
    if (fs::exists(status)) fs::permissions(temporary, status.permissions(), ec);
    replace_with(temporary, target);
  } catch (const Failure&) {
    fs::remove(temporary, ec);
    throw;
  }
}

}  // namespace kestrel
