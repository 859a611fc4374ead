#include "cli/kestrelc.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/run_kestrelc.h"
#include "cli/watch.h"
#include "files/memory_files.h"
#include "support/separator.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using testing::kestrelc;
using testing::kSeparator;
using testing::Outcome;

// The folder the files of a run are taken against, spelt as the program shows it: with the
// platform's separator.
const std::string kFolder = testing::native("/work");

// A file's content, or a text no file holds when there is no such file.
std::string read_file(const MemoryFiles& files, const std::filesystem::path& path) {
  return files.content(path).value_or("<no file>");
}

struct CompileCase {
  std::string name;
  std::vector<std::string> args;
  int status;
  std::string out;
  std::string err;
};

TEST(Kestrelc, CompilesTheSourceToStandardOutputAndReportsOnStandardError) {
  MemoryFiles files{kFolder};
  files.add_file("prog.bas", "#define X EQU 7\nA=X\n[L]\nREM note\nGOTO [L]\n#include LIB.BAS\n");
  files.add_file("lib.bas", "END\n");
  files.add_file("bad.bas", "AA\r\n3000\r\nBB\r\n");
  files.add_file("baddef.bas", "AA\r\n#define X 5\r\nBB\r\n");
  files.add_file("nolib.bas", "AA\r\n#include NONE.BAS\r\n");
  files.add_file("undefined.bas", "AA\r\nGOTO [NO]\r\n[L]\r\nBB\r\n");
  files.add_file("empty.bas", "");
  const std::string missing_include =
      "nolib.bas:2:1: error: Error#53  " + kFolder + kSeparator + "NONE.BAS: File not found\n";
  const std::vector<CompileCase> cases = {
      {"plain", {"prog.bas"}, 0, "0000 A=7\r\n0001 GOTO 1\r\n0002 END\r\n", "COMPILE OK\n"},
      {"--rem",
       {"--rem", "prog.bas"},
       0,
       "0000 A=7\r\n0001 REM note\r\n0002 GOTO 1\r\n0003 END\r\n",
       "COMPILE OK\n"},
      {"--rem-unnumbered",
       {"prog.bas", "--rem-unnumbered"},
       0,
       "0000 A=7\r\nREM note\r\n0001 GOTO 1\r\n0002 END\r\n",
       "COMPILE OK\n"},
      {"empty source", {"empty.bas"}, 0, "", "COMPILE OK\n"},
      {"bad directive",
       {"bad.bas"},
       1,
       "0000 AA\r\n",
       "bad.bas:2:1: error: \xd0\x9e\xd1\x88\xd0\xb8\xd0\xb1\xd0\xba\xd0\xb0 "
       "\xd0\xbd\xd0\xbe\xd0\xbc\xd0\xb5\xd1\x80"
       "\xd0\xb0 \xd1\x81\xd1\x82\xd1\x80\xd0\xbe\xd0\xba\xd0\xb8!3000\n"},
      {"bad definition",
       {"baddef.bas"},
       1,
       "0000 AA\r\n0001 BB\r\n",
       "baddef.bas:2:1: error: ERROR #define  #define X 5\nCOMPILE OK\n"},
      {"missing include", {"nolib.bas"}, 1, "0000 AA\r\n", missing_include + "COMPILE OK\n"},
      // The excerpt of the output holds line breaks of its own, shown on its message's line.
      {"label left over",
       {"undefined.bas"},
       1,
       "0000 AA\r\n0001 GOTO [NO]\r\n0002 BB\r\n",
       "undefined.bas:2:6: error: \xd0\x9e\xd1\x88\xd0\xb8\xd0\xb1\xd0\xba\xd0\xb0 - "
       "\xd0\xb5\xd1\x81\xd1\x82\xd1\x8c "
       "\xd0\xbd\xd0\xb5\xd1\x83\xd0\xba\xd0\xb0\xd0\xb7\xd0\xb0\xd0\xbd\xd0\xbd\xd1\x8b\xd0\xb5 "
       "\xd0\xbc\xd0\xb5\xd1\x82\xd0\xba\xd0\xb8 \n"
       "undefined.bas:2:6: error: 0000 AA\u23CE0001 GOTO [NO]\u23CE0002 BB\u23CE\n"},
      {"missing source",
       {"none.bas"},
       2,
       "",
       "kestrelc: error: Error#53  none.bas: File not found\n"},
      {"folder as source", {"."}, 2, "", "kestrelc: error: Error#75  .: Path/File access error\n"},
  };
  for (const CompileCase& c : cases) {
    const Outcome r = kestrelc(files, c.args);
    EXPECT_EQ(r.status, c.status) << c.name;
    EXPECT_EQ(r.out, c.out) << c.name;
    EXPECT_EQ(r.err, c.err) << c.name;
  }
  EXPECT_EQ(files.kind("Editor.log"), EntryKind::missing);
}

