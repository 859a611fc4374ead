#include "compiler/name_finder.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace kestrel {
namespace {

using Found = std::set<std::tuple<int, std::size_t, std::size_t>>;  // definition, first, last
using Every = std::multiset<std::pair<int, std::size_t>>;           // definition, start

// A finder with its table of moves, and one that steps without it.
constexpr std::size_t kTables[] = {NameFinder::kMostMoves, 0};

Found find(const std::vector<std::string>& names, const std::string& text, std::size_t first = 0,
           std::size_t end = std::string::npos, std::size_t reaching = 0,
           std::size_t most_moves = NameFinder::kMostMoves) {
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

}  // namespace
}  // namespace kestrel
