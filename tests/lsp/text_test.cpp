#include "lsp/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/files.h"

namespace kestrel::lsp {
namespace {

TEST(LspText, CountsColumnsAsTheClientDoes) {
  struct Case {
    std::string line;
    int point;
    int utf16;
    int utf8;
  };
  // "Ж" is two bytes and one UTF-16 unit, "😀" four bytes and two units; past the end a point is
  // a column.
  const std::vector<Case> cases = {
      {"ABC", 2, 2, 2}, {"ЖX", 1, 1, 2}, {"ЖX", 2, 2, 3},
      {"😀X", 1, 2, 4},  {"😀X", 2, 3, 5}, {"AB", 4, 4, 4},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(column_of(c.line, c.point, Encoding::utf16), c.utf16) << c.line;
    EXPECT_EQ(column_of(c.line, c.point, Encoding::utf8), c.utf8) << c.line;
    if (c.point <= 2) {
      EXPECT_EQ(point_of(c.line, c.utf16, Encoding::utf16), c.point) << c.line;
      EXPECT_EQ(point_of(c.line, c.utf8, Encoding::utf8), c.point) << c.line;
    }
  }
}

TEST(LspText, FindsTheCharactersTheCodePageCannotHold) {
  const std::vector<Lost> lost = lost_characters("АБВ ok\r\nx😀y€\n✓");
  ASSERT_EQ(lost.size(), 2u);  // "€" is in the code page
  EXPECT_EQ((std::pair{lost[0].line, lost[0].point}), (std::pair{1, 1}));
  EXPECT_EQ((std::pair{lost[1].line, lost[1].point}), (std::pair{2, 0}));
}

TEST(LspText, TurnsAddressesIntoPathsAndBack) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"file:///home/me/a%20b.bas", "/home/me/a b.bas"},
      {"file://localhost/tmp/%D0%BC.bas", "/tmp/м.bas"},
  };
  for (const auto& [uri, path] : cases) {
    const std::optional<std::filesystem::path> found = path_of_uri(uri);
    ASSERT_TRUE(found) << uri;
    EXPECT_EQ(*found, path_from_utf8(path)) << uri;
  }
  EXPECT_EQ(uri_of_path(*path_of_uri("file:///home/me/a%20b.bas")), "file:///home/me/a%20b.bas");
  EXPECT_FALSE(path_of_uri("untitled:Untitled-1"));
}

}  // namespace
}  // namespace kestrel::lsp