TEST(Kestrelc, WritesToOutputTheBytesItWouldWriteToStandardOutput) {
  MemoryFiles files{kFolder};
  files.add_file("prog.bas", "AA\r\n\xcf\xd0\xc8\r\nBB\r\n");
  const Outcome to_stdout = kestrelc(files, {"prog.bas"});
  const Outcome to_file = kestrelc(files, {"-o", "out.bas", "prog.bas"});
  EXPECT_EQ(to_stdout.out, "0000 AA\r\n0001 \xcf\xd0\xc8\r\n0002 BB\r\n");
  EXPECT_EQ(read_file(files, "out.bas"), to_stdout.out);
  EXPECT_EQ(to_file.status, 0);
  EXPECT_EQ(to_file.out, "");
  EXPECT_EQ(to_file.err, "COMPILE OK\n");
}

TEST(Kestrelc, AResultThatCannotBeWrittenIsAFailureOfTheRun) {
  MemoryFiles files{kFolder};
  files.add_file("prog.bas", "A\r\nB\r\n");
  const Outcome r = kestrelc(files, {"prog.bas", "-o", "no_such_folder/out.bas"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "COMPILE OK\nkestrelc: error: Error#76  no_such_folder/out.bas: Path not found\n");
}

// A stream that takes no byte, as a full disk or a closed descriptor does.
class RefusingBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type) override { return traits_type::eof(); }
};

// Whatever the run writes to a stream that refuses it, the run fails: standard output's failure is
// told on standard error, and standard error's in the exit status alone.
TEST(Kestrelc, AStreamThatRefusesItsBytesFailsTheRun) {
  struct Case {
    std::vector<std::string> args;
    bool refusing_out;
  };
  const std::vector<Case> cases = {
      {{"prog.bas"}, true},
      {{"-o", "-", "prog.bas"}, true},
      {{"-M", "prog.bas"}, true},
      {{"--help"}, true},
      {{"--version"}, true},
      {{"prog.bas"}, false},
      {{"-o", "o.bas", "prog.bas"}, false},
  };
  const std::string refused = "kestrelc: error: Error#57  standard output: Device I/O error\n";
  for (const Case& c : cases) {
    MemoryFiles files{kFolder};
    files.add_file("prog.bas", "AA\r\nBB\r\n");
    RefusingBuffer refusing;
    std::ostringstream kept;
    std::streambuf* const refused_buffer = &refusing;
    std::ostream out(c.refusing_out ? refused_buffer : kept.rdbuf());
    std::ostream err(c.refusing_out ? kept.rdbuf() : refused_buffer);
    std::istringstream in;
    const std::unique_ptr<cli::ChangeWatcher> watcher = cli::polling_watcher();
    const std::atomic<bool> interrupted{true};
    EXPECT_EQ(cli::run(c.args, out, err, {files, in, *watcher, interrupted}), 1) << c.args[0];
    if (c.refusing_out) {
      EXPECT_TRUE(kept.str().ends_with(refused)) << c.args[0] << kept.str();
    }
  }
}

