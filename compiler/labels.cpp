#include "compiler/labels.h"

#include <string_view>
#include <unordered_map>

#include "app/ansi.h"

namespace kestrel {

namespace {

// The excerpt of an undefined label shows this many characters, the "[" as the one after the
// first kExcerptLead of them.
constexpr std::size_t kExcerptLength = 50;
constexpr std::size_t kExcerptLead = 20;

const std::string& duplicate_labels_message() {
  static const std::string text = ansi::from_utf8("Ошибка - Дубликаты меток!");
  return text;
}

const std::string& undefined_labels_message() {
  static const std::string text = ansi::from_utf8("Ошибка - есть неуказанные метки ");
  return text;
}

// The first label, in table order, whose text occurs again later: the first pair (n, j), n < j,
// with equal texts has this n.
const Label* first_duplicate(const LabelTable& labels) {
  std::unordered_map<std::string_view, int> uses;
  for (const Label& label : labels) ++uses[label.label_text];
  for (const Label& label : labels) {
    if (uses[label.label_text] > 1) return &label;
  }
  return nullptr;
}

// Every occurrence, left to right and without overlap, with no test of its neighbours.
std::string replace_all(const std::string& text, const std::string& from, const std::string& to) {
  std::string result;
  result.reserve(text.size());
  std::size_t start = 0;
  for (std::size_t pos = text.find(from); pos != std::string::npos; pos = text.find(from, start)) {
    result.append(text, start, pos - start);
    result += to;
    start = pos + from.size();
  }
  result.append(text, start);
  return result;
}

std::string excerpt_around(const std::string& text, std::size_t bracket) {
  const std::size_t start = bracket > kExcerptLead ? bracket - kExcerptLead : 0;
  return text.substr(start, kExcerptLength);
}

bool no_bracket_left(Workbench& wb, Ui& ui) {
  const std::size_t bracket = wb.Dest_bas.find('[');
  wb.bracket_pos = bracket == std::string::npos ? 0 : static_cast<std::int32_t>(bracket + 1);
  if (bracket == std::string::npos) return true;
  ui.message(undefined_labels_message());
  ui.message(excerpt_around(wb.Dest_bas, bracket));
  return false;
}

}  // namespace

void Collect_label(LabelTable& labels, const std::string& line, int line_num) {
  const std::size_t last = line.find_last_not_of(' ');
  labels.push_back({line.substr(0, last == std::string::npos ? 0 : last + 1), line_num});
}

bool Resolve_labels(Workbench& wb, Ui& ui, const LabelTable& labels) {
  if (const Label* duplicate = first_duplicate(labels)) {
    ui.message(duplicate_labels_message() + duplicate->label_text);
    return false;
  }
  // Label by label: a label's text inside a later label's text changes that later label's
  // references before its own turn comes.
  for (const Label& label : labels)
    wb.Dest_bas = replace_all(wb.Dest_bas, label.label_text, std::to_string(label.label_line));
  return no_bracket_left(wb, ui);
}

}  // namespace kestrel
