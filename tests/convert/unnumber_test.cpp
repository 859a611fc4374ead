#include "convert/unnumber.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "compiler/compile_pass.h"
#include "files/memory_files.h"
#include "loader/open_command.h"
#include "workbench/ui.h"
#include "workbench/workbench.h"

namespace kestrel {
namespace {

// Compiles a source as kestrelc does, loading it from a file, with the comment options it names.
// The output, or a text no output holds when the compile does not end with COMPILE OK.
std::string compiled(const std::string& source, CommentOptions comments) {
  MemoryFiles files;
  files.add_file("/work/SOURCE.BAS", source);
  Workbench wb;
  wb.source_path = "SOURCE.BAS";
  wb.keep_comments = comments != CommentOptions::none;
  wb.comments_unnumbered = comments == CommentOptions::rem_unnumbered;
  SilentUi ui;
  const OpenOutcome opened = open_command(wb, ui, files, {files.current_folder()});
  if (!opened.read_to_end || !opened.findings.empty()) return "<not loaded>";
  return compile_command(wb, ui, opened.source_map).ok ? wb.Dest_bas : "<not compiled>";
}

const char* reason_name(UnnumberReason reason) {
  static const std::map<UnnumberReason, const char*> names = {
      {UnnumberReason::no_number, "no number"},
      {UnnumberReason::no_text, "no text"},
      {UnnumberReason::text_begins_with_digit, "text begins with a digit"},
      {UnnumberReason::text_begins_with_bracket, "text begins with ["},
      {UnnumberReason::text_holds_define, "text holds #define"},
      {UnnumberReason::text_holds_carriage_return, "text holds CR"},
      {UnnumberReason::numbers_do_not_grow, "numbers do not grow"},
      {UnnumberReason::jump_past_directives, "jump past 2048"},
      {UnnumberReason::number_past_limit, "number past 32767"},
      {UnnumberReason::bracket_beside_labels, "[ beside labels"},
      {UnnumberReason::long_line_beside_labels, "long line beside labels"},
      {UnnumberReason::reference_with_leading_zeros, "reference with leading zeros"},
      {UnnumberReason::comment_dropped, "comment without a comment option"},
      {UnnumberReason::numbered_comment_unnumbered, "numbered and unnumbered comments"},
      {UnnumberReason::written_differently, "written differently"},
      {UnnumberReason::line_ends, "line ends"},
      {UnnumberReason::blank_lines, "blank lines"},
      {UnnumberReason::absent_reference, "absent reference"},
  };
  return names.at(reason);
}

// One piece of a generated line's text: literal text, or a line number that refers to another
// line (by its index) or to a number no line has.
struct Piece {
  std::string text;
  int target = -1;
  int absent = -1;
};

struct GeneratedLine {
  bool numbered = true;
  int number = 0;
  std::vector<Piece> pieces;
};

std::string four_digits(int number) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d", number);
  return text;
}

// Random numbered programs, each told by the shapes it has, and how the compile of its
// conversion must write it.
class ProgramMaker {
 public:
  explicit ProgramMaker(unsigned seed) : random_(seed) {}

  struct Program {
    std::string bytes;
    std::string expected;  // as the compile writes it, in the renumbering asked for
    std::vector<std::string> shapes;
    bool hazard = false;  // holds something the notation may be unable to express
    UnnumberSettings settings;
  };

  Program make() {
    Program p;
    lines_.clear();
    hazard_ = false;
    shapes_.clear();
    const int count = roll(24);
    const int comments = roll(20);  // 0..11 none, 12..15 numbered, 16..18 unnumbered, 19 both
    int number = one_in(3) ? 0 : one_in(2) ? roll(10) : roll(1500);
    for (int i = 0; i < count; ++i) {
      GeneratedLine line;
      line.number = number;
      if (one_in(150)) {
        hazard_ = true;
        line.numbered = false;
        line.pieces = {{"PRINT 9"}};
        shape("line without a number");
      } else if (comments >= 16 && one_in(5)) {
        line.numbered = false;
        line.pieces = {{"REM " + words()}};
        shape("unnumbered comment");
      } else if (((comments >= 12 && comments < 16) || comments == 19) && one_in(5)) {
        line.pieces = {{"REM " + words()}};
        shape("numbered comment");
      } else {
        line.pieces = statement(count);
      }
      if (line.numbered) number = next_number(number);
      lines_.push_back(line);
    }
    aim_references();
    if (comments == 19) hazard_ = true;
    p.settings.renumbering = one_in(3) ? Renumbering::compact : Renumbering::keep;
    p.settings.names_from_comments = one_in(3);
    if (p.settings.renumbering == Renumbering::compact) shape("compact");
    p.bytes = render();
    p.expected = expected(p.settings.renumbering);
    p.shapes = shapes_;
    p.hazard = hazard_;
    return p;
  }

