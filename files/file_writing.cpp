#include "files/file_writing.h"

#include <cerrno>
#include <cstdio>
#include <deque>
#include <iterator>
#include <random>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/magic.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#endif
#endif

#include "files/files.h"
#include "files/system_file.h"

namespace kestrel {

namespace fs = std::filesystem;

namespace {

// The temporary's name is short and of one length, so that it fits beside a target whose name has
// the longest length the folder takes.
std::string temporary_name() {
  std::random_device random;
  char name[32];
  std::snprintf(name, sizeof name, ".kestrel-%08x", static_cast<unsigned>(random()));
  return name;
}

constexpr int kMostNameTries = 100;

// How one file is written.
enum class Method {
  create,      // a new file, made whole beside its name and then given it
  replace,     // an old file, replaced by a new one made whole beside it
  in_place,    // an old file, written where it is
  descriptor,  // a descriptor of this process, written as it stands
};

#ifdef _WIN32

void write_fully(HANDLE file, std::string_view bytes) {
  constexpr std::size_t kMostAtOnce = 1 << 30;
  while (!bytes.empty()) {
    DWORD written = 0;
    const auto size = static_cast<DWORD>(std::min(bytes.size(), kMostAtOnce));
    // A write that makes no progress would otherwise be retried for ever.
    if (!WriteFile(file, bytes.data(), size, &written, nullptr) || written == 0)
      throw_windows_failure();
    bytes.remove_prefix(written);
  }
}

std::optional<std::string> read_fully(HANDLE file) {
  std::string bytes;
  char chunk[1 << 16];
  DWORD got = 0;
  do {
    if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) return std::nullopt;
    bytes.append(chunk, got);
  } while (got > 0);
  return bytes;
}

void rewind(HANDLE file) {
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) throw_windows_failure();
}

// Writes `bytes` over the file's content; should that fail, puts `old` back.
void overwrite(HANDLE file, std::string_view bytes, const std::optional<std::string>& old) {
  try {
    rewind(file);
    write_fully(file, bytes);
    if (!SetEndOfFile(file)) throw_windows_failure();
  } catch (const Failure&) {
    if (old) {
      try {
        rewind(file);
        write_fully(file, *old);
        SetEndOfFile(file);
      } catch (const Failure&) {
      }
    }
    throw;
  }
}

// A write staged: what it needs is open or made, and the target is untouched until commit().
class StagedWrite {
 public:
  StagedWrite(const FileWrite& request, Temporary) : target_(request.path), bytes_(request.bytes) {
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(target_, ec))) {
      const fs::path followed = fs::weakly_canonical(target_, ec);
      if (!ec) target_ = followed;
    }
    Handle old = open_handle(target_, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    if (!old) old = open_handle(target_, GENERIC_WRITE, OPEN_EXISTING);
    const DWORD open_error = GetLastError();
    if (!old && open_error != ERROR_FILE_NOT_FOUND) throw_windows_failure(open_error);
    if (old) {
      BY_HANDLE_FILE_INFORMATION info{};
      const bool disk = GetFileType(old.get()) == FILE_TYPE_DISK;
      if (!disk || !GetFileInformationByHandle(old.get(), &info) || info.nNumberOfLinks != 1) {
        stay_in_place(std::move(old));
        return;
      }
      method_ = Method::replace;
    }
    // The old file is let go, so that it can be replaced.
    old = Handle();
    if (!make_temporary() && method_ == Method::replace)
      stay_in_place(open_handle(target_, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING));
  }
  StagedWrite(const StagedWrite&) = delete;
  StagedWrite& operator=(const StagedWrite&) = delete;
  ~StagedWrite() {
    if (!temporary_.empty()) DeleteFileW(temporary_.c_str());
  }

  bool in_place() const { return method_ == Method::in_place; }
  bool regular() const { return true; }

  void commit() {
    if (method_ == Method::in_place) return overwrite(file_.get(), bytes_, old_);
    if (MoveFileExW(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      temporary_.clear();
      return;
    }
    const DWORD error = GetLastError();
    if (method_ != Method::replace) throw_windows_failure(error);
    stay_in_place(open_handle(target_, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING));
    overwrite(file_.get(), bytes_, old_);
  }

  void undo() noexcept {
    if (method_ != Method::in_place || !old_) return;
    try {
      overwrite(file_.get(), *old_, std::nullopt);
    } catch (const Failure&) {
    }
  }

  void finish() {
    if (file_) file_.close();
  }

 private:
  void stay_in_place(Handle file) {
    if (!file) throw_windows_failure();
    method_ = Method::in_place;
    file_ = std::move(file);
    if (GetFileType(file_.get()) == FILE_TYPE_DISK) old_ = read_fully(file_.get());
  }

  // Returns false when the folder takes no new file.
  bool make_temporary() {
    for (int tries = 0; tries < kMostNameTries; ++tries) {
      const fs::path name = target_.parent_path() / path_from_utf8(temporary_name());
      Handle file(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS) continue;
        if (error == ERROR_ACCESS_DENIED) return false;
        throw_windows_failure(error);
      }
      temporary_ = name;
      write_fully(file.get(), bytes_);
      file.close();
      return true;
    }
    throw_windows_failure(ERROR_FILE_EXISTS);
  }

  fs::path target_;
  std::string_view bytes_;
  Method method_ = Method::create;
  Handle file_;
  fs::path temporary_;
  std::optional<std::string> old_;
};

