#include "files/file_reading.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <new>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "files/failure.h"
#include "files/files.h"
#include "files/pages.h"
#include "files/system_file.h"

namespace kestrel {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kChunk = 1 << 16;

// The bytes read so far, never more than `most_`: room grows by doubling, as a string's does,
// but never past the bound, so that a source near the bound takes no twice its room.
class BoundedBytes {
 public:
  explicit BoundedBytes(std::size_t most) : most_(most) {}

  // Room for a file of `size` bytes (no more than `most`) at once, read straight into place by
  // `fill`, which returns how many it read.
  template <typename Fill>
  void fill_in_place(std::size_t size, Fill fill) {
    if (size == 0) return;
    guarded([&] {
      bytes_.reserve(size);
      prepare_pages(bytes_.data(), size);
      bytes_.resize(size);
    });
    bytes_.resize(fill(bytes_.data(), size));
  }

  void append(const char* data, std::size_t count) {
    if (count > most_ - bytes_.size()) throw make_failure(FailureCode::over_load_bound);
    if (count > bytes_.capacity() - bytes_.size())
      guarded([&] {
        bytes_.reserve(std::min(most_, std::max(bytes_.size() + count, 2 * bytes_.capacity())));
      });
    bytes_.append(data, count);
  }

  std::string take() { return std::move(bytes_); }

 private:
  template <typename Allocate>
  static void guarded(Allocate allocate) {
    try {
      allocate();
    } catch (const std::bad_alloc&) {
      throw make_failure(FailureCode::out_of_memory);
    }
  }

  std::size_t most_;
  std::string bytes_;
};

// A file's bytes through `read_some(data, size)`, which returns how many it read, 0 at the end:
// the `size` it has now straight into place, then whatever it grew by meanwhile. A file that
// shrinks meanwhile ends early; one that has no size (a pipe, a device) is read to its end.
template <typename ReadSome>
std::string read_through(std::size_t most, std::size_t size, ReadSome read_some) {
  BoundedBytes bytes(most);
  bytes.fill_in_place(size, [&](char* data, std::size_t n) {
    std::size_t done = 0;
    for (std::size_t got; done < n && (got = read_some(data + done, n - done)) > 0;) done += got;
    return done;
  });
  char chunk[kChunk];
  for (std::size_t got; (got = read_some(chunk, sizeof chunk)) > 0;) bytes.append(chunk, got);
  return bytes.take();
}

#ifdef _WIN32

constexpr unsigned long kNoMoreData = ERROR_BROKEN_PIPE;

// Reads up to `size` bytes; 0 at the end. A pipe whose writer has gone ends there.
std::size_t read_some(HANDLE file, char* data, std::size_t size) {
  DWORD got = 0;
  const auto asked = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
  if (!ReadFile(file, data, asked, &got, nullptr)) {
    if (GetLastError() == kNoMoreData) return 0;
    throw_windows_failure();
  }
  return got;
}

std::string read_whole(const fs::path& path, std::size_t most, ReadPolicy policy) {
  const Handle file = open_handle(path, GENERIC_READ, OPEN_EXISTING);
  if (!file) throw_windows_failure();
  const HANDLE raw = file.get();
  const bool regular = GetFileType(raw) == FILE_TYPE_DISK;
  if (!regular && policy == ReadPolicy::regular_files_only)
    throw make_failure(FailureCode::path_file_access_error);
  LARGE_INTEGER size;
  if (!regular || !GetFileSizeEx(raw, &size)) size.QuadPart = 0;
  if (static_cast<std::uint64_t>(size.QuadPart) > most)
    throw make_failure(FailureCode::over_load_bound);
  return read_through(most, static_cast<std::size_t>(size.QuadPart),
                      [&](char* data, std::size_t n) { return read_some(raw, data, n); });
}

std::size_t read_standard_input(char* data, std::size_t size) {
  const int got = _read(0, data, static_cast<unsigned>(size));
  if (got < 0) throw failure_from_os_error(errno);
  return static_cast<std::size_t>(got);
}

#else

// Reads up to `size` bytes; 0 at the end.
std::size_t read_some(int fd, char* data, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(fd, data, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) throw_os_failure(errno);
  }
}

// Under regular_files_only the file is opened without waiting, which a pipe without a writer
// would otherwise do, and refused once its kind is known.
std::string read_whole(const fs::path& path, std::size_t most, ReadPolicy policy) {
  const int flags =
      O_RDONLY | O_CLOEXEC | (policy == ReadPolicy::regular_files_only ? O_NONBLOCK : 0);
  int fd;
  do {
    fd = ::open(path.c_str(), flags);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    if (errno == ENOENT) throw missing_entry(DiskFiles(), path);
    throw_os_failure(errno);
  }
  const Descriptor file(fd);
  struct stat status {};
  if (fstat(fd, &status) != 0) throw_os_failure(errno);
  if (S_ISDIR(status.st_mode)) throw make_failure(FailureCode::path_file_access_error);
  const bool regular = S_ISREG(status.st_mode);
  if (!regular && policy == ReadPolicy::regular_files_only)
    throw make_failure(FailureCode::path_file_access_error);
  const std::uintmax_t size = regular ? static_cast<std::uintmax_t>(status.st_size) : 0;
  if (size > most) throw make_failure(FailureCode::over_load_bound);
  return read_through(most, static_cast<std::size_t>(size),
                      [&](char* data, std::size_t n) { return read_some(fd, data, n); });
}

std::size_t read_standard_input(char* data, std::size_t size) {
  return read_some(STDIN_FILENO, data, size);
}

#endif

}  // namespace

std::string read_file_bounded(const fs::path& path, std::size_t most, ReadPolicy policy) {
  return read_whole(path, most, policy);
}

std::string read_stream_bounded(std::streambuf& in, std::size_t most) {
  BoundedBytes bytes(most);
  char chunk[kChunk];
  for (std::streamsize got; (got = in.sgetn(chunk, sizeof chunk)) > 0;)
    bytes.append(chunk, static_cast<std::size_t>(got));
  return bytes.take();
}

StandardInput::int_type StandardInput::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  const std::size_t got = read_standard_input(buffer_, sizeof buffer_);
  if (got == 0) return traits_type::eof();
  setg(buffer_, buffer_, buffer_ + got);
  return traits_type::to_int_type(*gptr());
}

}  // namespace kestrel
