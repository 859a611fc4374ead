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
using testing::kFolder;
using testing::kSeparator;
using testing::Load;
using testing::message;
using testing::native;
using testing::open_dialog;
using testing::Shown;
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
    Load load("prog.bas");
    load.files.add_file("prog.bas", c.bytes);
    load.run();
    EXPECT_EQ(load.wb.Source_bas, c.pane) << c.bytes;
    EXPECT_TRUE(load.wb.Command4_enabled) << c.bytes;
    EXPECT_TRUE(load.ui.shown.empty()) << c.bytes;
    const Lines logged = c.bytes.empty() ? Lines{} : Lines{"prog.bas loaded"};
    EXPECT_EQ(load.log_lines(), logged) << c.bytes;
  }
}

// Lines that reach the pane as they stand are appended in pieces of the file; each pane line still
// has its own origin, whatever ends it and whatever stands between it and the next.
TEST(Open, EveryPaneLineKeepsItsOriginWhateverEndsItsLine) {
  struct Case {
    std::string bytes;
    Lines pane;
    std::vector<std::pair<bool, int>> origins;  // (from INC.BAS, line) of each pane line
  };
  const std::vector<Case> cases = {
      {"A\r\n#define X EQU 1\r\nB\rC\nD",
       {"A", "#define X EQU 1", "B", "C", "D"},
       {{false, 1}, {false, 2}, {false, 3}, {false, 4}, {false, 5}}},
      {"A\r\n#define X 5\r\nB\r\n", {"A", "B"}, {{false, 1}, {false, 3}}},
      {"A\r\n#include INC.BAS\r\nB",
       {"A", "I1", "I2", "B"},
       {{false, 1}, {true, 1}, {true, 2}, {false, 3}}},
      {"\r\n\n\r\r\n", {"", "", "", ""}, {{false, 1}, {false, 2}, {false, 3}, {false, 4}}},
      {"  #define Y EQU 2\r\n#includeINC.BAS\r\n",
       {"  #define Y EQU 2", "I1", "I2"},
       {{false, 1}, {true, 1}, {true, 2}}},
  };
  const std::string include = kFolder + kSeparator + "INC.BAS";
  for (const Case& c : cases) {
    Load load("prog.bas");
    load.files.add_file("prog.bas", c.bytes);
    load.files.add_file("INC.BAS", "I1\nI2");
    load.run();
    EXPECT_EQ(load.wb.Source_bas, testing::lines(c.pane)) << c.bytes;
    const Locator where(load.outcome.source_map, load.wb.Source_bas);
    for (int i = 0; i < static_cast<int>(c.origins.size()); ++i) {
      const auto [included, line] = c.origins[static_cast<std::size_t>(i)];
      EXPECT_EQ(where.at(i), (Location{included ? include : "prog.bas", line, i})) << c.bytes;
    }
    const int past = static_cast<int>(c.origins.size());
    EXPECT_EQ(where.at(past), (Location{"", past + 1, past})) << c.bytes;
  }
}

TEST(Open, StartsAfreshAndLogsThePathAsTyped) {
  Load load("./prog.bas");
  load.files.add_file("prog.bas", testing::lines({"one", "#define V EQU 1", "two"}));
  load.wb.Source_bas = "old text\r\n";
  load.wb.defs.def_count = 3;
  load.run();
  EXPECT_EQ(load.wb.Source_bas, testing::lines({"one", "#define V EQU 1", "two"}));
  EXPECT_EQ(load.wb.defs.def_count, 1);
  EXPECT_EQ(load.wb.source_path, "./prog.bas");
  EXPECT_EQ(load.wb.file_name, "./prog.bas");
  EXPECT_EQ(load.log_lines(), Lines{"./prog.bas loaded"});
}

TEST(Open, TheDialogNamesTheFileWhenText2IsEmpty) {
  const std::string chosen = kFolder + "/chosen.bas";
  struct Case {
    std::string answer;
    std::vector<Shown> shown;
    std::string text2;
    bool enabled;
  };
  const std::vector<Case> cases = {
      {"", {open_dialog("All files (*.*)|*.*"), message("Cancel")}, "", false},
      {chosen, {open_dialog("All files (*.*)|*.*")}, chosen, true},
      {kFolder + "/gone.bas",
       {open_dialog("All files (*.*)|*.*"), failure("Error#53", "File not found")},
       kFolder + "/gone.bas",
       false},
  };
  for (const Case& c : cases) {
    Load load;
    load.files.add_file(chosen, "x\r\n");
    load.wb.Source_bas = "earlier\r\n";
    load.wb.Command4_enabled = true;
    load.ui.dialog_answers = {c.answer};
    load.run();
    EXPECT_EQ(load.ui.shown, c.shown) << c.answer;
    EXPECT_EQ(load.panes_shown, std::vector<std::string>(c.shown.size(), "")) << c.answer;
    EXPECT_EQ(load.wb.source_path, c.text2) << c.answer;
    EXPECT_EQ(load.wb.Source_bas, c.enabled ? "x\r\n" : "") << c.answer;
    EXPECT_EQ(load.wb.Command4_enabled, c.enabled) << c.answer;
  }
}

