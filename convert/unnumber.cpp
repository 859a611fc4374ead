#include "convert/unnumber.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/compile_pass.h"
#include "compiler/line_number.h"
#include "text/blanks.h"
#include "text/text_lines.h"
#include "workbench/keywords.h"

namespace kestrel {

namespace {

constexpr std::size_t kNumberWidth = 4;
constexpr std::size_t kLongestName = 24;

constexpr std::array<std::string_view, 7> kKeywords = {"GOTO",    "GOSUB", "THEN",  "ELSE",
                                                       "RESTORE", "RUN",   "RESUME"};

std::string reason_text(UnnumberReason reason) {
  switch (reason) {
    case UnnumberReason::no_number:
      return "the line has no line number";
    case UnnumberReason::no_text:
      return "the line has no text: a source line of it would produce nothing";
    case UnnumberReason::text_begins_with_digit:
      return "the text begins with a digit: its source line would be a line-number directive";
    case UnnumberReason::text_begins_with_bracket:
      return "the text begins with \"[\": its source line would be a label";
    case UnnumberReason::text_holds_define:
      return "the text holds \"#define\": its source line would produce nothing";
    case UnnumberReason::text_holds_carriage_return:
      return "the text holds a carriage return, which would end its source line";
    case UnnumberReason::numbers_do_not_grow:
      return "the line number does not grow: the one before is ";
    case UnnumberReason::jump_past_directives:
      return "the numbers jump to one past " + std::to_string(kHighestDirective) +
             ", which no directive sets: ";
    case UnnumberReason::number_past_limit:
      return "the line number is past " + std::to_string(kHighestLineNumber) + ": ";
    case UnnumberReason::bracket_beside_labels:
      return "the text holds \"[\", which the compile takes for a label left over once the "
             "source has labels";
    case UnnumberReason::long_line_beside_labels:
      return "the line is longer than " + std::to_string(kLongestOutputLine) +
             " characters, which the compile refuses once the source has labels: ";
    case UnnumberReason::reference_with_leading_zeros:
      return "the line number has leading zeros, which a label does not give back: ";
    case UnnumberReason::comment_dropped:
      return "a comment line reaches the compiled program only with a comment option";
    case UnnumberReason::numbered_comment_unnumbered:
      return "a comment with a number cannot stand beside comments without numbers";
    case UnnumberReason::written_differently:
      return "the compiled program writes each line as a four-digit number, one blank and the "
             "text without blanks at its ends, as in: ";
    case UnnumberReason::line_ends:
      return "the compiled program ends every line in CR LF, where this one ends otherwise";
    case UnnumberReason::blank_lines:
      return "the compiled program leaves out the blank lines, from this one on";
    case UnnumberReason::absent_reference:
      return "no line has the number this refers to; it stays a number: ";
  }
  return {};
}

bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool same_word(std::string_view text, std::size_t at, std::string_view word) {
  if (text.size() - at < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i)
    if (upper(text[at + i]) != upper(word[i])) return false;
  return true;
}

// Digits as the compile writes a line number: four at least, no more leading zeros than that.
std::string written_digits(std::string_view digits) {
  digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size() - 1));
  std::string written(digits);
  if (written.size() < kNumberWidth) written.insert(0, kNumberWidth - written.size(), '0');
  return written;
}

// The value of decimal digits; one past the highest line number for a larger one.
int number_value(std::string_view digits) {
  const std::size_t first = std::min(digits.find_first_not_of('0'), digits.size());
  digits.remove_prefix(first);
  if (digits.size() > std::to_string(kHighestLineNumber).size()) return kHighestLineNumber + 1;
  return digits.empty() ? 0 : std::min(std::stoi(std::string(digits)), kHighestLineNumber + 1);
}

// A line of the numbered program, read.
struct ProgramLine {
  int line = 0;                 // 1-based
  std::optional<int> number;    // none for a line without one
  std::string digits;           // the number as written
  std::string text;             // without blanks at either end
  std::size_t text_column = 1;  // where the text begins in the line, 1-based
  std::size_t number_column = 1;
  bool respelled = false;  // not written as the compile writes it
};

// A line number written in a line's text after a keyword.
struct Reference {
  std::size_t at = 0;  // in the text
  std::size_t size = 0;
  int number = 0;
  bool leading_zeros = false;
};

