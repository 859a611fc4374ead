#include "app/failure.h"

#include <cerrno>

namespace kestrel {

namespace {

const char* description_of(FailureCode code) {
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
    case EILSEQ:
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

std::string failure_title(const Failure& failure) {
  return "Error#" + std::to_string(failure.number());
}

}  // namespace kestrel
