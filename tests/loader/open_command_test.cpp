#include "loader/open_command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/failure.h"
#include "load_support.h"

namespace kestrel {
namespace {

using testing::cp;
using testing::failure;
using testing::Load;
using testing::log_lines;
using testing::message;
using testing::open_dialog;
using testing::Shown;
using testing::TempDir;
using testing::write_file;
using Lines = std::vector<std::string>;

TEST(Open, ReadsEveryLineEndFormIntoCrLfLines) {
  struct Case {
    std::string bytes;
    std::string pane;
  };
  const std::vector<Case> cases = {
      {"", ""},
      {"\r\n", "\r\n"},
      {"A\r\nB\r\n", "A\r\nB\r\n"},
      {"A\r\nB", "A\r\nB\r\n"},
      {"A\rB\nC\r\n\r\n", "A\r\nB\r\nC\r\n\r\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    write_file("prog.bas", c.bytes);
    Load load("prog.bas");
    load.run();
    EXPECT_EQ(load.wb.Source_bas, c.pane) << c.bytes;
    EXPECT_TRUE(load.wb.Command4_enabled) << c.bytes;
    EXPECT_TRUE(load.ui.shown.empty()) << c.bytes;
    const Lines logged = c.bytes.empty() ? Lines{} : Lines{"prog.bas loaded"};
    EXPECT_EQ(log_lines(dir), logged) << c.bytes;
  }
}

TEST(Open, StartsAfreshAndLogsThePathAsTyped) {
  TempDir dir;
  write_file("prog.bas", testing::lines({"one", "#define V EQU 1", "two"}));
  Load load("./prog.bas");
  load.wb.Source_bas = "old text\r\n";
  load.wb.defs.def_count = 3;
  load.run();
  EXPECT_EQ(load.wb.Source_bas, testing::lines({"one", "#define V EQU 1", "two"}));
  EXPECT_EQ(load.wb.defs.def_count, 1);
  EXPECT_EQ(load.wb.Text2, "./prog.bas");
  EXPECT_EQ(load.wb.file_name, "./prog.bas");
  EXPECT_EQ(log_lines(dir), Lines{"./prog.bas loaded"});
}

TEST(Open, TheDialogNamesTheFileWhenText2IsEmpty) {
  TempDir dir;
  write_file("chosen.bas", "x\r\n");
  const std::string chosen = dir.str() + "/chosen.bas";
  struct Case {
    std::string answer;
    std::vector<Shown> shown;
    std::string text2;
    bool enabled;
  };
  const std::vector<Case> cases = {
      {"", {open_dialog("All files (*.*)|*.*"), message("Cancel")}, "", false},
      {chosen, {open_dialog("All files (*.*)|*.*")}, chosen, true},
      {dir.str() + "/gone.bas",
       {open_dialog("All files (*.*)|*.*"), failure("Error#53", "File not found")},
       dir.str() + "/gone.bas",
       false},
  };
  for (const Case& c : cases) {
    Load load;
    load.wb.Source_bas = "earlier\r\n";
    load.wb.Command4_enabled = true;
    load.ui.dialog_answers = {c.answer};
    load.run();
    EXPECT_EQ(load.ui.shown, c.shown) << c.answer;
    EXPECT_EQ(load.panes_shown, std::vector<std::string>(c.shown.size(), "")) << c.answer;
    EXPECT_EQ(load.wb.Text2, c.text2) << c.answer;
    EXPECT_EQ(load.wb.Source_bas, c.enabled ? "x\r\n" : "") << c.answer;
    EXPECT_EQ(load.wb.Command4_enabled, c.enabled) << c.answer;
  }
}

TEST(Open, AFileThatCannotBeOpenedLeavesCompileDisabled) {
  TempDir dir;
  std::filesystem::create_directory("folder");
  struct Case {
    std::string path;
    Shown shown;
  };
  const std::vector<Case> cases = {
      {"missing.bas", failure("Error#53", "File not found")},
      {"folder", failure("Error#75", "Path/File access error")},
  };
  for (const Case& c : cases) {
    Load load(c.path);
    load.run();
    EXPECT_EQ(load.ui.shown, std::vector<Shown>{c.shown}) << c.path;
    EXPECT_EQ(load.wb.file_name, c.path);
    EXPECT_EQ(load.wb.Source_bas, "") << c.path;
    EXPECT_FALSE(load.wb.Command4_enabled) << c.path;
  }
  EXPECT_EQ(log_lines(dir), Lines{});
}

TEST(Open, BoxesShownWhileLoadingSeeThePaneFilledSoFar) {
  TempDir dir;
  write_file("prog.bas",
             testing::lines({"one", "#define X 5", "two", "#include MISSING.BAS", "three"}));
  Load load("prog.bas");
  load.run();
  EXPECT_EQ(load.ui.shown, (std::vector<Shown>{
                               message("ERROR #define  #define X 5"),
                               failure("Error#53  " + dir.str() + "/MISSING.BAS", "File not found"),
                           }));
  EXPECT_EQ(load.panes_shown, (Lines{"one\r\n", "one\r\ntwo\r\n"}));
  EXPECT_EQ(load.wb.Source_bas, testing::lines({"one", "two", "three"}));
  EXPECT_TRUE(load.wb.Command4_enabled);
  EXPECT_EQ(log_lines(dir), Lines{"prog.bas loaded"});
}

// The log that start-up could not open fails every later line; the load itself is kept.
TEST(Open, AFailedLogLineIsReportedAndCompileStaysDisabled) {
  TempDir dir;
  write_file("prog.bas", testing::lines({"one", "#include INC.BAS", "two"}));
  write_file("INC.BAS", "inc\r\n");
  Workbench wb;
  testing::ScriptedUi ui;
  EXPECT_THROW(wb.run_log.open("no_such_folder/Editor.log"), Failure);
  wb.Text2 = "prog.bas";
  open_command(wb, ui);
  EXPECT_EQ(ui.shown, (std::vector<Shown>{
                          failure("Error#52  " + dir.str() + "/INC.BAS", "Bad file name or number"),
                          failure("Error#52", "Bad file name or number"),
                      }));
  EXPECT_EQ(wb.Source_bas, testing::lines({"one", "inc", "two"}));
  EXPECT_FALSE(wb.Command4_enabled);
}

TEST(Open, CyrillicPathsReachTheDiskAsUtf8AndTheLogInTheCodePage) {
  TempDir dir;
  write_file(dir.path() / u8"папка" / u8"главный.bas",
             cp("#include БИБЛИОТЕКА.BAS\r\n#include нет.bas\r\nконец\r\n"));
  write_file(dir.path() / u8"библиотека.bas", cp("строка\r\n"));
  Load load(cp("папка/главный.bas"));
  load.run();
  EXPECT_EQ(load.wb.Source_bas, cp("строка\r\nконец\r\n"));
  EXPECT_EQ(load.ui.shown, std::vector<Shown>{failure("Error#53  " + dir.str() + cp("/нет.bas"),
                                                      "File not found")});
  EXPECT_EQ(log_lines(dir),
            (Lines{dir.str() + cp("/БИБЛИОТЕКА.BAS loaded"), cp("папка/главный.bas loaded")}));
}

}  // namespace
}  // namespace kestrel
