#include "compiler/substitution.h"

#include <gtest/gtest.h>

#include "compile_run.h"

namespace kestrel {
namespace {

using testing::cp;
using testing::Definitions;
using testing::workbench_with;

Substitution substitute(const Definitions& definitions, const std::string& line) {
  return Substitute_defines(workbench_with(definitions).defs, line);
}

std::string plus_joined(const std::string& item, int count) {
  std::string text = item;
  for (int i = 1; i < count; ++i) text += "+" + item;
  return text;
}

TEST(SubstTestSumbol, ClassifiesEveryByteValue) {
  const struct {
    int first, last;
    std::int16_t result;
  } ranges[] = {{0, 48, 1},  {49, 57, 0}, {58, 63, 1},  {64, 90, 0},   {91, 94, 1},
                {95, 95, 0}, {96, 96, 1}, {97, 122, 0}, {123, 191, 1}, {192, 255, 0}};
  for (const auto& range : ranges) {
    for (int c = range.first; c <= range.last; ++c)
      EXPECT_EQ(test_sumbol(std::string(1, static_cast<char>(c))), range.result) << c;
  }
  EXPECT_EQ(test_sumbol(""), 1);
  EXPECT_EQ(test_sumbol("X+"), 0);
}

TEST(SubstDefines, ReplacesNamesThatStandAlone) {
  const Definitions x5 = {{"X", "5"}};
  const struct {
    Definitions definitions;
    std::string line, result;
  } cases[] = {
      {x5, "X=1", "5=1"},
      {x5, "A=X", "A=5"},
      {x5, "X", "5"},
      {x5, "X+X", "5+5"},
      {x5, "XY=X", "XY=X"},
      {x5, "YX=X", "YX=X"},
      {x5, "X_1=X", "X_1=X"},
      {x5, "X0", "50"},
      {x5, "X1", "X1"},
      {x5, "0X", "05"},
      {x5, "x=1", "x=1"},
      {x5, "PRINT (X)", "PRINT (5)"},
      {x5, "REM X", "REM 5"},
      {x5, "X@", "X@"},
      {x5, "[X]", "[5]"},
      {x5, cp("ЖX=X"), cp("ЖX=X")},
      {x5, cp("ёX"), cp("ё5")},
      {{{"VOLT", "A"}, {"end_volt", "b"}}, "IF VOLT=1 THEN end_volt=0", "IF A=1 THEN b=0"},
      {{{"VOLT", "A"}, {"A", "5"}}, "VOLT", "5"},
      {{{"A", "5"}, {"VOLT", "A"}}, "VOLT", "A"},
      {{{"A", "B"}, {"B", "A"}}, "A B", "A A"},
      {{{"X", "XY"}}, "X", "XY"},
      {{{"X", "XX"}}, "X+X", "XX+X"},
      {{{"DEBUG", ""}}, "DEBUG PRINT 1", " PRINT 1"},
      {{{"", "Z"}, {"X", "5"}}, "+X", "+5"},
      {{{"A B", "1"}}, "PRINT A B", "PRINT 1"},
      // Same length, eight replacements, no repeat.
      {{{"+A", "A+"}}, "++++A+A", "A+A++++"},
      // Each turn stops at its first name that does not stand alone, whatever the others do.
      {{{"A", "1"}, {"B", "2"}}, "A B AB B A", "1 2 AB B A"},
      // A replacement takes away a name inside it...
      {{{"AB", "1"}, {"B", "2"}}, "AB B", "1 2"},
      // ... gives a name that touches it a neighbour that stands apart...
      {{{"X", "+"}, {"A0", "9"}}, "A0X", "9+"},
      // ... or makes a name of its value and a neighbour, or of two neighbours.
      {{{"B", "X"}, {"A0X", "7"}}, "A0B", "7"},
      {{{"B", ""}, {"0+0", "7"}}, "0B+0", "7"},
      // Growth by ten thousand replacements that ends is no loop.
      {{{"X", "55"}}, plus_joined("X", 10000), plus_joined("55", 10000)},
  };
  for (const auto& c : cases) {
    const Substitution s = substitute(c.definitions, c.line);
    EXPECT_EQ(s.line, c.result) << c.line;
    EXPECT_FALSE(s.looping_definition) << c.line;
  }
}

TEST(SubstDefines, TellsTheDefinitionWhoseReplacementsNeverEnd) {
  const struct {
    Definitions definitions;
    std::string line;
    int looping;
  } cases[] = {
      {{{"X", "X"}}, "X", 0},
      {{{"X", "X"}}, "Y X", 0},
      {{{"X", "X+1"}}, "X", 0},
      {{{"X", "(X)"}}, "A=X", 0},
      {{{"X", "+X"}}, "X", 0},
      {{{"X", "Y+X"}}, "X", 0},
      {{{"0+", "00+"}}, "0+[", 0},
      {{{"A", "1"}, {"X", "X+1"}}, "A X", 1},
      // A value that holds no name, put in so often that the line passes every limit.
      {{{"X", std::string(40, '5')}}, plus_joined("X", 1000), 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(substitute(c.definitions, c.line).looping_definition, c.looping) << c.line;
  }
}

TEST(SubstCheckDuplicates, ReportsTheFirstNameThatOccursTwice) {
  const struct {
    std::vector<std::string> names;
    std::string reported;  // empty: the test passes
  } cases[] = {
      {{}, ""},
      {{"X"}, ""},
      {{"X", "x"}, ""},
      {{"X", "X"}, "X"},
      {{"B", "A", "A"}, "A"},
      {{"A", "B", "B", "A"}, "A"},
  };
  for (const auto& c : cases) {
    Definitions definitions;
    for (const std::string& name : c.names) definitions.emplace_back(name, "1");
    testing::ScriptedUi ui;
    const Workbench wb = workbench_with(definitions);
    Findings findings(ui);
    const SourceMap none;
    const bool passes =
        Check_define_duplicates(wb.defs, in_name_order(wb.defs.def_name, definition_count(wb.defs)),
                                findings, Locator(none, wb.Source_bas));
    EXPECT_EQ(passes, c.reported.empty());
    if (c.reported.empty()) {
      EXPECT_TRUE(ui.shown.empty());
    } else {
      EXPECT_EQ(ui.shown,
                std::vector{testing::message(cp("Ошибка - Дубликаты подстановок!") + c.reported)});
    }
  }
}

}  // namespace
}  // namespace kestrel
