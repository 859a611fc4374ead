#include "save/save_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "files/memory_files.h"
#include "loader/open_command.h"
#include "support/scripted_ui.h"
#include "workbench/help_text.h"
#include "workbench/messages.h"
#include "workbench/workbench.h"

namespace kestrel {
namespace {

using testing::ScriptedUi;
using testing::Shown;

const std::string kFilter = "BAS files (*.BAS)|*.BAS";

// A file's content, or a text no file holds when there is no such file.
std::string read_file(const MemoryFiles& files, const std::string& path) {
  return files.content(path).value_or("<no file>");
}

std::string lines(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += std::to_string(i) + "\r\n";
  return text;
}

// However its path is spelt, a file the last Open read is never written over; other files are.
TEST(Save, NeverWritesOverAFileTheSourceWasReadFrom) {
  struct Case {
    std::string path;
    bool refused;
  };
  const std::vector<Case> cases = {
      {"MAIN.BAS", true}, {"./MAIN.BAS", true}, {"sub/../MAIN.BAS", true}, {"/work/MAIN.BAS", true},
      {"PINS.BAS", true}, {"OUT.BAS", false},   {"MISSING.BAS", false},
  };
  for (const Case& c : cases) {
    MemoryFiles files("/work");
    files.add_folder("sub");
    files.add_file("MAIN.BAS", "#include PINS.BAS\r\n#include MISSING.BAS\r\nmain\r\n");
    files.add_file("PINS.BAS", "pins\r\n");
    Workbench wb;
    wb.source_path = "MAIN.BAS";
    ScriptedUi ui;
    const SourceFiles sources = files_read(open_command(wb, ui, files, {"/work"}));
    ui.shown.clear();
    wb.destination_path = c.path;
    const SaveOutcome saved = save_command(wb, ui, files, sources);
    ui.dialog_answers = {c.path};
    const SaveOutcome saved_as = save_as_command(wb, ui, files, sources);
    for (const SaveOutcome& outcome : {saved, saved_as}) {
      EXPECT_EQ(outcome.refused, c.refused) << c.path;
      EXPECT_EQ(outcome.written, !c.refused) << c.path;
    }
    const Shown refusal = testing::message(message_text(MessageText::source_file_kept) +
                                           ansi_path(path_from_utf8(c.path)));
    EXPECT_EQ(std::count(ui.shown.begin(), ui.shown.end(), refusal), c.refused ? 2 : 0) << c.path;
    EXPECT_EQ(read_file(files, "MAIN.BAS"),
              "#include PINS.BAS\r\n#include MISSING.BAS\r\nmain\r\n");
    EXPECT_EQ(read_file(files, "PINS.BAS"), "pins\r\n");
  }
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
  MemoryFiles files;
  for (const Case& c : cases) {
    files.add_file("out.bas", "old text that must go\r\n");
    Workbench wb;
    wb.Dest_bas = c.pane;
    wb.destination_path = "out.bas";
    ScriptedUi ui;
    save_command(wb, ui, files);
    EXPECT_EQ(read_file(files, "out.bas"), c.file) << c.pane.substr(0, 20);
    EXPECT_TRUE(ui.shown.empty()) << c.pane.substr(0, 20);
  }
}

TEST(Save, RightAfterStartWritesTheHelpText) {
  MemoryFiles files;
  Workbench wb;
  wb.destination_path = "help.bas";
  ScriptedUi ui;
  save_command(wb, ui, files);
  EXPECT_EQ(read_file(files, "help.bas"), help_text());
}

TEST(Save, TakesATypedPathAsTypedAndAChosenOneIntoText1) {
  MemoryFiles files;
  Workbench wb;
  wb.Dest_bas = "0010 PRINT\r\n";
  wb.destination_path = "typed.bas";
  ScriptedUi ui;
  save_command(wb, ui, files);
  EXPECT_EQ(read_file(files, "typed.bas"), "0010 PRINT\r\n");
  EXPECT_EQ(wb.destination_path, "typed.bas");
  EXPECT_EQ(wb.file_name, "typed.bas");
  EXPECT_TRUE(ui.shown.empty());

  const std::string chosen = "/work/chosen.BAS";
  wb.destination_path.clear();
  ui.dialog_answers = {chosen};
  save_command(wb, ui, files);
  EXPECT_EQ(ui.shown, std::vector<Shown>{testing::save_dialog(kFilter)});
  EXPECT_EQ(wb.destination_path, chosen);
  EXPECT_EQ(wb.file_name, chosen);
  EXPECT_EQ(read_file(files, chosen), "0010 PRINT\r\n");

  // The next Save writes the same file again without asking.
  wb.Dest_bas = "0020 END";
  save_command(wb, ui, files);
  EXPECT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(read_file(files, chosen), "0020 END\r\n");
}

TEST(SaveAndSaveAs, ACancelledDialogSaysCancelAndChangesNothing) {
  using Command = SaveOutcome (*)(Workbench&, Ui&, Files&, const SourceFiles&);
  for (Command command : {Command{save_command}, Command{save_as_command}}) {
    MemoryFiles files;
    Workbench wb;
    wb.source_path = "source.bas";
    wb.file_name = "source.bas";
    files.add_file("source.bas", "kept\r\n");
    ScriptedUi ui;
    ui.dialog_answers = {""};
    const SaveOutcome outcome = command(wb, ui, files, {});
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_FALSE(outcome.written);
    EXPECT_EQ(ui.shown,
              (std::vector<Shown>{testing::save_dialog(kFilter), testing::message("Cancel")}));
    EXPECT_EQ(wb.destination_path, "");
    EXPECT_EQ(wb.source_path, "source.bas");
    EXPECT_EQ(wb.file_name, "source.bas");
    EXPECT_EQ(read_file(files, "source.bas"), "kept\r\n");
    EXPECT_EQ(files.list(".").size(), 1u);
  }
}

TEST(SaveAs, AlwaysAsksAndWritesTheSourcePaneToThePathPutIntoText2) {
  MemoryFiles files;
  Workbench wb;
  wb.Source_bas = "one\r\na1\r\ntwo";
  wb.Dest_bas = "0010 one\r\n";
  wb.destination_path = "dest.bas";
  wb.source_path = "old.bas";
  ScriptedUi ui;
  ui.dialog_answers = {"new.bas"};
  save_as_command(wb, ui, files);
  EXPECT_EQ(ui.shown, std::vector<Shown>{testing::save_dialog(kFilter)});
  EXPECT_EQ(read_file(files, "new.bas"), "one\r\na1\r\ntwo\r\n");
  EXPECT_EQ(wb.source_path, "new.bas");
  EXPECT_EQ(wb.file_name, "new.bas");
  EXPECT_EQ(wb.destination_path, "dest.bas");
  EXPECT_EQ(files.kind("dest.bas"), EntryKind::missing);
}

struct FailureCase {
  std::string path;
  std::string title;
  std::string description;
};

const std::vector<FailureCase> kFailureCases = {
    {"no_such_folder/x.bas", "Error#76", "Path not found"},
    {"folder", "Error#75", "Path/File access error"},
    {"   ", "Error#52", "Bad file name or number"},
    {"full.bas", "Error#61", "Disk full"},
    {"broken.bas", "Error#57", "Device I/O error"},
};

// Files in which each failure case fails.
MemoryFiles failing_files() {
  MemoryFiles files;
  files.add_folder("folder");
  files.fail_writes("full.bas", FailureCode::disk_full);
  files.fail_writes("broken.bas", FailureCode::device_io_error);
  return files;
}

TEST(Save, AFailureIsReportedAndTheTypedPathStays) {
  MemoryFiles files = failing_files();
  for (const FailureCase& c : kFailureCases) {
    Workbench wb;
    wb.Dest_bas = std::string(100000, 'x');
    wb.destination_path = c.path;
    ScriptedUi ui;
    const SaveOutcome outcome = save_command(wb, ui, files);
    EXPECT_FALSE(outcome.written) << c.path;
    ASSERT_EQ(outcome.findings.size(), 1u) << c.path;
    EXPECT_EQ(outcome.findings[0].title, c.title) << c.path;
    EXPECT_EQ(ui.shown, std::vector<Shown>{testing::failure(c.title, c.description)}) << c.path;
    EXPECT_EQ(wb.destination_path, c.path);
    EXPECT_EQ(wb.file_name, c.path);

    // The command can be used again at once.
    wb.destination_path = "good.bas";
    save_command(wb, ui, files);
    EXPECT_EQ(ui.shown.size(), 1u) << c.path;
    EXPECT_EQ(read_file(files, "good.bas").size(), 100002u) << c.path;
  }
  EXPECT_EQ(files.kind("no_such_folder"), EntryKind::missing);
  EXPECT_EQ(files.kind("   "), EntryKind::missing);
}

TEST(SaveAs, AFailureIsReportedAndTheChosenPathStaysInText2) {
  MemoryFiles files = failing_files();
  for (const FailureCase& c : kFailureCases) {
    Workbench wb;
    wb.Source_bas = "line\r\n";
    ScriptedUi ui;
    ui.dialog_answers = {c.path};
    save_as_command(wb, ui, files);
    EXPECT_EQ(ui.shown, (std::vector<Shown>{testing::save_dialog(kFilter),
                                            testing::failure(c.title, c.description)}))
        << c.path;
    EXPECT_EQ(wb.source_path, c.path);
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
  MemoryFiles files;
  const std::vector<std::string> byte_lines = all_byte_lines();
  for (const std::string end : {"\r\n", "\n", "\r"}) {
    files.add_file("all.bas", joined(byte_lines, end));
    Workbench wb;
    wb.source_path = "all.bas";
    ScriptedUi ui;
    open_command(wb, ui, files, {files.current_folder()});
    ui.dialog_answers = {"copy.bas"};
    save_as_command(wb, ui, files);
    EXPECT_EQ(ui.shown, std::vector<Shown>{testing::save_dialog(kFilter)});
    EXPECT_EQ(read_file(files, "copy.bas"), joined(byte_lines, "\r\n"));
  }
}

}  // namespace
}  // namespace kestrel
