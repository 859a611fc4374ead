#include "save/save_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/workbench.h"
#include "loader/open_command.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using testing::read_file;
using testing::ScriptedUi;
using testing::Shown;
using testing::TempDir;
using testing::write_file;

const std::string kFilter = "BAS files (*.BAS)|*.BAS";

std::string lines(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += std::to_string(i) + "\r\n";
  return text;
}

TEST(Save, WritesEveryLineOfThePaneFollowedByCrLf) {
  struct Case {
    std::string pane;
    std::string file;
  };
  const std::vector<Case> cases = {
      {"", ""},
      {"A\r\nB\r\n", "A\r\nB\r\n"},
      {"A\r\nB", "A\r\nB\r\n"},
      {"A", "A\r\n"},
      {"\r\n", "\r\n"},
      {"A\r\n\r\n", "A\r\n\r\n"},
      {"A\nB", "A\nB\r\n"},
      {"A\r", "A\r\r\n"},
      {"\nA\r\n\r", "\nA\r\n\r\r\n"},
      {lines(40000), lines(40000)},
  };
  TempDir dir;
  for (const Case& c : cases) {
    write_file("out.bas", "old text that must go\r\n");
    Workbench wb;
    wb.Dest_bas = c.pane;
    wb.Text1 = "out.bas";
    ScriptedUi ui;
    save_command(wb, ui);
    EXPECT_EQ(read_file("out.bas"), c.file) << c.pane.substr(0, 20);
    EXPECT_TRUE(ui.shown.empty()) << c.pane.substr(0, 20);
  }
}

TEST(Save, RightAfterStartWritesTheHelpText) {
  TempDir dir;
  Workbench wb;
  wb.Text1 = "help.bas";
  ScriptedUi ui;
  save_command(wb, ui);
  const std::string file = read_file("help.bas");
  EXPECT_EQ(file.size(), 779u);
  EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 33);
  EXPECT_TRUE(file.ends_with("\r\n"));
}

TEST(Save, TakesATypedPathAsTypedAndAChosenOneIntoText1) {
  TempDir dir;
  Workbench wb;
  wb.Dest_bas = "0010 PRINT\r\n";
  wb.Text1 = "typed.bas";
  ScriptedUi ui;
  save_command(wb, ui);
  EXPECT_EQ(read_file("typed.bas"), "0010 PRINT\r\n");
  EXPECT_EQ(wb.Text1, "typed.bas");
  EXPECT_EQ(wb.file_name, "typed.bas");
  EXPECT_TRUE(ui.shown.empty());

  const std::string chosen = (dir.path() / "chosen.BAS").string();
  wb.Text1.clear();
  ui.dialog_answers = {chosen};
  save_command(wb, ui);
  EXPECT_EQ(ui.shown, std::vector<Shown>{testing::save_dialog(kFilter)});
  EXPECT_EQ(wb.Text1, chosen);
  EXPECT_EQ(wb.file_name, chosen);
  EXPECT_EQ(read_file(chosen), "0010 PRINT\r\n");

  // The next Save writes the same file again without asking.
  wb.Dest_bas = "0020 END";
  save_command(wb, ui);
  EXPECT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(read_file(chosen), "0020 END\r\n");
}