// Windows has no signals that end a program the way a console's Ctrl+C does elsewhere.
class SignalsHeld {
 public:
  SignalsHeld() = default;
};

#else

void write_fully(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) throw_os_failure(written < 0 ? errno : EIO);
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

// The whole content from the start; none when the file cannot be read.
std::optional<std::string> read_fully(int fd) {
  std::string bytes;
  char chunk[1 << 16];
  for (off_t at = 0;;) {
    const ssize_t got = ::pread(fd, chunk, sizeof chunk, at);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) return bytes;
    bytes.append(chunk, static_cast<std::size_t>(got));
    at += got;
  }
}

// Writes `bytes` over the file's content; should that fail, puts `old` back.
void overwrite(int fd, std::string_view bytes, const std::optional<std::string>& old) {
  try {
    if (::lseek(fd, 0, SEEK_SET) < 0) throw_os_failure(errno);
    write_fully(fd, bytes);
    if (::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0) throw_os_failure(errno);
  } catch (const Failure&) {
    if (old && ::lseek(fd, 0, SEEK_SET) == 0) {
      try {
        write_fully(fd, *old);
      } catch (const Failure&) {
      }
      [[maybe_unused]] const int ignored = ::ftruncate(fd, static_cast<off_t>(old->size()));
    }
    throw;
  }
}

bool is_regular(int fd) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

// The named temporaries that exist now, removed by a signal that would end the process before it
// could remove them itself. A signal handler reaches nothing but static storage, so this table is
// the one piece of state the file layer keeps for the whole process.
namespace named_temporaries {

constexpr int kSlots = 16;
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

struct Slot {
  volatile sig_atomic_t folder = -1;
  char name[32] = {};
};
Slot slots[kSlots];
int in_use = 0;
bool handling[std::size(kEndingSignals)] = {};

extern "C" void remove_all_and_end(int signal_number) {
  for (const Slot& slot : slots)
    if (slot.folder >= 0) ::unlinkat(slot.folder, slot.name, 0);
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

// A signal the program catches or ignores does not end it: only those left to the system are
// taken over, and given back when no temporary is left.
void take_signals() {
  for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
    struct sigaction previous {};
    ::sigaction(kEndingSignals[i], nullptr, &previous);
    if (previous.sa_handler != SIG_DFL) continue;
    struct sigaction action {};
    action.sa_handler = remove_all_and_end;
    sigemptyset(&action.sa_mask);
    for (const int other : kEndingSignals) sigaddset(&action.sa_mask, other);
    handling[i] = ::sigaction(kEndingSignals[i], &action, nullptr) == 0;
  }
}

void give_signals_back() {
  for (std::size_t i = 0; i < std::size(kEndingSignals); ++i)
    if (std::exchange(handling[i], false)) ::signal(kEndingSignals[i], SIG_DFL);
}

// Returns the slot taken, or -1 when all are taken (the temporary is then left to its owner).
int add(int folder, const std::string& name) {
  for (int i = 0; i < kSlots; ++i) {
    if (slots[i].folder >= 0) continue;
    std::snprintf(slots[i].name, sizeof slots[i].name, "%s", name.c_str());
    if (in_use++ == 0) take_signals();
    slots[i].folder = folder;
    return i;
  }
  return -1;
}

void drop(int slot) {
  if (slot < 0) return;
  slots[slot].folder = -1;
  if (--in_use == 0) give_signals_back();
}

}  // namespace named_temporaries

