#include "compiler/labels.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "app/blanks.h"
#include "app/messages.h"
#include "app/text_lines.h"

namespace kestrel {

namespace {

// The excerpt of an undefined label shows this many characters, the "[" as the one after the
// first kExcerptLead of them.
constexpr std::size_t kExcerptLength = 50;
constexpr std::size_t kExcerptLead = 20;

// The first label, in table order, whose text occurs again later: the first pair (n, j), n < j,
// with equal texts has this n. Returns n and j.
std::optional<std::pair<const Label*, const Label*>> first_duplicate(const LabelTable& labels) {
  std::unordered_map<std::string_view, int> uses;
  for (const Label& label : labels) ++uses[label.label_text];
  for (auto first = labels.begin(); first != labels.end(); ++first) {
    if (uses[first->label_text] < 2) continue;
    const auto later = std::find_if(first + 1, labels.end(), [&](const Label& label) {
      return label.label_text == first->label_text;
    });
    return std::pair(&*first, &*later);
  }
  return std::nullopt;
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

// Label by label over the whole text: a label's text inside a later label's text changes that
// later label's references before its own turn comes.
std::string replaced_label_by_label(std::string text, const LabelTable& labels) {
  for (const Label& label : labels)
    text = replace_all(text, label.label_text, std::to_string(label.label_line));
  return text;
}

// A text that is a "[", a "]" at its end, and neither bracket in between.
bool is_closed_label(std::string_view text) {
  return text.size() >= 2 && text.front() == '[' && text.back() == ']' &&
         text.substr(1, text.size() - 2).find_first_of("[]") == std::string_view::npos;
}

// The replacement in one walk over the "[" of the text, for tables whose labels are all closed.
//
// A replacement puts in digits only, so every "[" of the text at any turn was there at the
// start, and an occurrence of a closed label reaches from one "[" to the first "]" after it.
// Where that "]" comes before the next "[", the stretch between can change only by a replacement
// at that very "[": it is matched by exactly the label of that text (the texts are unique), or by
// none, whatever the order. Where the next "[" comes first, a replacement there could join
// the stretch to digits and a "]" behind them, and form a later label's text. Only a stretch that
// begins some label's text can take part in that; then the walk gives up and returns nothing.
class ClosedLabelWalk {
 public:
  explicit ClosedLabelWalk(const LabelTable& labels) {
    for (const Label& label : labels) {
      numbers_.emplace(label.label_text, std::to_string(label.label_line));
      sorted_.push_back(label.label_text);
    }
    std::sort(sorted_.begin(), sorted_.end());
  }

  std::optional<std::string> replace(std::string_view text) const {
    std::string result;
    result.reserve(text.size());
    std::size_t copied = 0;
    for (std::size_t open = text.find('['); open != std::string_view::npos;
         open = text.find('[', copied)) {
      result.append(text, copied, open - copied);
      const std::size_t end = text.find_first_of("[]", open + 1);
      if (end == std::string_view::npos || text[end] == '[') {
        const std::string_view stretch = text.substr(open, end - open);
        if (begins_a_label(stretch)) return std::nullopt;
        result += stretch;
        copied = open + stretch.size();
        continue;
      }
      const std::string_view candidate = text.substr(open, end + 1 - open);
      const auto number = numbers_.find(candidate);
      result += number == numbers_.end() ? candidate : std::string_view(number->second);
      copied = end + 1;
    }
    result.append(text, copied);
    return result;
  }

 private:
  bool begins_a_label(std::string_view stretch) const {
    const auto next = std::lower_bound(sorted_.begin(), sorted_.end(), stretch);
    return next != sorted_.end() && std::string_view(*next).starts_with(stretch);
  }

  std::unordered_map<std::string_view, std::string> numbers_;
  std::vector<std::string_view> sorted_;
};

std::string replaced_labels(const std::string& text, const LabelTable& labels) {
  const bool all_closed = std::all_of(labels.begin(), labels.end(), [](const Label& label) {
    return is_closed_label(label.label_text);
  });
  if (all_closed) {
    if (std::optional<std::string> walked = ClosedLabelWalk(labels).replace(text))
      return std::move(*walked);
  }
  return replaced_label_by_label(text, labels);
}

std::string excerpt_around(const std::string& text, std::size_t bracket) {
  const std::size_t start = bracket > kExcerptLead ? bracket - kExcerptLead : 0;
  return text.substr(start, kExcerptLength);
}

// The source of the output line that holds the byte at `pos`.
Location output_source(const Workbench& wb, std::size_t pos, const Locator& where,
                       const std::vector<OutputLine>& lines) {
  if (lines.empty()) return where.at(0);
  PaneLines before(std::string_view(wb.Dest_bas.data(), pos));
  std::size_t index = 0;
  for (std::string_view line; before.next(line);) ++index;
  return where.at(lines[std::min(index, lines.size() - 1)].source_line);
}

// The 1-based column of the first "[" on the source pane's line `index`, or 0 when it has none.
int bracket_column(std::string_view pane, int index) {
  PaneLines lines(pane);
  std::string_view line;
  for (int i = 0; i <= index; ++i)
    if (!lines.next(line)) return 0;
  const std::size_t bracket = line.find('[');
  return bracket == std::string_view::npos ? 0 : static_cast<int>(bracket) + 1;
}

bool no_bracket_left(Workbench& wb, Findings& findings, const Locator& where,
                     const std::vector<OutputLine>& lines) {
  const std::size_t bracket = wb.Dest_bas.find('[');
  wb.bracket_pos = bracket == std::string::npos ? 0 : static_cast<std::int32_t>(bracket + 1);
  if (bracket == std::string::npos) return true;
  Location at = output_source(wb, bracket, where, lines);
  if (at.pane_line) at.column = bracket_column(wb.Source_bas, *at.pane_line);
  findings.message(message_text(MessageText::undefined_labels), at);
  findings.message(excerpt_around(wb.Dest_bas, bracket), at);
  return false;
}

}  // namespace

void Collect_label(LabelTable& labels, const std::string& line, int line_num, int source_line) {
  labels.push_back({std::string(trim_right_blanks(line)), line_num, source_line});
}

bool Resolve_labels(Workbench& wb, Findings& findings, const LabelTable& labels,
                    const Locator& where, const std::vector<OutputLine>& output_lines) {
  if (const auto duplicate = first_duplicate(labels)) {
    findings.message(message_text(MessageText::duplicate_labels) + duplicate->first->label_text,
                     where.at(duplicate->second->source_line));
    return false;
  }
  wb.Dest_bas = replaced_labels(wb.Dest_bas, labels);
  return no_bracket_left(wb, findings, where, output_lines);
}

}  // namespace kestrel
