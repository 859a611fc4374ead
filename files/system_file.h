#pragma once

// The file layer's hold on the system's open files, shared by its reading and its writing half.

#include <filesystem>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include <cerrno>
#endif

#include "files/failure.h"

namespace kestrel {

#ifdef _WIN32

[[noreturn]] inline void throw_windows_failure(DWORD error = GetLastError()) {
  throw failure_from_windows_error(error);
}

// An open file, closed when it goes.
class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE handle) : handle_(handle) {}
  Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
  Handle& operator=(Handle&& other) noexcept {
    reset();
    handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
    return *this;
  }
  ~Handle() { reset(); }
  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
  // Closes the file, so that a write the system finishes only then is reported.
  void close() {
    if (!CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE))) throw_windows_failure();
  }

 private:
  void reset() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
  }
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Shared for reading and writing, as the C library opens files: another program may go on
// reading or writing a file while it is open here.
inline Handle open_handle(const std::filesystem::path& path, DWORD access, DWORD disposition) {
  return Handle(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

#else

[[noreturn]] inline void throw_os_failure(int os_error) { throw failure_from_os_error(os_error); }

// An open file, closed when it goes.
class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    reset();
    fd_ = std::exchange(other.fd_, -1);
    return *this;
  }
  ~Descriptor() { reset(); }
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  // Closes the file, so that a write the system finishes only then is reported.
  void close() {
    if (::close(std::exchange(fd_, -1)) != 0 && errno != EINTR) throw_os_failure(errno);
  }

 private:
  void reset() {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
  }
  int fd_ = -1;
};

#endif

}  // namespace kestrel
