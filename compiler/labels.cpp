#include "compiler/labels.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>

#include "compiler/closed_labels.h"
#include "text/blanks.h"
#include "text/text_lines.h"
#include "workbench/messages.h"

namespace kestrel {

namespace {

// The excerpt of an undefined label shows this many characters, the "[" as the one after the
// first kExcerptLead of them.
constexpr std::size_t kExcerptLength = 50;
constexpr std::size_t kExcerptLead = 20;

// The label texts' blocks grow from small, for the few labels of most sources, to a size that
// makes one allocation cheap beside the labels it holds.
constexpr std::size_t kFirstBlock = 1024;
constexpr std::size_t kLargestBlock = 64 * 1024;

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

// `bracket` is the first "[" in the output, or npos.
bool no_bracket_left(Workbench& wb, Findings& findings, const Locator& where,
                     const std::vector<OutputLine>& lines, std::size_t bracket) {
  wb.bracket_pos = bracket == std::string::npos ? 0 : static_cast<std::int32_t>(bracket + 1);
  if (bracket == std::string::npos) return true;
  Location at = output_source(wb, bracket, where, lines);
  if (at.pane_line) at.column = bracket_column(wb.Source_bas, *at.pane_line);
  findings.message(message_text(MessageText::undefined_labels), at);
  findings.message(excerpt_around(wb.Dest_bas, bracket), at);
  return false;
}

// The labels' texts and numbers, as the replacement takes them.
std::vector<LabelNumber> label_numbers(const LabelTable& labels) {
  std::vector<LabelNumber> numbers;
  numbers.reserve(labels.size());
  for (const Label& label : labels) numbers.push_back({label.label_text, label.label_line});
  return numbers;
}

}  // namespace

void LabelTable::add(std::string_view text, int label_line, int source_line) {
  if (blocks_.empty() || block_size_ - used_ < text.size()) {
    block_size_ = std::max(text.size(), std::clamp(2 * block_size_, kFirstBlock, kLargestBlock));
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(block_size_));
    used_ = 0;
  }
  char* const kept = blocks_.back().get() + used_;
  std::copy(text.begin(), text.end(), kept);
  used_ += text.size();
  labels_.push_back({std::string_view(kept, text.size()), label_line, source_line});
}

void Collect_label(LabelTable& labels, const std::string& line, int line_num, int source_line) {
  labels.add(trim_right_blanks(line), line_num, source_line);
}

bool Resolve_labels(Workbench& wb, Findings& findings, const LabelTable& labels,
                    const Locator& where, const std::vector<OutputLine>& output_lines,
                    const FastPaths& paths, PathCounts& taken) {
  const std::vector<LabelNumber> numbers = label_numbers(labels);
  const LabelIndex index(numbers);
  if (const std::optional<std::pair<int, int>> duplicate = index.first_duplicate()) {
    findings.message(message_text(MessageText::duplicate_labels) +
                         std::string(labels[duplicate->first].label_text),
                     where.at(labels[duplicate->second].source_line));
    return false;
  }
  const std::optional<std::size_t> closed =
      paths.closed_labels ? replace_closed_labels(wb.Dest_bas, numbers, index) : std::nullopt;
  ++(closed ? taken.closed_labels : taken.spanning_labels);
  const std::size_t bracket = closed ? *closed : replace_labels(wb.Dest_bas, numbers);
  return no_bracket_left(wb, findings, where, output_lines, bracket);
}

void Resolve_every_label(Workbench& wb, Findings& findings, const LabelTable& labels,
                         const Locator& where, const std::vector<OutputLine>& output_lines) {
  const std::vector<LabelNumber> numbers = label_numbers(labels);
  const LabelIndex index(numbers);
  for (std::size_t n = 0; n < labels.size(); ++n) {
    const int first = index.find(labels[n].label_text);
    if (first >= 0 && static_cast<std::size_t>(first) != n)
      findings.message(
          message_text(MessageText::duplicate_labels) + std::string(labels[n].label_text),
          where.at(labels[n].source_line));
  }
  std::size_t bracket = replace_labels(wb.Dest_bas, numbers);
  wb.bracket_pos = bracket == std::string::npos ? 0 : static_cast<std::int32_t>(bracket + 1);
  while (bracket != std::string::npos) {
    Location at = output_source(wb, bracket, where, output_lines);
    if (at.pane_line) at.column = bracket_column(wb.Source_bas, *at.pane_line);
    findings.message(message_text(MessageText::undefined_labels), at,
                     excerpt_around(wb.Dest_bas, bracket));
    const std::size_t line_end = wb.Dest_bas.find(crlf, bracket);
    bracket = line_end == std::string::npos ? line_end : wb.Dest_bas.find('[', line_end);
  }
}

std::optional<LongLine> first_long_line(std::string_view text, std::size_t longest) {
  std::optional<LongLine> found;
  std::size_t index = 0;
  for_each_pane_line(text, [&](std::string_view line) {
    if (line.size() > longest) found = LongLine{index, line};
    ++index;
    return !found;
  });
  return found;
}

}  // namespace kestrel