 private:
  int roll(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }
  bool one_in(int n) { return roll(n) == 0; }
  void shape(const std::string& name) {
    if (std::find(shapes_.begin(), shapes_.end(), name) == shapes_.end()) shapes_.push_back(name);
  }

  std::string words() {
    static const std::vector<std::string> pool = {"Main loop", "wait",    "\xcf\xe0\xf3\xe7\xe0",
                                                  "read keys", "GOTO 10", "x"};
    if (one_in(40)) {
      hazard_ = true;
      shape("[ in a comment");
      return "[not a label]";
    }
    return pool[static_cast<std::size_t>(roll(static_cast<int>(pool.size())))];
  }

  int next_number(int number) {
    if (one_in(200)) {
      hazard_ = true;
      shape("numbers that do not grow");
      return std::max(number - roll(3), 0);
    }
    if (one_in(200)) {
      hazard_ = true;
      shape("jump past 2048");
      return number + 2049;
    }
    if (one_in(4)) {
      shape("jumps in numbering");
      const int next = number + 1 + roll(one_in(2) ? 10 : 100);
      if (next > 2048) hazard_ = true;
      return next;
    }
    return number + 1;
  }

  // A reference to a line of the program, made before or after this one is known.
  Piece reference(int count) {
    if (one_in(8)) {
      shape("absent reference");
      return {"", -1, 30000 + roll(2000)};
    }
    return {"", roll(std::max(count, 1)), -1};
  }

  std::vector<Piece> statement(int count) {
    switch (roll(22)) {
      case 0:
        shape("GOTO");
        return {{"GOTO "}, reference(count)};
      case 1:
        shape("GOSUB");
        return {{"GOSUB"}, reference(count)};
      case 2:
        shape("THEN");
        return {{"IF A>1 THEN "}, reference(count)};
      case 3:
        shape("ELSE");
        return {{"IF A THEN PRINT 1 ELSE "}, reference(count)};
      case 4:
        shape("ON list");
        return {{"ON X GOSUB "}, reference(count), {", "}, reference(count),
                {","},           reference(count)};
      case 5:
        shape("RESTORE, RUN, RESUME");
        return {{"RESTORE "},     reference(count), {":RUN "},
                reference(count), {":RESUME "},     reference(count)};
      case 6:
        shape("switches off");
        return {{"ON ERROR GOTO 0:RESUME 0"}};
      case 7:
        shape("references in quotes and comments");
        return {{"PRINT \"GOTO 10\":X=1 ' GOSUB 20"}};
      case 8:
        shape("one character");
        return {{"X"}};
      case 9:
        shape("tab");
        return {{"\tPRINT A"}};
      case 10:
        shape("#include text");
        return {{"#include is text"}};
      case 11:
        shape("lowercase keyword");
        return {{"goto "}, reference(count)};
      case 12:
        if (one_in(3)) return hazard();
        [[fallthrough]];
      default:
        shape("plain");
        return {{"PRINT A+" + std::to_string(roll(100))}};
    }
  }

  std::vector<Piece> hazard() {
    hazard_ = true;
    switch (roll(8)) {
      case 0:
        shape("text begins with a digit");
        return {{"5 PRINT"}};
      case 1:
        shape("text begins with [");
        return {{"[A]"}};
      case 2:
        shape("[ inside");
        return {{"DIM A[3]"}};
      case 3:
        shape("#define inside");
        return {{"PRINT \"#define\""}};
      case 4:
        shape("CR inside");
        return {{"PRINT 1\rPRINT 2"}};
      case 5:
        shape("no text");
        return {};
      case 6:
        shape("long line");
        return {{"PRINT \"" + std::string(61, '*') + "\""}};
      default:
        shape("reference with leading zeros");
        return {{"GOTO 0"}, {"", 0, -1}};
    }
  }

