#include "cli/kestrelc.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/memory_files.h"

namespace kestrel {
namespace {

// The folder the files of a run are taken against.
const std::string kFolder = "/work";

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome kestrelc(MemoryFiles& files, const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  const int status = cli::run(args, out, err, files);
  return {status, out.str(), err.str()};
}

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
      "nolib.bas:2: Error#53  " + kFolder + "/NONE.BAS: File not found\n";
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
       "bad.bas:2: \xd0\x9e\xd1\x88\xd0\xb8\xd0\xb1\xd0\xba\xd0\xb0 "
       "\xd0\xbd\xd0\xbe\xd0\xbc\xd0\xb5\xd1\x80"
       "\xd0\xb0 \xd1\x81\xd1\x82\xd1\x80\xd0\xbe\xd0\xba\xd0\xb8!3000\n"},
      {"bad definition",
       {"baddef.bas"},
       1,
       "0000 AA\r\n0001 BB\r\n",
       "baddef.bas:2: ERROR #define  #define X 5\nCOMPILE OK\n"},
      {"missing include", {"nolib.bas"}, 1, "0000 AA\r\n", missing_include + "COMPILE OK\n"},
      // The excerpt of the output holds line breaks of its own.
      {"label left over",
       {"undefined.bas"},
       1,
       "0000 AA\r\n0001 GOTO [NO]\r\n0002 BB\r\n",
       "undefined.bas:2: \xd0\x9e\xd1\x88\xd0\xb8\xd0\xb1\xd0\xba\xd0\xb0 - "
       "\xd0\xb5\xd1\x81\xd1\x82\xd1\x8c "
       "\xd0\xbd\xd0\xb5\xd1\x83\xd0\xba\xd0\xb0\xd0\xb7\xd0\xb0\xd0\xbd\xd0\xbd\xd1\x8b\xd0\xb5 "
       "\xd0\xbc\xd0\xb5\xd1\x82\xd0\xba\xd0\xb8 \n"
       "undefined.bas:2: 0000 AA\n0001 GOTO [NO]\n0002 BB\n\n"},
      {"missing source", {"none.bas"}, 2, "", "Error#53: File not found\n"},
      {"folder as source", {"."}, 2, "", "Error#75: Path/File access error\n"},
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
  EXPECT_EQ(r.err, "COMPILE OK\nError#76  no_such_folder/out.bas: Path not found\n");

  std::ostringstream out;
  std::ostringstream err;
  out.setstate(std::ios::badbit);
  EXPECT_EQ(cli::run({"prog.bas"}, out, err, files), 1);
  EXPECT_EQ(err.str(), "COMPILE OK\nError#57  standard output: Device I/O error\n");
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
    EXPECT_EQ(r.err, "kestrelc: " + c.explanation + " (see kestrelc --help)\n");
  }
  EXPECT_EQ(files.kind("x"), EntryKind::missing);
}

TEST(Kestrelc, HelpGoesToStandardOutputWhateverElseIsGiven) {
  MemoryFiles files;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"a.bas", "--bogus", "--help"}}) {
    const Outcome r = kestrelc(files, args);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(
        r.out.starts_with("usage: kestrelc [--rem] [--rem-unnumbered] [-o OUTPUT] [--map MAPFILE] "
                          "[--] SOURCE\n"));
    EXPECT_NE(r.out.find("Exit status"), std::string::npos);
    EXPECT_EQ(r.err, "");
  }
}

