#include "loader/include_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "load_support.h"

namespace kestrel {
namespace {

using testing::failure;
using testing::kFolder;
using testing::kSeparator;
using testing::Load;
using testing::message;
using testing::native;
using testing::Shown;
using Lines = std::vector<std::string>;

// An empty include adds nothing and is not logged.
TEST(Include, NestedFilesFillThePaneInPlaceAndAreLoggedInnermostFirst) {
  Load load("M.BAS");
  load.files.add_file("EMPTY.BAS", "");
  load.files.add_file("M.BAS", testing::lines({"one", "#include A.BAS", "two"}));
  load.files.add_file("A.BAS", testing::lines({"a1", "#include B.BAS", "  #include B.BAS",
                                               "#include EMPTY.BAS", "a2"}));
  load.files.add_file("B.BAS", "b1");
  load.run();
  EXPECT_EQ(load.wb.Source_bas,
            testing::lines({"one", "a1", "b1", "  #include B.BAS", "a2", "two"}));
  EXPECT_TRUE(load.ui.shown.empty());
  EXPECT_TRUE(load.wb.Command4_enabled);
  EXPECT_EQ(load.log_lines(), (Lines{kFolder + kSeparator + "B.BAS loaded",
                                     kFolder + kSeparator + "A.BAS loaded", "M.BAS loaded"}));
}

// Each include line names a file holding "inc"; the include expands to that line.
TEST(Include, TheNameIsCutAfterTheEighthCharacterTrimmingBlanksOnly) {
  struct Case {
    std::string line;
    std::string file;  // empty: the line is ordinary text
  };
  const std::vector<Case> cases = {
      {"#include B.BAS", "B.BAS"},     {"#include    B.BAS    ", "B.BAS"},
      {"#includeLIB.BAS", "LIB.BAS"},  {"#includes X", "s X"},
      {"#include \tT.BAS", "\tT.BAS"}, {"#include my file.bas ", "my file.bas"},
      {"  #include B.BAS", ""},        {"\t#include B.BAS", ""},
      {"#INCLUDE B.BAS", ""},
  };
  for (const Case& c : cases) {
    Load load("M.BAS");
    load.files.add_file("M.BAS", c.line + "\r\n");
    if (!c.file.empty()) load.files.add_file(c.file, "inc\r\n");
    load.run();
    EXPECT_EQ(load.wb.Source_bas, c.file.empty() ? c.line + "\r\n" : "inc\r\n") << c.line;
    EXPECT_TRUE(load.ui.shown.empty()) << c.line;
    if (!c.file.empty()) {
      EXPECT_EQ(load.wb.inc_file, c.file);
      // The include line is recorded with where its name stands, for an editor to point at.
      ASSERT_EQ(load.outcome.includes.size(), 1u) << c.line;
      const IncludeLine& include = load.outcome.includes[0];
      EXPECT_EQ(include.name, c.file);
      EXPECT_EQ(c.line.substr(static_cast<std::size_t>(include.column - 1), c.file.size()), c.file);
      EXPECT_EQ((std::pair{include.at.line, include.file}), (std::pair{1, std::size_t{1}}));
    }
  }
}

TEST(Include, AFailingIncludeIsReportedWithItsPathAndLoadingGoesOn) {
  struct Case {
    std::string name;
    std::string shown_name;
    int number;
    std::string description;
  };
  const std::vector<Case> cases = {
      {"MISSING.BAS", "MISSING.BAS", 53, "File not found"},
      {"", "", 75, "Path/File access error"},
      {"sub", "sub", 75, "Path/File access error"},
      {"nodir\\x.bas", native("nodir/x.bas"), 76, "Path not found"},
      {"/etc/hostname", native("/etc/hostname"), 76, "Path not found"},
      {std::string("A.BAS\0x", 7), std::string("A.BAS\0x", 7), 52, "Bad file name or number"},
  };
  for (const Case& c : cases) {
    Load load("M.BAS");
    load.files.add_folder("sub");
    load.files.add_file("A.BAS", "a\r\n");
    load.files.add_file("M.BAS", testing::lines({"one", "#include " + c.name, "two"}));
    load.run();
    const std::string title = "Error#" + std::to_string(c.number) + "  " + kFolder + kSeparator;
    EXPECT_EQ(load.ui.shown, std::vector<Shown>{failure(title + c.shown_name, c.description)})
        << c.name;
    EXPECT_EQ(load.wb.Source_bas, testing::lines({"one", "two"})) << c.name;
    EXPECT_TRUE(load.wb.Command4_enabled) << c.name;
    EXPECT_EQ(load.log_lines(), Lines{"M.BAS loaded"}) << c.name;
  }
}

TEST(Include, AFailureInsideAnIncludeSkipsOnlyTheRestOfThatFile) {
  Load load("M.BAS");
  std::string defs;
  for (int i = 0; i < 4098; ++i) defs += "#define D EQU " + std::to_string(i) + "\r\n";
  load.files.add_file("DEFS.BAS", defs + "skipped\r\n");
  load.files.add_file("A.BAS", testing::lines({"a1", "#include C.BAS", "#define X 5", "a2"}));
  load.files.add_file("M.BAS", testing::lines({"#include A.BAS", "#include DEFS.BAS", "after",
                                               "#define Z EQU 1", "never"}));
  load.run();
  const std::vector<Shown>& shown = load.ui.shown;
  ASSERT_EQ(shown.size(), 51u);
  EXPECT_EQ(shown[0], failure("Error#53  " + kFolder + kSeparator + "C.BAS", "File not found"));
  EXPECT_EQ(shown[1], message("ERROR #define  #define X 5"));
  EXPECT_EQ(shown[2], message("ERROR Count #define > Limit #define D EQU 4050"));
  EXPECT_EQ(shown[49],
            failure("Error#9  " + kFolder + kSeparator + "DEFS.BAS", "Subscript out of range"));
  EXPECT_EQ(shown[50], failure("Error#9", "Subscript out of range"));
  EXPECT_EQ(load.panes_shown[0], "a1\r\n");
  EXPECT_TRUE(load.wb.Source_bas.ends_with("#define D EQU 4049\r\nafter\r\n"));
  EXPECT_TRUE(load.wb.Source_bas.starts_with("a1\r\na2\r\n#define D EQU 0\r\n"));
  EXPECT_FALSE(load.wb.Command4_enabled);
  EXPECT_EQ(load.log_lines(), Lines{kFolder + kSeparator + "A.BAS loaded"});
}

// The composed path, as the include line spells it, is what the log and the titles show.
TEST(Include, ANameInAnotherLetterCaseFindsTheOneMatchingEntry) {
  struct Case {
    std::string name;
    std::vector<std::string> on_disk;
    bool found;
  };
  const std::vector<Case> cases = {
      {"TEST_3.BAS", {"test_3.bas"}, true},
      {"LIB\\Io.Bas", {"lib/IO.BAS"}, true},
      {"lib/Io.Bas", {"LIB/io.bas"}, true},
      {"lib\\sub\\X.BAS", {"lib/SUB/x.bas"}, true},
      {testing::cp("ДАННЫЕ\\Ёлка.BAS"), {"данные/ёлка.bas"}, true},
      {"Dup.bas", {"dup.bas", "DUP.BAS"}, false},
      {"lib\\nothing.bas", {"LIB/x.bas"}, false},
  };
  for (const Case& c : cases) {
    Load load("M.BAS");
    for (const std::string& file : c.on_disk)
      load.files.add_file(std::filesystem::path(std::u8string(file.begin(), file.end())),
                          "inc\r\n");
    load.files.add_file("M.BAS", "#include " + c.name + "\r\n");
    load.run();
    std::string composed = kFolder + kSeparator + c.name;
    for (const char separator : {'\\', '/'}) std::ranges::replace(composed, separator, kSeparator);
    EXPECT_EQ(load.wb.Source_bas, c.found ? "inc\r\n" : "") << c.name;
    EXPECT_EQ(load.ui.shown.empty(), c.found) << c.name;
    const Lines logged =
        c.found ? Lines{composed + " loaded", "M.BAS loaded"} : Lines{"M.BAS loaded"};
    EXPECT_EQ(load.log_lines(), logged) << c.name;
  }
}

std::string repeated(const std::string& text, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) result += text;
  return result;
}

// An include of a file that is being read, however its name is spelt, would never end: it is
// refused at once, and the rest of the load goes on.
TEST(Include, AFileAlreadyBeingReadIsRefusedAtOnce) {
  struct Case {
    std::string name;
    std::vector<std::pair<std::string, std::string>> files;  // the first is included by M.BAS
    std::vector<std::string> refused;                        // the composed names, one failure each
    std::string pane;
  };
  const std::vector<Case> cases = {
      {"itself", {{"X.BAS", "x1\r\n#include X.BAS\r\nx2\r\n"}}, {"X.BAS"}, "x1\r\nx2\r\n"},
      {"itself twice",
       {{"X.BAS", "x\r\n#include X.BAS\r\n#include X.BAS\r\n"}},
       {"X.BAS", "X.BAS"},
       "x\r\n"},
      {"a ring in another letter case",
       {{"A.BAS", "a\r\n#include B.BAS\r\n"}, {"B.BAS", "b\r\n#include a.bas\r\n"}},
       {"a.bas"},
       "a\r\nb\r\n"},
      {"the main file", {{"M.BAS", ""}}, {"M.BAS"}, ""},
  };
  for (const Case& c : cases) {
    Load load("M.BAS");
    for (const auto& [name, text] : c.files) load.files.add_file(name, text);
    if (c.files[0].first != "M.BAS")
      load.files.add_file("M.BAS", "#include " + c.files[0].first + "\r\n");
    else
      load.files.add_file("M.BAS", "#include M.BAS\r\n");
    load.run();
    std::vector<Shown> expected;
    for (const std::string& name : c.refused)
      expected.push_back(failure("Error#67  " + kFolder + kSeparator + name, "Too many files"));
    EXPECT_EQ(load.ui.shown, expected) << c.name;
    EXPECT_EQ(load.wb.Source_bas, c.pane) << c.name;
    EXPECT_TRUE(load.wb.Command4_enabled) << c.name;
  }
}

std::string nested_name(int i) { return "F" + std::to_string(i) + ".BAS"; }

// Adds F0.BAS to F<depth - 1>.BAS, each of which includes the next file twice, so that the
// nest fans out to 2^depth includes of F<depth>.BAS, which the caller adds.
void add_fan_out(MemoryFiles& files, int depth) {
  for (int i = 0; i < depth; ++i) {
    const std::string next = "#include " + nested_name(i + 1) + "\r\n";
    files.add_file(nested_name(i), next + next);
  }
}

TEST(Include, DistinctFilesNestedPastTheDepthBoundFail) {
  const int files = kIncludeDepthLimit + 2;
  Load load("M.BAS");
  load.files.add_file("M.BAS", "#include " + nested_name(0) + "\r\n");
  for (int i = 0; i < files; ++i)
    load.files.add_file(nested_name(i), "#include " + nested_name(i + 1) + "\r\nf\r\n");
  load.run();
  EXPECT_EQ(load.ui.shown, std::vector<Shown>{failure("Error#67  " + kFolder + kSeparator +
                                                          nested_name(kIncludeDepthLimit),
                                                      "Too many files")});
  EXPECT_EQ(load.wb.Source_bas, repeated("f\r\n", kIncludeDepthLimit));
}

// However often a source includes a file, side by side or from files that are themselves
// included again, every include adds the file's lines, each line keeps its origin, and each
// distinct file is read and logged once per load.
TEST(Include, EachDistinctFileIsReadAndLoggedOncePerLoad) {
  const int times = 5000;
  Load load("M.BAS");
  load.files.add_file("M.BAS", repeated("#include SMALL.BAS\r\n", times) +
                                   "m\r\n#include PAIR.BAS\r\n#include PAIR.BAS\r\n");
  load.files.add_file("SMALL.BAS", "s\r\n");
  load.files.add_file("PAIR.BAS", "p\r\n#include TWO.BAS\r\n#include TWO.BAS\r\n");
  load.files.add_file("TWO.BAS", "t1\r\nt2\r\n");
  load.run();
  EXPECT_TRUE(load.ui.shown.empty());
  const std::string pair = "p\r\nt1\r\nt2\r\nt1\r\nt2\r\n";
  EXPECT_EQ(load.wb.Source_bas, repeated("s\r\n", times) + "m\r\n" + pair + pair);
  for (const char* name : {"M.BAS", "SMALL.BAS", "PAIR.BAS", "TWO.BAS"})
    EXPECT_EQ(load.files.reads(name), 1) << name;
  EXPECT_EQ(load.outcome.files.size(), 4u);
  const std::string in = kFolder + kSeparator;
  EXPECT_EQ(load.log_lines(), (Lines{in + "SMALL.BAS loaded", in + "TWO.BAS loaded",
                                     in + "PAIR.BAS loaded", "M.BAS loaded"}));
  const SourceMap& map = load.outcome.source_map;
  const auto origin = [&](int pane_line) {
    const SourceOrigin at = map.origin_of(pane_line).value();
    return map.files.at(static_cast<std::size_t>(at.file)).filename().string() + ":" +
           std::to_string(at.line);
  };
  EXPECT_EQ(origin(times - 1), "SMALL.BAS:1");
  Lines origins;
  for (int line = times; line < map.line_count(); ++line) origins.push_back(origin(line));
  const Lines pair_origins = {"PAIR.BAS:1", "TWO.BAS:1", "TWO.BAS:2", "TWO.BAS:1", "TWO.BAS:2"};
  Lines expected = {"M.BAS:" + std::to_string(times + 1)};
  for (int i = 0; i < 2; ++i)
    expected.insert(expected.end(), pair_origins.begin(), pair_origins.end());
  EXPECT_EQ(origins, expected);
  EXPECT_EQ(map.files.size(), 4u);
}

// What a file's include added is repeated only where its own includes may nest as deep again:
// included again near the depth bound, its include fails there as a first include would.
TEST(Include, ARepeatedIncludeNestsNoDeeperThanAllowed) {
  Load load("M.BAS");
  load.files.add_file("M.BAS", "#include X.BAS\r\n#include " + nested_name(0) + "\r\n");
  load.files.add_file("X.BAS", "x\r\n#include Y.BAS\r\n");
  load.files.add_file("Y.BAS", "y\r\n");
  // The chain holds M.BAS and the files down to the last one, which includes X.BAS: Y.BAS is
  // one file too deep there.
  const int deepest = kIncludeDepthLimit - 2;
  for (int i = 0; i < deepest; ++i)
    load.files.add_file(nested_name(i), "#include " + nested_name(i + 1) + "\r\n");
  load.files.add_file(nested_name(deepest), "#include X.BAS\r\n");
  load.run();
  EXPECT_EQ(load.ui.shown, std::vector<Shown>{failure("Error#67  " + kFolder + kSeparator + "Y.BAS",
                                                      "Too many files")});
  EXPECT_EQ(load.wb.Source_bas, "x\r\ny\r\nx\r\n");
}

// A file that includes the next one twice, down the nest, doubles what is held at every level:
// the load's bound on the bytes its pane holds ends the whole load at once, with one failure.
TEST(Include, ARunawayNestEndsTheLoadAtItsBound) {
  Workbench wb;
  testing::ScriptedUi ui;
  Findings findings(ui);
  MemoryFiles files(kFolder);
  add_fan_out(files, 40);
  files.add_file(nested_name(40), "leaf\r\n");
  Loading load(wb, findings, files, {kFolder});
  load.bytes_limit = 100000;
  EXPECT_THROW(Include_file(load, nested_name(0)), LoadEnded);
  ASSERT_EQ(findings.list().size(), 1u);
  EXPECT_EQ(findings.list().back().number, 80);
  EXPECT_LE(wb.Source_bas.size(), load.bytes_limit);
  EXPECT_GT(wb.Source_bas.size(), load.bytes_limit / 2);
  for (int i = 0; i <= 40; ++i) EXPECT_LE(files.reads(nested_name(i)), 1) << i;
}

// A nest that fans out down to an include that fails: the failing line is reached once per path
// through the nest, 2^14 times here, but fails the same way each time and is reported once.
TEST(Include, AFailureReachedAgainThroughARepeatedIncludeIsReportedOnce) {
  const int depth = 14;
  Load load("M.BAS");
  load.files.add_file("M.BAS", "#include " + nested_name(0) + "\r\n");
  add_fan_out(load.files, depth);
  load.files.add_file(nested_name(depth), "leaf\r\n#include MISSING.BAS\r\n");
  load.run();
  EXPECT_EQ(load.ui.shown,
            std::vector<Shown>{
                failure("Error#53  " + kFolder + kSeparator + "MISSING.BAS", "File not found")});
  EXPECT_EQ(load.wb.Source_bas, repeated("leaf\r\n", 1 << depth));
  EXPECT_EQ(load.files.reads(nested_name(depth)), 1);
}

// The same nest with an include of its own top at the bottom: that include fails by where it
// stands, so nothing below the top can be repeated, and the load ends once it has expanded as many
// includes as it may.
TEST(Include, ANestThatCannotBeRepeatedEndsTheLoadAfterTheMostExpansions) {
  const int depth = 20;
  Load load("M.BAS");
  load.files.add_file("M.BAS", "#include " + nested_name(0) + "\r\nm\r\n");
  add_fan_out(load.files, depth);
  load.files.add_file(nested_name(depth), "#include " + nested_name(0) + "\r\n");
  load.run();
  ASSERT_EQ(load.ui.shown.size(), 2u);
  EXPECT_EQ(load.ui.shown.back().text, "Too many files");
  EXPECT_FALSE(load.wb.Command4_enabled);
}

}  // namespace
}  // namespace kestrel
