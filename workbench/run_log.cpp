#include "workbench/run_log.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "files/failure.h"
#include "files/files.h"

namespace kestrel {

void RunLog::open(const std::filesystem::path& path) {
  state_ = State::silent;
  // Reports name the log in full: "Editor.log" alone would not say which folder refused it.
  std::error_code ec;
  path_ = std::filesystem::absolute(path, ec);
  if (ec) path_ = path;
  // Opening a folder fails with a different error on each platform (Windows says access denied).
  if (std::filesystem::is_directory(path, ec))
    throw make_failure(FailureCode::path_file_access_error);
  errno = 0;
  file_.open(path, std::ios::binary | std::ios::app);
  if (!file_) {
    if (errno == ENOENT) throw missing_entry(DiskFiles(), path);
    throw failure_from_os_error(errno);
  }
  stream_ = nullptr;
  state_ = State::open;
}

void RunLog::write_line(const std::string& text) {
  if (state_ == State::silent) return;
  std::ostream& out = stream_ != nullptr ? *stream_ : file_;
  errno = 0;
  out << text << "\r\n";
  out.flush();
  if (!out) {
    failure_ = failure_from_os_error(errno);
    out.clear();
    state_ = State::silent;
  }
}

}  // namespace kestrel
