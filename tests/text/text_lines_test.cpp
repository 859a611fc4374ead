#include "text/text_lines.h"

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

// The run as the lines read one by one give it.
CrlfRun run_line_by_line(const std::string& bytes, std::size_t from) {
  FileLines lines(bytes);
  lines.skip_to(from);
  CrlfRun run{from, 0};
  while (!lines.at_end()) {
    const std::string_view line = lines.next();
    const auto end = static_cast<std::size_t>(line.data() - bytes.data()) + line.size();
    if ((!line.empty() && (line[0] == '#' || line[0] == ' ')) || bytes.compare(end, 2, "\r\n") != 0)
      break;
    run = {end + 2, run.lines + 1};
  }
  return run;
}

// Every line end, and every first byte that stops a run, at every place of the first blocks;
// then sources of every kind of line, mostly plain; each from every line start.
TEST(TextLines, ACrlfRunStopsWhereALineBeginsWithAMarkOrEndsOtherwise) {
  std::vector<std::string> sources;
  for (std::size_t n = 0; n <= 200; ++n)
    for (const char* tail :
         {"\r\ny\r\n", "\r\n\r\n#\r\n", "\r\r\n", "\n\r\n", "\r\n y\r\n", "\r\nz", "\r"})
      sources.push_back(std::string(n, 'x') + tail + std::string(n / 2, 'x') + "\r\n");
  const std::vector<std::string> pieces = {
      "x", "LET A = 1", "\r\n", "\r\n", "\r\n", std::string(70, 'y'), "#define", " x", "\r", "\n"};
  std::uint32_t seed = 11;
  const auto next = [&] { return seed = seed * 1103515245 + 12345, (seed >> 16) % 32768; };
  for (int round = 0; round < 400; ++round) {
    std::string bytes;
    // Rounds of plain lines only, and rounds with the pieces that stop a run.
    const std::size_t kinds = round % 2 == 0 ? 6 : pieces.size();
    for (std::size_t n = next() % 60; n-- > 0;) bytes += pieces[next() % kinds];
    sources.push_back(bytes);
  }
  for (const std::string& bytes : sources) {
    FileLines lines(bytes);
    for (std::size_t from = 0;; from = lines.position()) {
      const CrlfRun run = crlf_run<'#', ' '>(bytes, from);
      const CrlfRun expected = run_line_by_line(bytes, from);
      ASSERT_EQ(run.end, expected.end) << bytes.size() << " " << from;
      ASSERT_EQ(run.lines, expected.lines) << bytes.size() << " " << from;
      if (lines.at_end()) break;
      lines.next();
    }
  }
}

}  // namespace
}  // namespace kestrel