  // A reference made to a comment without a number goes to the next line that has one, or to no
  // line when none follows.
  void aim_references() {
    for (GeneratedLine& line : lines_) {
      for (Piece& piece : line.pieces) {
        if (piece.target < 0) continue;
        auto target = static_cast<std::size_t>(piece.target);
        while (target < lines_.size() && !lines_[target].numbered) ++target;
        piece.target = target < lines_.size() ? static_cast<int>(target) : -1;
        if (piece.target < 0) piece.absent = 30000;
      }
    }
  }

  // The text of a line, with each reference written as the number given for its target.
  std::string text(const GeneratedLine& line, const std::vector<int>& numbers) const {
    std::string t;
    for (const Piece& piece : line.pieces) {
      t += piece.text;
      if (piece.target >= 0)
        t += std::to_string(
            numbers[std::min(static_cast<std::size_t>(piece.target), numbers.size() - 1)]);
      if (piece.absent >= 0) t += std::to_string(piece.absent);
    }
    return t;
  }

  std::vector<int> numbers(bool compact) const {
    std::vector<int> n;
    int next = -1;
    for (const GeneratedLine& line : lines_) {
      if (next < 0 || !compact) next = line.number;
      n.push_back(next);
      if (line.numbered) ++next;
    }
    return n;
  }

  // The program as a file holds it, written as the compile would write it or, now and then, in
  // other ways of writing the same program.
  std::string render() {
    const bool odd_widths = one_in(6);
    const bool lf = one_in(8);
    const bool blanks = one_in(8);
    const bool unended = one_in(10);
    if (odd_widths) shape("odd widths");
    if (lf) shape("LF line ends");
    if (blanks) shape("blank-ish lines");
    if (unended) shape("no line end at the end");
    const std::vector<int> n = numbers(false);
    std::string bytes;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      const GeneratedLine& line = lines_[i];
      if (blanks && one_in(4)) bytes += one_in(2) ? "   " : "";
      if (blanks && one_in(4) && !bytes.empty()) bytes += lf ? "\n" : "\r\n";
      std::string number = four_digits(line.number);
      if (odd_widths) {
        number = std::to_string(line.number);
        number.insert(0, static_cast<std::size_t>(roll(3)), '0');
      }
      const std::string t = text(line, n);
      bytes += line.numbered ? number + (odd_widths && one_in(2) ? "  " : " ") + t : t;
      if (blanks && one_in(3)) bytes += " ";
      if (!(unended && i + 1 == lines_.size())) bytes += lf ? "\n" : "\r\n";
    }
    return bytes;
  }

  std::string expected(Renumbering renumbering) const {
    const std::vector<int> n = numbers(renumbering == Renumbering::compact);
    std::string out;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      std::string t = text(lines_[i], n);
      while (!t.empty() && t.back() == ' ') t.pop_back();
      out += lines_[i].numbered ? four_digits(n[i]) + " " + t : t;
      out += "\r\n";
    }
    return out;
  }

  std::mt19937 random_;
  std::vector<GeneratedLine> lines_;
  std::vector<std::string> shapes_;
  bool hazard_ = false;
};

unsigned property_seed() {
  const char* seed = std::getenv("KESTREL_UNNUMBER_SEED");
  return seed ? static_cast<unsigned>(std::strtoul(seed, nullptr, 10)) : 20261208u;
}