// A named temporary beside the target: removed when it goes, unless it has become the target.
class NamedTemporary {
 public:
  NamedTemporary() = default;
  NamedTemporary(int folder, std::string name)
      : folder_(folder), name_(std::move(name)), slot_(named_temporaries::add(folder, name_)) {}
  NamedTemporary(NamedTemporary&& other) noexcept
      : folder_(std::exchange(other.folder_, -1)),
        name_(std::move(other.name_)),
        slot_(std::exchange(other.slot_, -1)) {}
  NamedTemporary& operator=(NamedTemporary&& other) noexcept {
    remove();
    folder_ = std::exchange(other.folder_, -1);
    name_ = std::move(other.name_);
    slot_ = std::exchange(other.slot_, -1);
    return *this;
  }
  ~NamedTemporary() { remove(); }

  const std::string& name() const { return name_; }
  explicit operator bool() const { return folder_ >= 0; }
  // The temporary has become the target: nothing is left to remove.
  void release() {
    named_temporaries::drop(std::exchange(slot_, -1));
    folder_ = -1;
  }

 private:
  void remove() {
    if (folder_ < 0) return;
    ::unlinkat(folder_, name_.c_str(), 0);
    release();
  }

  int folder_ = -1;
  std::string name_;
  int slot_ = -1;
};

// Ctrl+C and the like wait while files are written in place, so that none is left half written.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t ending;
    sigemptyset(&ending);
    for (const int signal_number : named_temporaries::kEndingSignals)
      sigaddset(&ending, signal_number);
    held_ = ::sigprocmask(SIG_BLOCK, &ending, &previous_) == 0;
  }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;
  ~SignalsHeld() {
    if (held_) ::sigprocmask(SIG_SETMASK, &previous_, nullptr);
  }

 private:
  sigset_t previous_{};
  bool held_ = false;
};

// Whether a folder lies in /proc, whose links name open files by their descriptors.
bool in_proc(const fs::path& folder) {
#ifdef __linux__
  struct statfs info {};
  return ::statfs(folder.c_str(), &info) == 0 && info.f_type == PROC_SUPER_MAGIC;
#else
  (void)folder;
  return false;
#endif
}