TEST(Kestrelc, PathsGivenInUtf8ReachCyrillicFiles) {
  MemoryFiles files{kFolder};
  files.add_file(u8"Программа.bas", "AA\r\n");
  const Outcome r = kestrelc(files, {"-o", "Вывод.bas", "Программа.bas"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(files, u8"Вывод.bas"), "0000 AA\r\n");
}

TEST(Kestrelc, AUsageErrorIsOneLineAndExitStatusTwo) {
  struct Case {
    std::vector<std::string> args;
    std::string explanation;
  };
  const std::vector<Case> cases = {
      {{}, "SOURCE is missing"},
      {{"--rem"}, "SOURCE is missing"},
      {{"--bogus", "a.bas"}, "unknown option --bogus"},
      {{"-x", "a.bas"}, "unknown option -x"},
      {{"a.bas", "b.bas"}, "more than one SOURCE: a.bas, b.bas"},
      {{"a.bas", "-o"}, "-o needs a file name"},
      {{"-o", "", "a.bas"}, "-o needs a file name"},
      {{"-o", "x", "-o", "y", "a.bas"}, "-o given more than once"},
      {{"a.bas", "--map"}, "--map needs a file name"},
      {{"--map", "x", "--map", "y", "a.bas"}, "--map given more than once"},
      {{""}, "SOURCE is empty"},
      {{"--", "--rem", "a.bas"}, "more than one SOURCE: --rem, a.bas"},
  };
  MemoryFiles files{kFolder};
  files.add_file("a.bas", "AA\r\n");
  for (const Case& c : cases) {
    const Outcome r = kestrelc(files, c.args);
    EXPECT_EQ(r.status, 2) << c.explanation;
    EXPECT_EQ(r.out, "") << c.explanation;
    EXPECT_EQ(r.err, "kestrelc: error: " + c.explanation + " (see kestrelc --help)\n");
  }
  EXPECT_EQ(files.kind("x"), EntryKind::missing);
}

// The options the help lists, each by every name it has.
std::vector<std::string> options_in_help(const std::string& help) {
  std::vector<std::string> names;
  std::istringstream lines(help);
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with("  -")) continue;
    std::istringstream words(line);
    for (std::string word; words >> word && word.starts_with("-");) {
      if (word.ends_with(",")) word.pop_back();
      names.push_back(word.substr(0, word.find_first_of("=[")));
    }
  }
  return names;
}

// Whether the manual page names an option, whole, at the start of a bold macro's line.
bool page_names(const std::string& page, const std::string& name) {
  std::string escaped;
  for (const char c : name) escaped += c == '-' ? std::string("\\-") : std::string(1, c);
  for (const std::string macro : {"\n.B ", "\n.BI ", "\n.BR "}) {
    const std::string start = macro + escaped;
    for (std::size_t at = page.find(start); at != std::string::npos;
         at = page.find(start, at + 1)) {
      const std::size_t end = at + start.size();
      if (end == page.size() || std::string_view(" \"=,\n").find(page[end]) != std::string::npos)
        return true;
    }
  }
  return false;
}