TEST(Open, AFileThatCannotBeOpenedLeavesCompileDisabled) {
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
    load.files.add_folder("folder");
    load.run();
    EXPECT_EQ(load.ui.shown, std::vector<Shown>{c.shown}) << c.path;
    EXPECT_EQ(load.wb.file_name, c.path);
    EXPECT_EQ(load.wb.Source_bas, "") << c.path;
    EXPECT_FALSE(load.wb.Command4_enabled) << c.path;
    EXPECT_EQ(load.log_lines(), Lines{}) << c.path;
  }
}

TEST(Open, BoxesShownWhileLoadingSeeThePaneFilledSoFar) {
  Load load("prog.bas");
  load.files.add_file(
      "prog.bas", testing::lines({"one", "#define X 5", "two", "#include MISSING.BAS", "three"}));
  load.run();
  EXPECT_EQ(load.ui.shown,
            (std::vector<Shown>{
                message("ERROR #define  #define X 5"),
                failure("Error#53  " + kFolder + kSeparator + "MISSING.BAS", "File not found"),
            }));
  EXPECT_EQ(load.panes_shown, (Lines{"one\r\n", "one\r\ntwo\r\n"}));
  EXPECT_EQ(load.wb.Source_bas, testing::lines({"one", "two", "three"}));
  EXPECT_TRUE(load.wb.Command4_enabled);
  EXPECT_EQ(load.log_lines(), Lines{"prog.bas loaded"});
}

// The main file's lines as they stand reach the pane without a copy, at the end of the load; a
// box shown before then still sees every line loaded so far.
TEST(Open, TheFirstBoxSeesThePaneFilledSoFarWhateverShowsIt) {
  Lines many_definitions;
  for (int n = 0; n <= kDefinitionSoftLimit; ++n)
    many_definitions.push_back("#define D" + std::to_string(n) + " EQU 1");
  const struct {
    Lines file;
    std::size_t shown_at;  // the pane lines before the first box
  } cases[] = {
      {{"one", "#define X 5", "two"}, 1},
      {{"one", "two", "#include MISSING.BAS", "three"}, 2},
      {many_definitions, many_definitions.size() - 1},
  };
  for (const auto& c : cases) {
    Load load("prog.bas");
    load.files.add_file("prog.bas", testing::lines(c.file));
    load.run();
    ASSERT_FALSE(load.panes_shown.empty()) << c.file[1];
    const Lines before(c.file.begin(), c.file.begin() + static_cast<std::ptrdiff_t>(c.shown_at));
    EXPECT_EQ(load.panes_shown[0], testing::lines(before)) << c.file[1];
  }
}

// The log that start-up could not open fails every later line; the load itself is kept.
TEST(Open, AFailedLogLineIsReportedAndCompileStaysDisabled) {
  Load load("prog.bas");
  load.files.add_file("prog.bas", testing::lines({"one", "#include INC.BAS", "two"}));
  load.files.add_file("INC.BAS", "inc\r\n");
  EXPECT_THROW(load.wb.run_log.open("/no-such-folder/Editor.log"), Failure);
  load.run();
  EXPECT_EQ(load.ui.shown,
            (std::vector<Shown>{
                failure("Error#52  " + kFolder + kSeparator + "INC.BAS", "Bad file name or number"),
                failure("Error#52", "Bad file name or number"),
            }));
  EXPECT_EQ(load.wb.Source_bas, testing::lines({"one", "inc", "two"}));
  EXPECT_FALSE(load.wb.Command4_enabled);
  EXPECT_FALSE(load.outcome.read_to_end);
}

TEST(Open, CyrillicPathsReachTheFilesAsUnicodeAndTheLogInTheCodePage) {
  Load load("папка/главный.bas");
  load.files.add_file(std::filesystem::path(u8"папка") / u8"главный.bas",
                      cp("#include БИБЛИОТЕКА.BAS\r\n#include нет.bas\r\nконец\r\n"));
  load.files.add_file(u8"библиотека.bas", cp("строка\r\n"));
  load.run();
  EXPECT_EQ(load.wb.Source_bas, cp("строка\r\nконец\r\n"));
  EXPECT_EQ(load.ui.shown,
            std::vector<Shown>{
                failure("Error#53  " + kFolder + kSeparator + cp("нет.bas"), "File not found")});
  EXPECT_EQ(load.log_lines(), (Lines{kFolder + kSeparator + cp("БИБЛИОТЕКА.BAS loaded"),
                                     cp("папка/главный.bas loaded")}));
}

