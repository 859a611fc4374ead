#include "workbench/startup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "files/failure.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "workbench/help_text.h"
#include "workbench/workbench.h"

namespace kestrel {
namespace {

using testing::read_file;
using testing::ScriptedUi;
using testing::TempDir;

std::tm at(int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = 126;
  t.tm_mon = 11;
  t.tm_mday = 7;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

TEST(Startup, DateAndTimeInTheGeneralFormAndTheDateAloneAtMidnight) {
  EXPECT_EQ(general_date_time(at(9, 5, 3)), "12/07/26 09:05:03");
  EXPECT_EQ(general_date_time(at(0, 0, 1)), "12/07/26 00:00:01");
  EXPECT_EQ(general_date_time(at(0, 0, 0)), "12/07/26");
}

TEST(Startup, AppendsTheTwoLinesOfEveryStart) {
  TempDir dir;
  ScriptedUi ui;
  const std::string line = "START KESTREL V3\r\n";
  {
    Workbench wb;
    startup(wb, ui, dir.path() / "Editor.log");
  }
  const std::string first = read_file(dir.path() / "Editor.log");
  ASSERT_EQ(first.rfind(line, 0), 0u);
  EXPECT_EQ(first.size() - first.rfind("\r\n"), 2u);
  {
    Workbench wb;
    startup(wb, ui, dir.path() / "Editor.log");
    wb.run_log.write_line("x loaded");
  }
  const std::string both = read_file(dir.path() / "Editor.log");
  EXPECT_EQ(both.rfind(first, 0), 0u);
  EXPECT_EQ(both.find(line, first.size()), first.size());
  EXPECT_EQ(both.substr(both.size() - 10), "x loaded\r\n");
  EXPECT_TRUE(ui.shown.empty());
}

TEST(Startup, AFailureIsReportedNamingTheLogWhichThenTakesLinesSilently) {
  TempDir dir;
  const std::filesystem::path log = dir.path() / "Editor.log";
  std::filesystem::create_directory(log);
  ScriptedUi ui;
  Workbench wb;
  const std::vector<Finding> findings = startup(wb, ui, log);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0].number, 75);
  EXPECT_EQ(ui.shown, std::vector<testing::Shown>{testing::failure("Error#75  " + ansi_path(log),
                                                                   "Path/File access error")});
  EXPECT_NO_THROW(wb.run_log.write_line("x loaded"));
  EXPECT_FALSE(wb.run_log.take_failure());
  EXPECT_EQ(wb.Dest_bas, help_text());
}

// A full disk: the first line that fails is kept to be reported once, and the log goes quiet.
TEST(RunLog, AFailedWriteIsTakenOnceAndLaterLinesAreDropped) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  Workbench wb;
  wb.run_log.open("/dev/full");
  ScriptedUi ui;
  Findings findings(ui);
  wb.run_log.write_line("START KESTREL V3");
  wb.run_log.write_line("x loaded");
  report_log_failure(wb, findings);
  report_log_failure(wb, findings);
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.shown[0].title, "Error#61  /dev/full");
}

// The window opens "Editor.log" in the current folder; a report of it names the folder too.
TEST(RunLog, NamesTheLogInFull) {
  RunLog log;
  EXPECT_THROW(log.open("no-such-folder/Editor.log"), Failure);
  EXPECT_EQ(log.path(), std::filesystem::current_path() / "no-such-folder" / "Editor.log");
}

TEST(RunLog, ALogNeverOpenedTakesLinesSilently) {
  RunLog log;
  EXPECT_NO_THROW(log.write_line("anything"));
}

TEST(HelpText, HoldsThirtyThreeLinesOf779BytesWithTheirTrailingBlanks) {
  const std::string& text = help_text();
  EXPECT_EQ(text.size(), 779u);
  std::vector<std::string> lines;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t end = text.find("\r\n", pos);
    ASSERT_NE(end, std::string::npos);
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  ASSERT_EQ(lines.size(), 33u);
  auto trailing_blanks = [](const std::string& s) {
    const std::size_t last = s.find_last_not_of(' ');
    return last == std::string::npos ? s.size() : s.size() - last - 1;
  };
  const std::vector<std::pair<int, std::size_t>> blanks_at_end = {
      {3, 1}, {4, 1}, {15, 1}, {21, 1}, {26, 1}, {27, 1}, {28, 1}, {33, 3}, {9, 0}, {1, 0}};
  for (auto [line, blanks] : blanks_at_end) {
    EXPECT_EQ(trailing_blanks(lines[line - 1]), blanks) << "line " << line;
  }
  EXPECT_EQ(lines[26].rfind("     REM", 0), 0u);
  EXPECT_EQ(lines[12], "#include  TEST_3.BAS");
}

}  // namespace
}  // namespace kestrel