// Whether the number after `keyword`, at `digits` in `text`, turns a feature off instead of
// jumping: ON ERROR GOTO 0 and RESUME 0.
bool switches_off(std::string_view text, std::size_t keyword_at, std::string_view keyword,
                  std::size_t digits, std::size_t size) {
  if (size != 1 || text[digits] != '0') return false;
  if (same_word(keyword, 0, "RESUME")) return true;
  if (!same_word(keyword, 0, "GOTO")) return false;
  const std::string_view before = trim_right_blanks(text.substr(0, keyword_at));
  return before.size() >= 5 && same_word(before, before.size() - 5, "ERROR");
}

class ReferenceFinder {
 public:
  explicit ReferenceFinder(const UnnumberSettings& settings) {
    words_.assign(kKeywords.begin(), kKeywords.end());
    for (const std::string& word : settings.keywords)
      if (!word.empty()) words_.push_back(word);
    // The longest first, so that GOSUB is not taken for a shorter word it begins with.
    std::ranges::sort(words_,
                      [](std::string_view a, std::string_view b) { return a.size() > b.size(); });
  }

  // The line numbers a text refers to, left to right: after a keyword, and in the list of
  // numbers joined by commas that follows it. Quoted text and comments are passed over.
  std::vector<Reference> find(std::string_view text) const {
    std::vector<Reference> found;
    bool statement_start = true;
    for (std::size_t i = 0; i < text.size();) {
      const char c = text[i];
      if (c == '"') {
        const std::size_t end = text.find('"', i + 1);
        i = end == std::string_view::npos ? text.size() : end + 1;
        statement_start = false;
        continue;
      }
      if (c == '\'' || (statement_start && same_word(text, i, kComment))) break;
      if (c == ':') {
        statement_start = true;
        ++i;
        continue;
      }
      if (c == ' ') {
        ++i;
        continue;
      }
      statement_start = false;
      const std::string_view word = keyword_at(text, i);
      if (word.empty()) {
        ++i;
        continue;
      }
      i = numbers_after(text, i, word, found);
    }
    return found;
  }

 private:
  std::string_view keyword_at(std::string_view text, std::size_t i) const {
    if (i > 0 && is_letter(text[i - 1])) return {};
    for (const std::string& word : words_)
      if (same_word(text, i, word)) return word;
    return {};
  }

  // Reads the numbers after the keyword at `at`; returns where reading stopped.
  static std::size_t numbers_after(std::string_view text, std::size_t at, std::string_view word,
                                   std::vector<Reference>& found) {
    std::size_t i = at + word.size();
    for (;;) {
      while (i < text.size() && text[i] == ' ') ++i;
      const std::size_t start = i;
      while (i < text.size() && is_digit(text[i])) ++i;
      if (i == start) return i;
      const std::size_t size = i - start;
      if (!switches_off(text, at, word, start, size)) {
        found.push_back(
            {start, size, number_value(text.substr(start, size)), size > 1 && text[start] == '0'});
      }
      std::size_t next = i;
      while (next < text.size() && text[next] == ' ') ++next;
      if (next == text.size() || text[next] != ',') return i;
      i = next + 1;
    }
  }

  std::vector<std::string> words_;
};

// Reads the program's lines. Lines end at LF, with the CR before it; a last line without one
// counts too.
struct ReadProgram {
  std::vector<ProgramLine> lines;
  std::optional<int> first_line_not_crlf;  // the first line not ended by CR LF
  std::optional<int> first_blank_line;     // the first line of blanks only
};

