#include "files/files.h"

#include <system_error>

#include "files/failure.h"
#include "text/ansi.h"

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

std::string DiskFiles::read_file(const fs::path& path, std::size_t most) {
  return read_file_bounded(path, most, policy_);
}

std::optional<WriteFailure> DiskFiles::write_files(std::span<const FileWrite> writes) {
  return write_disk_files(writes);
}

}  // namespace kestrel
