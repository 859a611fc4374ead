#include "compiler/compile_pass.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/labels.h"
#include "compiler/line_number.h"
#include "compiler/substitution.h"
#include "files/pages.h"
#include "text/blanks.h"
#include "text/pieces.h"
#include "text/text_lines.h"
#include "workbench/keywords.h"
#include "workbench/messages.h"

namespace kestrel {

namespace {

constexpr std::size_t kLongLineExcerpt = 10;

// What stands before a numbered line: four digits with leading zeros, or all the digits of a
// larger number, and one blank. The lines are mostly numbered one after another, so the digits of
// the number before are counted up where they stand.
class NumberPrefix {
 public:
  static constexpr std::size_t kRoom = 16;

  void set(int number) {
    if (number != number_ + 1 || !counted_up()) written(number);
    number_ = number;
  }
  std::size_t size() const { return size_; }
  // Writes kRoom bytes at `out`, the prefix first.
  void copy_to(char* out) const { std::memcpy(out, text_.data(), kRoom); }

 private:
  // False when the number needs one digit more.
  bool counted_up() {
    for (std::size_t digit = size_ - 1; digit-- > 0;) {
      if (text_[digit] != '9') {
        ++text_[digit];
        return true;
      }
      text_[digit] = '0';
    }
    return false;
  }

  void written(int number) {
    char digits[16];
    const char* const end = std::to_chars(std::begin(digits), std::end(digits), number).ptr;
    const auto count = static_cast<std::size_t>(end - digits);
    const std::size_t zeros = count < 4 ? 4 - count : 0;
    std::fill_n(text_.begin(), zeros, '0');
    std::copy(static_cast<const char*>(digits), end,
              text_.begin() + static_cast<std::ptrdiff_t>(zeros));
    size_ = zeros + count + 1;
    text_[size_ - 1] = ' ';
  }

  int number_ = -2;
  std::array<char, kRoom> text_{};
  std::size_t size_ = 0;
};

// The output as the pass writes it. Dest_bas is grown ahead of the text a page at a time and each
// line is copied into place, so that a line costs neither filling with zeros nor a call for each
// of its short pieces. Dest_bas is cut back to the text written when this ends, and by `settle`
// before it is shown.
class OutputText {
 public:
  // Bytes past the room asked for that may be written over.
  static constexpr std::size_t kSlack = std::max(NumberPrefix::kRoom, kPieceBlock);

  explicit OutputText(std::string& text) : text_(text), size_(text.size()) {}
  OutputText(const OutputText&) = delete;
  OutputText& operator=(const OutputText&) = delete;
  ~OutputText() { settle(); }

  // Where `size` bytes go after the text written, with kSlack more behind them. The text grows
  // within the room it has while that lasts.
  char* room(std::size_t size) {
    const std::size_t needed = size_ + size + kSlack;
    if (text_.size() < needed)
      text_.resize(std::max(needed, std::min(text_.capacity(), size_ + kStep)));
    return text_.data() + size_;
  }
  void wrote(std::size_t size) { size_ += size; }
  void settle() { text_.resize(size_); }

 private:
  static constexpr std::size_t kStep = std::size_t{1} << 12;
  std::string& text_;
  std::size_t size_;
};

class Pass {
 public:
  Pass(Workbench& wb, Ui& ui, const SourceMap& source_map, const FastPaths& paths, CompileMode mode)
      : wb_(wb),
        every_(mode == CompileMode::every_problem),
        paths_(paths),
        findings_(ui),
        source_(wb.Source_bas),
        where_(source_map, source_) {
    // The record of the output lines at its size at once, from the lines the pane was loaded with:
    // grown line by line it would leave every smaller copy behind. A pane changed since costs
    // only that.
    record_.output_lines.reserve(static_cast<std::size_t>(std::max(source_map.line_count(), 0)));
  }

