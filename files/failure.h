#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kestrel {

// A failure of a command: the number and description of the file layer's table (or of the
// program's own run-time checks). Thrown, and caught by the handler of the command that runs.
class Failure : public std::runtime_error {
 public:
  Failure(std::int32_t number, const std::string& description)
      : std::runtime_error(description), number_(number) {}

  std::int32_t number() const { return number_; }
  std::string description() const { return what(); }

 private:
  std::int32_t number_;
};

// The failure table. Every failure the program reports has one of these numbers.
enum class FailureCode : std::int32_t {
  overflow = 6,
  out_of_memory = 7,
  subscript_out_of_range = 9,
  bad_file_name_or_number = 52,
  file_not_found = 53,
  device_io_error = 57,
  disk_full = 61,
  too_many_files = 67,
  permission_denied = 70,
  path_file_access_error = 75,
  path_not_found = 76,
  // The program's own: a load that passes kLoadedBytesLimit, and a path whose links never end.
  over_load_bound = 80,
  link_loop = 81,
};

Failure make_failure(FailureCode code);

// The failure for an operating-system error (errno). A missing entry is "File not found": telling
// it from a missing folder needs a look at the file system, which the file layer takes. 0, an
// error the system reported without a number, is "Device I/O error".
Failure failure_from_os_error(int os_error);

// The failure for a Windows system error code (GetLastError). The code is a plain number, so the
// table is the same, and is checked, on every platform.
Failure failure_from_windows_error(unsigned long windows_error);

// "Error#" followed by the number, with a negative number keeping its sign.
std::string failure_title(const Failure& failure);

}  // namespace kestrel