TEST(SaveAndSaveAs, ACancelledDialogSaysCancelAndChangesNothing) {
  using Command = void (*)(Workbench&, Ui&);
  for (Command command : {Command{save_command}, Command{save_as_command}}) {
    TempDir dir;
    Workbench wb;
    wb.Text2 = "source.bas";
    wb.file_name = "source.bas";
    write_file("source.bas", "kept\r\n");
    ScriptedUi ui;
    ui.dialog_answers = {""};
    command(wb, ui);
    EXPECT_EQ(ui.shown,
              (std::vector<Shown>{testing::save_dialog(kFilter), testing::message("Cancel")}));
    EXPECT_EQ(wb.Text1, "");
    EXPECT_EQ(wb.Text2, "source.bas");
    EXPECT_EQ(wb.file_name, "source.bas");
    EXPECT_EQ(read_file("source.bas"), "kept\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  }
}

TEST(SaveAs, AlwaysAsksAndWritesTheSourcePaneToThePathPutIntoText2) {
  TempDir dir;
  Workbench wb;
  wb.Source_bas = "one\r\na1\r\ntwo";
  wb.Dest_bas = "0010 one\r\n";
  wb.Text1 = "dest.bas";
  wb.Text2 = "old.bas";
  ScriptedUi ui;
  ui.dialog_answers = {"new.bas"};
  save_as_command(wb, ui);
  EXPECT_EQ(ui.shown, std::vector<Shown>{testing::save_dialog(kFilter)});
  EXPECT_EQ(read_file("new.bas"), "one\r\na1\r\ntwo\r\n");
  EXPECT_EQ(wb.Text2, "new.bas");
  EXPECT_EQ(wb.file_name, "new.bas");
  EXPECT_EQ(wb.Text1, "dest.bas");
  EXPECT_FALSE(std::filesystem::exists("dest.bas"));
}

struct FailureCase {
  std::string path;
  std::string title;
  std::string description;
};

std::vector<FailureCase> failure_cases() {
  std::vector<FailureCase> cases = {
      {"no_such_folder/x.bas", "Error#76", "Path not found"},
      {"folder", "Error#75", "Path/File access error"},
      {"   ", "Error#52", "Bad file name or number"},
  };
#ifdef __linux__
  cases.push_back({"/dev/full", "Error#61", "Disk full"});
  // Opens for writing even as root, and refuses every byte.
  cases.push_back({"/proc/version", "Error#57", "Device I/O error"});
#endif
  return cases;
}

TEST(Save, AFailureIsReportedAndTheTypedPathStays) {
  TempDir dir;
  std::filesystem::create_directory("folder");
  for (const FailureCase& c : failure_cases()) {
    Workbench wb;
    wb.Dest_bas = std::string(100000, 'x');
    wb.Text1 = c.path;
    ScriptedUi ui;
    save_command(wb, ui);
    EXPECT_EQ(ui.shown, std::vector<Shown>{testing::failure(c.title, c.description)}) << c.path;
    EXPECT_EQ(wb.Text1, c.path);
    EXPECT_EQ(wb.file_name, c.path);

    // The command can be used again at once.
    wb.Text1 = "good.bas";
    save_command(wb, ui);
    EXPECT_EQ(ui.shown.size(), 1u) << c.path;
    EXPECT_EQ(read_file("good.bas").size(), 100002u) << c.path;
  }
  EXPECT_FALSE(std::filesystem::exists("no_such_folder"));
  EXPECT_FALSE(std::filesystem::exists("   "));
}

TEST(SaveAs, AFailureIsReportedAndTheChosenPathStaysInText2) {
  TempDir dir;
  std::filesystem::create_directory("folder");
  for (const FailureCase& c : failure_cases()) {
    Workbench wb;
    wb.Source_bas = "line\r\n";
    ScriptedUi ui;
    ui.dialog_answers = {c.path};
    save_as_command(wb, ui);
    EXPECT_EQ(ui.shown, (std::vector<Shown>{testing::save_dialog(kFilter),
                                            testing::failure(c.title, c.description)}))
        << c.path;
    EXPECT_EQ(wb.Text2, c.path);
    EXPECT_EQ(wb.file_name, c.path);
  }
}

// Every byte of the code page but CR and LF, spread over lines of sixteen.
std::vector<std::string> all_byte_lines() {
  std::vector<std::string> result(1);
  for (int b = 0; b < 256; ++b) {
    if (b == '\r' || b == '\n') continue;
    if (result.back().size() == 16) result.emplace_back();
    result.back() += static_cast<char>(b);
  }
  return result;
}

std::string joined(const std::vector<std::string>& lines, const std::string& end) {
  std::string text;
  for (const std::string& line : lines) text += line + end;
  return text;
}

TEST(SaveAs, GivesBackTheBytesThatWereLoadedWithLineEndsAsCrLf) {
  TempDir dir;
  const std::vector<std::string> byte_lines = all_byte_lines();
  for (const std::string end : {"\r\n", "\n", "\r"}) {
    write_file("all.bas", joined(byte_lines, end));
    Workbench wb;
    wb.Text2 = "all.bas";
    ScriptedUi ui;
    open_command(wb, ui);
    ui.dialog_answers = {"copy.bas"};
    save_as_command(wb, ui);
    EXPECT_EQ(ui.shown, std::vector<Shown>{testing::save_dialog(kFilter)});
    EXPECT_EQ(read_file("copy.bas"), joined(byte_lines, "\r\n"));
  }
}

}  // namespace
}  // namespace kestrel
