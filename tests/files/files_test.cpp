#include "files/files.h"

#include <gtest/gtest.h>

#ifdef __linux__
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <csignal>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "files/failure.h"
#include "files/memory_files.h"
#include "support/failure_number.h"
#include "support/temp_dir.h"
#include "text/ansi.h"
#include "text/text_lines.h"

namespace kestrel {
namespace {

using testing::CurrentTempDir;
using testing::failure_number;
using testing::read_file;
using testing::write_file;

TEST(FileLines, EndAtCrLfLoneCrAndLoneLf) {
  struct Case {
    std::string bytes;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"", {}},
      {"\r\n", {""}},
      {"A\r\nB\r\n", {"A", "B"}},
      {"A\r\nB", {"A", "B"}},
      {"A\rB\nC", {"A", "B", "C"}},
      {"A\n\r\nB", {"A", "", "B"}},
      {"A\r\r\n", {"A", ""}},
      {std::string("x\0y", 3), {std::string("x\0y", 3)}},
      // Line ends at each place of an 8-byte word, and bytes that are CR or LF with the high bit.
      {"ABCDEFG\nABCDEFGH\r\nABCDEFGHIJKLMNOPQ\rR",
       {"ABCDEFG", "ABCDEFGH", "ABCDEFGHIJKLMNOPQ", "R"}},
      {"\x8D\x8A\x8D\x8A\x8D\x8A\x8D\x8A\x8D\nZ\xFF",
       {"\x8D\x8A\x8D\x8A\x8D\x8A\x8D\x8A\x8D", "Z\xFF"}},
  };
  for (const Case& c : cases) {
    FileLines lines(c.bytes);
    std::vector<std::string> read;
    while (!lines.at_end()) read.emplace_back(lines.next());
    EXPECT_EQ(read, c.lines) << c.bytes;
  }
}

// The same paths fail with the same numbers on the disk and in memory, so that tests over files
// in memory see what users see.
TEST(Files, BothImplementationsMapFailuresOntoTheTable) {
  struct Case {
    std::string path;
    bool for_writing;
    int number;
  };
  const std::vector<Case> cases = {
      {"missing.bas", false, 53},
      {"no_such_folder/x.bas", false, 76},
      {"no_such_folder/x.bas", true, 76},
      {"plain.txt/x.bas", false, 76},
      {"plain.txt/x.bas", true, 76},
      {"folder", false, 75},
      {"folder", true, 75},
      {"folder/", false, 75},
      {"   ", false, 52},
      {"   ", true, 52},
      {std::string("a\0b", 3), true, 52},
      {"plain.txt", false, 0},
  };
  CurrentTempDir dir;
  write_file("plain.txt", "x");
  std::filesystem::create_directory("folder");
  MemoryFiles memory;
  memory.add_file("plain.txt", "x");
  memory.add_folder("folder");
  DiskFiles disk;
  for (Files* files : {static_cast<Files*>(&disk), static_cast<Files*>(&memory)}) {
    for (const Case& c : cases) {
      const int number = failure_number([&] {
        if (c.for_writing)
          files->write(c.path, "y");
        else
          files->read(c.path);
      });
      EXPECT_EQ(number, c.number) << c.path << (c.for_writing ? " for writing" : " for reading")
                                  << (files == &disk ? " on disk" : " in memory");
    }
    // A file of more bytes than the read may take is over the load bound.
    EXPECT_EQ(failure_number([&] { files->read("plain.txt", 0); }), 80);
    EXPECT_EQ(files->read("plain.txt", 1), "x");
  }
}

std::vector<std::filesystem::path> entries(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename());
  return names;
}

