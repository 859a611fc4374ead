#include "compiler/labels.h"

#include <gtest/gtest.h>

#include "compile_run.h"
#include "compiler/closed_labels.h"

namespace kestrel {
namespace {

using testing::compile;
using testing::cp;
using testing::text_of;

const std::string kOk = "COMPILE OK";
const std::string kUndefined = cp("Ошибка - есть неуказанные метки ");

std::string duplicate(const std::string& label) { return cp("Ошибка - Дубликаты меток!") + label; }

struct LabelCase {
  std::vector<std::string> source;
  std::vector<std::string> output;
  std::vector<std::string> messages;
  testing::Definitions definitions = {};
};

TEST(LabelResolve, BindsLabelsToTheNextNumberedLine) {
  const LabelCase cases[] = {
      {{"100", "[METKA_01]", "PRINT 1", "GOTO [METKA_01]"},
       {"0100 PRINT 1", "0101 GOTO 100"},
       {kOk}},
      {{"[START]", "GOTO [START]"}, {"0000 GOTO 0"}, {kOk}},
      {{"[A]", "200", "PRINT", "GOTO [A]"}, {"0200 PRINT", "0201 GOTO 0"}, {kOk}},
      {{"AA", "GOTO [END]", "[END]"}, {"0000 AA", "0001 GOTO 2"}, {kOk}},
      {{"   [A]  ", "", "REM dropped", "Y", "XX", "GOTO [A]"}, {"0000 XX", "0001 GOTO 0"}, {kOk}},
      {{"[Loop]", "AA", "[LOOP]", "GOTO [Loop] [LOOP]"}, {"0000 AA", "0001 GOTO 0 1"}, {kOk}},
      {{"[X]", "GOTO [X]"}, {"0000 GOTO 0"}, {kOk}, {{"X", "5"}}},
      // [A] is replaced first, so the reference to [A]X becomes 0X before [A]X's turn.
      {{"[A]", "PP", "[A]X", "GOTO [A]X"}, {"0000 PP", "0001 GOTO 0X"}, {kOk}},
      {{"AA", "[", "GOTO [X] [Y"}, {"0000 AA", "0001 GOTO 1X] 1Y"}, {kOk}},
      {{"GOTO [X]"}, {"0000 GOTO [X]"}, {kOk}},
  };
  for (const LabelCase& c : cases) {
    const testing::CompileRun run = compile(text_of(c.source), c.definitions);
    EXPECT_EQ(run.output, text_of(c.output)) << c.source[0];
    EXPECT_EQ(run.messages, c.messages) << c.source[0];
  }
}

TEST(LabelResolve, ReplacesReferencesInWrittenComments) {
  const testing::CompileRun run =
      compile(text_of({"[A]", "REM back to [A]", "BB"}), {}, true, true);
  EXPECT_EQ(run.output, text_of({"REM back to 0", "0000 BB"}));
  EXPECT_EQ(run.messages, std::vector{kOk});
}

TEST(LabelResolve, ReportsTheFirstDuplicatePairBeforeReplacing) {
  const LabelCase cases[] = {
      {{"[B]", "[A]", "[B]", "[A]", "GOTO [A]"}, {"0000 GOTO [A]"}, {duplicate("[B]")}},
      {{"[A]", "[B]", "[B]", "[A]", "GOTO [A]"}, {"0000 GOTO [A]"}, {duplicate("[A]")}},
  };
  for (const LabelCase& c : cases) {
    const testing::CompileRun run = compile(text_of(c.source));
    EXPECT_EQ(run.output, text_of(c.output));
    EXPECT_EQ(run.messages, c.messages);
    EXPECT_EQ(run.panes, std::vector{run.output});
  }
}

TEST(LabelResolve, ReportsAnUndefinedLabelWithAnExcerptAroundIt) {
  const std::string filler(19, 'F');
  const LabelCase cases[] = {
      {{"[LOOP] REM start", "GOTO [LOOP]"},
       {"0000 GOTO [LOOP]"},
       {kUndefined, "0000 GOTO [LOOP]\r\n"}},
      {{"[A]", "PRINT \"[\"", "GOTO [A]"},
       {"0000 PRINT \"[\"", "0001 GOTO 0"},
       {kUndefined, "0000 PRINT \"[\"\r\n0001 GOTO 0\r\n"}},
      // The first "[" at position 31: characters 11 to 60.
      {{"[A]", "PRINT " + filler + "[X]" + std::string(40, 'T'), "GOTO [A]"},
       {"0000 PRINT " + filler + "[X]" + std::string(40, 'T'), "0001 GOTO 0"},
       {kUndefined, " " + filler + "[X]" + std::string(27, 'T')}},
  };
  for (const LabelCase& c : cases) {
    const testing::CompileRun run = compile(text_of(c.source));
    EXPECT_EQ(run.output, text_of(c.output));
    EXPECT_EQ(run.messages, c.messages);
    EXPECT_EQ(run.panes, std::vector(2, run.output));
  }
}

// The result is written over the text when no byte still to be read is overwritten, and into a
// new text otherwise: numbers shorter and longer than their labels, in either order.
TEST(LabelReplacement, WritesOverTheTextOnlyWhatCannotOvertakeIt) {
  struct Case {
    std::string text;
    std::vector<std::pair<std::string, int>> labels;  // text, number
    std::string replaced;
  };
  const std::vector<Case> cases = {
      {"GOTO [LONG_LABEL] OR [LONG_LABEL]", {{"[LONG_LABEL]", 7}}, "GOTO 7 OR 7"},
      {"[A]B[A]", {{"[A]", 12345}}, "12345B12345"},
      {"[LONG_LABEL] [A] tail", {{"[LONG_LABEL]", 1}, {"[A]", 12345}}, "1 12345 tail"},
      {"[A] [LONG_LABEL] tail", {{"[LONG_LABEL]", 1}, {"[A]", 12345}}, "12345 1 tail"},
      {"[A][LONG_LABEL]", {{"[A]", 12345}, {"[LONG_LABEL]", 2}}, "123452"},
      {"GO [X[Y] [X[Y]Z", {{"[X[Y]", 3}}, "GO 3 3Z"},
      {"GO [X[Y] [X[Y]Z", {{"[X[Y]", 34567}}, "GO 34567 34567Z"},
      {"no label [", {{"[A]", 1}}, "no label ["},
      // Numbers on both sides of each change in their count of digits.
      {"[A] [B] [C] [D] [E] [F] [G]",
       {{"[A]", 0},
        {"[B]", 9},
        {"[C]", 10},
        {"[D]", 99},
        {"[E]", 100},
        {"[F]", 9999},
        {"[G]", 32768}},
       "0 9 10 99 100 9999 32768"},
  };
  for (const Case& c : cases) {
    std::vector<LabelNumber> numbers;
    for (const auto& [text, number] : c.labels) numbers.push_back({text, number});
    std::string text = c.text;
    replace_labels(text, numbers);
    EXPECT_EQ(text, c.replaced) << c.text;
    text = c.text;
    // Labels that span two "[" are left to the first way.
    if (replace_closed_labels(text, numbers, LabelIndex(numbers))) {
      EXPECT_EQ(text, c.replaced);
    }
  }
}

// A line ends at CR LF only: a lone CR or LF counts in its length, also at the line's very start,
// and the piece after the last CR LF is no line.
TEST(LongLine, IsTheFirstPieceBeforeACrLfLongerThanTheLimit) {
  const std::string x69(69, 'x');
  struct Case {
    std::string text;
    std::optional<std::size_t> index;
  };
  const Case cases[] = {
      {"", std::nullopt},
      {x69 + "\r\n" + x69 + "x", std::nullopt},
      {x69 + "\r\n" + x69 + "x\r\n", 1},
      {"A\r\n" + x69.substr(34) + "\n" + x69.substr(35) + "\r\n", 1},
      {"\n" + x69 + "\r\n", 0},
      {x69 + "\r\r\n", 0},
      {"\r\n\r\n" + x69 + "\n\r\n", 2},
  };
  for (const Case& c : cases) {
    const std::optional<LongLine> line = first_long_line(c.text, 69);
    ASSERT_EQ(line.has_value(), c.index.has_value()) << c.text;
    if (!line) continue;
    EXPECT_EQ(line->index, *c.index) << c.text;
    EXPECT_EQ(line->text.size(), 70u) << c.text;
  }
}

TEST(LabelResolve, HasNoLimitOnTheNumberOfLabels) {
  std::vector<std::string> source;
  std::vector<std::string> output;
  for (int i = 0; i < 5000; ++i) {
    source.push_back("[L" + std::to_string(i) + "]");
    source.push_back("GOTO [L" + std::to_string(i) + "]");
    std::string number = std::to_string(i);
    output.push_back(std::string(4 - number.size(), '0') + number + " GOTO " + number);
  }
  const testing::CompileRun run = compile(text_of(source));
  EXPECT_EQ(run.output, text_of(output));
  EXPECT_EQ(run.messages, std::vector{kOk});
}

}  // namespace
}  // namespace kestrel
