#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/run_kestrelc.h"
#include "files/memory_files.h"

namespace kestrel {
namespace {

using testing::kestrelc;

std::string sample_file(const std::string& name) {
  std::ifstream file(KESTREL_SOURCE_DIR "/examples/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The sample compiled with each comment option comes back from its conversion byte for byte, and
// the converted source's first line names the option to compile it with.
TEST(KestrelcUnnumber, TheSampleComesBackWithEachCommentOption) {
  MemoryFiles files;
  files.add_file("MAIN.BAS", sample_file("MAIN.BAS"));
  files.add_file("PINS.BAS", sample_file("PINS.BAS"));
  for (const std::string option : {"", "--rem", "--rem-unnumbered"}) {
    std::vector<std::string> compile = {"-q", "-o", "OLD.BAS", "MAIN.BAS"};
    if (!option.empty()) compile.insert(compile.begin(), option);
    ASSERT_EQ(kestrelc(files, compile).status, 0) << option;
    const testing::Outcome converted = kestrelc(files, {"--unnumber", "-o", "NEW.SRC", "OLD.BAS"});
    EXPECT_EQ(converted.status, 0) << option;
    EXPECT_EQ(converted.err, "") << option;
    const std::string source = files.content("NEW.SRC").value_or("");
    const std::string first_line = source.substr(0, source.find("\r\n"));
    EXPECT_TRUE(
        first_line.ends_with("compile with: kestrelc" + (option.empty() ? "" : " " + option)))
        << first_line;
    compile = {"-q", "NEW.SRC"};
    if (!option.empty()) compile.insert(compile.begin(), option);
    const testing::Outcome back = kestrelc(files, compile);
    EXPECT_EQ(back.status, 0) << option << back.err;
    EXPECT_EQ(back.out, files.content("OLD.BAS")) << option;
  }
}

// Renumbering in two commands: the sample's two blocks become one run of numbers, the jumps to
// the pause routine following it; the map relates each new number to the old one.
TEST(KestrelcUnnumber, CompactRenumbersWithEveryReferenceKept) {
  MemoryFiles files;
  files.add_file("MAIN.BAS", sample_file("MAIN.BAS"));
  files.add_file("PINS.BAS", sample_file("PINS.BAS"));
  ASSERT_EQ(kestrelc(files, {"-q", "-o", "OLD.BAS", "MAIN.BAS"}).status, 0);
  EXPECT_EQ(kestrelc(files, {"--unnumber=compact", "--map", "NEW.MAP", "-o", "NEW.SRC", "OLD.BAS"})
                .status,
            0);
  const testing::Outcome renumbered = kestrelc(files, {"-q", "NEW.SRC"});
  EXPECT_EQ(renumbered.out,
            "0100 IF PIN 3,2=0 THEN GOTO 100\r\n0101 PORT 1,0=1\r\n0102 GOSUB 106\r\n"
            "0103 PORT 1,0=0\r\n0104 GOSUB 106\r\n0105 GOTO 100\r\n0106 FOR I=1 TO 250\r\n"
            "0107 NEXT I\r\n0108 RETURN\r\n");
  const std::string map = files.content("NEW.MAP").value_or("");
  EXPECT_TRUE(map.starts_with("0100\tNEW.SRC\t3\t100\n0101\tNEW.SRC\t4\t101\n")) << map;
  EXPECT_NE(map.find("0106\tNEW.SRC\t10\t1000\n"), std::string::npos) << map;
  EXPECT_TRUE(map.ends_with("label\t[L100]\t100\nlabel\t[L1000]\t106\n")) << map;
}

struct RunCase {
  std::string name;
  std::vector<std::string> args;
  std::string input;  // standard input
  int status;
  std::string out;
  std::string err;
};

// What the command line reports and writes, and its exit status, for each kind of run.
TEST(KestrelcUnnumber, ReportsAsCompilersDoAndWritesOnlyAWholeConversion) {
  const std::string usage = " (see kestrelc --help)\n";
  const std::vector<RunCase> cases = {
      {"to standard output",
       {"--unnumber", "OLD.BAS"},
       "",
       0,
       "10 REM Made by kestrelc --unnumber; compile with: kestrelc\r\n[L10]\r\nGOTO [L10]\r\n",
       ""},
      {"from standard input, with a warning",
       {"--unnumber", "-"},
       "10 GOTO 99\n",
       0,
       "10 REM Made by kestrelc --unnumber; compile with: kestrelc\r\nGOTO 99\r\n",
       "-:1:1: warning: the compiled program writes each line as a four-digit number, one blank "
       "and the text without blanks at its ends, as in: 0010 GOTO 99\n"
       "-:1:1: warning: the compiled program ends every line in CR LF, where this one ends "
       "otherwise\n"
       "-:1:9: warning: no line has the number this refers to; it stays a number: 99\n"},
      {"refused",
       {"--unnumber", "-o", "NEW.SRC", "BAD.BAS"},
       "",
       1,
       "",
       "BAD.BAS:2:1: error: the line has no line number\n"
       "BAD.BAS:3:6: error: the text begins with \"[\": its source line would be a label\n"},
      {"for comments with numbers",
       {"--unnumber", "--rem", "OLD.BAS"},
       "",
       0,
       "10 REM Made by kestrelc --unnumber; compile with: kestrelc --rem\r\n[L10]\r\n"
       "GOTO [L10]\r\n",
       ""},
      {"missing",
       {"--unnumber", "NONE.BAS"},
       "",
       2,
       "",
       "kestrelc: error: Error#53  NONE.BAS: File not found\n"},
      {"over its input",
       {"--unnumber", "-o", "OLD.BAS", "OLD.BAS"},
       "",
       2,
       "",
       "kestrelc: error: -o names a file the source was read from: OLD.BAS\n"},
      {"map over the output",
       {"--unnumber", "-o", "NEW.SRC", "--map", "NEW.SRC", "OLD.BAS"},
       "",
       2,
       "",
       "kestrelc: error: -o and --map name the same file: NEW.SRC\n"},
      {"a value but compact",
       {"--unnumber=tight", "OLD.BAS"},
       "",
       2,
       "",
       "kestrelc: error: --unnumber takes no value but compact" + usage},
      {"with -M",
       {"--unnumber", "-M", "OLD.BAS"},
       "",
       2,
       "",
       "kestrelc: error: --unnumber converts, and compiles nothing: no --watch, -M or --deps" +
           usage},
      {"keyword alone",
       {"--keyword", "LIST", "OLD.BAS"},
       "",
       2,
       "",
       "kestrelc: error: --names-from-comments and --keyword need --unnumber" + usage},
  };
  for (const RunCase& c : cases) {
    MemoryFiles files;
    files.add_file("OLD.BAS", "0010 GOTO 10\r\n");
    files.add_file("BAD.BAS", "0010 A\r\nPRINT\r\n0011 [X]\r\n");
    const testing::Outcome r = kestrelc(files, c.args, c.input);
    EXPECT_EQ(r.status, c.status) << c.name;
    EXPECT_EQ(r.out, c.out) << c.name;
    EXPECT_EQ(r.err, c.err) << c.name;
    EXPECT_FALSE(files.content("NEW.SRC")) << c.name;
    EXPECT_EQ(files.content("OLD.BAS"), "0010 GOTO 10\r\n") << c.name;
  }
}

}  // namespace
}  // namespace kestrel
