#include "app/files.h"

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
#include "app/pages.h"

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
  const FileWrite one[] = {{path, bytes}};
  if (std::optional<WriteFailure> failed = write_all(one)) throw failed->failure;
}

std::optional<WriteFailure> Files::write_all(std::span<const FileWrite> writes) {
  for (std::size_t i = 0; i < writes.size(); ++i) {
    try {
      check_target(writes[i].path);
    } catch (const Failure& failure) {
      return WriteFailure{i, failure};
    }
  }
  return write_files(writes);
}

bool Files::same_target(const fs::path& a, const fs::path& b) const {
  const fs::path here = current_folder();
  return (here / a).lexically_normal() == (here / b).lexically_normal() || same_file(a, b);
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

// Windows' error tells a missing file from a missing folder on its way: the files need no look.
std::string read_whole(const Files&, const fs::path& path) {
  const Handle file = open_file(path, GENERIC_READ, OPEN_EXISTING);
  std::string bytes;
  LARGE_INTEGER size;
  if (GetFileSizeEx(file.get(), &size)) bytes.reserve(static_cast<std::size_t>(size.QuadPart));
  char chunk[1 << 16];
  DWORD got = 0;
  do {
    if (!ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr)) throw_windows_failure();
    bytes.append(chunk, got);
  } while (got > 0);
  return bytes;
}

#else

[[noreturn]] void throw_os_failure(int os_error) {
  throw failure_from_os_error(os_error != 0 ? os_error : EIO);
}

// istream::read turns a failing read of the file into the stream's bad state; reading through
// the stream buffer directly would throw the library's own exception instead.
std::string read_whole(const Files& files, const fs::path& path) {
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (errno == ENOENT) throw missing_entry(files, path);
    throw_os_failure(errno);
  }
  std::string bytes;
  // The size the file has now is read straight into place; a file that shrinks meanwhile ends
  // early, and one that grows is still read to its end.
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (!ec && size > 0) {
    bytes.reserve(static_cast<std::size_t>(size));
    prepare_pages(bytes.data(), static_cast<std::size_t>(size));
    bytes.resize(static_cast<std::size_t>(size));
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
  }
  char chunk[1 << 16];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0)
    bytes.append(chunk, static_cast<std::size_t>(in.gcount()));
  if (in.bad()) throw_os_failure(errno);
  return bytes;
}

#endif

}  // namespace

std::string DiskFiles::read_file(const fs::path& path) { return read_whole(*this, path); }

std::optional<WriteFailure> DiskFiles::write_files(std::span<const FileWrite> writes) {
  return write_disk_files(writes);
}

}  // namespace kestrel
