#include "loader/parse_define.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/failure.h"
#include "support/scripted_ui.h"

namespace kestrel {
namespace {

using testing::ScriptedUi;
using Definition = std::pair<std::string, std::string>;

struct Parsed {
  std::string pane;
  std::vector<std::string> messages;
  std::vector<Definition> recorded;
};

Parsed parse(const std::string& line) {
  Workbench wb;
  ScriptedUi ui;
  wb.cur_line = line;
  Parse_define(wb, ui);
  Parsed parsed{wb.Source_bas, {}, {}};
  for (const auto& shown : ui.shown) parsed.messages.push_back(shown.text);
  for (int i = 0; i < wb.defs.def_count; ++i)
    parsed.recorded.emplace_back(wb.defs.def_name[i], wb.defs.def_value[i]);
  return parsed;
}

TEST(ParseDefine, RecordsDefinitionsAndKeepsEveryOtherLine) {
  struct Case {
    std::string line;
    std::optional<Definition> recorded;  // nothing recorded when empty
    bool in_pane;
  };
  const std::vector<Case> cases = {
      {"#define VOLT EQU A", Definition{"VOLT", "A"}, true},
      {"   #define X EQU 5", Definition{"X", "5"}, true},
      {"#define XEQU 5", Definition{"X", "5"}, true},
      {"#define EQU EQU 1", Definition{"EQU", "1"}, true},
      {"#define SEQUENCE EQU 5", Definition{"S", "ENCE EQU 5"}, true},
      {"#define   EQU 5", Definition{"", "5"}, true},
      {"#define X EQU", Definition{"X", ""}, true},
      {"#define  A B  EQU  C D  ", Definition{"A B", "C D"}, true},
      {"#define\tX\tEQU\t5", Definition{"\tX\t", "\t5"}, true},
      {"#DEFINE X EQU 5", std::nullopt, true},
      {"# define X EQU 5", std::nullopt, true},
      {"REM #define X EQU 5", std::nullopt, true},
      {"\t#define X EQU 5", std::nullopt, true},
      {"", std::nullopt, true},
      {"   ", std::nullopt, true},
  };
  for (const Case& c : cases) {
    const Parsed parsed = parse(c.line);
    EXPECT_EQ(parsed.pane, c.in_pane ? c.line + "\r\n" : "") << c.line;
    EXPECT_TRUE(parsed.messages.empty()) << c.line;
    const std::vector<Definition> expected =
        c.recorded ? std::vector<Definition>{*c.recorded} : std::vector<Definition>{};
    EXPECT_EQ(parsed.recorded, expected) << c.line;
  }
}

TEST(ParseDefine, ALineWithoutEquFromTheTenthCharacterIsRefused) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"#define X 5", "#define X 5"},       {"#define", "#define"},
      {"  #define EQU", "#define EQU"},     {"#defineEQU 5", "#defineEQU 5"},
      {"#define EQUALS", "#define EQUALS"},
  };
  for (const auto& [line, trimmed] : cases) {
    const Parsed parsed = parse(line);
    EXPECT_EQ(parsed.pane, "") << line;
    EXPECT_TRUE(parsed.recorded.empty()) << line;
    EXPECT_EQ(parsed.messages, std::vector<std::string>{"ERROR #define  " + trimmed}) << line;
  }
}

TEST(ParseDefine, PastTheSoftLimitDefinitionsAreRecordedButTheirLinesRefused) {
  struct Case {
    int count_before;
    bool refused;
  };
  for (const Case c : {Case{4049, false}, Case{4050, true}, Case{4096, true}}) {
    Workbench wb;
    ScriptedUi ui;
    wb.defs.def_count = c.count_before;
    wb.cur_line = "  #define N EQU 7";
    Parse_define(wb, ui);
    EXPECT_EQ(wb.defs.def_count, c.count_before + 1);
    EXPECT_EQ(wb.defs.def_name[c.count_before], "N");
    EXPECT_EQ(wb.defs.def_value[c.count_before], "7");
    EXPECT_EQ(wb.Source_bas, c.refused ? "" : wb.cur_line + "\r\n") << c.count_before;
    const std::vector<testing::Shown> expected =
        c.refused ? std::vector{testing::message("ERROR Count #define > Limit #define N EQU 7")}
                  : std::vector<testing::Shown>{};
    EXPECT_EQ(ui.shown, expected) << c.count_before;
  }
}

int failure_number(Workbench& wb) {
  ScriptedUi ui;
  try {
    Parse_define(wb, ui);
  } catch (const Failure& failure) {
    EXPECT_TRUE(ui.shown.empty());
    return failure.number();
  }
  return 0;
}

TEST(ParseDefine, AFullTableFailsWithNothingStored) {
  Workbench wb;
  wb.defs.def_count = kDefinitionSlots;
  wb.cur_line = "#define LAST EQU 1";
  EXPECT_EQ(failure_number(wb), 9);
  EXPECT_EQ(wb.defs.def_count, kDefinitionSlots);
  EXPECT_EQ(wb.Source_bas, "");
}

// "EQU" at 1-based position 8 + blanks, found after the leading blanks are trimmed.
TEST(ParseDefine, AnEquPastThe16BitPositionsOverflows) {
  struct Case {
    int blanks;
    int number;
  };
  for (const Case c : {Case{32756, 0}, Case{32757, 6}, Case{40000, 6}}) {
    Workbench wb;
    wb.cur_line = "    #define" + std::string(c.blanks, ' ') + "EQU 1";
    EXPECT_EQ(failure_number(wb), c.number) << c.blanks;
    EXPECT_EQ(wb.defs.def_count, c.number == 0 ? 1 : 0) << c.blanks;
  }
}

}  // namespace
}  // namespace kestrel