  CompileOutcome run() {
    wb_.Dest_bas.clear();
    // Room for the output at once, from the source's size: growing it line by line would hold two
    // copies while it moves. The room no line reaches is never touched, so it costs no memory.
    wb_.Dest_bas.reserve(source_.size() + source_.size() / 2);
    // Most sources make three quarters of their size in output or more; where one makes less, the
    // pages asked for in vain cost less than a fifth of what those used save.
    prepare_pages(wb_.Dest_bas.data(), source_.size() / 4 * 3);
    wb_.line_num = 0;
    CompileOutcome outcome;
    outcome.ok = compile_all();
    if (outcome.ok) findings_.ui().message(message_text(MessageText::compile_ok));
    outcome.findings = findings_.take();
    record_.labels.reserve(labels_.size());
    record_.label_lines.reserve(labels_.size());
    for (const Label& label : labels_) {
      record_.labels.emplace_back(label.label_text, label.label_line);
      record_.label_lines.push_back(label.source_line);
    }
    outcome.record = std::move(record_);
    outcome.paths = paths_taken_;
    return outcome;
  }

 private:
  // False when the pass stopped at a problem.
  bool compile_all() {
    std::vector<int> in_order = in_name_order(wb_.defs.def_name, definition_count(wb_.defs));
    if (every_)
      Report_every_duplicate(wb_.defs, in_order, findings_, where_);
    else if (!Check_define_duplicates(wb_.defs, in_order, findings_, where_))
      return false;
    substituter_.emplace(wb_.defs, std::move(in_order), source_, paths_);
    output_.emplace(wb_.Dest_bas);
    const bool compiled =
        for_each_pane_line(source_, [this](std::string_view line) { return compile_line(line); });
    output_.reset();
    if (!compiled) return false;
    const bool clean = findings_.list().empty();
    // The tables of the names are the largest thing the pass holds, and labels need none of them.
    paths_taken_ = substituter_->counts();
    substituter_.reset();
    // Without label lines neither the labels nor the line lengths are examined.
    if (labels_.empty()) return clean;
    if (every_) {
      Resolve_every_label(wb_, findings_, labels_, where_, record_.output_lines);
      every_long_line();
      return findings_.list().empty();
    }
    return Resolve_labels(wb_, findings_, labels_, where_, record_.output_lines, paths_,
                          paths_taken_) &&
           lines_fit();
  }

  // False when the pass must stop.
  bool compile_line(std::string_view source_line) {
    const bool go_on = take_line(source_line);
    ++source_index_;
    return go_on;
  }

  bool take_line(std::string_view source_line) {
    const std::string_view trimmed = trim_left_blanks(source_line);
    if (trimmed.find(kDefine) != std::string_view::npos) return true;
    std::string& line = line_;
    if (const std::optional<int> looping = substituter_->substitute(trimmed, line)) {
      show(message_text(MessageText::looping_substitution) + wb_.defs.def_name[*looping]);
      return every_;
    }
    // A label line is recognised before short lines are dropped, so "[" alone is a label.
    if (line.starts_with('[')) {
      Collect_label(labels_, line, wb_.line_num, source_index_);
      return true;
    }
    if (line.size() < 2) return true;
    const bool comment = line.starts_with(kComment);
    if (comment && !wb_.keep_comments) return true;
    if (is_digit(line[0])) return take_directive(line, first_column(source_line));
    if (comment && wb_.comments_unnumbered) {
      append_line(line, false);
      return true;
    }
    return write_numbered(line);
  }

  // `column` is where the directive begins in the source line.
  bool take_directive(const std::string& line, int column) {
    const std::string value = read_line_number(line);
    const std::optional<int> n = small_line_number(value);
    if (n && *n <= kHighestDirective && *n >= wb_.line_num) {
      wb_.line_num = *n;
      return true;
    }
    show(message_text(MessageText::bad_line_number) + value, column);
    return every_;
  }

  // A message about the source line being compiled, and where in it, when that is known.
  void show(const std::string& text, int column = 0) {
    if (output_) output_->settle();
    Location at = where_.at(source_index_);
    at.column = column;
    findings_.message(text, at);
  }

  // The 1-based column of the first character that is no blank.
  static int first_column(std::string_view source_line) {
    return static_cast<int>(source_line.size() - trim_left_blanks(source_line).size()) + 1;
  }

