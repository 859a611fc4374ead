#include "app/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/ansi.h"
#include "app/failure.h"
#include "app/memory_files.h"
#include "app/text_lines.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using testing::CurrentTempDir;
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
  };
  for (const Case& c : cases) {
    FileLines lines(c.bytes);
    std::vector<std::string> read;
    while (!lines.at_end()) read.emplace_back(lines.next());
    EXPECT_EQ(read, c.lines) << c.bytes;
  }
}

int failure_number(const std::function<void()>& access) {
  try {
    access();
  } catch (const Failure& failure) {
    return failure.number();
  }
  return 0;
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
  }
}

TEST(DiskFiles, AFileThatCannotBeReadIsReported) {
  DiskFiles disk;
  // Opens even for root, and refuses the read.
  EXPECT_EQ(failure_number([&] { disk.read("/proc/self/mem"); }), 57);
}

// Files that open for writing, even as root, but refuse the bytes.
TEST(DiskFiles, AWriteThatDoesNotReachTheDiskIsReported) {
  struct Case {
    std::string path;
    int number;
    std::string description;
  };
  const std::vector<Case> cases = {
      {"/dev/full", 61, "Disk full"},
      {"/proc/version", 57, "Device I/O error"},
  };
  DiskFiles disk;
  for (const Case& c : cases) {
    try {
      disk.write(c.path, std::string(100, 'x'));
      ADD_FAILURE() << "writing " << c.path << " looked like success";
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.number(), c.number) << c.path;
      EXPECT_EQ(failure.description(), c.description) << c.path;
    }
  }
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

TEST(DiskFiles, CyrillicNamesReachTheDiskAsUtf8) {
  CurrentTempDir dir;
  const std::string name = ansi::from_utf8("Программа.bas");
  DiskFiles disk;
  disk.write(native_path(name), "\xCF\r\n");
  EXPECT_EQ(read_file(dir.path() / u8"Программа.bas"), "\xCF\r\n");
  EXPECT_EQ(disk.read(native_path(name)), "\xCF\r\n");
}

TEST(DiskFiles, ARemovedCurrentFolderIsNamedByADot) {
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
