#include "loader/parse_define.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "files/failure.h"
#include "files/memory_files.h"
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

// Parse_define's surroundings during a load.
struct ParseRun {
  Workbench wb;
  ScriptedUi ui;
  Findings findings{ui};
  MemoryFiles files;
  Loading load{wb, findings, files, {files.current_folder()}};
};

Parsed parse(const std::string& line) {
  ParseRun run;
  Workbench& wb = run.wb;
  ScriptedUi& ui = run.ui;
  wb.cur_line = line;
  Parse_define(run.load);
  Parsed parsed{wb.Source_bas, {}, {}};
  for (const auto& shown : ui.shown) parsed.messages.push_back(shown.text);
  for (int i = 0; i < wb.defs.def_count; ++i)
    parsed.recorded.emplace_back(wb.defs.def_name[i], wb.defs.def_value[i]);
  return parsed;
}

// A line is either recorded and kept, kept as ordinary text, or refused with a message.
TEST(ParseDefine, RecordsDefinitionsKeepsOtherLinesAndRefusesMalformedOnes) {
  struct Case {
    std::string line;
    std::optional<Definition> recorded;
    std::string message;  // empty: the line is kept in the pane
  };
  const std::vector<Case> cases = {
      {"#define VOLT EQU A", Definition{"VOLT", "A"}, ""},
      {"   #define X EQU 5", Definition{"X", "5"}, ""},
      {"#define XEQU 5", Definition{"X", "5"}, ""},
      {"#define EQU EQU 1", Definition{"EQU", "1"}, ""},
      {"#define SEQUENCE EQU 5", Definition{"S", "ENCE EQU 5"}, ""},
      {"#define   EQU 5", Definition{"", "5"}, ""},
      {"#define X EQU", Definition{"X", ""}, ""},
      {"#define  A B  EQU  C D  ", Definition{"A B", "C D"}, ""},
      {"#define\tX\tEQU\t5", Definition{"\tX\t", "\t5"}, ""},
      {"#DEFINE X EQU 5", std::nullopt, ""},
      {"# define X EQU 5", std::nullopt, ""},
      {"REM #define X EQU 5", std::nullopt, ""},
      {"\t#define X EQU 5", std::nullopt, ""},
      {"", std::nullopt, ""},
      {"#define X 5", std::nullopt, "ERROR #define  #define X 5"},
      {"#define", std::nullopt, "ERROR #define  #define"},
      {"  #define EQU", std::nullopt, "ERROR #define  #define EQU"},
      {"#defineEQU 5", std::nullopt, "ERROR #define  #defineEQU 5"},
  };
  for (const Case& c : cases) {
    const Parsed parsed = parse(c.line);
    EXPECT_EQ(parsed.pane, c.message.empty() ? c.line + "\r\n" : "") << c.line;
    EXPECT_EQ(parsed.messages,
              c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message})
        << c.line;
    const std::vector<Definition> expected =
        c.recorded ? std::vector<Definition>{*c.recorded} : std::vector<Definition>{};
    EXPECT_EQ(parsed.recorded, expected) << c.line;
  }
}

TEST(ParseDefine, PastTheSoftLimitDefinitionsAreRecordedButTheirLinesRefused) {
  struct Case {
    int count_before;
    bool refused;
  };
  for (const Case c : {Case{4049, false}, Case{4050, true}, Case{4096, true}}) {
    ParseRun run;
    Workbench& wb = run.wb;
    ScriptedUi& ui = run.ui;
    wb.defs.def_count = c.count_before;
    wb.cur_line = "  #define N EQU 7";
    Parse_define(run.load);
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

// A full table, and an "EQU" at a 1-based position past the 16-bit range (8 + blanks here,
// counted after the leading blanks), fail with nothing stored and nothing shown.
TEST(ParseDefine, AFullTableAndAnOverflowingPositionFail) {
  struct Case {
    int count_before;
    std::string line;
    int number;  // 0: recorded
  };
  const std::vector<Case> cases = {
      {kDefinitionSlots, "#define LAST EQU 1", 9},
      {0, "    #define" + std::string(32756, ' ') + "EQU 1", 0},
      {0, "    #define" + std::string(32757, ' ') + "EQU 1", 6},
      {0, "#define" + std::string(40000, ' ') + "EQU 1", 6},
  };
  for (const Case& c : cases) {
    ParseRun run;
    Workbench& wb = run.wb;
    ScriptedUi& ui = run.ui;
    wb.defs.def_count = c.count_before;
    wb.cur_line = c.line;
    int number = 0;
    try {
      Parse_define(run.load);
    } catch (const Failure& failure) {
      number = failure.number();
    }
    EXPECT_EQ(number, c.number) << c.count_before << " " << c.line.size();
    EXPECT_EQ(wb.defs.def_count, c.count_before + (c.number == 0 ? 1 : 0));
    EXPECT_EQ(wb.Source_bas, c.number == 0 ? c.line + "\r\n" : "");
    EXPECT_TRUE(ui.shown.empty());
  }
}

}  // namespace
}  // namespace kestrel
