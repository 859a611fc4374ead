#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "compile_run.h"
#include "tests/reference/reference_pass.h"

namespace kestrel {
namespace {

using testing::CompileRun;
using testing::cp;
using testing::Definitions;
using testing::text_of;

struct Case {
  std::string source;
  Definitions definitions;
  bool check1 = false;
  bool check2 = false;
};

struct Compared {
  CompileRun program, reference;
  bool hit_step_cap = false;
};

// The program with every fast path, then with each switched off alone, so that those left are each
// held to the reference, and with a short stretch for the interleaved walks, so that lines cross
// the stretches' ends. Case i takes choice i % 6.
constexpr int kPathChoices = kFastPathCount + 1;
FastPaths path_choice(int i) {
  if (i % kPathChoices < kFastPathCount) return without(static_cast<FastPath>(i % kPathChoices));
  FastPaths paths;
  paths.walk_stretch = 64;
  return paths;
}

Compared compare(const Case& c, const FastPaths& paths = {}, PathCounts* taken = nullptr) {
  Compared result;
  result.program = testing::compile(c.source, c.definitions, c.check1, c.check2, paths, taken);
  result.reference =
      testing::run_pass(c.source, c.definitions, c.check1, c.check2, [&](Workbench& state, Ui& ui) {
        const testing::ReferenceRun run = testing::reference_compile(state, ui);
        result.hit_step_cap = run.hit_step_cap;
        return run.ok;
      });
  return result;
}

std::string shown(const Case& c) {
  std::string text = "options " + std::to_string(c.check1) + std::to_string(c.check2) + "\n";
  for (const auto& [name, value] : c.definitions)
    text += "define '" + name + "' = '" + value + "'\n";
  return text + "source:\n" + c.source;
}

// The seeded random choices both case makers draw from.
class Dice {
 protected:
  explicit Dice(unsigned seed) : random_(seed) {}

  int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
  bool chance(int percent) { return below(100) < percent; }

 private:
  std::mt19937 random_;
};

// Sources of a few short lines over a small alphabet, so that names, labels and their neighbours
// collide often: prefixes, names with inner blanks, values that hold names, labels inside labels,
// unclosed brackets, directives, comments, definition lines and a last line without a line end.
class CaseMaker : Dice {
 public:
  explicit CaseMaker(unsigned seed) : Dice(seed) {}

  Case make() {
    Case c;
    c.check1 = chance(50);
    c.check2 = chance(50);
    const int definitions = below(6);
    for (int k = 0; k < definitions; ++k) c.definitions.emplace_back(name(), "");
    // Few duplicates, or most cases would end at the duplicate test.
    if (!chance(5)) drop_duplicate_names(c.definitions);
    for (auto& [name, value] : c.definitions) value = pieces(below(4), name);
    const int lines = below(9);
    std::vector<std::string> source;
    for (int i = 0; i < lines; ++i) source.push_back(line(c.definitions));
    c.source = text_of(source);
    if (chance(10)) c.source += pieces(2, "");
    return c;
  }

 private:
  template <typename T>
  const T& pick(const std::vector<T>& items) {
    return items[static_cast<std::size_t>(below(static_cast<int>(items.size())))];
  }

  std::string name() {
    static const std::vector<std::string> names = {"A",  "B",  "AB", "A B", "X1", "X0", "_A",
                                                   "[A", "A]", "BA", "0",   "",   "ABA"};
    return pick(names);
  }

  static void drop_duplicate_names(Definitions& definitions) {
    Definitions unique;
    for (const auto& definition : definitions) {
      bool seen = false;
      for (const auto& kept : unique) seen = seen || kept.first == definition.first;
      if (!seen) unique.push_back(definition);
    }
    definitions = unique;
  }

  // Text that holds `avoid` (a definition's own name) only rarely, since a value holding its name
  // makes a line's replacements endless.
  std::string pieces(int count, const std::string& avoid) {
    static const std::vector<std::string> items = {
        "A", "B", "AB", "A B", "X",   "_",  "0",   "1", "7",  " ", "  ",   "=",
        "+", "[", "]",  "[A]", "[B]", "[A", "[0]", "(", "\t", "@", "\xC6", "REM"};
    std::string text;
    for (int i = 0; i < count; ++i) {
      std::string item = pick(items);
      if (!avoid.empty() && item.find(avoid) != std::string::npos && !chance(15)) continue;
      text += item;
    }
    return text;
  }