// Every generated program either comes back from the compile of its conversion, byte for byte
// where it was written as the compile writes it, or is refused with a reason; one without
// anything the notation might be unable to express is never refused.
TEST(Unnumber, GeneratedProgramsComeBackOrAreRefusedWithAReason) {
  constexpr int kPrograms = 3000;
  const unsigned seed = property_seed();
  ProgramMaker maker(seed);
  std::map<std::string, int> shapes;
  std::map<std::string, int> refusals;
  int converted = 0;
  for (int i = 0; i < kPrograms; ++i) {
    const ProgramMaker::Program p = maker.make();
    for (const std::string& shape : p.shapes) ++shapes[shape];
    const UnnumberResult r = unnumber(p.bytes, p.settings);
    const std::string program = "seed " + std::to_string(seed) + ", program " + std::to_string(i) +
                                ":\n" + p.bytes + "\nsource:\n" + r.source;
    if (!r.converted) {
      ASSERT_TRUE(p.hazard) << "refused " << r.findings.front().text << "\n" << program;
      std::set<std::string> reasons;
      for (const UnnumberFinding& f : r.findings) {
        if (!f.refusal) continue;
        ASSERT_FALSE(f.text.empty()) << program;
        reasons.insert(reason_name(f.reason));
      }
      for (const std::string& reason : reasons) ++refusals[reason];
      continue;
    }
    ++converted;
    ASSERT_EQ(compiled(r.source, r.comments), p.expected) << program;
    const bool warned_of_difference = std::ranges::any_of(
        r.findings, [](const auto& f) { return f.reason != UnnumberReason::absent_reference; });
    if (p.settings.renumbering == Renumbering::keep) {
      ASSERT_EQ(p.bytes == p.expected, !warned_of_difference) << program;
    }
  }
  std::string summary = "seed " + std::to_string(seed) + ": " + std::to_string(kPrograms) +
                        " programs, " + std::to_string(converted) + " converted, " +
                        std::to_string(kPrograms - converted) +
                        " refused\nrefused programs by reason (a program may have several):\n";
  for (const auto& [reason, n] : refusals)
    summary += "  " + reason + ": " + std::to_string(n) + "\n";
  summary += "programs by shape:\n";
  for (const auto& [shape, n] : shapes) summary += "  " + shape + ": " + std::to_string(n) + "\n";
  std::printf("%s", summary.c_str());
  EXPECT_GT(converted, kPrograms / 2);
}

struct FindingCase {
  std::string program;
  UnnumberReason reason;
  int line;
  int column;
  bool refusal = true;
  UnnumberSettings settings = {};
};

// Each thing the notation cannot express refuses the conversion, at the line and column where it
// stands; what the compiled program only writes differently is a warning.
TEST(Unnumber, RefusesWhatTheNotationCannotSayAndWarnsOfWhatItWritesDifferently) {
  UnnumberSettings compact;
  compact.renumbering = Renumbering::compact;
  UnnumberSettings numbered_comments;
  numbered_comments.comments = CommentOptions::rem;
  UnnumberSettings no_comments;
  no_comments.comments = CommentOptions::none;
  const std::vector<FindingCase> cases = {
      {"0010 A=1\r\nPRINT\r\n", UnnumberReason::no_number, 2, 1},
      {"0010 A=1\r\nREM x\r\n", UnnumberReason::no_number, 2, 1, true, numbered_comments},
      {"0010 A=1\r\n0011 \r\n", UnnumberReason::no_text, 2, 6},
      {"0010 12 PRINT\r\n", UnnumberReason::text_begins_with_digit, 1, 6},
      {"0010 [A]\r\n", UnnumberReason::text_begins_with_bracket, 1, 6},
      {"0010 PRINT \"#define\"\r\n", UnnumberReason::text_holds_define, 1, 13},
      {"0010 PRINT 1\rPRINT 2\r\n", UnnumberReason::text_holds_carriage_return, 1, 13},
      {"0010 A\r\n0010 B\r\n", UnnumberReason::numbers_do_not_grow, 2, 1},
      {"0010 A\r\n0009 B\r\n", UnnumberReason::numbers_do_not_grow, 2, 1},
      {"0010 A\r\n2049 B\r\n", UnnumberReason::jump_past_directives, 2, 1},
      {"2049 A\r\n", UnnumberReason::jump_past_directives, 1, 1, true, compact},
      {"0010 A\r\n40000 B\r\n", UnnumberReason::number_past_limit, 2, 1},
      {"0010 GOTO 20\r\n0020 A(1)=\"[\"\r\n", UnnumberReason::bracket_beside_labels, 2, 12},
      {"0010 GOTO 10\r\nREM [x]\r\n", UnnumberReason::bracket_beside_labels, 2, 5},
      {"0010 GOTO 10\r\n0011 PRINT \"" + std::string(57, '*') + "\"\r\n",
       UnnumberReason::long_line_beside_labels, 2, 1},
      {"0010 GOTO 010\r\n", UnnumberReason::reference_with_leading_zeros, 1, 11},
      {"0010 REM x\r\n", UnnumberReason::comment_dropped, 1, 6, true, no_comments},
      {"REM a\r\n0010 REM b\r\n", UnnumberReason::numbered_comment_unnumbered, 2, 6},
      {"10 PRINT\r\n", UnnumberReason::written_differently, 1, 1, false},
      {"0010  PRINT \r\n", UnnumberReason::written_differently, 1, 1, false},
      {"0010 A\r\n0011 B\n", UnnumberReason::line_ends, 2, 1, false},
      {"0010 A\r\n0011 B", UnnumberReason::line_ends, 2, 1, false},
      {"0010 A\r\n   \r\n0011 B\r\n", UnnumberReason::blank_lines, 2, 1, false},
      {"0010 GOTO 99\r\n", UnnumberReason::absent_reference, 1, 11, false},
  };
  for (const FindingCase& c : cases) {
    const UnnumberResult r = unnumber(c.program, c.settings);
    ASSERT_EQ(r.findings.size(), 1u) << c.program;
    const UnnumberFinding& f = r.findings.front();
    EXPECT_EQ(f.reason, c.reason) << c.program;
    EXPECT_EQ(f.refusal, c.refusal) << c.program;
    EXPECT_EQ(f.line, c.line) << c.program;
    EXPECT_EQ(f.column, c.column) << c.program;
    EXPECT_EQ(r.converted, !c.refusal) << c.program;
    EXPECT_EQ(r.source.empty(), c.refusal) << c.program;
  }
}

