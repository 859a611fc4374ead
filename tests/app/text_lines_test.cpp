#include "app/text_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrel {
namespace {

std::vector<std::string> file_lines(const std::string& bytes) {
  FileLines lines(bytes);
  std::vector<std::string> read;
  while (!lines.at_end()) read.emplace_back(lines.next());
  return read;
}

// Lines are found a block of bytes at a time: every length up to a few blocks puts each line end,
// and a CR LF split across two blocks, at every place of a block.
TEST(TextLines, LineEndsAtEveryPlaceOfABlock) {
  for (std::size_t n = 0; n <= 200; ++n) {
    const std::string x(n, 'x');
    const std::string z(n, 'z');
    for (const std::string end : {"\r\n", "\r", "\n"}) {
      const std::string bytes = x + end + "y" + end + z;
      std::vector<std::string> expected = {x, "y"};
      if (n > 0) expected.push_back(z);
      EXPECT_EQ(file_lines(bytes), expected) << n << " " << end.size();

      PaneLines pane(bytes);
      std::vector<std::string> taken;
      for (std::string_view line; pane.next(line);) taken.emplace_back(line);
      const bool crlf_ends = end == "\r\n";
      const std::vector<std::string> pane_lines = {x, "y"};
      EXPECT_EQ(taken, crlf_ends ? pane_lines : std::vector<std::string>())
          << n << " " << end.size();
      EXPECT_EQ(pane.rest(), crlf_ends ? z : bytes) << n << " " << end.size();
    }
    // A lone CR just before a CR LF: a line of its own in a file, part of the line in a pane.
    const std::string lone_cr = x + "\r\r\n";
    EXPECT_EQ(file_lines(lone_cr), (std::vector<std::string>{x, ""})) << n;
    PaneLines pane(lone_cr);
    std::string_view line;
    ASSERT_TRUE(pane.next(line)) << n;
    EXPECT_EQ(line, x + "\r") << n;
    EXPECT_FALSE(pane.next(line)) << n;
  }
}

}  // namespace
}  // namespace kestrel
