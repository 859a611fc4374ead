#include "compiler/name_finder.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace kestrel {
namespace {

using Found = std::set<std::tuple<int, std::size_t, std::size_t>>;  // definition, first, last
using Every = std::multiset<std::pair<int, std::size_t>>;           // definition, start

// A finder with its table of moves, and one that steps without it.
constexpr std::size_t kTables[] = {FastPaths::kMostMoves, 0};

Found find(const std::vector<std::string>& names, const std::string& text, std::size_t first = 0,
           std::size_t end = std::string::npos, std::size_t reaching = 0,
           std::size_t most_moves = FastPaths::kMostMoves) {
  const NameFinder finder(names, static_cast<int>(names.size()), most_moves);
  Found found;
  finder.find(
      text, first, std::min(end, text.size()), reaching,
      [&](int k, std::size_t a, std::size_t b) { EXPECT_TRUE(found.emplace(k, a, b).second); });
  return found;
}

std::string every_byte() {
  std::string text;
  for (int c = 0; c < 256; ++c) text += static_cast<char>(c);
  return text;
}

TEST(NameOrder, SortsByTheWholeNameAndKeepsTableOrderForOneName) {
  const struct {
    std::vector<std::string> names;
    int count;
    std::vector<int> order;
  } cases[] = {
      {{"B", "A", "AB", "", "A"}, 5, {3, 1, 4, 2, 0}},
      // Names alike in their first eight bytes are told apart by the rest.
      {{"ABCDEFGHY", "ABCDEFGHX", "ABCDEFGH", "ABCDEFGHX"}, 4, {2, 1, 3, 0}},
      // Bytes compare as unsigned: the upper half comes last.
      {{"\xC0", "Z", "a", "\x7F"}, 4, {1, 2, 3, 0}},
      // Only the table's valid slots.
      {{"B", "A", "C"}, 2, {1, 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(in_name_order(c.names, c.count), c.order) << c.names[0];
}

TEST(NameFinder, ReportsEachNameOnceWithItsFirstAndLastStart) {
  const struct {
    std::vector<std::string> names;
    std::string text;
    Found expected;
  } cases[] = {
      // Names ending in one another, and one in the middle of another.
      {{"A", "AA", "AAA", "B"}, "AAAA", {{0, 0, 3}, {1, 0, 2}, {2, 0, 1}}},
      {{"BA", "A", "CBA"}, "xCBAyBA", {{0, 2, 5}, {1, 3, 6}, {2, 1, 1}}},
      {{"AB", "B"}, "AAB", {{0, 1, 1}, {1, 2, 2}}},
      // A failed longer match must not hide a shorter one starting inside it.
      {{"ABCD", "BCE"}, "ABCE", {{1, 1, 1}}},
      // An empty name is never found; two definitions of one name both are, in table order.
      {{"", "X", "X"}, "X", {{1, 0, 0}, {2, 0, 0}}},
      {{"X"}, "", {}},
      // Bytes of the upper half; a name of every byte there is.
      {{"\xC6\xD0", "\xD0"}, "a\xC6\xD0", {{0, 1, 1}, {1, 2, 2}}},
      {{every_byte(), "\x01"}, "\xFF" + every_byte(), {{0, 1, 1}, {1, 2, 2}}},
  };
  for (const std::size_t most_moves : kTables) {
    for (const auto& c : cases)
      EXPECT_EQ(find(c.names, c.text, 0, std::string::npos, 0, most_moves), c.expected) << c.text;
  }
}

TEST(NameFinder, KeepsToTheStartsAndReachAskedFor) {
  const std::vector<std::string> names = {"AB", "B", "BAB"};
  // Starts in [2, 4) only, though the walk reads on to finish a name begun there; "AB" at 4 lies
  // past the stretch, and its last start is only known to be before the stretch's end.
  EXPECT_EQ(find(names, "ABABAB", 2, 4), (Found{{0, 2, 3}, {1, 3, 3}, {2, 3, 3}}));
  // Only names reaching past position 4: "AB" at 2 ends there, "BAB" at 3 goes on.
  EXPECT_EQ(find(names, "ABABAB", 2, 4, 4), (Found{{2, 3, 3}}));
  // The last start is cut at the end of the stretch even when a later one follows.
  EXPECT_EQ(find({"A"}, "AAAA", 0, 2), (Found{{0, 0, 1}}));
}

TEST(NameFinder, FindsANameAsLongAsALine) {
  const std::string name(30000, 'A');
  EXPECT_EQ(find({name, name.substr(1) + "B"}, name + "A"), (Found{{0, 0, 1}}));
}

TEST(NameFinder, ListsEveryOccurrenceUnlessThereAreTooMany) {
  const std::vector<std::string> names = {"A", "AA", "B", "BAB"};
  for (const std::size_t most_moves : kTables) {
    const NameFinder finder(names, 4, most_moves);
    Every every;
    EXPECT_TRUE(
        finder.find_every("AAxBABA", 8, [&](int k, std::size_t at) { every.emplace(k, at); }));
    EXPECT_EQ(every, (Every{{0, 0}, {0, 1}, {0, 4}, {0, 6}, {1, 0}, {2, 3}, {2, 5}, {3, 3}}));
    EXPECT_FALSE(finder.find_every("AAxBABA", 7, [](int, std::size_t) {}));
  }
}

// What a walk reports of one line: every occurrence in order, and whether it listed them all.
struct Listed {
  std::vector<std::pair<int, std::size_t>> found;
  bool all = true;
  bool operator==(const Listed&) const = default;
};

template <typename Walk>
Listed listed(Walk walk) {
  Listed l;
  l.all = walk([&](int k, std::size_t at) { l.found.emplace_back(k, at); });
  return l;
}

// A text of many lines over a few bytes: names, parts of names, blanks and line ends.
std::string random_lines(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  const std::string_view pieces[] = {"A", "B", "AB", "BAB", " ", "  ", "x", "\r\n", "\r\n  "};
  std::string text;
  while (text.size() < size) text += pieces[random() % std::size(pieces)];
  return text;
}

// Lines found ahead, a stretch of the text at a time, are found as one line's walk finds them:
// lines that begin where a walk would carry a name over, lines longer than a stretch, lines
// outside the text, and lines past the count of occurrences asked for.
TEST(LinesFinder, FindsInEachLineWhatItsOwnWalkFinds) {
  const std::size_t stretch = LinesFinder::kStretch;
  const std::string many = random_lines(3 * stretch, 7);
  const std::string names_only(stretch / 2, 'A');
  const std::string long_line = "\r\n" + std::string(stretch + 10, 'B') + "AB\r\n";
  // Short lines walked a short stretch at a time, then lines that need longer stretches (three,
  // since the walk below skips every third line).
  std::string longer_later = many.substr(0, 3 * FastPaths::kWalkStretch);
  for (const std::size_t size : {2, 3, 2})
    longer_later += "\r\n" + std::string(size * FastPaths::kWalkStretch, 'A') + "B";
  longer_later += many.substr(0, 2000);
  const std::string elsewhere = "BAB AB";
  const struct {
    std::vector<std::string> names;
    std::string text;
    std::size_t most;
  } cases[] = {
      {{"A", "AB", "B", "BAB", "BB"}, many, 1000},
      {{"A", "AB", "B", "BAB", "BB"}, many, 3},
      {{"AA", "A"}, names_only + " A", 1 << 20},
      {{"B", "BAB"}, long_line + many.substr(0, 500), 1 << 20},
      {{"A", "AB", "B", "BAB"}, longer_later, 1 << 20},
      // A name holding the line end, which makes lines that follow a walk's name.
      {{"B\r", "\nA", "AB"}, "AB\r\nAB\r\nB\r\nA", 100},
  };
  for (const std::size_t most_moves : kTables) {
    for (const auto& c : cases) {
      const NameFinder finder(c.names, static_cast<int>(c.names.size()), most_moves);
      LinesFinder lines(finder, c.text, FastPaths::kWalkStretch);
      const std::string_view text = c.text;
      // Every line, its leading blanks left out as the pass does; every third line is skipped;
      // and lines in the middle of one, which the walk enters in a name.
      std::size_t number = 0;
      for (std::size_t first = 0; first <= text.size(); ++number) {
        const std::size_t end = std::min(text.find("\r\n", first), text.size());
        std::string_view line = text.substr(first, end - first);
        if (number % 5 == 4 && line.size() > 2) line.remove_prefix(1);
        line.remove_prefix(std::min(line.find_first_not_of(' '), line.size()));
        if (number % 3 != 2) {
          const auto own = [&](auto found) { return finder.find_every(line, c.most, found); };
          const auto ahead = [&](auto found) {
            return lines.walked(line) ? lines.find_every(line, c.most, found)
                                      : finder.find_every(line, c.most, found);
          };
          ASSERT_EQ(listed(ahead), listed(own)) << "line " << number << " of " << c.names[0];
        }
        first = end + 2;
      }
      // A line outside the text, and the first line again.
      for (const std::string_view line : {std::string_view(elsewhere), text.substr(0, 40)}) {
        const auto own = [&](auto found) { return finder.find_every(line, c.most, found); };
        const auto ahead = [&](auto found) {
          return lines.walked(line) ? lines.find_every(line, c.most, found)
                                    : finder.find_every(line, c.most, found);
        };
        EXPECT_EQ(listed(ahead), listed(own)) << line;
      }
    }
  }
}

}  // namespace
}  // namespace kestrel