struct SourceCase {
  std::string program;
  std::vector<std::string> source;
  UnnumberSettings settings = {};
};

// How a source is laid out: a directive only where the numbers jump, each label between the
// directive and its line, and lines the compile would misread kept as output.
TEST(Unnumber, WritesTheSourceTheCompileReadsBack) {
  UnnumberSettings compact;
  compact.renumbering = Renumbering::compact;
  UnnumberSettings named;
  named.names_from_comments = true;
  UnnumberSettings delete_word;
  delete_word.keywords = {"DELETE"};
  const std::vector<SourceCase> cases = {
      {"", {"00"}},
      {"0005 X\r\n0006 GOTO 5\r\n0010 ON A GOTO 6, 10,5\r\n",
       {"05", "[L5]", "X ", "[L6]", "GOTO [L5]", "10", "[L10]", "ON A GOTO [L6], [L10],[L5]"}},
      {"0100 PRINT \"GOTO 100\":REM GOTO 100\r\n0101 ON ERROR GOTO 0:RESUME 0' GOTO 100\r\n",
       {"100", "PRINT \"GOTO 100\":REM GOTO 100", "ON ERROR GOTO 0:RESUME 0' GOTO 100"}},
      {"0000 #include X\r\n0001 IFA=1THEN0ELSE1\r\n",
       {"00", "[L0]", " #include X", "[L1]", "IFA=1THEN[L0]ELSE[L1]"}},
      {"0010 A\r\n0020 GOTO 10\r\n0300 GOSUB 20\r\n",
       {"10", "[L10]", "A ", "[L20]", "GOTO [L10]", "GOSUB [L20]"},
       compact},
      {"0010 REM Main loop\r\n0020 A=1 ' read keys\r\n0030 GOTO 10:GOTO 20:GOTO 40\r\n"
       "0040 REM Main loop!\r\n0041 GOTO 41\r\n0042 REM Wait\r\n0043 GOTO 43\r\n",
       {"10", "[MAIN_LOOP]", "REM Main loop", "20", "[READ_KEYS]", "A=1 ' read keys", "30",
        "GOTO [MAIN_LOOP]:GOTO [READ_KEYS]:GOTO [MAIN_LOOP_2]", "40", "[MAIN_LOOP_2]",
        "REM Main loop!", "[L41]", "GOTO [L41]", "REM Wait", "[WAIT]", "GOTO [WAIT]"},
       named},
      {"0010 DELETE 10\r\n", {"10", "[L10]", "DELETE [L10]"}, delete_word},
  };
  for (const SourceCase& c : cases) {
    const UnnumberResult r = unnumber(c.program, c.settings);
    std::string source;
    for (const std::string& line : c.source) source += line + "\r\n";
    EXPECT_EQ(r.source, source) << c.program;
  }
}

}  // namespace
}  // namespace kestrel