// The descriptor of this process that `name` in /proc's `folder` stands for, if it is one.
std::optional<int> own_descriptor(const fs::path& name, const fs::path& folder) {
  std::error_code ec;
  const fs::path real = fs::canonical(folder, ec);
  const fs::path own = fs::path("/proc") / std::to_string(::getpid());
  const bool own_folder =
      !ec && real.filename() == "fd" &&
      (real.parent_path() == own || real.parent_path().parent_path() == own / "task");
  const std::string number = name.filename().string();
  if (!own_folder || number.empty() || number.size() > 9 ||
      number.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  return std::stoi(number);
}

constexpr int kMostLinks = 40;

// The file a path names, links followed one at a time, and how it is to be written.
struct Target {
  Method method = Method::create;
  fs::path name;  // no link
  struct stat old {};
  int descriptor = -1;
};

Target target_of(const fs::path& path) {
  fs::path name = path;
  for (int links = 0;; ++links) {
    if (!name.has_filename()) throw_os_failure(EISDIR);
    const fs::path folder = name.has_parent_path() ? name.parent_path() : fs::path(".");
    if (in_proc(folder)) {
      if (const std::optional<int> descriptor = own_descriptor(name, folder))
        return {Method::descriptor, name, {}, *descriptor};
      return {Method::in_place, name, {}, -1};
    }
    Target target{Method::create, name, {}, -1};
    if (::lstat(name.c_str(), &target.old) != 0) {
      if (errno == ENOENT) return target;
      throw_os_failure(errno);
    }
    if (S_ISDIR(target.old.st_mode)) throw_os_failure(EISDIR);
    if (!S_ISLNK(target.old.st_mode)) {
      const bool one_regular_file = S_ISREG(target.old.st_mode) && target.old.st_nlink == 1;
      target.method = one_regular_file ? Method::replace : Method::in_place;
      return target;
    }
    if (links == kMostLinks) throw_os_failure(ELOOP);
    std::error_code ec;
    const fs::path link = fs::read_symlink(name, ec);
    if (ec) throw_os_failure(ec.value());
    name = folder / link;
  }
}

// A write staged: what it needs is open or made, and the target is untouched until commit().
class StagedWrite {
 public:
  StagedWrite(const FileWrite& request, Temporary temporary)
      : target_(target_of(request.path)), bytes_(request.bytes) {
    switch (target_.method) {
      case Method::descriptor:
        file_ = Descriptor(::fcntl(target_.descriptor, F_DUPFD_CLOEXEC, 0));
        if (!file_) throw_os_failure(errno);
        return;
      case Method::in_place:
        stay_in_place();
        return;
      case Method::replace:
        // An old file that refuses to be written keeps its refusal, though a rename would pass
        // it by.
        stay_in_place();
        [[fallthrough]];
      case Method::create:
        break;
    }
    const fs::path folder = target_.name.parent_path();
    folder_ = Descriptor(
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder_ && make_temporary(temporary)) return;
    if (target_.method == Method::create) {
      if (errno == ENOENT) throw missing_entry(DiskFiles(), target_.name);
      throw_os_failure(errno);
    }
    target_.method = Method::in_place;
  }

  bool in_place() const {
    return target_.method == Method::in_place || target_.method == Method::descriptor;
  }
  bool regular() const { return !in_place() || is_regular(file_.get()); }

  void commit() {
    if (target_.method == Method::descriptor) return write_fully(file_.get(), bytes_);
    if (target_.method == Method::in_place) return write_in_place();
    give_name();
    const std::string name = target_.name.filename().string();
    if (::renameat(folder_.get(), named_.name().c_str(), folder_.get(), name.c_str()) == 0) {
      named_.release();
      return;
    }
    const int error = errno;
    named_ = NamedTemporary();
    // A mount point, a sticky folder's file of another user: the old file takes the bytes.
    if (target_.method != Method::replace) throw_os_failure(error);
    target_.method = Method::in_place;
    write_in_place();
  }

  // Puts back what commit() wrote in place.
  void undo() noexcept {
    if (target_.method != Method::in_place || !old_) return;
    try {
      overwrite(file_.get(), *old_, std::nullopt);
    } catch (const Failure&) {
    }
  }

  void finish() {
    if (file_) file_.close();
  }

 private:
  // A regular file is opened for reading too, so that its old content can be kept; anything else
  // only for writing: a pipe opened for both would take the bytes before any reader came.
  void stay_in_place() {
    if (S_ISREG(target_.old.st_mode))
      file_ = Descriptor(::open(target_.name.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!file_) file_ = Descriptor(::open(target_.name.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    if (!file_) throw_os_failure(errno);
  }

  void write_in_place() {
    if (!is_regular(file_.get())) return write_fully(file_.get(), bytes_);
    old_ = read_fully(file_.get());
    overwrite(file_.get(), bytes_, old_);
  }

  // Makes the temporary, with the old file's owner, group and mode, and writes the bytes into it.
  // Returns false, errno telling why, when the folder takes no new file or the new file cannot
  // carry the old one's owner.
  bool make_temporary(Temporary temporary) {
    const bool replacing = target_.method == Method::replace;
    const mode_t mode = replacing ? (target_.old.st_mode & 07777) : 0666;
#ifdef O_TMPFILE
    if (temporary == Temporary::unnamed_where_possible) {
      temporary_ =
          Descriptor(::openat(folder_.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode & 0777));
      // A file system without files of no name says so in one of these ways.
      if (!temporary_ && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return false;
    }
#else
    (void)temporary;
#endif
    if (!temporary_ && !make_named(mode & 0777)) return false;
    if (replacing && !(carry_identity() && carry_attributes())) {
      const int error = errno;
      temporary_ = Descriptor();
      named_ = NamedTemporary();
      errno = error;
      return false;
    }
    write_fully(temporary_.get(), bytes_);
    return true;
  }

  bool make_named(mode_t mode) {
    for (int tries = 0; tries < kMostNameTries; ++tries) {
      const std::string name = temporary_name();
      temporary_ = Descriptor(
          ::openat(folder_.get(), name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode));
      if (temporary_) {
        named_ = NamedTemporary(folder_.get(), name);
        return true;
      }
      if (errno != EEXIST) return false;
    }
    return false;
  }

  // The owner first: changing it clears the set-user-ID and set-group-ID bits the mode may hold.
  bool carry_identity() {
    struct stat made {};
    if (::fstat(temporary_.get(), &made) != 0) return false;
    if ((made.st_uid != target_.old.st_uid || made.st_gid != target_.old.st_gid) &&
        ::fchown(temporary_.get(), target_.old.st_uid, target_.old.st_gid) != 0)
      return false;
    return ::fchmod(temporary_.get(), target_.old.st_mode & 07777) == 0;
  }

  // The old file's extended attributes (a POSIX ACL among them) go with it: a name or value that
  // cannot be copied leaves the old file to be written in place.
  bool carry_attributes() {
#ifdef __linux__
    const ssize_t size = ::flistxattr(file_.get(), nullptr, 0);
    if (size <= 0) return size == 0 || errno == ENOTSUP;
    std::string names(static_cast<std::size_t>(size), '\0');
    const ssize_t listed = ::flistxattr(file_.get(), names.data(), names.size());
    if (listed < 0) return false;
    names.resize(static_cast<std::size_t>(listed));
    std::string value;
    for (std::size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
      const char* const name = names.c_str() + at;
      const ssize_t length = ::fgetxattr(file_.get(), name, nullptr, 0);
      if (length < 0) return false;
      value.resize(static_cast<std::size_t>(length));
      const ssize_t read = ::fgetxattr(file_.get(), name, value.data(), value.size());
      if (read < 0 ||
          ::fsetxattr(temporary_.get(), name, value.data(), static_cast<std::size_t>(read), 0) != 0)
        return false;
    }
#endif
    return true;
  }

  // A file without a name gets one beside the target only now that it is complete.
  void give_name() {
    if (!named_) {
      const std::string self = "/proc/self/fd/" + std::to_string(temporary_.get());
      for (int tries = 0; tries < kMostNameTries && !named_; ++tries) {
        const std::string name = temporary_name();
        // Without /proc, only a process that may read any file can name a file by its descriptor.
        if (::linkat(AT_FDCWD, self.c_str(), folder_.get(), name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
            (errno == ENOENT &&
             ::linkat(temporary_.get(), "", folder_.get(), name.c_str(), AT_EMPTY_PATH) == 0))
          named_ = NamedTemporary(folder_.get(), name);
        else if (errno != EEXIST)
          throw_os_failure(errno);
      }
      if (!named_) throw_os_failure(EEXIST);
    }
    temporary_.close();
  }

  Target target_;
  std::string_view bytes_;
  Descriptor file_;    // the old file, or the descriptor, written in place
  Descriptor folder_;  // the folder the temporary is made in
  Descriptor temporary_;
  NamedTemporary named_;
  std::optional<std::string> old_;
};

#endif

}  // namespace

std::optional<WriteFailure> write_disk_files(std::span<const FileWrite> writes,
                                             Temporary temporary) {
  // A deque, so that no staged write is ever moved.
  std::deque<StagedWrite> staged;
  for (std::size_t i = 0; i < writes.size(); ++i) {
    try {
      staged.emplace_back(writes[i], temporary);
    } catch (const Failure& failure) {
      return WriteFailure{i, failure};
    }
  }
  // Writes in place first: they can fail half way, and are then put back, while a rename does
  // not fail once its file is complete.
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < staged.size(); ++i)
    if (staged[i].in_place()) order.push_back(i);
  for (std::size_t i = 0; i < staged.size(); ++i)
    if (!staged[i].in_place()) order.push_back(i);
  bool all_regular = true;
  for (const StagedWrite& write : staged) all_regular = all_regular && write.regular();
  std::optional<SignalsHeld> held;
  if (all_regular) held.emplace();
  for (std::size_t done = 0; done < order.size(); ++done) {
    try {
      staged[order[done]].commit();
    } catch (const Failure& failure) {
      for (std::size_t undone = 0; undone < done; ++undone) staged[order[undone]].undo();
      return WriteFailure{order[done], failure};
    }
  }
  for (std::size_t i = 0; i < staged.size(); ++i) {
    try {
      staged[i].finish();
    } catch (const Failure& failure) {
      return WriteFailure{i, failure};
    }
  }
  return std::nullopt;
}

}  // namespace kestrel