ReadProgram read_program(std::string_view program) {
  ReadProgram read;
  int line_number = 0;
  for (std::size_t pos = 0; pos < program.size();) {
    std::size_t end = program.find('\n', pos);
    const bool last = end == std::string_view::npos;
    if (last) end = program.size();
    std::string_view line = program.substr(pos, end - pos);
    pos = end + 1;
    ++line_number;
    const bool crlf_ended = !last && line.ends_with('\r');
    if (crlf_ended) line.remove_suffix(1);
    if (!crlf_ended && !read.first_line_not_crlf) read.first_line_not_crlf = line_number;
    if (trim_blanks(line).empty()) {
      if (!read.first_blank_line) read.first_blank_line = line_number;
      continue;
    }
    ProgramLine parsed;
    parsed.line = line_number;
    const std::string_view after_blanks = trim_left_blanks(line);
    std::size_t digits = 0;
    while (digits < after_blanks.size() && is_digit(after_blanks[digits])) ++digits;
    const std::string_view rest = after_blanks.substr(digits);
    parsed.text = std::string(trim_blanks(rest));
    parsed.text_column = line.size() - trim_left_blanks(rest).size() + 1;
    if (digits > 0) {
      parsed.digits = std::string(after_blanks.substr(0, digits));
      parsed.number_column = line.size() - after_blanks.size() + 1;
      parsed.number = number_value(parsed.digits);
      parsed.respelled = line != written_digits(parsed.digits) + ' ' + parsed.text;
    } else {
      parsed.respelled = line != parsed.text;
    }
    read.lines.push_back(std::move(parsed));
  }
  return read;
}

// A label's name from a comment: its words in capitals, joined by underscores.
std::string name_from_comment(std::string_view comment) {
  std::string name;
  bool gap = false;
  for (const char c : comment) {
    const auto byte = static_cast<unsigned char>(c);
    // Letters of the code page's upper half are kept, in capitals: а..я are 0xE0..0xFF.
    const bool letter = is_letter(c) || is_digit(c) || byte >= 0xC0;
    if (!letter) {
      gap = !name.empty();
      continue;
    }
    if (name.size() >= kLongestName) break;
    if (gap) name += '_';
    gap = false;
    name += byte >= 0xE0 ? static_cast<char>(byte - 0x20) : upper(c);
  }
  return name;
}

// The comment a line holds, if any: the whole text of a comment line, or what follows an
// apostrophe or a REM that begins a statement.
std::optional<std::string_view> comment_of(std::string_view text) {
  if (text.starts_with(kComment)) return text.substr(kComment.size());
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"') quoted = !quoted;
    if (quoted) continue;
    if (text[i] == '\'') return text.substr(i + 1);
    if (text[i] == ':' && same_word(trim_left_blanks(text.substr(i + 1)), 0, kComment))
      return trim_left_blanks(text.substr(i + 1)).substr(kComment.size());
  }
  return std::nullopt;
}

class Conversion {
 public:
  Conversion(std::string_view program, const UnnumberSettings& settings)
      : settings_(settings), read_(read_program(program)), finder_(settings) {}

  UnnumberResult run() {
    result_.comments = settings_.comments.value_or(chosen_comments());
    find_references();
    check_lines();
    note_differences();
    std::ranges::stable_sort(result_.findings, [](const auto& a, const auto& b) {
      return a.line != b.line ? a.line < b.line : a.column < b.column;
    });
    result_.converted = std::ranges::none_of(result_.findings, &UnnumberFinding::refusal);
    if (result_.converted) {
      write_source();
    } else {
      result_.lines.clear();
      result_.labels.clear();
    }
    return std::move(result_);
  }

 private:
  bool comment_without_number(const ProgramLine& line) const {
    return !line.number && line.text.starts_with(kComment);
  }

  CommentOptions chosen_comments() const {
    const auto& lines = read_.lines;
    if (std::ranges::any_of(lines, [this](const auto& l) { return comment_without_number(l); }))
      return CommentOptions::rem_unnumbered;
    if (std::ranges::any_of(lines, [](const auto& l) { return l.text.starts_with(kComment); }))
      return CommentOptions::rem;
    return CommentOptions::none;
  }

  void refuse(const ProgramLine& line, UnnumberReason reason, std::size_t column,
              const std::string& detail = {}) {
    result_.findings.push_back(
        {true, reason, line.line, static_cast<int>(column), reason_text(reason) + detail});
  }
  void warn(int line, UnnumberReason reason, std::size_t column, const std::string& detail = {}) {
    result_.findings.push_back(
        {false, reason, line, static_cast<int>(column), reason_text(reason) + detail});
  }