#ifdef _WIN32
// Another program holds the file open without sharing it: reading and writing are refused, and the
// file stays as it was, with nothing beside it. Once the other program lets go, a write replaces
// the file whole.
TEST(DiskFiles, AFileHeldOpenWithoutSharingIsRefusedUntilLetGo) {
  CurrentTempDir dir;
  write_file("held.bas", "old\r\n");
  const HANDLE held = CreateFileW(L"held.bas", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  DiskFiles disk;
  EXPECT_EQ(failure_number([&] { disk.read("held.bas"); }), 70);
  EXPECT_EQ(failure_number([&] { disk.write("held.bas", "new\r\n"); }), 70);
  CloseHandle(held);
  EXPECT_EQ(read_file("held.bas"), "old\r\n");
  EXPECT_EQ(entries(dir.path()), std::vector<std::filesystem::path>{"held.bas"});

  disk.write("held.bas", "new\r\n");
  EXPECT_EQ(read_file("held.bas"), "new\r\n");
  EXPECT_EQ(entries(dir.path()), std::vector<std::filesystem::path>{"held.bas"});
}

// A read-only file is read, and refused for writing with another number than a held one.
TEST(DiskFiles, AReadOnlyFileIsReadButNotWritten) {
  namespace fs = std::filesystem;
  CurrentTempDir dir;
  write_file("readonly.bas", "old\r\n");
  fs::permissions("readonly.bas", fs::perms::owner_write, fs::perm_options::remove);
  const HANDLE writer = CreateFileW(L"readonly.bas", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (writer != INVALID_HANDLE_VALUE) {
    CloseHandle(writer);
    GTEST_SKIP() << "this system writes read-only files (Wine run by root does); "
                    "scripts/windows.sh runs this test again as a user who is not root";
  }
  DiskFiles disk;
  EXPECT_EQ(failure_number([&] { disk.write("readonly.bas", "new\r\n"); }), 75);
  EXPECT_EQ(disk.read("readonly.bas"), "old\r\n");
  EXPECT_EQ(entries(dir.path()), std::vector<std::filesystem::path>{"readonly.bas"});
  // Windows removes no read-only file, and the folder goes when the test ends.
  fs::permissions("readonly.bas", fs::perms::owner_write, fs::perm_options::add);
}
#endif

#ifdef __linux__
// Files and limits that only Linux has.
TEST(DiskFiles, AFileThatCannotBeReadIsReported) {
  DiskFiles disk;
  // Opens even for root, and refuses the read.
  EXPECT_EQ(failure_number([&] { disk.read("/proc/self/mem"); }), 57);
}

// The window reads only regular files: a pipe without a writer, which would hold it for ever, and
// a device are refused at once.
TEST(DiskFiles, WhatIsNotARegularFileIsRefusedWhenOnlyRegularFilesAreRead) {
  CurrentTempDir dir;
  ASSERT_EQ(mkfifo("pipe.bas", 0600), 0);
  write_file("prog.bas", "A\r\n");
  DiskFiles window(ReadPolicy::regular_files_only);
  // A read that waits for a writer ends the test run instead of hanging it.
  alarm(20);
  EXPECT_EQ(failure_number([&] { window.read("pipe.bas"); }), 75);
  EXPECT_EQ(failure_number([&] { window.read("/dev/zero"); }), 75);
  alarm(0);
  EXPECT_EQ(window.read("prog.bas"), "A\r\n");
  EXPECT_EQ(DiskFiles().read("/dev/null"), "");
}

// A device that opens for writing, even for root, and refuses every byte: it is written directly,
// never replaced.
TEST(DiskFiles, AWriteThatDoesNotReachADeviceIsReported) {
  DiskFiles disk;
  try {
    disk.write("/dev/full", std::string(100, 'x'));
    ADD_FAILURE() << "writing /dev/full looked like success";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), 61);
    EXPECT_EQ(failure.description(), "Disk full");
  }
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
  disk.write("/dev/null", "x");
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

// While it lives, no file of the process grows past `bytes`: writes beyond fail as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_signal_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_signal_);
  }

 private:
  rlimit saved_{};
  void (*previous_signal_)(int) = nullptr;
};

// A small file system of its own, where the process may mount one (as root); none elsewhere.
class SmallFileSystem {
 public:
  explicit SmallFileSystem(const std::filesystem::path& folder) : folder_(folder) {
    mounted_ = mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=16k") == 0;
  }
  ~SmallFileSystem() {
    if (mounted_) umount(folder_.c_str());
  }
  bool mounted() const { return mounted_; }

 private:
  std::filesystem::path folder_;
  bool mounted_ = false;
};

