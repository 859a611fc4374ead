#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/compile_record.h"
#include "compiler/fast_paths.h"
#include "workbench/findings.h"
#include "workbench/source_map.h"
#include "workbench/workbench.h"

namespace kestrel {

struct Label {
  std::string_view label_text;  // the whole label line, trimmed, bracket and all; in its table
  int label_line = 0;           // the number of the next numbered output line when it was met
  int source_line = 0;          // the pane line (0-based) it stands on
};

// The labels of one pass, in source order. It has no fixed size: a source may hold any number of
// label lines. The texts are kept together in blocks that never move, not one allocation each.
class LabelTable {
 public:
  void add(std::string_view text, int label_line, int source_line);

  bool empty() const { return labels_.empty(); }
  std::size_t size() const { return labels_.size(); }
  const Label& operator[](std::size_t n) const { return labels_[n]; }
  std::vector<Label>::const_iterator begin() const { return labels_.begin(); }
  std::vector<Label>::const_iterator end() const { return labels_.end(); }

 private:
  std::vector<Label> labels_;
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t block_size_ = 0;
  std::size_t used_ = 0;  // of the last block
};

// Records a label line (one whose first character is "["), binding it to `line_num`.
void Collect_label(LabelTable& labels, const std::string& line, int line_num, int source_line);

// Replaces every label's text in `wb.Dest_bas` by its number. False, after showing its messages,
// when two labels have the same text or a "[" is left in the output. The messages point at the
// later of the two label lines, or at the source of the output line that holds the "[":
// `output_lines` records where each output line came from. `taken` counts the way the labels were
// replaced, among those `paths` allows.
bool Resolve_labels(Workbench& wb, Findings& findings, const LabelTable& labels,
                    const Locator& where, const std::vector<OutputLine>& output_lines,
                    const FastPaths& paths, PathCounts& taken);

// The same, going on past every problem: each label defined again is reported at its line, and
// each output line that still holds a "[" after the replacement once, with the output around the
// first "[" as the finding's detail. Only the first of equal texts is replaced.
void Resolve_every_label(Workbench& wb, Findings& findings, const LabelTable& labels,
                         const Locator& where, const std::vector<OutputLine>& output_lines);

struct LongLine {
  std::size_t index = 0;  // among the text's lines, from 0
  std::string_view text;
};

// The first line of a pane's text (a piece that a CR LF follows) longer than `longest`.
std::optional<LongLine> first_long_line(std::string_view text, std::size_t longest);

}  // namespace kestrel
