#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrel {

// How the numbers of a converted program come back when its source is compiled.
enum class Renumbering {
  keep,     // every line keeps its number: a directive stands wherever the numbers jump
  compact,  // only the first number is kept, and the lines that follow it are numbered on from it
};

// What the compile of the converted source must be told about comment lines, as the comment
// options of the compile pass.
enum class CommentOptions {
  none,            // a program without comment lines
  rem,             // comments keep numbers of their own (Check1)
  rem_unnumbered,  // comments stand without numbers (Check1 and Check2)
};

struct UnnumberSettings {
  Renumbering renumbering = Renumbering::keep;
  // Names labels after a comment on the line or on the line before it, instead of "L" and the
  // line's number.
  bool names_from_comments = false;
  // Chosen from the program when none is given.
  std::optional<CommentOptions> comments;
  // Words a line number follows, besides GOTO, GOSUB, THEN, ELSE, RESTORE, RUN and RESUME.
  std::vector<std::string> keywords;
  // The note the source's first line carries after its number, in the code page: how to compile
  // the source, given the comment options it needs. None: the line holds the number alone.
  std::function<std::string(CommentOptions)> note;
};

// Why a line was refused, or what a converted program differs in from its numbered original.
enum class UnnumberReason {
  // Refusals: the notation cannot say what the line says.
  no_number,
  no_text,
  text_begins_with_digit,
  text_begins_with_bracket,
  text_holds_define,
  text_holds_carriage_return,
  numbers_do_not_grow,
  jump_past_directives,
  number_past_limit,
  bracket_beside_labels,
  long_line_beside_labels,
  reference_with_leading_zeros,
  comment_dropped,
  numbered_comment_unnumbered,
  // Warnings: the conversion goes on.
  written_differently,
  line_ends,
  blank_lines,
  absent_reference,
};

struct UnnumberFinding {
  bool refusal = true;  // false: a warning
  UnnumberReason reason = UnnumberReason::no_number;
  int line = 0;      // 1-based, in the numbered program
  int column = 1;    // 1-based, in that line
  std::string text;  // in the code page

  bool operator==(const UnnumberFinding&) const = default;
};

// A line of the program and where it went.
struct UnnumberedLine {
  int program_line = 0;           // 1-based, in the numbered program
  int source_line = 0;            // 1-based, in the source
  std::optional<int> old_number;  // none for a comment without a number
  std::optional<int> new_number;  // the number the compile of the source gives it
};

struct UnnumberResult {
  bool converted = false;  // no line was refused; `source` is empty otherwise
  std::string source;      // lines ended by CR LF, in the code page
  CommentOptions comments = CommentOptions::none;
  std::vector<UnnumberFinding> findings;  // by line, and by column in a line
  std::vector<UnnumberedLine> lines;
  std::vector<std::pair<std::string, int>> labels;  // each label's text and new number
};

// Turns a line-numbered program (each line a number and its text, ended by CR LF or LF) into a
// source whose compile, with the comment options the result names, gives the program back: byte
// for byte where the program is written as the compile writes it (four-digit numbers, one blank,
// no blanks at the ends, CR LF), otherwise in that form, which a warning states. Every line number
// that a keyword refers to becomes a label. Reads nothing and writes nothing.
UnnumberResult unnumber(std::string_view program, const UnnumberSettings& settings);

// A line number as the compile writes it before its line: four digits at least, leading zeros.
std::string written_line_number(int number);

}  // namespace kestrel