// A save that fails half way leaves the old file byte for byte as it was, with its permissions,
// and no temporary file beside it; the next save that fits replaces it, permissions kept.
TEST(DiskFiles, AWriteThatFailsHalfWayLeavesTheOldFileAsItWas) {
  const std::string old_bytes = "old\r\n";
  const std::string too_large(100000, 'x');
  const auto perms = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                     std::filesystem::perms::group_read;
  for (const bool small_file_system : {false, true}) {
    testing::TempDir dir;
    const std::filesystem::path folder = dir.path() / "disk";
    std::filesystem::create_directory(folder);
    std::optional<SmallFileSystem> mounted;
    if (small_file_system && !mounted.emplace(folder).mounted()) continue;
    const std::filesystem::path target = folder / "prog.bas";
    write_file(target, old_bytes);
    std::filesystem::permissions(target, perms);
    DiskFiles disk;
    const int number = failure_number([&] {
      const FileSizeLimit limit(small_file_system ? RLIM_INFINITY : 4096);
      disk.write(target, too_large);
    });
    EXPECT_EQ(number, 61) << small_file_system;
    EXPECT_EQ(read_file(target), old_bytes) << small_file_system;
    EXPECT_EQ(entries(folder), std::vector<std::filesystem::path>{"prog.bas"}) << small_file_system;

    disk.write(target, "new\r\n");
    EXPECT_EQ(read_file(target), "new\r\n") << small_file_system;
    EXPECT_EQ(std::filesystem::status(target).permissions(), perms) << small_file_system;
    EXPECT_EQ(entries(folder), std::vector<std::filesystem::path>{"prog.bas"}) << small_file_system;
  }
}

#endif

// Writing through a link replaces the file it names; the link stays a link.
TEST(DiskFiles, AWriteThroughALinkReplacesTheFileItNames) {
#ifdef _WIN32
  GTEST_SKIP() << "MinGW's C++ library makes no symbolic links";
#endif
  testing::TempDir dir;
  write_file(dir.path() / "real.bas", "old\r\n");
  std::filesystem::create_symlink("real.bas", dir.path() / "link.bas");
  DiskFiles().write(dir.path() / "link.bas", "new\r\n");
  EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "link.bas"));
  EXPECT_EQ(read_file(dir.path() / "real.bas"), "new\r\n");
}

TEST(DiskFiles, ListsAFolderAndTellsFilesFromFolders) {
  CurrentTempDir dir;
  write_file("a.bas", "a");
  std::filesystem::create_directory("sub");
  DiskFiles disk;
  std::vector<std::filesystem::path> names = disk.list(dir.path());
  std::ranges::sort(names);
  EXPECT_EQ(names, (std::vector<std::filesystem::path>{"a.bas", "sub"}));
  EXPECT_EQ(disk.kind("a.bas"), EntryKind::file);
  EXPECT_EQ(disk.kind("sub"), EntryKind::folder);
  EXPECT_EQ(disk.kind("none"), EntryKind::missing);
  EXPECT_TRUE(disk.list("none").empty());
  EXPECT_EQ(disk.current_folder(), dir.path());
}

// Names from the command line, the path boxes and the dialog come in UTF-8, an include's name in
// the code page; each reaches the disk as the name it is, in any language.
TEST(DiskFiles, NamesInAnyLanguageReachTheDiskAsGiven) {
  struct Case {
    std::filesystem::path path;
    std::u8string on_disk;
  };
  const std::vector<Case> cases = {
      {path_from_ansi(ansi::from_utf8("Программа.bas")), u8"Программа.bas"},
      {path_from_utf8("Программа.bas"), u8"Программа.bas"},
      {path_from_utf8("出力.BAS"), u8"出力.BAS"},
      {path_from_utf8("é/øü.bas"), u8"é/øü.bas"},
  };
  CurrentTempDir dir;
  std::filesystem::create_directory(dir.path() / u8"é");
  DiskFiles disk;
  for (const Case& c : cases) {
    disk.write(c.path, "\xCF\r\n");
    EXPECT_EQ(read_file(dir.path() / c.on_disk), "\xCF\r\n") << utf8_path(c.path);
    EXPECT_EQ(disk.read(c.path), "\xCF\r\n") << utf8_path(c.path);
    EXPECT_EQ(utf8_path(c.path), std::string(c.on_disk.begin(), c.on_disk.end()));
  }
  EXPECT_EQ(ansi_path(path_from_utf8("é/出力.BAS")), "?/??.BAS");
}

TEST(DiskFiles, ARemovedCurrentFolderIsNamedByADot) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows removes no folder that is a process's current folder";
#endif
  const std::filesystem::path previous = std::filesystem::current_path();
  {
    CurrentTempDir dir;
    std::filesystem::remove(dir.path());
    EXPECT_EQ(DiskFiles().current_folder(), ".");
  }
  EXPECT_EQ(std::filesystem::current_path(), previous);
}

}  // namespace
}  // namespace kestrel
