#include "app/file_io.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ansi.h"
#include "app/failure.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using testing::read_file;
using testing::TempDir;
using testing::write_file;

std::vector<std::string> lines_of(const std::string& name) {
  SourceFile file(name);
  std::vector<std::string> lines;
  while (!file.at_end()) lines.push_back(file.read_line());
  return lines;
}

TEST(SourceFile, EndsLinesAtCrLfLoneCrAndLoneLf) {
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
  TempDir dir;
  for (const Case& c : cases) {
    write_file("f.bas", c.bytes);
    EXPECT_EQ(lines_of("f.bas"), c.lines) << c.bytes;
  }
}

int failure_number_opening(const std::string& ansi_path, bool for_writing) {
  try {
    if (for_writing) {
      TargetFile file(ansi_path);
    } else {
      SourceFile file(ansi_path);
    }
  } catch (const Failure& failure) {
    return failure.number();
  }
  return 0;
}

TEST(FileLayer, MapsTheOperatingSystemsErrorsOntoTheTable) {
  struct Case {
    std::string path;
    bool for_writing;
    int number;
  };
  TempDir dir;
  write_file("plain.txt", "x");
  std::filesystem::create_directory("folder");
  const std::vector<Case> cases = {
      {"missing.bas", false, 53},
      {"no_such_folder/x.bas", false, 76},
      {"no_such_folder/x.bas", true, 76},
      {"plain.txt/x.bas", false, 76},
      {"folder", false, 75},
      {"folder", true, 75},
      {"folder/", false, 75},
      {"   ", false, 52},
      {"   ", true, 52},
      {"/proc/self/mem", false, 57},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(failure_number_opening(c.path, c.for_writing), c.number)
        << c.path << (c.for_writing ? " for writing" : " for reading");
  }
}

// Files that open for writing, even as root, but refuse the bytes.
TEST(TargetFile, AWriteThatDoesNotReachTheDiskIsReported) {
  struct Case {
    std::string path;
    int number;
    std::string description;
  };
  const std::vector<Case> cases = {
      {"/dev/full", 61, "Disk full"},
      {"/proc/version", 57, "Device I/O error"},
  };
  for (const Case& c : cases) {
    TargetFile file(c.path);
    try {
      file.write(std::string(100, 'x'));
      file.close();
      ADD_FAILURE() << "writing " << c.path << " looked like success";
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.number(), c.number) << c.path;
      EXPECT_EQ(failure.description(), c.description) << c.path;
    }
  }
}

TEST(FileLayer, CyrillicNamesReachTheDiskAsUtf8) {
  TempDir dir;
  const std::string name = ansi::from_utf8("Программа.bas");
  TargetFile out(name);
  out.write("\xCF\r\n");
  out.close();
  EXPECT_EQ(read_file(dir.path() / u8"Программа.bas"), "\xCF\r\n");
  EXPECT_EQ(lines_of(name), std::vector<std::string>{"\xCF"});
}

}  // namespace
}  // namespace kestrel
