#include "tests/reference/reference_pass.h"

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/boundary.h"
#include "compiler/line_number.h"
#include "text/ansi.h"
#include "workbench/keywords.h"

namespace kestrel::testing {

namespace {

std::string cp(std::string_view utf8) { return ansi::from_utf8(utf8); }

struct Label {
  std::string text;
  int line = 0;
};

bool boundary(const std::string& line, std::size_t pos) {
  return test_sumbol(pos < line.size() ? line.substr(pos, 1) : "") == 1;
}

bool duplicate_definitions(const DefinitionTable& defs, Ui& ui) {
  for (int i = 0; i < defs.def_count; ++i) {
    for (int k = 0; k < defs.def_count; ++k) {
      if (k != i && defs.def_name[i] == defs.def_name[k]) {
        ui.message(cp("Ошибка - Дубликаты подстановок!") + defs.def_name[i]);
        return true;
      }
    }
  }
  return false;
}

struct Substituted {
  std::string line;
  std::optional<int> looping;
  bool capped = false;
};

Substituted substitute(Workbench& wb, std::string line) {
  for (int k = 0; k < wb.defs.def_count; ++k) {
    const std::string& name = wb.defs.def_name[k];
    const std::string& value = wb.defs.def_value[k];
    if (name.empty()) continue;
    std::set<std::string> seen = {line};
    for (int steps = 1;; ++steps) {
      const std::size_t p = line.find(name);
      if (p == std::string::npos) break;
      if (p > 0 && !boundary(line, p - 1)) break;
      if (!boundary(line, p + name.size())) break;
      line.replace(p, name.size(), value);
      if (value.size() == name.size() ? !seen.insert(line).second : steps > kReferenceStepCap)
        return {line, k, value.size() != name.size()};
    }
  }
  return {line, std::nullopt};
}

std::string replace_all(const std::string& text, const std::string& from, const std::string& to) {
  std::string result;
  std::size_t start = 0;
  for (std::size_t p = text.find(from, start); p != std::string::npos; p = text.find(from, start)) {
    result += text.substr(start, p - start) + to;
    start = p + from.size();
  }
  return result + text.substr(start);
}

bool resolve_labels(Workbench& wb, Ui& ui, const std::vector<Label>& labels) {
  for (std::size_t n = 0; n < labels.size(); ++n) {
    for (std::size_t j = n + 1; j < labels.size(); ++j) {
      if (labels[n].text == labels[j].text) {
        ui.message(cp("Ошибка - Дубликаты меток!") + labels[n].text);
        return false;
      }
    }
  }
  for (const Label& label : labels)
    wb.Dest_bas = replace_all(wb.Dest_bas, label.text, std::to_string(label.line));
  const std::size_t bracket = wb.Dest_bas.find('[');
  wb.bracket_pos = bracket == std::string::npos ? 0 : static_cast<std::int32_t>(bracket + 1);
  if (wb.bracket_pos == 0) return true;
  ui.message(cp("Ошибка - есть неуказанные метки "));
  ui.message(wb.Dest_bas.substr(bracket < 20 ? 0 : bracket - 20, 50));
  return false;
}

bool lines_fit(const std::string& text, Ui& ui) {
  std::size_t start = 0;
  for (std::size_t end = text.find("\r\n"); end != std::string::npos;
       end = text.find("\r\n", start)) {
    if (end - start > 69) {
      ui.message(cp("Ошибка - Слишком длинная строка ") + text.substr(start, 10) + " ...");
      return false;
    }
    start = end + 2;
  }
  return true;
}

std::string without_blanks_at_end(const std::string& line) {
  return line.substr(0, line.find_last_not_of(' ') + 1);
}

std::string without_blanks_at_start(const std::string& line) {
  const std::size_t first = line.find_first_not_of(' ');
  return first == std::string::npos ? "" : line.substr(first);
}

class Pass {
 public:
  Pass(Workbench& wb, Ui& ui) : wb_(wb), ui_(ui) {}

  ReferenceRun run() {
    wb_.Dest_bas.clear();
    wb_.line_num = 0;
    if (duplicate_definitions(wb_.defs, ui_)) return result_;
    std::vector<std::string> src_lines;
    std::size_t start = 0;
    for (std::size_t end = wb_.Source_bas.find("\r\n"); end != std::string::npos;
         end = wb_.Source_bas.find("\r\n", start)) {
      src_lines.push_back(wb_.Source_bas.substr(start, end - start));
      start = end + 2;
    }
    for (std::string& line : src_lines) {
      if (!take(line)) return result_;
    }
    if (!labels_.empty() && (!resolve_labels(wb_, ui_, labels_) || !lines_fit(wb_.Dest_bas, ui_)))
      return result_;
    ui_.message("COMPILE OK");
    result_.ok = true;
    return result_;
  }

 private:
  bool take(std::string& line) {
    line = without_blanks_at_start(line);
    if (line.find(kDefine) != std::string::npos) return true;
    Substituted substituted = substitute(wb_, line);
    if (substituted.looping) {
      result_.hit_step_cap = substituted.capped;
      ui_.message(cp("Ошибка - Зацикленная подстановка!") +
                  wb_.defs.def_name[*substituted.looping]);
      return false;
    }
    line = substituted.line;
    if (line.starts_with('[')) {
      labels_.push_back({without_blanks_at_end(line), wb_.line_num});
      return true;
    }
    if (line.size() < 2) return true;
    const bool comment = line.starts_with(kComment);
    if (comment && !wb_.keep_comments) return true;
    if (line[0] >= '0' && line[0] <= '9') return directive(line);
    const std::string text = without_blanks_at_end(without_blanks_at_start(line));
    if (comment && wb_.comments_unnumbered) {
      wb_.Dest_bas += text + "\r\n";
      return true;
    }
    if (wb_.line_num > 32767) {
      ui_.message(cp("Ошибка номера строки!") + std::to_string(wb_.line_num));
      return false;
    }
    const std::string number = std::to_string(wb_.line_num);
    wb_.Dest_bas += std::string(number.size() < 4 ? 4 - number.size() : 0, '0') + number + " ";
    ++wb_.line_num;
    wb_.Dest_bas += text + "\r\n";
    return true;
  }

  bool directive(const std::string& line) {
    const std::string value = read_line_number(line);
    const std::optional<int> n = small_line_number(value);
    if (n && *n <= 2048 && *n >= wb_.line_num) {
      wb_.line_num = *n;
      return true;
    }
    ui_.message(cp("Ошибка номера строки!") + value);
    return false;
  }

  Workbench& wb_;
  Ui& ui_;
  std::vector<Label> labels_;
  ReferenceRun result_;
};

}  // namespace

ReferenceRun reference_compile(Workbench& wb, Ui& ui) { return Pass(wb, ui).run(); }

}  // namespace kestrel::testing