  // Label names as short as label numbers, so that a reference with its number put in can spell
  // another label.
  std::string label_pieces(int count) {
    static const std::vector<std::string> items = {"A", "B", "A0", "A1"};
    std::string text;
    for (int i = 0; i < count; ++i) text += pick(items);
    return text;
  }

  std::string reference_pieces(int count) {
    static const std::vector<std::string> items = {"[A", "[B]", "]", "[A[B]]", "[B[A]", "0", "["};
    std::string text;
    for (int i = 0; i < count; ++i) text += pick(items);
    return text;
  }

  std::string line(const Definitions& definitions) {
    std::string text = chance(30) ? std::string(static_cast<std::size_t>(below(3)) + 1, ' ') : "";
    switch (below(9)) {
      case 0:
      case 8:
        text += "[" + label_pieces(1) + (chance(80) ? "]" : "") + pieces(below(2), "");
        break;
      case 1: {
        static const std::vector<std::string> numbers = {"0",   "1",   "5 ",   "05",   "10", "2.5",
                                                         "3.5", "1E1", "2048", "2049", "1 0"};
        text += pick(numbers) + pieces(below(2), "");
        break;
      }
      case 2:
        text += "REM" + pieces(below(3), "");
        break;
      case 3:
        text += "GOTO " + reference_pieces(below(4));
        break;
      case 4:
        text += "#define " + pieces(below(2), "");
        break;
      case 5:
        if (!definitions.empty()) text += pick(definitions).first + pieces(below(3), "");
        break;
      default:
        text += pieces(below(6), "");
    }
    return text + (chance(20) ? " " : "");
  }
};

// Every fast path and every fallback was taken; lines with too many occurrences to list only where
// `long_lines`.
void expect_every_path(const PathCounts& taken, bool long_lines) {
  const std::pair<const char*, std::size_t> counts[] = {
      {"apart", taken.apart},
      {"crowded, listed", taken.crowded_listed},
      {"crowded, unlisted", long_lines ? taken.crowded_unlisted : 1},
      {"interleaved walks", taken.interleaved},
      {"failure links", taken.failure_links},
      {"closed labels", taken.closed_labels},
      {"spanning labels", taken.spanning_labels},
  };
  for (const auto& [path, count] : counts) EXPECT_GT(count, 0U) << path;
}

TEST(CompileDifferential, RandomSourcesMatchTheReference) {
  const std::string compile_ok = "COMPILE OK";
  const std::string loop_message = cp("Ошибка - Зацикленная подстановка!");
  CaseMaker maker(20261207);
  int failures = 0, ok_with_labels = 0, label_findings = 0, capped = 0, cycles = 0;
  PathCounts taken;
  for (int i = 0; i < 15000 && failures < 5; ++i) {
    const Case c = maker.make();
    const Compared result = compare(c, path_choice(i), &taken);
    if (result.program != result.reference) {
      ++failures;
      ADD_FAILURE() << "case " << i << "\n"
                    << shown(c) << "\nprogram:\n"
                    << result.program.output << "\nreference:\n"
                    << result.reference.output;
    }
    const std::vector<std::string>& messages = result.reference.messages;
    const bool looped = !messages.empty() && messages.back().starts_with(loop_message);
    // The reference's cap ends runs early; the program must call each of them a loop by itself.
    if (result.hit_step_cap) {
      ++capped;
      EXPECT_TRUE(looped) << shown(c);
    } else if (looped) {
      ++cycles;
    }
    const bool has_labels = result.reference.output != c.source && c.source.find('[') != 0;
    if (has_labels && messages == std::vector{compile_ok} &&
        c.source.find("\r\n[") != std::string::npos)
      ++ok_with_labels;
    if (messages.size() == 2 || (!messages.empty() && messages[0].starts_with(cp("Ошибка - Ду"))))
      ++label_findings;
  }
  // The cases must reach the paths they are meant to compare.
  EXPECT_GT(ok_with_labels, 100);
  EXPECT_GT(label_findings, 100);
  EXPECT_GT(capped, 5);
  EXPECT_GT(cycles, 5);
  expect_every_path(taken, false);
}

// Long lines crowded with names that begin and end in one another, values that hold other names,
// a few long names, and many labels, some with text after their "]", some not closed and some
// spanning two "[": each line holds many occurrences of one name and of many, so the occurrences'
// places are kept through many replacements, and labels take their turns among many pieces.
class CrowdedCaseMaker : Dice {
 public:
  explicit CrowdedCaseMaker(unsigned seed) : Dice(seed) {}

