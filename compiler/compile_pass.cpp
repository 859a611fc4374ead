#include "compiler/compile_pass.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/ansi.h"
#include "app/blanks.h"
#include "compiler/labels.h"
#include "compiler/line_number.h"
#include "compiler/substitution.h"

namespace kestrel {

namespace {

constexpr int kHighestDirective = 2048;
// Numbering stops before it would pass the largest 16-bit line number.
constexpr int kHighestLineNumber = 32767;
constexpr std::size_t kLongestOutputLine = 69;
constexpr std::size_t kLongLineExcerpt = 10;

const std::string& line_number_message() {
  static const std::string text = ansi::from_utf8("Ошибка номера строки!");
  return text;
}

const std::string& looping_substitution_message() {
  static const std::string text = ansi::from_utf8("Ошибка - Зацикленная подстановка!");
  return text;
}

const std::string& long_line_message() {
  static const std::string text = ansi::from_utf8("Ошибка - Слишком длинная строка ");
  return text;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Four digits with leading zeros, or all the digits of a larger number, and one blank.
std::string number_prefix(int line_num) {
  std::string digits = std::to_string(line_num);
  if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
  return digits + ' ';
}

// Calls `visit` with every piece of `text` that a CR LF follows, in order, until it returns false.
// The piece after the last CR LF is no line; a lone CR or LF stays inside its line.
template <typename Visit>
bool for_each_line(std::string_view text, Visit visit) {
  for (std::size_t end = text.find(crlf); end != std::string_view::npos; end = text.find(crlf)) {
    if (!visit(text.substr(0, end))) return false;
    text.remove_prefix(end + crlf.size());
  }
  return true;
}

class Pass {
 public:
  Pass(Workbench& wb, Ui& ui)
      : wb_(wb), ui_(ui), source_(wb.Source_bas), where_(wb.source_map, source_) {}

  void run() {
    wb_.Dest_bas.clear();
    wb_.line_num = 0;
    wb_.compile_record = CompileRecord();
    compile_all();
    for (const Label& label : labels_)
      wb_.compile_record.labels.emplace_back(label.label_text, label.label_line);
  }

 private:
  void compile_all() {
    if (!Check_define_duplicates(wb_.defs, ui_, where_)) return;
    names_.emplace(wb_.defs.def_name, definition_count(wb_.defs));
    if (!for_each_line(source_, [this](std::string_view line) { return compile_line(line); }))
      return;
    // Without label lines neither the labels nor the line lengths are examined.
    if (!labels_.empty()) {
      if (!Resolve_labels(wb_, ui_, labels_, where_)) return;
      if (!lines_fit()) return;
    }
    ui_.message("COMPILE OK");
  }

  // False when the pass must stop.
  bool compile_line(std::string_view source_line) {
    const bool go_on = take_line(source_line);
    ++source_index_;
    return go_on;
  }

  bool take_line(std::string_view source_line) {
    std::string line(trim_left_blanks(source_line));
    if (line.find("#define") != std::string::npos) return true;
    Substitution substituted = Substitute_defines(wb_, *names_, std::move(line));
    if (substituted.looping_definition) {
      show(looping_substitution_message() + wb_.defs.def_name[*substituted.looping_definition]);
      return false;
    }
    line = std::move(substituted.line);
    // A label line is recognised before short lines are dropped, so "[" alone is a label.
    if (line.starts_with('[')) {
      Collect_label(labels_, line, wb_.line_num, source_index_);
      return true;
    }
    if (line.size() < 2) return true;
    const bool comment = line.starts_with("REM");
    if (comment && !wb_.Check1) return true;
    if (is_digit(line[0])) return take_directive(line);
    if (comment && wb_.Check2) {
      append_line(line, false);
      return true;
    }
    return write_numbered(line);
  }

  bool take_directive(const std::string& line) {
    const std::string value = read_line_number(line);
    const std::optional<int> n = small_line_number(value);
    if (n && *n <= kHighestDirective && *n >= wb_.line_num) {
      wb_.line_num = *n;
      return true;
    }
    show(line_number_message() + value);
    return false;
  }

  // A message about the source line being compiled.
  void show(const std::string& text) { ui_.message_at(text, where_.at(source_index_)); }

  bool write_numbered(const std::string& line) {
    if (wb_.line_num > kHighestLineNumber) {
      show(line_number_message() + std::to_string(wb_.line_num));
      return false;
    }
    wb_.Dest_bas += number_prefix(wb_.line_num);
    ++wb_.line_num;
    append_line(line, true);
    return true;
  }

  void append_line(std::string_view line, bool numbered) {
    wb_.Dest_bas += trim_blanks(line);
    wb_.Dest_bas += crlf;
    wb_.compile_record.output_lines.push_back({source_index_, numbered});
  }

  // Only the first line longer than the limit is reported.
  bool lines_fit() {
    const std::vector<OutputLine>& sources = wb_.compile_record.output_lines;
    std::size_t index = 0;
    return for_each_line(wb_.Dest_bas, [&](std::string_view line) {
      const std::size_t this_line = index++;
      if (line.size() <= kLongestOutputLine) return true;
      const std::string text =
          long_line_message() + std::string(line.substr(0, kLongLineExcerpt)) + " ...";
      // Every output line was recorded as it was written; a label text that ends in a CR can
      // join two lines, so the count may only have shrunk.
      ui_.message_at(text, where_.at(sources[std::min(this_line, sources.size() - 1)].source_line));
      return false;
    });
  }

  Workbench& wb_;
  Ui& ui_;
  // The pane as the pass began: the text it walks and the one its locations describe.
  const std::string source_;
  const Locator where_;
  int source_index_ = 0;  // the pane line (0-based) being compiled
  LabelTable labels_;
  std::optional<NameFinder> names_;
};

}  // namespace

void compile_command(Workbench& wb, Ui& ui) { Pass(wb, ui).run(); }

}  // namespace kestrel
