#include "files/overlay_files.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "files/memory_files.h"

namespace kestrel {
namespace {

TEST(OverlayFiles, ReadsBuffersBeforeTheFilesBelow) {
  MemoryFiles disk("/work");
  disk.add_file("/work/main.bas", "on disk");
  disk.add_file("/work/inc.bas", "include");
  OverlayFiles files(disk);
  files.put("main.bas", "edited");
  files.put("/work/new.bas", "unsaved");

  EXPECT_EQ(files.read("/work/main.bas"), "edited");
  EXPECT_EQ(files.read("inc.bas"), "include");
  EXPECT_EQ(files.read("new.bas"), "unsaved");
  EXPECT_EQ(files.kind("/work/new.bas"), EntryKind::file);
  const std::vector<std::filesystem::path> names = files.list("/work");
  EXPECT_EQ(std::ranges::count(names, std::filesystem::path("new.bas")), 1);
  EXPECT_EQ(std::ranges::count(names, std::filesystem::path("main.bas")), 1);

  files.drop("/work/main.bas");
  EXPECT_EQ(files.read("main.bas"), "on disk");
  files.write("new.bas", "saved");
  EXPECT_FALSE(files.holds("new.bas"));
  EXPECT_EQ(disk.content("/work/new.bas"), "saved");
  EXPECT_THROW(files.read("missing.bas"), Failure);
}

}  // namespace
}  // namespace kestrel