TEST(Kestrelc, MessagesAboutALineNameTheFileAndLineItWasLoadedFrom) {
  MemoryFiles files{kFolder};
  files.add_file("main.bas", "[L]\r\n#include lib\\io.bas\r\nGOTO [L]\r\n#define W\r\n");
  files.add_file("lib/io.bas", "PRINT 1\r\n#include deeper.bas\r\n[L]\r\n");
  files.add_file("deeper.bas", "PRINT 2\r\n#include NONE.BAS\r\n");
  const std::string lib = kFolder + "/lib/io.bas";
  const Outcome r = kestrelc(files, {"main.bas"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, kFolder + "/deeper.bas:2: Error#53  " + kFolder +
                       "/NONE.BAS: File not found\n"
                       "main.bas:4: ERROR #define  #define W\n" +
                       lib +
                       ":3: \xd0\x9e\xd1\x88\xd0\xb8\xd0\xb1\xd0\xba\xd0\xb0 - "
                       "\xd0\x94\xd1\x83\xd0\xb1\xd0\xbb\xd0\xb8\xd0\xba\xd0\xb0\xd1\x82\xd1\x8b "
                       "\xd0\xbc\xd0\xb5\xd1\x82\xd0\xbe\xd0\xba![L]\n");
}

TEST(Kestrelc, TheMapTracesEveryOutputLineAndLabelToItsSource) {
  MemoryFiles files{kFolder};
  files.add_file("main.bas",
                 "REM top\r\n100\r\n[START]\r\n#include lib\\io.bas\r\nGOTO [START]\r\n");
  files.add_file("lib/io.bas", "#define PORT EQU 5\r\n[\xcc\xc5\xd2\xca\xc0]\r\nOUT PORT\r\n");
  const std::string lib = kFolder + "/lib/io.bas";
  const Outcome r = kestrelc(files, {"--rem-unnumbered", "--map", "out.map", "main.bas"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "REM top\r\n0100 OUT 5\r\n0101 GOTO 100\r\n");
  EXPECT_EQ(read_file(files, "out.map"),
            "\tmain.bas\t1\n0100\t" + lib +
                "\t3\n"
                "0101\tmain.bas\t5\n"
                "label\t[START]\t100\n"
                "label\t[\xd0\x9c\xd0\x95\xd0\xa2\xd0\x9a\xd0\x90]\t100\n");

  // A pass that stops early maps what it wrote; a map that cannot be written fails the run.
  files.add_file("stop.bas", "A1\r\n3000\r\nA2\r\n");
  EXPECT_EQ(kestrelc(files, {"--map", "stop.map", "stop.bas"}).status, 1);
  EXPECT_EQ(read_file(files, "stop.map"), "0000\tstop.bas\t1\n");
  const Outcome unwritable =
      kestrelc(files, {"--map", "no_such_folder/m", "-o", "o.bas", "main.bas"});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_TRUE(unwritable.err.ends_with("Error#76  no_such_folder/m: Path not found\n"));
  EXPECT_EQ(files.kind("o.bas"), EntryKind::file);
}

TEST(Kestrelc, ASourceNamedAfterDoubleDashMayBeginWithADash) {
  MemoryFiles files{kFolder};
  files.add_file("-prog.bas", "AA\r\n");
  EXPECT_EQ(kestrelc(files, {"--", "-prog.bas"}).out, "0000 AA\r\n");
}

// An output or a map that would land on a file the load read is refused before anything is
// written, however the path is spelt.
TEST(Kestrelc, NeverWritesOverItsOwnInput) {
  struct Case {
    std::vector<std::string> args;
    std::string explanation;
  };
  const std::vector<Case> cases = {
      {{"-o", "main.bas", "main.bas"}, "-o names a file the source was read from: main.bas"},
      {{"-o", "./sub/../main.bas", "main.bas"},
       "-o names a file the source was read from: ./sub/../main.bas"},
      {{"--map", "LIB.BAS", "main.bas"}, "--map names a file the source was read from: LIB.BAS"},
      {{"-o", "/work/LIB.BAS", "main.bas"},
       "-o names a file the source was read from: /work/LIB.BAS"},
      {{"-o", "out.bas", "--map", "./out.bas", "main.bas"},
       "-o and --map name the same file: out.bas"},
  };
  for (const Case& c : cases) {
    MemoryFiles files{kFolder};
    files.add_folder("sub");
    files.add_file("main.bas", "A\r\n#include lib.bas\r\n");
    files.add_file("LIB.BAS", "B\r\n");
    files.add_file("out.bas", "previous\r\n");
    const Outcome r = kestrelc(files, c.args);
    EXPECT_EQ(r.status, 2) << c.explanation;
    EXPECT_EQ(r.out, "") << c.explanation;
    EXPECT_EQ(r.err, "kestrelc: " + c.explanation + "\n");
    EXPECT_EQ(read_file(files, "main.bas"), "A\r\n#include lib.bas\r\n");
    EXPECT_EQ(read_file(files, "LIB.BAS"), "B\r\n");
    EXPECT_EQ(read_file(files, "out.bas"), "previous\r\n");
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
  MemoryFiles files{kFolder};
  files.add_file("é/proj/MAIN.BAS", "#include PINS.BAS\r\nOUT PIN\r\n");
  files.add_file("é/proj/PINS.BAS", "#define PIN EQU 3\r\n");
  const Outcome r = kestrelc(files, {"-o", "é/出力.BAS", "é/proj/MAIN.BAS"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(files, "é/出力.BAS"), "0000 OUT 3\r\n");
  EXPECT_EQ(files.kind("??.BAS"), EntryKind::missing);

  // Not found beside the main file either: reported below the current folder.
  files.add_file("é/proj/LOST.BAS", "#include NONE.BAS\r\n");
  EXPECT_EQ(kestrelc(files, {"é/proj/LOST.BAS"}).err,
            "é/proj/LOST.BAS:1: Error#53  /work/NONE.BAS: File not found\nCOMPILE OK\n");
}

}  // namespace
}  // namespace kestrel
