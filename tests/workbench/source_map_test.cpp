#include "workbench/source_map.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "compiler/compile_pass.h"
#include "loader/load_support.h"
#include "loader/open_command.h"
#include "support/scripted_ui.h"
#include "text/ansi.h"
#include "text/text_hash.h"
#include "workbench/workbench.h"

namespace kestrel {
namespace {

using testing::kFolder;
using testing::Load;
using testing::ScriptedUi;

std::string text_of(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

struct Case {
  const char* name;
  std::vector<std::string> b_lines;  // inc/b.bas, included by inc/a.bas at its line 2
  std::vector<std::string> a_tail;   // inc/a.bas from its line 3 on
  const char* file;                  // "a" or "b": where the finding is
  int line;                          // its line in that file
  std::optional<int> pane_line;      // the pane line while the pane is as loaded
  bool at_compile;                   // found by Compile rather than by Open
  bool located_when_edited = true;
};

// main.bas: "REM main" and the include of inc/a.bas; inc/a.bas: a PRINT and the include of
// inc/b.bas. The pane therefore begins with two lines from main.bas and inc/a.bas.
void write_sources(MemoryFiles& files, const Case& c) {
  files.add_file("main.bas", text_of({"REM main", "#include inc\\a.bas"}));
  std::vector<std::string> a = {"PRINT \"a\"", "#include inc\\b.bas"};
  a.insert(a.end(), c.a_tail.begin(), c.a_tail.end());
  files.add_file("inc/a.bas", text_of(a));
  files.add_file("inc/b.bas", text_of(c.b_lines));
}

std::string composed(const std::string& name) {
  const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
  return kFolder + separator + "inc" + separator + name + ".bas";
}

// Every box that carries a location carries `expected`, and there is at least one.
void expect_located(const ScriptedUi& ui, const Location& expected, const std::string& when) {
  EXPECT_FALSE(ui.locations.empty()) << when;
  for (const auto& [index, where] : ui.locations) {
    EXPECT_EQ(where.file, expected.file) << when << ", box " << index;
    EXPECT_EQ(where.line, expected.line) << when << ", box " << index;
    EXPECT_EQ(where.pane_line, expected.pane_line) << when << ", box " << index;
  }
}

TEST(SourceLocations, EveryFindingPointsAtItsLineBeforeAndAfterAnEdit) {
  const std::string too_long = "PRINT " + std::string(70, 'x');
  std::vector<std::string> surplus;
  for (int i = 0; i <= kDefinitionSoftLimit; ++i)
    surplus.push_back("#define N" + std::to_string(i) + " EQU 1");
  const std::vector<Case> cases = {
      {"bad definition", {"PRINT 1", "#define NOEQ"}, {}, "b", 2, std::nullopt, false},
      {"surplus definition", surplus, {}, "b", kDefinitionSoftLimit + 1, std::nullopt, false},
      {"missing include", {"PRINT 1", "#include inc\\none.bas"}, {}, "b", 2, 3, false},
      {"include failure in a", {}, {"#include none.bas"}, "a", 3, 2, false},
      {"bad directive", {"PRINT 1", "5000"}, {}, "b", 2, 3, true},
      {"looping substitution", {"#define X EQU (X)", "PRINT X"}, {}, "b", 2, 3, true},
      {"duplicate definitions", {"#define D EQU 1"}, {"#define D EQU 2"}, "a", 3, 3, true, false},
      {"duplicate labels", {"[L]", "[L]"}, {}, "b", 2, 3, true},
      {"label left over", {"[L]", "GOTO [NOWHERE]"}, {"PRINT 2"}, "b", 2, 3, true},
      {"long line", {"[L]", too_long}, {"GOTO [L]"}, "b", 2, 3, true},
  };
  for (const Case& c : cases) {
    Load load("main.bas");
    write_sources(load.files, c);
    load.run();
    Workbench& wb = load.wb;
    const SourceMap& map = load.outcome.source_map;
    const Location loaded{composed(c.file), c.line, c.pane_line};
    if (!c.at_compile) {
      expect_located(load.ui, loaded, std::string(c.name) + ", Open");
      continue;
    }
    ASSERT_TRUE(load.ui.shown.empty()) << c.name;
    ScriptedUi as_loaded;
    compile_command(wb, as_loaded, map);
    expect_located(as_loaded, loaded, std::string(c.name) + ", as loaded");

    // One line more at the top: the pane's own numbers, one further down.
    wb.Source_bas = "REM edited\r\n" + wb.Source_bas;
    ScriptedUi edited;
    compile_command(wb, edited, map);
    if (c.located_when_edited) {
      expect_located(edited, {"", *c.pane_line + 2, *c.pane_line + 1},
                     std::string(c.name) + ", edited");
    } else {
      EXPECT_TRUE(edited.locations.empty()) << c.name;
      EXPECT_EQ(edited.shown.size(), 1u) << c.name;
    }
  }
}

TEST(SourceLocations, TheMainFileIsNamedAsTypedAndAReloadForgetsTheEdit) {
  Load load("main.bas");
  load.files.add_file("main.bas", text_of({"PRINT 1", "9999"}));
  load.run();
  load.wb.Source_bas += "PRINT 2\r\n";
  load.run();
  const CompileOutcome compiled = compile_command(load.wb, load.ui, load.outcome.source_map);
  ASSERT_EQ(load.ui.locations.size(), 1u);
  EXPECT_EQ(load.ui.locations.begin()->second, (Location{"main.bas", 2, 1, 1}));
  ASSERT_EQ(compiled.findings.size(), 1u);
  EXPECT_EQ(compiled.findings[0].location, (Location{"main.bas", 2, 1, 1}));
}

// The loaded pane is remembered by a fingerprint, which must tell a change of any one byte, in
// the hash's full stripes of several lanes or in its tails, and a swap of two words or of the
// pieces that two lanes take.
TEST(TextFingerprint, AnyOneChangedByteOrSwappedWordChangesIt) {
  for (std::size_t size = 0; size <= 200; ++size) {
    std::string text;
    for (std::size_t i = 0; i < size; ++i) text += static_cast<char>('A' + i % 26);
    const TextFingerprint original = TextFingerprint::of(text);
    EXPECT_EQ(TextFingerprint::of(std::string(text)), original) << size;
    for (std::size_t at = 0; at < size; ++at) {
      std::string changed = text;
      changed[at] = static_cast<char>(changed[at] ^ 0x01);
      EXPECT_NE(TextFingerprint::of(changed), original) << size << " at " << at;
    }
    for (const std::size_t width : {8, 16}) {
      if (size < 2 * width) continue;
      std::string swapped = text;
      std::swap_ranges(swapped.begin(), swapped.begin() + width, swapped.begin() + width);
      EXPECT_NE(TextFingerprint::of(swapped), original) << size << " swapping " << width;
    }
  }
  // Two texts of one size that a former hash took for one: the second 8 bytes were its state after
  // the first, which multiplied that state by zero whatever the first 8 bytes held.
  const std::string tail = std::string("\x79\x6B\x3A\x5E\xAF\x3E\x41\xFD") + std::string(16, 'x');
  EXPECT_NE(TextFingerprint::of("Axxxxxxx" + tail), TextFingerprint::of("Bxxxxxxx" + tail));
}

// The hash taken four words side by side is the polynomial taken one word at a time.
TEST(TextFingerprint, IsThePolynomialOfTheTextsWords) {
  constexpr std::uint64_t prime = (std::uint64_t{1} << 61) - 1;
  __extension__ using Wide = unsigned __int128;
  // The single word 1 makes the polynomial k itself.
  const std::uint64_t point = text_hash("\x01");
  for (std::size_t size = 0; size <= 100; ++size) {
    std::string text;
    for (std::size_t i = 0; i < size; ++i) text += static_cast<char>(0xF0 - 7 * i);
    std::uint64_t plain = 0;
    for (std::size_t at = 0; at < size; at += 7) {
      std::uint64_t word = 0;
      for (std::size_t i = 0; i < 7 && at + i < size; ++i)
        word |= std::uint64_t{static_cast<unsigned char>(text[at + i])} << (8 * i);
      plain = static_cast<std::uint64_t>((static_cast<Wide>(plain) * point + word) % prime);
    }
    plain = static_cast<std::uint64_t>(static_cast<Wide>(plain) * point % prime);
    EXPECT_EQ(text_hash(text), plain) << size;
  }
}

TEST(SourceLocations, AnEditThatKeepsThePanesSizeIsSeen) {
  Load load("main.bas");
  load.files.add_file("main.bas", text_of({"PRINT 1", "PRINT 2", "9999"}));
  load.run();
  const std::string loaded = load.wb.Source_bas;
  const std::vector<std::string> edits = {
      text_of({"PRINT 2", "PRINT 1", "9999"}),
      text_of({"PRINT 1", "PRINT 2", "9998"}),
      text_of({"PRINT 1", "PRINT 2", "999"}) + "9",
  };
  ASSERT_EQ(Locator(load.outcome.source_map, loaded).at(2), (Location{"main.bas", 3, 2}));
  for (const std::string& edit : edits) {
    ASSERT_EQ(edit.size(), loaded.size());
    EXPECT_EQ(Locator(load.outcome.source_map, edit).at(2), (Location{"", 3, 2})) << edit;
  }
}

TEST(SourceLocations, OutputLinesRecordTheirSourceAndWhetherTheyAreNumbered) {
  Workbench wb;
  wb.keep_comments = wb.comments_unnumbered = true;
  wb.Source_bas =
      text_of({"#define A EQU 1", "[START]", "REM note", "PRINT A", "", "GOTO [START]"});
  ScriptedUi ui;
  const CompileOutcome compiled = compile_command(wb, ui, SourceMap());
  const std::vector<OutputLine>& lines = compiled.record.output_lines;
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].source_line, 2);
  EXPECT_FALSE(lines[0].numbered);
  EXPECT_EQ(lines[1].source_line, 3);
  EXPECT_TRUE(lines[1].numbered);
  EXPECT_EQ(lines[2].source_line, 5);
  EXPECT_EQ(compiled.record.labels, (std::vector<std::pair<std::string, int>>{{"[START]", 0}}));
}

}  // namespace
}  // namespace kestrel