// The help, the parser and the manual page come from one list of options.
TEST(Kestrelc, HelpParserAndManualPageAgreeOnTheOptions) {
  MemoryFiles files;
  const Outcome help = kestrelc(files, {"a.bas", "--bogus", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.starts_with("usage: kestrelc [--rem] "));
  EXPECT_NE(help.out.find("Exit status"), std::string::npos);
  EXPECT_EQ(help.err, "");
  std::ifstream page_file(KESTREL_SOURCE_DIR "/packaging/kestrelc.1");
  const std::string page{std::istreambuf_iterator<char>(page_file),
                         std::istreambuf_iterator<char>()};
  const std::vector<std::string> names = options_in_help(help.out);
  EXPECT_GE(names.size(), 13u);
  for (const std::string& name : names) {
    const Outcome r = kestrelc(files, {name, "x"});
    EXPECT_EQ(r.err.find("unknown option"), std::string::npos) << name;
    EXPECT_TRUE(page_names(page, name)) << name << " in the manual page";
  }
}

TEST(Kestrelc, TellsItsVersion) {
  MemoryFiles files;
  const Outcome r = kestrelc(files, {"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "kestrelc " KESTREL_VERSION "\n");
}

// Every message about a line reads as editors expect compiler output, with the column where the
// problem begins when it is known; every other problem names the program.
TEST(Kestrelc, MessagesReadAsEditorsExpectCompilerOutput) {
  MemoryFiles files{kFolder};
  files.add_file("main.bas", "[L]\r\n#include lib\\io.bas\r\nGOTO [L]\r\n#define W\r\n");
  files.add_file("lib/io.bas", "PRINT 1\r\n#include deeper.bas\r\n[L]\r\n");
  files.add_file("deeper.bas", "PRINT 2\r\n#include NONE.BAS\r\n");
  files.add_file("directive.bas", "AA\r\n   3000\r\n");
  files.add_file("label.bas", "AA\r\nGOTO [NO]\r\n[L]\rBB\nCC\r\n");
  const std::string lib = kFolder + kSeparator + "lib" + kSeparator + "io.bas";
  const Outcome r = kestrelc(files, {"main.bas"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, kFolder + kSeparator + "deeper.bas:2:1: error: Error#53  " + kFolder +
                       kSeparator +
                       "NONE.BAS: File not found\n"
                       "main.bas:4:1: error: ERROR #define  #define W\n" +
                       lib +
                       ":3:1: error: \xd0\x9e\xd1\x88\xd0\xb8\xd0\xb1\xd0\xba\xd0\xb0 - "
                       "\xd0\x94\xd1\x83\xd0\xb1\xd0\xbb\xd0\xb8\xd0\xba\xd0\xb0\xd1\x82\xd1\x8b "
                       "\xd0\xbc\xd0\xb5\xd1\x82\xd0\xbe\xd0\xba![L]\n");
  const std::regex editor(R"(^(.*?):(\d+):(\d*):?\s+(?:fatal\s+)?(warning|error):\s+(.*)$)");
  std::vector<std::string> lines;
  for (const std::vector<std::string>& args : {std::vector<std::string>{"main.bas"},
                                               {"directive.bas"},
                                               {"label.bas"},
                                               {"none.bas"},
                                               {"--bogus"}}) {
    std::istringstream err(kestrelc(files, args).err);
    for (std::string line; std::getline(err, line);) lines.push_back(line);
  }
  ASSERT_EQ(lines.size(), 8u);
  for (std::size_t i = 0; i < 6; ++i) EXPECT_TRUE(std::regex_match(lines[i], editor)) << lines[i];
  EXPECT_TRUE(lines[3].starts_with("directive.bas:2:4: error: ")) << lines[3];
  EXPECT_EQ(lines[5],
            "label.bas:2:6: error: 0000 AA\u23CE0001 GOTO [NO]\u23CE0002 BB\u23CE0003 CC\u23CE");
  EXPECT_EQ(lines[6], "kestrelc: error: Error#53  none.bas: File not found");
  EXPECT_TRUE(lines[7].starts_with("kestrelc: error: unknown option --bogus")) << lines[7];
}

TEST(Kestrelc, TheMapTracesEveryOutputLineAndLabelToItsSource) {
  MemoryFiles files{kFolder};
  files.add_file("main.bas",
                 "REM top\r\n100\r\n[START]\r\n#include lib\\io.bas\r\nGOTO [START]\r\n");
  files.add_file("lib/io.bas", "#define PORT EQU 5\r\n[\xcc\xc5\xd2\xca\xc0]\r\nOUT PORT\r\n");
  const std::string lib = kFolder + kSeparator + "lib" + kSeparator + "io.bas";
  const Outcome r = kestrelc(files, {"--rem-unnumbered", "--map", "out.map", "main.bas"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "REM top\r\n0100 OUT 5\r\n0101 GOTO 100\r\n");
  EXPECT_EQ(read_file(files, "out.map"),
            "\tmain.bas\t1\n0100\t" + lib +
                "\t3\n"
                "0101\tmain.bas\t5\n"
                "label\t[START]\t100\n"
                "label\t[\xd0\x9c\xd0\x95\xd0\xa2\xd0\x9a\xd0\x90]\t100\n");

  // A pass that stops early maps what it wrote; a map that cannot be written fails the run, and
  // the output it came with is not written either.
  files.add_file("stop.bas", "A1\r\n3000\r\nA2\r\n");
  EXPECT_EQ(kestrelc(files, {"--map", "stop.map", "stop.bas"}).status, 1);
  EXPECT_EQ(read_file(files, "stop.map"), "0000\tstop.bas\t1\n");
  const Outcome unwritable =
      kestrelc(files, {"--map", "no_such_folder/m", "-o", "o.bas", "main.bas"});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_TRUE(
      unwritable.err.ends_with("kestrelc: error: Error#76  no_such_folder/m: Path not found\n"));
  EXPECT_EQ(files.kind("o.bas"), EntryKind::missing);
}

TEST(Kestrelc, ASourceNamedAfterDoubleDashMayBeginWithADash) {
  MemoryFiles files{kFolder};
  files.add_file("-prog.bas", "AA\r\n");
  EXPECT_EQ(kestrelc(files, {"--", "-prog.bas"}).out, "0000 AA\r\n");
}

// An output or a map that would land on a file the load read, or on another file of the run, is
// refused before anything is written, however the path is spelt. So is a name that make cannot
// read in a rule (a tab or a line break), or that would break the map's lines and columns.
TEST(Kestrelc, RefusesBeforeWritingAnythingWhatItCannotWriteSafely) {
  struct Case {
    std::vector<std::string> args;
    std::string explanation;
  };
  const std::string unlisted = "cannot list a file whose name holds a tab or a line break: ";
  const std::vector<Case> cases = {
      {{"-o", "main.bas", "main.bas"}, "-o names a file the source was read from: main.bas"},
      {{"-o", "./sub/../main.bas", "main.bas"},
       "-o names a file the source was read from: ./sub/../main.bas"},
      {{"--map", "LIB.BAS", "main.bas"}, "--map names a file the source was read from: LIB.BAS"},
      {{"-o", "/work/LIB.BAS", "main.bas"},
       "-o names a file the source was read from: /work/LIB.BAS"},
      {{"-o", "out.bas", "--map", "./out.bas", "main.bas"},
       "-o and --map name the same file: out.bas"},
      // Files still to be made are told apart by their absolute paths.
      {{"-o", "v.bas", "--map", "./v.bas", "main.bas"}, "-o and --map name the same file: v.bas"},
      {{"--map", "y.map", "--deps", "sub/../y.map", "main.bas"},
       "--map and --deps name the same file: y.map"},
      {{"-o", "z.bas", "--deps", "/work/z.bas", "main.bas"},
       "-o and --deps name the same file: z.bas"},
      {{"-M", "line\nbreak.bas"}, "-M " + unlisted + "line\nbreak.bas"},
      {{"--deps", "v.bas", "tabbed.bas"},
       "--deps " + unlisted + kFolder + kSeparator + "tab\t.bas"},
      {{"--deps", "v.bas", "-o", "o\r.bas", "main.bas"}, "--deps " + unlisted + "o\r.bas"},
      {{"--map", "y.map", "tabbed.bas"}, "--map " + unlisted + kFolder + kSeparator + "tab\t.bas"},
      {{"--map", "y.map", "line\nbreak.bas"}, "--map " + unlisted + "line\nbreak.bas"},
  };
  for (const Case& c : cases) {
    MemoryFiles files{kFolder};
    files.add_folder("sub");
    files.add_file("main.bas", "A\r\n#include lib.bas\r\n");
    files.add_file("LIB.BAS", "B\r\n");
    files.add_file("out.bas", "previous\r\n");
    files.add_file("tabbed.bas", "#include tab\t.bas\r\n");
    files.add_file("tab\t.bas", "C\r\n");
    files.add_file("line\nbreak.bas", "D\r\n");
    const Outcome r = kestrelc(files, c.args);
    EXPECT_EQ(r.status, 2) << c.explanation;
    EXPECT_EQ(r.out, "") << c.explanation;
    EXPECT_EQ(r.err, "kestrelc: error: " + c.explanation + "\n");
    EXPECT_EQ(read_file(files, "main.bas"), "A\r\n#include lib.bas\r\n");
    EXPECT_EQ(read_file(files, "LIB.BAS"), "B\r\n");
    EXPECT_EQ(read_file(files, "out.bas"), "previous\r\n");
    for (const char* made : {"v.bas", "y.map", "z.bas", "o\r.bas"})
      EXPECT_EQ(files.kind(made), EntryKind::missing) << c.explanation;
  }
}

// make takes a file for up to date by its time: only a run that succeeds writes its output.
TEST(Kestrelc, AFailedRunLeavesTheOutputFileAlone) {
  MemoryFiles files{kFolder};
  files.add_file("bad.bas", "AA\r\n3000\r\n");
  files.add_file("baddef.bas", "AA\r\n#define X\r\n");
  files.add_file("out.bas", "previous\r\n");
  for (const char* source : {"bad.bas", "baddef.bas"}) {
    EXPECT_EQ(kestrelc(files, {"-o", "out.bas", source}).status, 1) << source;
    EXPECT_EQ(kestrelc(files, {"-o", "new.bas", source}).status, 1) << source;
    EXPECT_EQ(read_file(files, "out.bas"), "previous\r\n") << source;
    EXPECT_EQ(files.kind("new.bas"), EntryKind::missing) << source;
    // Standard output still shows what the pass left.
    EXPECT_EQ(kestrelc(files, {source}).out, "0000 AA\r\n") << source;
  }
}

// Folders and files named in any language, and include files found beside the main file from
// another current folder.
TEST(Kestrelc, NamesInAnyLanguageAndIncludesBesideTheMainFile) {
  // The test's own names are UTF-8, as the command line gives them.
  const auto path = [](const char* utf8) { return path_from_utf8(utf8); };
  MemoryFiles files{kFolder};
  files.add_file(path("é/proj/MAIN.BAS"), "#include PINS.BAS\r\nOUT PIN\r\n");
  files.add_file(path("é/proj/PINS.BAS"), "#define PIN EQU 3\r\n");
  const Outcome r = kestrelc(files, {"-o", "é/出力.BAS", "é/proj/MAIN.BAS"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(files, path("é/出力.BAS")), "0000 OUT 3\r\n");
  EXPECT_EQ(files.kind("??.BAS"), EntryKind::missing);

  // Not found beside the main file either: reported below the current folder.
  files.add_file(path("é/proj/LOST.BAS"), "#include NONE.BAS\r\n");
  EXPECT_EQ(kestrelc(files, {"é/proj/LOST.BAS"}).err, "é/proj/LOST.BAS:1:1: error: Error#53  " +
                                                          kFolder + kSeparator +
                                                          "NONE.BAS: File not found\nCOMPILE OK\n");
}

// The conventions of build scripts: standard input and output as "-", values joined to their
// options, a quiet success, and include folders searched in the order given.
TEST(Kestrelc, FollowsTheConventionsOfBuildScripts) {
  struct Case {
    std::vector<std::string> args;
    std::string input;  // standard input
    int status;
    std::string out;
    std::string err;
    std::string written;  // the content of out.bas afterwards, "<no file>" when none
  };
  const std::string ok = "COMPILE OK\n";
  const std::vector<Case> cases = {
      {{"-"}, "AA\r\n#include LIB.BAS\r\n", 0, "0000 AA\r\n0001 LIB\r\n", ok, "<no file>"},
      {{"-o", "-", "main.bas"}, "", 0, "0000 MAIN\r\n", ok, "<no file>"},
      {{"-q", "main.bas"}, "", 0, "0000 MAIN\r\n", "", "<no file>"},
      {{"--quiet", "-oout.bas", "main.bas"}, "", 0, "", "", "0000 MAIN\r\n"},
      {{"--output=out.bas", "main.bas"}, "", 0, "", ok, "0000 MAIN\r\n"},
      {{"-q", "bad.bas"}, "", 1, "", "bad.bas:1:1: error: ERROR #define  #define X\n", "<no file>"},
      {{"--map=out.bas", "main.bas"}, "", 0, "0000 MAIN\r\n", ok, "0000\tmain.bas\t1\n"},
      {{"-I", "one", "-Itwo", "deep.bas"}, "", 0, "0000 ONE\r\n0001 TWO\r\n", ok, "<no file>"},
      {{"-Itwo", "-I", "one", "deep.bas"}, "", 0, "0000 TWO\r\n0001 TWO\r\n", ok, "<no file>"},
  };
  for (const Case& c : cases) {
    MemoryFiles files{kFolder};
    files.add_file("main.bas", "MAIN\r\n");
    files.add_file("bad.bas", "#define X\r\n");
    files.add_file("LIB.BAS", "LIB\r\n");
    files.add_file("deep.bas", "#include A.BAS\r\n#include B.BAS\r\n");
    files.add_file("one/A.BAS", "ONE\r\n");
    files.add_file("two/A.BAS", "TWO\r\n");
    files.add_file("two/B.BAS", "TWO\r\n");
    const Outcome r = kestrelc(files, c.args, c.input);
    const std::string shown = c.args.front() + " " + c.args.back();
    EXPECT_EQ(r.status, c.status) << shown;
    EXPECT_EQ(r.out, c.out) << shown;
    EXPECT_EQ(r.err, c.err) << shown;
    EXPECT_EQ(read_file(files, "out.bas"), c.written) << shown;
    EXPECT_EQ(files.kind("-"), EntryKind::missing) << shown;
  }
}

// The make rule: the output depends on the source and every file it includes, each include with
// an empty rule of its own; paths escaped as make reads them.
TEST(Kestrelc, WritesDependenciesForMake) {
  MemoryFiles files{kFolder};
  files.add_file("my prog.bas",
                 "#include LIB.BAS\r\n#include NONE.BAS\r\n#include $#.bas\r\nP\r\n");
  files.add_file("LIB.BAS", "#include sub\\Pins.bas\r\n");
  files.add_file("sub/PINS.BAS", "");
  files.add_file("$#.bas", "XX\r\n");
  const std::string includes = " \\\n /work/LIB.BAS \\\n /work/sub/PINS.BAS \\\n /work/$$\\#.bas\n";
  const std::string phony = "\n/work/LIB.BAS:\n\n/work/sub/PINS.BAS:\n\n/work/$$\\#.bas:\n";
  const Outcome rule = kestrelc(files, {"-M", "-o", "out.bas", "my prog.bas"});
  EXPECT_EQ(rule.status, 1);  // the missing include is reported, and left out of the rule
  EXPECT_EQ(rule.out, "out.bas: \\\n my\\ prog.bas" + includes + phony);
  EXPECT_EQ(files.kind("out.bas"), EntryKind::missing);

  files.add_file("NONE.BAS", "");
  const Outcome run = kestrelc(files, {"--deps", "out.d", "my prog.bas"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "0000 XX\r\n");
  EXPECT_EQ(read_file(files, "out.d"),
            "my\\ prog.out: \\\n my\\ prog.bas \\\n /work/LIB.BAS \\\n /work/sub/PINS.BAS \\\n "
            "/work/NONE.BAS \\\n /work/$$\\#.bas\n"
            "\n/work/LIB.BAS:\n\n/work/sub/PINS.BAS:\n\n/work/NONE.BAS:\n\n/work/$$\\#.bas:\n");

  const Outcome over_input = kestrelc(files, {"--deps", "LIB.BAS", "my prog.bas"});
  EXPECT_EQ(over_input.status, 2);
  EXPECT_EQ(read_file(files, "LIB.BAS"), "#include sub\\Pins.bas\r\n");
}

// A watcher that keeps the paths it is asked to watch, and ends the watch.
class RecordingWatcher : public cli::ChangeWatcher {
 public:
  bool wait(const std::vector<std::filesystem::path>& paths, const std::atomic<bool>&) override {
    watched = paths;
    return false;
  }
  std::vector<std::filesystem::path> watched;
};

// A watch looks at every place an include was looked for: where one would shadow the file found
// (a folder searched before it), and every folder for one found nowhere, so that creating it
// there compiles again.
TEST(Kestrelc, WatchLooksWhereverAnIncludeWasLookedFor) {
  MemoryFiles files{kFolder};
  files.add_file("src/main.bas", "#include LIB.BAS\r\n#include NONE.BAS\r\n");
  files.add_file("src/LIB.BAS", "A\r\n");
  files.add_folder("inc");
  std::ostringstream out;
  std::ostringstream err;
  std::istringstream in;
  RecordingWatcher watcher;
  const std::atomic<bool> interrupted{false};
  EXPECT_EQ(cli::run({"--watch", "-I", "inc", "src/main.bas"}, out, err,
                     {files, in, watcher, interrupted}),
            0);
  const auto in_folder = [](const std::string& folder, const std::string& name) {
    return std::filesystem::path(testing::native(folder)) / name;
  };
  for (const std::filesystem::path& path :
       {std::filesystem::path("src/main.bas"), in_folder("/work/src", "LIB.BAS"),
        in_folder("/work", "LIB.BAS"), in_folder("/work", "NONE.BAS"),
        in_folder("/work/src", "NONE.BAS"), in_folder("/work/inc", "NONE.BAS")})
    EXPECT_NE(std::ranges::find(watcher.watched, path), watcher.watched.end()) << path;
}

// Whether `done` comes true within a few seconds, doing `step` between looks.
bool within_seconds(
    const std::function<bool()>& done, const std::function<void()>& step = [] {}) {
  for (int i = 0; i < 100; ++i) {
    if (done()) return true;
    step();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return done();
}

// Watch mode on the disk, with the system's watcher and with the portable one: a change of an
// include file beside the main file compiles again, a failing run keeps watching, and the watch
// ends when interrupted.
TEST(Kestrelc, WatchCompilesAgainWhenAnIncludeChanges) {
  std::vector<std::unique_ptr<cli::ChangeWatcher>> watchers;
  watchers.push_back(cli::system_watcher());
  watchers.push_back(cli::polling_watcher());
  for (const std::unique_ptr<cli::ChangeWatcher>& watcher : watchers) {
    testing::TempDir dir;
    const std::filesystem::path lib = dir.path() / "LIB.BAS";
    const std::filesystem::path output = dir.path() / "out.bas";
    testing::write_file(dir.path() / "main.bas", "#include LIB.BAS\r\n");
    testing::write_file(lib, "PRINT 1\r\n");
    DiskFiles files;
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    std::atomic<bool> interrupted{false};
    int status = -1;
    std::thread watching([&] {
      status = cli::run({"--watch", "-o", output.string(), (dir.path() / "main.bas").string()}, out,
                        err, {files, in, *watcher, interrupted});
    });
    const auto holds = [&](const std::string& text) {
      return [&, text] { return testing::read_file(output) == text; };
    };
    EXPECT_TRUE(within_seconds(holds("0000 PRINT 1\r\n")));
    // A failing run leaves the output as it was and goes on watching; a change is written again
    // until it is seen, since the watch begins only once the first run has ended.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    testing::write_file(lib, "PRINT 22\r\n3000\r\n");
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_EQ(testing::read_file(output), "0000 PRINT 1\r\n");
    EXPECT_TRUE(within_seconds(holds("0000 PRINT 333\r\n"),
                               [&] { testing::write_file(lib, "PRINT 333\r\n"); }));
    interrupted = true;
    watching.join();
    EXPECT_EQ(status, 0);
    // main.bas, and LIB.BAS beside it and in the current folder, which comes first.
    EXPECT_NE(err.str().find("main.bas: compiled; watching 3 files\n"), std::string::npos)
        << err.str();
    EXPECT_NE(err.str().find("main.bas: failed, exit status 1"), std::string::npos) << err.str();
  }
}

}  // namespace
}  // namespace kestrel