  Case make() {
    // In turn, so that the dice fall as they would without them: label names of every length the
    // look-up reads in its own way (up to 7 bytes, up to 16, longer), and names alike but for
    // their middle.
    static const std::pair<std::string, std::string> paddings[] = {
        {"", ""}, {"______", ""}, {"________", "________"}};
    padding_ = paddings[made_++ % std::size(paddings)];
    Case c;
    c.check1 = chance(50);
    c.check2 = chance(50);
    const int definitions = below(30);
    for (int k = 0; k < definitions; ++k) {
      const std::string candidate = name();
      bool seen = false;
      for (const auto& definition : c.definitions) seen = seen || definition.first == candidate;
      if (!seen) c.definitions.emplace_back(candidate, "");
    }
    for (auto& [name, value] : c.definitions) value = this->value(c.definitions, name);
    std::vector<std::string> source;
    for (int i = below(10); i >= 0; --i) source.push_back(line(c.definitions));
    c.source = text_of(source);
    return c;
  }

 private:
  std::string name() {
    static const std::string letters = "AB01_ ";
    if (chance(8)) return std::string(static_cast<std::size_t>(below(60)) + 2, 'A');
    std::string text(1, "AB_"[below(3)]);
    for (int i = below(4); i > 0; --i) text += letters[static_cast<std::size_t>(below(6))];
    while (text.ends_with(' ')) text.pop_back();
    return text;
  }

  // Other names, letters and boundaries; the definition's own name only inside a longer one.
  std::string value(const Definitions& definitions, const std::string& own) {
    std::string text;
    for (int i = below(4); i > 0; --i) {
      const std::string& other =
          definitions[static_cast<std::size_t>(below(static_cast<int>(definitions.size())))].first;
      if (chance(50) && other.find(own) == std::string::npos)
        text += other;
      else
        text += std::string(1, "AB0+ [7"[below(7)]);
    }
    return text.find(own) == std::string::npos || chance(10) ? text : own + "B";
  }

  std::string label() {
    const auto& [before, after] = padding_;
    const std::string text = "[L" + before + std::to_string(below(12)) + after;
    switch (below(6)) {
      case 0:
        return text;
      case 1:
        return text + "]X";
      case 2:
        return "[L[L" + before + std::to_string(below(3)) + after + "]]";
      default:
        return text + "]";
    }
  }

  std::string line(const Definitions& definitions) {
    if (chance(25)) return label();
    std::string text = chance(50) ? "PRINT " : "";
    for (int i = below(chance(30) ? 300 : 12); i > 0; --i) {
      const int what = below(10);
      if (what < 5 && !definitions.empty())
        text += definitions[static_cast<std::size_t>(below(static_cast<int>(definitions.size())))]
                    .first;
      else if (what < 7)
        text += std::string(1, "AB0_1 +=("[below(9)]);
      else if (what < 8)
        text += label();
      else
        text += " + ";
    }
    return text;
  }