// What the outcome records of the files a load touched: every file opened or refused, in the order
// of opening, with the path as the include line named it and the file opened.
TEST(Open, TheOutcomeListsEveryFileTheLoadTouched) {
  using Result = LoadedFile::Result;
  Load load("M.BAS");
  load.files.add_file("M.BAS", testing::lines({"#include A.BAS", "#include EMPTY.BAS",
                                               "#include none.bas", "#include lower.bas"}));
  load.files.add_file("A.BAS", "#include B.BAS\r\n");
  load.files.add_file("B.BAS", "b\r\n");
  load.files.add_file("EMPTY.BAS", "");
  load.files.add_file("LOWER.BAS", "l\r\n");
  load.run();
  const std::filesystem::path folder = kFolder;
  const std::vector<LoadedFile> expected = {
      {"M.BAS", "M.BAS", Result::read},
      {folder / "A.BAS", folder / "A.BAS", Result::read},
      {folder / "B.BAS", folder / "B.BAS", Result::read},
      {folder / "EMPTY.BAS", folder / "EMPTY.BAS", Result::empty},
      {folder / "none.bas", folder / "none.bas", Result::failed},
      {folder / "lower.bas", folder / "LOWER.BAS", Result::read},
  };
  EXPECT_EQ(load.outcome.files, expected);
  EXPECT_TRUE(load.outcome.read_to_end);
  ASSERT_EQ(load.outcome.findings.size(), 1u);
  EXPECT_EQ(load.outcome.findings[0].number, 53);
  EXPECT_EQ(load.outcome.findings[0].location, (Location{"M.BAS", 3, 1}));
}

TEST(Open, TheOutcomeTellsAMissingOrCancelledMainFile) {
  struct Case {
    std::string path;  // "" cancels the dialog
    bool cancelled;
    std::vector<LoadedFile> files;
  };
  const std::vector<Case> cases = {
      {"", true, {}},
      {"none.bas", false, {{"none.bas", "none.bas", LoadedFile::Result::failed}}},
  };
  for (const Case& c : cases) {
    Load load(c.path);
    load.ui.dialog_answers = {""};
    load.run();
    EXPECT_EQ(load.outcome.cancelled, c.cancelled) << c.path;
    EXPECT_FALSE(load.outcome.read_to_end) << c.path;
    EXPECT_EQ(load.outcome.files, c.files) << c.path;
    EXPECT_EQ(load.outcome.findings.size(), c.cancelled ? 0u : 1u) << c.path;
  }
}

// Include names are looked up in the current folder first, then beside the main file; a name found
// in neither is reported below the current folder. Each path is composed with the platform's
// separator throughout, however the current folder is spelt.
TEST(Open, IncludesAreFoundInTheCurrentFolderThenBesideTheMainFile) {
  struct Case {
    std::vector<std::string> libs;  // where LIB.BAS is, each holding its own folder's name
    std::string pane;
    std::string loaded;  // the include as the log names it, or "" when it failed
  };
  const std::vector<Case> cases = {
      {{"LIB.BAS", "proj/LIB.BAS"}, "work\r\n", "/work/LIB.BAS"},
      {{"proj/LIB.BAS"}, "proj\r\n", "/work/proj/LIB.BAS"},
      {{"proj/lib.bas"}, "proj\r\n", "/work/proj/LIB.BAS"},
      {{"other/LIB.BAS"}, "", ""},
  };
  for (const std::string& current : {std::string("/work"), kFolder}) {
    for (const Case& c : cases) {
      Load load("proj/MAIN.BAS");
      load.files = MemoryFiles(current);
      load.files.add_file("proj/MAIN.BAS", "#include LIB.BAS\r\n");
      for (const std::string& lib : c.libs)
        load.files.add_file(lib, lib.starts_with("proj") ? "proj\r\n" : "work\r\n");
      load.run();
      EXPECT_EQ(load.wb.Source_bas, c.pane) << current << c.loaded;
      if (c.loaded.empty()) {
        EXPECT_EQ(load.ui.shown, std::vector<Shown>{failure("Error#53  " + native("/work/LIB.BAS"),
                                                            "File not found")})
            << current;
      } else {
        EXPECT_EQ(load.log_lines(), (Lines{native(c.loaded) + " loaded", "proj/MAIN.BAS loaded"}))
            << current;
      }
    }
  }
}

}  // namespace
}  // namespace kestrel