  // The new number of every numbered line, and the line each number stands on.
  void find_references() {
    int next = 0;
    for (std::size_t i = 0; i < read_.lines.size(); ++i) {
      const ProgramLine& line = read_.lines[i];
      if (!line.number) continue;
      if (settings_.renumbering == Renumbering::keep || new_numbers_.empty()) next = *line.number;
      new_numbers_[i] = next++;
      line_of_number_.try_emplace(*line.number, i);
    }
    for (std::size_t i = 0; i < read_.lines.size(); ++i) {
      const ProgramLine& line = read_.lines[i];
      if (!line.number || line.text.starts_with(kComment)) continue;
      for (const Reference& reference : finder_.find(line.text)) {
        const auto target = line_of_number_.find(reference.number);
        const std::size_t column = line.text_column + reference.at;
        const std::string written = line.text.substr(reference.at, reference.size);
        if (target == line_of_number_.end()) {
          warn(line.line, UnnumberReason::absent_reference, column, written);
        } else if (reference.leading_zeros) {
          refuse(line, UnnumberReason::reference_with_leading_zeros, column, written);
        } else {
          references_[i].push_back(reference);
          targets_.insert(target->second);
        }
      }
    }
  }

  void check_lines() {
    const bool labels = !targets_.empty();
    int line_num = 0;
    std::optional<int> previous;
    for (std::size_t i = 0; i < read_.lines.size(); ++i) {
      const ProgramLine& line = read_.lines[i];
      const std::size_t column = line.text_column;
      if (!line.number) {
        if (!comment_without_number(line) || result_.comments != CommentOptions::rem_unnumbered)
          refuse(line, UnnumberReason::no_number, 1);
      } else {
        check_number(line, new_numbers_[i], previous, line_num);
        previous = line.number;
        line_num = new_numbers_[i] + 1;
        check_numbered_text(line);
      }
      if (line.text.find(kDefine) != std::string::npos)
        refuse(line, UnnumberReason::text_holds_define, column + line.text.find(kDefine));
      if (line.text.find('\r') != std::string::npos)
        refuse(line, UnnumberReason::text_holds_carriage_return, column + line.text.find('\r'));
      if (!labels) continue;
      if (line.text.find('[') != std::string::npos && !line.text.starts_with('['))
        refuse(line, UnnumberReason::bracket_beside_labels, column + line.text.find('['));
      const std::size_t length =
          (line.number ? written_line_number(new_numbers_[i]).size() + 1 : 0) + line.text.size();
      if (length > kLongestOutputLine)
        refuse(line, UnnumberReason::long_line_beside_labels, 1, std::to_string(length));
    }
  }

  void check_number(const ProgramLine& line, int new_number, std::optional<int> previous,
                    int line_num) {
    const int number = *line.number;
    const std::size_t column = line.number_column;
    if (number > kHighestLineNumber || new_number > kHighestLineNumber) {
      refuse(line, UnnumberReason::number_past_limit, column,
             number > kHighestLineNumber ? line.digits : std::to_string(new_number));
    } else if (previous && number <= *previous) {
      refuse(line, UnnumberReason::numbers_do_not_grow, column, std::to_string(*previous));
    } else if (number > kHighestDirective && number != line_num &&
               (settings_.renumbering == Renumbering::keep || !previous)) {
      refuse(line, UnnumberReason::jump_past_directives, column, line.digits);
    }
  }

  void check_numbered_text(const ProgramLine& line) {
    const std::string& text = line.text;
    const std::size_t column = line.text_column;
    if (text.empty()) {
      refuse(line, UnnumberReason::no_text, column);
    } else if (is_digit(text[0])) {
      refuse(line, UnnumberReason::text_begins_with_digit, column);
    } else if (text[0] == '[') {
      refuse(line, UnnumberReason::text_begins_with_bracket, column);
    } else if (text.starts_with(kComment) && result_.comments == CommentOptions::none) {
      refuse(line, UnnumberReason::comment_dropped, column);
    } else if (text.starts_with(kComment) && result_.comments == CommentOptions::rem_unnumbered) {
      refuse(line, UnnumberReason::numbered_comment_unnumbered, column);
    }
  }

