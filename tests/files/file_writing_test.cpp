#include "files/file_writing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "files/files.h"
#include "support/failure_number.h"
#include "support/temp_dir.h"

#ifdef __linux__
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>
#endif

namespace kestrel {
namespace {

namespace fs = std::filesystem;

using testing::failure_number;
using testing::read_file;
using testing::TempDir;
using testing::write_file;

std::vector<std::string> entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::ranges::sort(names);
  return names;
}

// The files of a run are written all or none: a file that cannot be written leaves every other
// one as it was, and nothing beside them.
TEST(WritingFiles, AllOrNone) {
  TempDir dir;
  write_file(dir.path() / "a.bas", "old\r\n");
  DiskFiles disk;
  const FileWrite writes[] = {{dir.path() / "a.bas", "new\r\n"},
                              {dir.path() / "b.bas", "new\r\n"},
                              {dir.path() / "no_such_folder" / "x", "new\r\n"}};
  const std::optional<WriteFailure> failed = disk.write_all(writes);
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->index, 2U);
  EXPECT_EQ(failed->failure.number(), 76);
  EXPECT_EQ(read_file(dir.path() / "a.bas"), "old\r\n");
  EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"a.bas"});

  EXPECT_FALSE(disk.write_all(std::span(writes, 2)));
  EXPECT_EQ(read_file(dir.path() / "a.bas"), "new\r\n");
  EXPECT_EQ(read_file(dir.path() / "b.bas"), "new\r\n");
  EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"a.bas", "b.bas"}));
}

#ifdef __linux__

// Names of every length the folder takes, and paths of every length the system takes: the
// temporary needs no more room than the name itself.
TEST(WritingFiles, TheLongestNamesAndPathsAreWritten) {
  TempDir dir;
  DiskFiles disk;
  const std::string longest_name = std::string(251, 'n') + ".bas";
  fs::path deep = dir.path();
  // A path of 4,079 bytes, as a shell writes one.
  while (deep.native().size() < 4079 - 1 - 200 - 250) deep /= std::string(200, 'd');
  deep /= std::string(4079 - 1 - 250 - 1 - deep.native().size(), 'e');
  fs::create_directories(deep);
  const fs::path longest_path = deep / std::string(250, 'p');
  ASSERT_EQ(longest_path.native().size(), 4079U);
  for (const fs::path& path : {dir.path() / longest_name, longest_path}) {
    for (const char* bytes : {"first\r\n", "second\r\n"}) {
      EXPECT_EQ(failure_number([&] { disk.write(path, bytes); }), 0) << path.native().size();
      EXPECT_EQ(read_file(path), bytes);
    }
  }
}

struct stat status_of(const fs::path& path) {
  struct stat info {};
  lstat(path.c_str(), &info);
  return info;
}

