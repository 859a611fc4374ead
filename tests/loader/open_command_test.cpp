#include "loader/open_command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/failure.h"
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

// The pane is emptied once a file has been named: a cancelled dialog leaves it as it was.
TEST(Open, TheDialogNamesTheFileWhenText2IsEmpty) {
  const std::string chosen = kFolder + "/chosen.bas";
  const std::string earlier = "earlier\r\n";
  struct Case {
    std::string answer;
    std::vector<Shown> shown;
    std::vector<std::string> panes_shown;
    std::string text2;
    std::string pane;
    bool enabled;
  };
  const std::vector<Case> cases = {
      {"",
       {open_dialog("All files (*.*)|*.*"), message("Cancel")},
       {earlier, earlier},
       "",
       earlier,
       false},
      {chosen, {open_dialog("All files (*.*)|*.*")}, {earlier}, chosen, "x\r\n", true},
      {kFolder + "/gone.bas",
       {open_dialog("All files (*.*)|*.*"), failure("Error#53", "File not found")},
       {earlier, ""},
       kFolder + "/gone.bas",
       "",
       false},
  };
  for (const Case& c : cases) {
    Load load;
    load.files.add_file(chosen, "x\r\n");
    load.wb.Source_bas = earlier;
    load.wb.Command4_enabled = true;
    load.ui.dialog_answers = {c.answer};
    load.run();
    EXPECT_EQ(load.ui.shown, c.shown) << c.answer;
    EXPECT_EQ(load.panes_shown, c.panes_shown) << c.answer;
    EXPECT_EQ(load.wb.source_path, c.text2) << c.answer;
    EXPECT_EQ(load.wb.Source_bas, c.pane) << c.answer;
    EXPECT_EQ(load.wb.Command4_enabled, c.enabled) << c.answer;
  }
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
