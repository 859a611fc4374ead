#include "files/failure.h"

#include <cerrno>

#include "files/file_reading.h"

namespace kestrel {

namespace {

std::string description_of(FailureCode code) {
  switch (code) {
    case FailureCode::overflow:
      return "Overflow";
    case FailureCode::out_of_memory:
      return "Out of memory";
    case FailureCode::subscript_out_of_range:
      return "Subscript out of range";
    case FailureCode::bad_file_name_or_number:
      return "Bad file name or number";
    case FailureCode::file_not_found:
      return "File not found";
    case FailureCode::device_io_error:
      return "Device I/O error";
    case FailureCode::disk_full:
      return "Disk full";
    case FailureCode::too_many_files:
      return "Too many files";
    case FailureCode::permission_denied:
      return "Permission denied";
    case FailureCode::path_file_access_error:
      return "Path/File access error";
    case FailureCode::path_not_found:
      return "Path not found";
    case FailureCode::over_load_bound:
      return "Over the load bound: a source with its includes may hold " +
             std::to_string(kLoadedBytesLimit >> 20) + " MiB";
    case FailureCode::link_loop:
      return "Too many levels of symbolic links";
  }
  return "Device I/O error";
}

FailureCode code_for(int os_error) {
  switch (os_error) {
    case ENOENT:
      return FailureCode::file_not_found;
    case ENOTDIR:
      return FailureCode::path_not_found;
    case EISDIR:
      return FailureCode::path_file_access_error;
    case ELOOP:
      return FailureCode::link_loop;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
      return FailureCode::permission_denied;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG:
      return FailureCode::disk_full;
    case ENAMETOOLONG:
    case EINVAL:
    case EBADF:
    case EILSEQ:
      return FailureCode::bad_file_name_or_number;
    default:
      return FailureCode::device_io_error;
  }
}

// Windows' system error codes (winerror.h) that the table tells apart.
namespace windows_error {
constexpr unsigned long file_not_found = 2;
constexpr unsigned long path_not_found = 3;
constexpr unsigned long too_many_open_files = 4;
constexpr unsigned long access_denied = 5;
constexpr unsigned long invalid_drive = 15;
constexpr unsigned long write_protect = 19;
constexpr unsigned long sharing_violation = 32;
constexpr unsigned long lock_violation = 33;
constexpr unsigned long handle_disk_full = 39;
constexpr unsigned long bad_netpath = 53;
constexpr unsigned long bad_net_name = 67;
constexpr unsigned long disk_full = 112;
constexpr unsigned long invalid_name = 123;
constexpr unsigned long bad_pathname = 161;
constexpr unsigned long filename_exceeds_range = 206;
constexpr unsigned long directory_name_invalid = 267;
constexpr unsigned long disk_quota_exceeded = 1295;
constexpr unsigned long cant_access_file = 1920;
constexpr unsigned long cant_resolve_filename = 1921;
}  // namespace windows_error

// Access denied is what Windows says for a read-only file and for a folder opened as a file: a
// path/file access error. A file that another program holds open is a sharing violation.
FailureCode code_for_windows(unsigned long windows_error) {
  namespace we = windows_error;
  switch (windows_error) {
    case we::file_not_found:
      return FailureCode::file_not_found;
    case we::path_not_found:
    case we::invalid_drive:
    case we::bad_netpath:
    case we::bad_net_name:
    case we::bad_pathname:
    case we::directory_name_invalid:
      return FailureCode::path_not_found;
    case we::too_many_open_files:
      return FailureCode::too_many_files;
    case we::access_denied:
    case we::cant_access_file:
      return FailureCode::path_file_access_error;
    case we::write_protect:
    case we::sharing_violation:
    case we::lock_violation:
      return FailureCode::permission_denied;
    case we::handle_disk_full:
    case we::disk_full:
    case we::disk_quota_exceeded:
      return FailureCode::disk_full;
    case we::cant_resolve_filename:
      return FailureCode::link_loop;
    case we::invalid_name:
    case we::filename_exceeds_range:
      return FailureCode::bad_file_name_or_number;
    default:
      return FailureCode::device_io_error;
  }
}

}  // namespace

Failure make_failure(FailureCode code) {
  return Failure(static_cast<std::int32_t>(code), description_of(code));
}

Failure failure_from_os_error(int os_error) { return make_failure(code_for(os_error)); }

Failure failure_from_windows_error(unsigned long windows_error) {
  return make_failure(code_for_windows(windows_error));
}

std::string failure_title(const Failure& failure) {
  return "Error#" + std::to_string(failure.number());
}

}  // namespace kestrel
