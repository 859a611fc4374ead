#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compile_run.h"
#include "compiler/compile_pass.h"
#include "workbench/messages.h"

namespace kestrel {
namespace {

using testing::Definitions;
using testing::text_of;
using testing::workbench_with;
using Lines = std::vector<std::string>;

struct Collected {
  std::vector<std::string> texts;
  std::vector<int> lines;  // 1-based pane lines
  std::vector<std::string> details;
  std::string output;
  bool ok = false;
};

Collected every_problem(const Lines& source, const Definitions& definitions = {}) {
  Workbench wb = workbench_with(definitions);
  wb.Source_bas = text_of(source);
  SilentUi ui;
  const CompileOutcome outcome = compile_command(wb, ui, SourceMap(), CompileMode::every_problem);
  Collected collected{{}, {}, {}, wb.Dest_bas, outcome.ok};
  for (const Finding& finding : outcome.findings) {
    collected.texts.push_back(finding.text);
    collected.lines.push_back(finding.location ? finding.location->line : 0);
    collected.details.push_back(finding.detail);
  }
  return collected;
}

std::string text(MessageText which, const std::string& named = "") {
  return message_text(which) + named;
}

TEST(EveryProblem, ReportsEachProblemItCanGoOnFrom) {
  struct Case {
    Lines source;
    Definitions definitions;
    std::vector<std::string> texts;
    std::vector<int> lines;
  };
  const std::string long_text(70, 'X');
  const std::vector<Case> cases = {
      {{"A", "20", "B", "10", "C"}, {}, {text(MessageText::bad_line_number, "10")}, {4}},
      {{"30", "25", "24"},
       {},
       {text(MessageText::bad_line_number, "25"), text(MessageText::bad_line_number, "24")},
       {2, 3}},
      {{"[A]", "GOTO [B]", "[A]", "GOTO [C]", "[A]"},
       {},
       {text(MessageText::duplicate_labels, "[A]"), text(MessageText::duplicate_labels, "[A]"),
        text(MessageText::undefined_labels), text(MessageText::undefined_labels)},
       {3, 5, 2, 4}},
      {{"[A]", long_text, "BB", long_text},
       {},
       {text(MessageText::long_line, "0000 XXXXX ..."),
        text(MessageText::long_line, "0002 XXXXX ...")},
       {2, 4}},
      {{"X", "YY", "X"},
       {{"X", "X+1"}},
       {text(MessageText::looping_substitution, "X"), text(MessageText::looping_substitution, "X")},
       {1, 3}},
  };
  for (const Case& c : cases) {
    const Collected collected = every_problem(c.source, c.definitions);
    EXPECT_EQ(collected.texts, c.texts) << c.source.front();
    EXPECT_EQ(collected.lines, c.lines) << c.source.front();
    EXPECT_FALSE(collected.ok);
  }
}

// In table order, each definition of a name that an earlier slot holds too (the language server's
// transcript shows where each stands).
TEST(EveryProblem, ReportsEachDefinitionOfANameDefinedBefore) {
  const Collected collected = every_problem(
      {"A"}, {{"A", "1"}, {"B", "2"}, {"A", "3"}, {"B", "4"}, {"A", "5"}, {"C", "6"}});
  EXPECT_EQ(collected.texts,
            (std::vector<std::string>{text(MessageText::duplicate_definitions, "A"),
                                      text(MessageText::duplicate_definitions, "B"),
                                      text(MessageText::duplicate_definitions, "A")}));
}

TEST(EveryProblem, GivesTheOutputAroundALeftOverLabelAsItsDetail) {
  const Collected collected = every_problem({"[A]", "GOTO [NOWHERE]"});
  ASSERT_EQ(collected.details.size(), 1u);
  EXPECT_EQ(collected.details[0], "0000 GOTO [NOWHERE]\r\n");
}

TEST(EveryProblem, CompilesACleanSourceAsTheFirstProblemModeDoes) {
  const Lines source = {"#define V EQU 7", "[L]", "PRINT V", "REM note", "GOTO [L]"};
  const Definitions definitions = {{"V", "7"}};
  const Collected collected = every_problem(source, definitions);
  EXPECT_TRUE(collected.ok);
  EXPECT_EQ(collected.output, testing::compile(text_of(source), definitions).output);
}

}  // namespace
}  // namespace kestrel