  // What the compiled program differs in from this one, each said once, where it first shows.
  void note_differences() {
    for (std::size_t i = 0; i < read_.lines.size(); ++i) {
      const ProgramLine& line = read_.lines[i];
      if (!line.respelled) continue;
      const std::string as_written =
          line.number ? written_digits(line.digits) + ' ' + line.text : line.text;
      warn(line.line, UnnumberReason::written_differently, 1, as_written);
      break;
    }
    if (read_.first_line_not_crlf) warn(*read_.first_line_not_crlf, UnnumberReason::line_ends, 1);
    if (read_.first_blank_line) warn(*read_.first_blank_line, UnnumberReason::blank_lines, 1);
  }

  std::string label_name(std::size_t index) {
    const ProgramLine& line = read_.lines[index];
    std::string name;
    if (settings_.names_from_comments) {
      std::optional<std::string_view> comment = comment_of(line.text);
      // A comment line that is a label's line itself names that label only.
      if ((!comment || name_from_comment(*comment).empty()) && index > 0 &&
          read_.lines[index - 1].text.starts_with(kComment) && !targets_.contains(index - 1))
        comment = comment_of(read_.lines[index - 1].text);
      if (comment) name = name_from_comment(*comment);
    }
    if (name.empty()) name = "L" + std::to_string(*line.number);
    std::string unique = name;
    for (int n = 2; !names_.insert(unique).second; ++n) unique = name + "_" + std::to_string(n);
    return "[" + unique + "]";
  }

  void add_source_line(const std::string& line) {
    result_.source += line;
    result_.source += crlf;
    ++source_lines_;
  }

  // A directive of one character would be dropped as too short: a leading zero keeps it.
  static std::string directive(int number) {
    const std::string digits = std::to_string(number);
    return digits.size() < 2 ? "0" + digits : digits;
  }

  // The first line: the first directive, with the note after it, which the compile passes over.
  std::string first_line(int number) const {
    if (!settings_.note) return directive(number);
    return std::to_string(number) + " " + std::string(kComment) + " " +
           settings_.note(result_.comments);
  }

  void write_source() {
    std::map<std::size_t, std::string> label_of;
    for (const std::size_t target : targets_) label_of[target] = label_name(target);
    int line_num = new_numbers_.empty() ? 0 : new_numbers_.begin()->second;
    add_source_line(first_line(line_num));
    for (std::size_t i = 0; i < read_.lines.size(); ++i) {
      const ProgramLine& line = read_.lines[i];
      UnnumberedLine placed{line.line, 0, line.number, std::nullopt};
      if (line.number) {
        const int number = new_numbers_[i];
        if (number != line_num) add_source_line(directive(number));
        line_num = number + 1;
        placed.new_number = number;
        if (const auto label = label_of.find(i); label != label_of.end()) {
          add_source_line(label->second);
          result_.labels.emplace_back(label->second, number);
        }
      }
      placed.source_line = source_lines_ + 1;
      add_source_line(source_text(i, label_of));
      result_.lines.push_back(placed);
    }
  }

  // The line's text with its references as labels, and what keeps the compile from taking it
  // for anything but a line of output.
  std::string source_text(std::size_t index, const std::map<std::size_t, std::string>& label_of) {
    const ProgramLine& line = read_.lines[index];
    std::string text;
    std::size_t from = 0;
    for (const Reference& reference : references_[index]) {
      text += line.text.substr(from, reference.at - from);
      text += label_of.at(line_of_number_.at(reference.number));
      from = reference.at + reference.size;
    }
    text += line.text.substr(from);
    // An include line is one whose very first characters are "#include": a blank before it
    // keeps the line, and the compile takes the blank away.
    if (text.starts_with(kInclude)) text.insert(0, 1, ' ');
    // A line of one character is dropped as too short; a blank after it counts.
    if (text.size() < 2) text += ' ';
    return text;
  }

  const UnnumberSettings& settings_;
  ReadProgram read_;
  ReferenceFinder finder_;
  UnnumberResult result_;
  std::map<std::size_t, int> new_numbers_;
  std::map<int, std::size_t> line_of_number_;
  std::map<std::size_t, std::vector<Reference>> references_;
  std::set<std::size_t> targets_;
  std::set<std::string> names_;
  int source_lines_ = 0;
};

}  // namespace

std::string written_line_number(int number) { return written_digits(std::to_string(number)); }

UnnumberResult unnumber(std::string_view program, const UnnumberSettings& settings) {
  return Conversion(program, settings).run();
}

}  // namespace kestrel
