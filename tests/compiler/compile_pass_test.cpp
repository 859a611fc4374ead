#include "compiler/compile_pass.h"

#include <gtest/gtest.h>

#include "compile_run.h"

namespace kestrel {
namespace {

using testing::compile;
using testing::cp;
using testing::Definitions;
using testing::text_of;

const std::string kOk = "COMPILE OK";

std::string line_number_error(const std::string& value) {
  return cp("Ошибка номера строки!") + value;
}

struct PassCase {
  std::string source;
  std::vector<std::string> output;
  std::vector<std::string> messages;
  bool check1 = false;
  bool check2 = false;
  Definitions definitions = {};
};

void expect_pass(const PassCase& c) {
  const testing::CompileRun run = compile(c.source, c.definitions, c.check1, c.check2);
  EXPECT_EQ(run.output, text_of(c.output)) << c.source;
  EXPECT_EQ(run.messages, c.messages) << c.source;
  EXPECT_EQ(run.ok, c.messages == std::vector<std::string>{kOk}) << c.source;
  // Every message is shown over the pane as the pass leaves it.
  for (const std::string& pane : run.panes) EXPECT_EQ(pane, run.output) << c.source;
}

TEST(CompilePass, NumbersLinesAndFollowsTheLineModel) {
  const PassCase cases[] = {
      {"", {}, {kOk}},
      {"PRINT 1", {}, {kOk}},
      {"PRINT 1\r\nPRINT 2", {"0000 PRINT 1"}, {kOk}},
      {"A\rB\r\nC\nD\r\n", {"0000 A\rB", "0001 C\nD"}, {kOk}},
      {text_of({"", "   ", "AA", "PRINT \"#define\"", "B  "}), {"0000 AA", "0001 B"}, {kOk}},
      {text_of({"5", "X", "AA"}), {"0000 AA"}, {kOk}},
      {text_of({"05", "AA"}), {"0005 AA"}, {kOk}},
      {text_of({"5 ", "BB"}), {"0005 BB"}, {kOk}},
      {text_of({"10 PRINT X", "AA"}), {"0010 AA"}, {kOk}},
      {text_of({"2048", "AA", "BB"}), {"2048 AA", "2049 BB"}, {kOk}},
      {text_of({"2048.5", "AA"}), {"2048 AA"}, {kOk}},
      {text_of({"100", "AA", "101", "BB"}), {"0100 AA", "0101 BB"}, {kOk}},
      {text_of({"\tREM x"}), {"0000 \tREM x"}, {kOk}},
      {text_of({"START", "AA"}), {"0100 AA"}, {kOk}, false, false, {{"START", "100"}}},
  };
  for (const PassCase& c : cases) expect_pass(c);
}

TEST(CompilePass, StopsAtABadDirectiveKeepingWhatItWrote) {
  const PassCase cases[] = {
      {text_of({"AA", "BB", "CC", "3000", "DD"}),
       {"0000 AA", "0001 BB", "0002 CC"},
       {line_number_error("3000")}},
      {text_of({"2049"}), {}, {line_number_error("2049")}},
      {text_of({"2049.5"}), {}, {line_number_error("2050")}},
      {text_of({"100", "AA", "100"}), {"0100 AA"}, {line_number_error("100")}},
      {text_of({"2048", "AA", "2049"}), {"2048 AA"}, {line_number_error("2049")}},
      {text_of({"1E6"}), {}, {line_number_error("1000000")}},
      {text_of({"32768"}), {}, {line_number_error("32768")}},
  };
  for (const PassCase& c : cases) expect_pass(c);
}

TEST(CompilePass, AppliesTheCommentOptions) {
  const std::string source = text_of({"05", "AA", "     REM x", "REMARK", "BB", "rem y"});
  const PassCase cases[] = {
      {source, {"0005 AA", "0006 BB", "0007 rem y"}, {kOk}, false, false},
      {source, {"0005 AA", "0006 BB", "0007 rem y"}, {kOk}, false, true},
      {source,
       {"0005 AA", "0006 REM x", "0007 REMARK", "0008 BB", "0009 rem y"},
       {kOk},
       true,
       false},
      {source, {"0005 AA", "REM x", "REMARK", "0006 BB", "0007 rem y"}, {kOk}, true, true},
  };
  for (const PassCase& c : cases) expect_pass(c);
}

TEST(CompilePass, CompilesTheHelpExampleWithEachOptionCombination) {
  const std::string source =
      text_of({"#define VOLT EQU A", "#define end_volt EQU b", "IF VOLT=1 THEN end_volt=0", "100",
               "[METKA_01]", "GOTO [METKA_01]", cp("REM йцукен "), "     REM '**** "});
  const Definitions definitions = {{"VOLT", "A"}, {"end_volt", "b"}};
  const std::vector<std::string> plain = {"0000 IF A=1 THEN b=0", "0100 GOTO 100"};
  const PassCase cases[] = {
      {source, plain, {kOk}, false, false, definitions},
      {source, plain, {kOk}, false, true, definitions},
      {source,
       {plain[0], plain[1], cp("0101 REM йцукен"), "0102 REM '****"},
       {kOk},
       true,
       false,
       definitions},
      {source, {plain[0], plain[1], cp("REM йцукен"), "REM '****"}, {kOk}, true, true, definitions},
  };
  for (const PassCase& c : cases) expect_pass(c);
}

TEST(CompilePass, LineLengthIsExaminedOnlyWhenALabelLineWasSeen) {
  const std::string text64 = "PRINT" + std::string(59, '1');
  const std::string text65 = text64 + "2";
  const std::string too_long = cp("Ошибка - Слишком длинная строка ") + "0012 PRINT ...";
  const PassCase cases[] = {
      {text_of({"12", text64, "[L]"}), {"0012 " + text64}, {kOk}},
      {text_of({"12", text65}), {"0012 " + text65}, {kOk}},
      {text_of({"12", text65, "[L]", text65}), {"0012 " + text65, "0013 " + text65}, {too_long}},
      // Lines a label makes too long: its number longer than its text, and its text ending in a
      // CR that joins two lines.
      {text_of({"12", "[", text64.substr(0, 63) + "["}),
       {"0012 " + text64.substr(0, 63) + "12"},
       {too_long}},
      {text_of({"12", "[L\r", "PRINT [L", "PRINT"}), {"0012 PRINT 12\n0013 PRINT"}, {kOk}},
      {text_of({"12", "[L\r", "PRINT [L", text64}), {"0012 PRINT 12\n0013 " + text64}, {too_long}},
  };
  for (const PassCase& c : cases) expect_pass(c);
}

TEST(CompilePass, StopsOnALoopingSubstitutionKeepingWhatItWrote) {
  expect_pass({text_of({"AA", "X", "BB"}),
               {"0000 AA"},
               {cp("Ошибка - Зацикленная подстановка!") + "X"},
               false,
               false,
               {{"X", "X+1"}}});
}

TEST(CompilePass, DuplicateDefinitionsLeaveTheOutputEmpty) {
  expect_pass({text_of({"AA"}),
               {},
               {cp("Ошибка - Дубликаты подстановок!") + "X"},
               false,
               false,
               {{"X", "1"}, {"Y", "2"}, {"X", "3"}}});
}

std::vector<std::string> repeated(const std::string& line, int count) {
  return std::vector<std::string>(static_cast<std::size_t>(count), line);
}

TEST(CompilePass, NumbersPastTenThousandWithAllTheirDigitsUpTo32767) {
  std::vector<std::string> lines = repeated("AA", 32767 - 2048 + 1);
  lines.insert(lines.begin(), "2048");
  testing::CompileRun run = compile(text_of(lines));
  EXPECT_NE(run.output.find("\r\n9999 AA\r\n10000 AA\r\n"), std::string::npos);
  EXPECT_TRUE(run.output.ends_with("\r\n32767 AA\r\n"));
  EXPECT_EQ(run.messages, std::vector{kOk});

  lines.push_back("BB");
  const std::string before = run.output;
  run = compile(text_of(lines));
  EXPECT_EQ(run.output, before);
  EXPECT_EQ(run.messages, std::vector{line_number_error("32768")});
}

TEST(CompilePass, CompilesASourceOfMoreThan32768LinesWhole) {
  std::vector<std::string> lines = repeated("REM dropped", 40000);
  lines.push_back("PRINT 1");
  EXPECT_EQ(compile(text_of(lines)).output, text_of({"0000 PRINT 1"}));
}

}  // namespace
}  // namespace kestrel