  std::pair<std::string, std::string> padding_;  // around the number in this case's label names
  std::size_t made_ = 0;
};

TEST(CompileDifferential, CrowdedLongLinesMatchTheReference) {
  CrowdedCaseMaker maker(20261208);
  int failures = 0, long_lines = 0, labels_resolved = 0;
  PathCounts taken;
  for (int i = 0; i < 1500 && failures < 3; ++i) {
    const Case c = maker.make();
    const Compared result = compare(c, path_choice(i), &taken);
    if (result.program != result.reference) {
      ++failures;
      ADD_FAILURE() << "case " << i << "\n"
                    << shown(c) << "\nprogram:\n"
                    << result.program.output << "\nreference:\n"
                    << result.reference.output;
    }
    if (c.source.size() > 2000) ++long_lines;
    const std::vector<std::string>& messages = result.reference.messages;
    if (c.source.find("\r\n[") != std::string::npos && messages.size() == 1 &&
        (messages[0] == "COMPILE OK" || messages[0].starts_with(cp("Ошибка - Сл"))))
      ++labels_resolved;
  }
  EXPECT_GT(long_lines, 100);
  EXPECT_GT(labels_resolved, 100);
  expect_every_path(taken, true);
}

// Each value is the next definition's name, so a name becomes every other in turn at one place:
// more definitions than a line with few names takes on its own, on a short line and a long one.
// The chain ends in the name of a definition whose turn came before it, which must stay.
Case chained(int first, std::size_t filler) {
  Case c;
  c.definitions.push_back({"Q", "R"});
  for (int k = first; k < first + 20; ++k)
    c.definitions.push_back({"N" + std::to_string(k), "N" + std::to_string(k + 1)});
  c.definitions.back().second = "Q";
  std::string long_tail;
  for (std::size_t i = 0; i < filler; ++i) long_tail += "+1";
  const std::string start = "N" + std::to_string(first);
  c.source =
      text_of({"Q " + start, "PRINT Q+" + start + long_tail + " N" + std::to_string(first + 3),
               "N" + std::to_string(first + 7) + " " + start});
  return c;
}

TEST(CompileDifferential, StrangeCasesMatchTheReference) {
  const std::vector<Case> cases = {
      // A label's text inside a later label's text.
      {text_of({"[A]", "PRINT 1", "[A]X", "GOTO [A]X", "GOTO [A]"}), {}},
      // A replacement that joins an unclosed "[" to digits and a "]": [A[B]] becomes [A0], a
      // later label.
      {text_of({"[B]", "[A0]", "PRINT [A[B]]"}), {}},
      {text_of({"[B]", "[C]", "PRINT [A[B]]"}), {}},
      // A label of "[" alone, and labels with text after the bracket.
      {text_of({"[", "GOTO [X]", "[LOOP] REM start", "GOTO [LOOP] REM start"}), {}},
      {text_of({"[L]", "PRINT \"[\"", "GOTO [L]"}), {}},
      // Labels made by substitution; a name inside a label.
      {text_of({"[X]", "GOTO [X]", "[Y]", "GOTO [Y]"}), {{"X", "5"}, {"Y", "X"}}},
      // A replacement that creates a later name, names with inner blanks and prefixes.
      {text_of({"A B C", "AB A ABA", "A A A"}), {{"A", "B"}, {"B C", "AB"}, {"AB", "ABA B"}}},
      {text_of({"Q"}), {{"Q", "R S"}, {"R", "T"}, {"S", "U"}, {"T U", "done"}}},
      // Values that hold names, a creeping loop, an empty name.
      {text_of({"X", "Y"}), {{"", "Z"}, {"X", "Y+X"}}},
      {text_of({"0+["}), {{"0+", "00+"}}},
      {text_of({"A+B"}), {{"A", "B"}, {"B", "A"}}},
      // A short line that grows long in one definition's turn.
      {text_of({"PRINT" +
                [] {
                  std::string many;
                  for (int i = 0; i < 100; ++i) many += " A";
                  return many;
                }()}),
       {{"A", "BBBB"}}},
      // Chains of values, growing (N9 to N10) and keeping their length.
      chained(0, 5),
      chained(0, 3000),
      chained(10, 3000),
  };
  for (const Case& c : cases) {
    for (int choice = 0; choice < kPathChoices; ++choice) {
      const Compared result = compare(c, path_choice(choice));
      EXPECT_EQ(result.program, result.reference) << choice << "\n" << shown(c);
    }
  }
}

}  // namespace
}  // namespace kestrel
