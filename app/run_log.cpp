#include "app/run_log.h"

#include <cerrno>

#include "app/failure.h"
#include "app/file_io.h"

namespace kestrel {

void RunLog::open(const std::string& ansi_path) {
  state_ = State::broken;
  const auto path = native_path(ansi_path);
  errno = 0;
  file_.open(path, std::ios::binary | std::ios::app);
  if (!file_) throw failure_from_os_error(errno != 0 ? errno : EIO, path.string());
  state_ = State::open;
}

void RunLog::write_line(const std::string& text) {
  switch (state_) {
    case State::unused:
      return;
    case State::broken:
      throw make_failure(FailureCode::bad_file_name_or_number);
    case State::open:
      break;
  }
  errno = 0;
  file_ << text << "\r\n";
  file_.flush();
  if (!file_) {
    const int os_error = errno != 0 ? errno : EIO;
    file_.clear();
    throw failure_from_os_error(os_error, "");
  }
}

}  // namespace kestrel
