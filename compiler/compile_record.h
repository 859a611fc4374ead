#pragma once

#include <string>
#include <utility>
#include <vector>

namespace kestrel {

// One line of Dest_bas as the compile pass wrote it: the pane line (0-based) that produced it,
// and whether it carries a line number (an unnumbered comment does not).
struct OutputLine {
  int source_line = 0;
  bool numbered = true;

  bool operator==(const OutputLine&) const = default;
};

// What a compile pass produced besides the text: every output line's source and every label with
// its number, in source order.
struct CompileRecord {
  std::vector<OutputLine> output_lines;
  std::vector<std::pair<std::string, int>> labels;
  std::vector<int> label_lines;  // the pane line (0-based) of each label

  bool operator==(const CompileRecord&) const = default;
};

}  // namespace kestrel