// Links of every kind are followed to the file they name, and a descriptor of the process is
// written as it stands: nothing is replaced, every name keeps the file it named.
TEST(WritingFiles, LinksAndDescriptorsAreWrittenNotReplaced) {
  struct Case {
    const char* name;
    std::function<fs::path(const fs::path& dir)> target;  // sets the files up
    std::function<void(const fs::path& dir)> check;       // after "new\n" was written
  };
  int held = -1;
  const auto append_log = [&held](const fs::path& dir) {
    write_file(dir / "build.log", "before\n");
    held = open((dir / "build.log").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    return held;
  };
  const auto log_appended = [](const fs::path& dir) {
    EXPECT_EQ(read_file(dir / "build.log"), "before\nnew\n");
    EXPECT_EQ(entries(dir), std::vector<std::string>{"build.log"});
  };
  const std::vector<Case> cases = {
      {"/dev/fd/N of a file open for appending",
       [&](const fs::path& dir) { return "/dev/fd/" + std::to_string(append_log(dir)); },
       log_appended},
      {"/proc/self/fd/N of a file open for appending",
       [&](const fs::path& dir) { return "/proc/self/fd/" + std::to_string(append_log(dir)); },
       log_appended},
      {"a link to a file still to be made",
       [](const fs::path& dir) {
         fs::create_symlink("missing.bas", dir / "d.bas");
         return dir / "d.bas";
       },
       [](const fs::path& dir) {
         EXPECT_TRUE(fs::is_symlink(dir / "d.bas"));
         EXPECT_EQ(read_file(dir / "missing.bas"), "new\n");
       }},
      {"a link to a link to a file",
       [](const fs::path& dir) {
         write_file(dir / "sub" / "real.bas", "old\n");
         fs::create_symlink("sub/real.bas", dir / "l2");
         fs::create_symlink(dir / "l2", dir / "l1");
         return dir / "l1";
       },
       [](const fs::path& dir) {
         EXPECT_TRUE(fs::is_symlink(dir / "l1"));
         EXPECT_TRUE(fs::is_symlink(dir / "l2"));
         EXPECT_EQ(read_file(dir / "sub" / "real.bas"), "new\n");
       }},
      {"a file with two names",
       [](const fs::path& dir) {
         write_file(dir / "a.bas", "old\n");
         fs::create_hard_link(dir / "a.bas", dir / "b.bas");
         return dir / "a.bas";
       },
       [](const fs::path& dir) {
         EXPECT_EQ(read_file(dir / "b.bas"), "new\n");
         EXPECT_EQ(status_of(dir / "a.bas").st_ino, status_of(dir / "b.bas").st_ino);
       }},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const fs::path target = c.target(dir.path());
    EXPECT_EQ(failure_number([&] { DiskFiles().write(target, "new\n"); }), 0) << c.name;
    c.check(dir.path());
    if (held >= 0) close(std::exchange(held, -1));
  }
}

// A pipe is written only once a reader has come: the bytes are not left in a pipe that nobody
// reads.
TEST(WritingFiles, APipeIsWrittenToItsReader) {
  TempDir dir;
  const fs::path pipe = dir.path() / "pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  std::atomic<bool> written{false};
  std::thread writer([&] {
    DiskFiles().write(pipe, "new\n");
    written = true;
  });
  // Time enough for a writer that does not wait for a reader to be done and gone.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const int reader = open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  std::string got;
  char chunk[64];
  // The end of the pipe is its end only once the writer is done; before, it may not have come.
  for (ssize_t n = 0; (n = read(reader, chunk, sizeof chunk)) != 0 || !written;) {
    if (n > 0) got.append(chunk, static_cast<std::size_t>(n));
    if (n <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  close(reader);
  writer.join();
  EXPECT_EQ(got, "new\n");
}

// A descriptor that is not open names no file, and nothing is made in its place.
TEST(WritingFiles, AClosedDescriptorIsReportedAndLeftAlone) {
  const int closed = open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(closed, 0);
  close(closed);
  for (const std::string& path :
       {"/dev/fd/" + std::to_string(closed), "/proc/self/fd/" + std::to_string(closed)}) {
    EXPECT_EQ(failure_number([&] { DiskFiles().write(path, "new\n"); }), 52) << path;
    EXPECT_FALSE(fs::exists(path)) << path;
  }
  EXPECT_TRUE(fs::is_symlink("/dev/fd"));
}

// Runs `write` in a child process with the rights of `uid` and `gid` alone; returns the failure
// number it met, 0 when none.
int as_user(uid_t uid, gid_t gid, const std::function<void()>& write) {
  const pid_t child = fork();
  if (child == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(255);
    _exit(failure_number(write));
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Another user's files and folders that refuse a rename are written in place, and keep their
// owner, group and mode; a file this user owns is replaced and keeps them too.
TEST(WritingFiles, OwnersModesAndFoldersThatRefuseARename) {
  if (geteuid() != 0) GTEST_SKIP() << "only root makes files of another user to write";
  const passwd* nobody = getpwnam("nobody");
  ASSERT_NE(nobody, nullptr);
  const uid_t other = nobody->pw_uid;
  const gid_t other_group = nobody->pw_gid;
  struct Case {
    const char* name;
    uid_t owner;  // of the old file; its folder is root's
    mode_t file_mode;
    mode_t folder_mode;
    bool written_by_other;  // else by root
  };
  const std::vector<Case> cases = {
      {"another user's file, written by root", other, 0640, 0755, false},
      {"a file of root's own, written by root", 0, 0600, 0755, false},
      {"a writable file in a read-only folder", 0, 0666, 0555, true},
      {"another user's file in a sticky folder", 0, 0666, 01777, true},
      {"a file of the writer's own in a sticky folder", other, 0600, 01777, true},
  };
  for (const Case& c : cases) {
    TempDir dir;
    fs::permissions(dir.path(), fs::perms(0755));
    const fs::path folder = dir.path() / "folder";
    const fs::path target = folder / "u.bas";
    fs::create_directory(folder);
    write_file(target, "old\r\n");
    ASSERT_EQ(chown(target.c_str(), c.owner, c.owner == 0 ? 0 : other_group), 0);
    ASSERT_EQ(chmod(target.c_str(), c.file_mode), 0);
    ASSERT_EQ(chmod(folder.c_str(), c.folder_mode), 0);
    const auto write = [&] { DiskFiles().write(target, "new\r\n"); };
    const int number =
        c.written_by_other ? as_user(other, other_group, write) : failure_number(write);
    EXPECT_EQ(number, 0) << c.name;
    EXPECT_EQ(read_file(target), "new\r\n") << c.name;
    const struct stat after = status_of(target);
    EXPECT_EQ(after.st_uid, c.owner) << c.name;
    EXPECT_EQ(after.st_gid, c.owner == 0 ? 0 : other_group) << c.name;
    EXPECT_EQ(after.st_mode & 07777, c.file_mode) << c.name;
    EXPECT_EQ(entries(folder), std::vector<std::string>{"u.bas"}) << c.name;
  }
}

// A file replaced keeps its extended attributes: a user's own, and a POSIX ACL.
TEST(WritingFiles, AReplacedFileKeepsItsExtendedAttributes) {
  TempDir dir;
  const fs::path target = dir.path() / "a.bas";
  write_file(target, "old\r\n");
  const std::string note = "kept";
  if (setxattr(target.c_str(), "user.kestrel", note.data(), note.size(), 0) != 0)
    GTEST_SKIP() << "this file system keeps no user attributes";
  // An ACL granting a group of its own: user::rw-, group::r--, group:nogroup:rw-, mask::rw-,
  // other::---, as the kernel stores it.
  const unsigned char acl[] = {2, 0,   0,   0,   1,   0,   6,  0, 255, 255, 255, 255, 4,   0,  4,
                               0, 255, 255, 255, 255, 8,   0,  6, 0,   254, 255, 0,   0,   16, 0,
                               6, 0,   255, 255, 255, 255, 32, 0, 0,   0,   255, 255, 255, 255};
  const bool with_acl =
      setxattr(target.c_str(), "system.posix_acl_access", acl, sizeof acl, 0) == 0;
  const ino_t before = status_of(target).st_ino;
  EXPECT_EQ(failure_number([&] { DiskFiles().write(target, "new\r\n"); }), 0);
  EXPECT_EQ(read_file(target), "new\r\n");
  EXPECT_NE(status_of(target).st_ino, before) << "replaced by rename, not written in place";
  char kept[16] = {};
  EXPECT_EQ(getxattr(target.c_str(), "user.kestrel", kept, sizeof kept), 4);
  EXPECT_EQ(std::string(kept), note);
  if (with_acl) {
    unsigned char copied[sizeof acl] = {};
    EXPECT_EQ(getxattr(target.c_str(), "system.posix_acl_access", copied, sizeof copied),
              static_cast<ssize_t>(sizeof acl));
    EXPECT_TRUE(std::equal(std::begin(acl), std::end(acl), std::begin(copied)));
  }
}

// A file mounted over another name cannot be renamed over: it is written in place.
TEST(WritingFiles, ABindMountedFileIsWrittenInPlace) {
  TempDir dir;
  write_file(dir.path() / "real.bas", "old\r\n");
  write_file(dir.path() / "mounted.bas", "");
  if (mount((dir.path() / "real.bas").c_str(), (dir.path() / "mounted.bas").c_str(), nullptr,
            MS_BIND, nullptr) != 0)
    GTEST_SKIP() << "this process may not mount a file";
  const int number =
      failure_number([&] { DiskFiles().write(dir.path() / "mounted.bas", "new\r\n"); });
  EXPECT_EQ(read_file(dir.path() / "real.bas"), "new\r\n");
  umount((dir.path() / "mounted.bas").c_str());
  EXPECT_EQ(number, 0);
}

// A write in place that fails half way puts the old content back.
TEST(WritingFiles, AWriteInPlaceThatFailsHalfWayPutsTheOldContentBack) {
  TempDir dir;
  write_file(dir.path() / "a.bas", "old\r\n");
  fs::create_hard_link(dir.path() / "a.bas", dir.path() / "b.bas");
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit = saved;
  limit.rlim_cur = 4096;
  setrlimit(RLIMIT_FSIZE, &limit);
  const int number =
      failure_number([&] { DiskFiles().write(dir.path() / "a.bas", std::string(100000, 'x')); });
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(number, 61);
  EXPECT_EQ(read_file(dir.path() / "b.bas"), "old\r\n");
}

// The process ends by a signal while the new file is being written: the old file stays as it was
// and, but for a named temporary after kill -9, nothing is left beside it. A temporary carries the
// old file's mode from the start.
TEST(WritingFiles, ASignalInTheMiddleOfAWriteLeavesTheOldFileAndNoTemporary) {
  struct Case {
    Temporary temporary;
    int signal_number;
    bool leftover;
  };
  const std::vector<Case> cases = {
      {Temporary::unnamed_where_possible, SIGKILL, false},
      {Temporary::named, SIGINT, false},
      {Temporary::named, SIGTERM, false},
      {Temporary::named, SIGKILL, true},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const fs::path target = dir.path() / "prog.bas";
    write_file(target, "old\r\n");
    fs::permissions(target, fs::perms(0600));
    const pid_t child = fork();
    if (child == 0) {
      // The signal comes when the new file passes 4 KiB.
      static int signal_number = c.signal_number;
      std::signal(SIGXFSZ, [](int) { raise(signal_number); });
      rlimit limit{4096, RLIM_INFINITY};
      setrlimit(RLIMIT_FSIZE, &limit);
      const std::string bytes(100000, 'x');
      const FileWrite write[] = {{target, bytes}};
      write_disk_files(write, c.temporary);
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal_number) << c.signal_number;
    EXPECT_EQ(read_file(target), "old\r\n");
    const std::vector<std::string> names = entries(dir.path());
    EXPECT_EQ(names.size(), c.leftover ? 2U : 1U) << c.signal_number;
    if (c.leftover && names.size() == 2) {
      EXPECT_EQ(status_of(dir.path() / names[0]).st_mode & 0777, 0600U);
    }
  }
}

#endif

}  // namespace
}  // namespace kestrel