  bool write_numbered(const std::string& line) {
    if (wb_.line_num > kHighestLineNumber) {
      show(message_text(MessageText::bad_line_number) + std::to_string(wb_.line_num));
      return false;
    }
    prefix_.set(wb_.line_num);
    ++wb_.line_num;
    append_line(line, true);
    return true;
  }

  // The line's text without its blanks at either end, after the number prefix if `numbered`,
  // and a line end.
  void append_line(const std::string& line, bool numbered) {
    const std::string_view text = trim_blanks(line);
    const std::size_t prefix = numbered ? prefix_.size() : 0;
    const std::size_t size = prefix + text.size() + crlf.size();
    char* const out = output_->room(size);
    if (numbered) prefix_.copy_to(out);
    char* const end =
        copy_piece(text.data(), text.data() + text.size(), line.data() + line.size(), out + prefix);
    std::copy(crlf.begin(), crlf.end(), end);
    output_->wrote(size);
    record_.output_lines.push_back({source_index_, numbered});
    longest_written_ = std::max(longest_written_, prefix + text.size());
  }

  // Whether replacing the labels may have made a line longer than the longest written: a number
  // longer than a label's text, or a label's text with a line end in it, which can join two lines.
  bool labels_may_lengthen() const {
    for (const Label& label : labels_) {
      const std::string_view text = label.label_text;
      if (text.find_first_of("\r\n") != std::string_view::npos) return true;
      if (text.size() < std::to_string(label.label_line).size()) return true;
    }
    return false;
  }

  void report_long_line(std::string_view text, std::size_t index) {
    const std::vector<OutputLine>& sources = record_.output_lines;
    const std::string message = message_text(MessageText::long_line) +
                                std::string(text.substr(0, kLongLineExcerpt)) + " ...";
    // Every output line was recorded as it was written; a label text that ends in a CR can join
    // two lines, so the count may only have shrunk.
    findings_.message(message, where_.at(sources[std::min(index, sources.size() - 1)].source_line));
  }

  void every_long_line() {
    if (longest_written_ <= kLongestOutputLine && !labels_may_lengthen()) return;
    std::size_t index = 0;
    for_each_pane_line(wb_.Dest_bas, [&](std::string_view line) {
      if (line.size() > kLongestOutputLine) report_long_line(line, index);
      ++index;
      return true;
    });
  }

  // Only the first line longer than the limit is reported. The output is searched for it unless
  // every line written was short enough and the labels have made none longer.
  bool lines_fit() {
    if (longest_written_ <= kLongestOutputLine && !labels_may_lengthen()) return true;
    const std::optional<LongLine> line = first_long_line(wb_.Dest_bas, kLongestOutputLine);
    if (!line) return true;
    report_long_line(line->text, line->index);
    return false;
  }

  Workbench& wb_;
  const bool every_;
  const FastPaths paths_;
  PathCounts paths_taken_;
  Findings findings_;
  // The pane as the pass began: the text it walks and the one its locations describe.
  // The pass changes Dest_bas and its own state, never Source_bas.
  const std::string& source_;
  const Locator where_;
  int source_index_ = 0;  // the pane line (0-based) being compiled
  LabelTable labels_;
  CompileRecord record_;
  std::optional<Substituter> substituter_;
  std::size_t longest_written_ = 0;  // the longest output line, as the pass wrote it
  std::string line_;                 // the line being compiled, its space kept from line to line
  NumberPrefix prefix_;
  std::optional<OutputText> output_;  // while the lines are compiled
};

}  // namespace

CompileOutcome compile_command(Workbench& wb, Ui& ui, const SourceMap& source_map,
                               CompileMode mode) {
  return Pass(wb, ui, source_map, FastPaths(), mode).run();
}

CompileOutcome compile_command(Workbench& wb, Ui& ui, const SourceMap& source_map,
                               const FastPaths& paths) {
  return Pass(wb, ui, source_map, paths, CompileMode::first_problem).run();
}

}  // namespace kestrel
