#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "compiler/compile_record.h"
#include "workbench/workbench.h"

namespace kestrel {

// What a source line is to the compile pass, judged from its own text (a substitution may still
// turn a plain line into another kind when it is compiled).
enum class LineClass { plain, definition, include, label, comment, line_number };

LineClass classify_line(std::string_view line);

// A stretch of a pane line: its 0-based index, and the 0-based byte column and byte length of the
// stretch in it. A byte of the code page is one character.
struct Span {
  int pane_line = 0;
  int column = 0;
  int length = 0;

  bool operator==(const Span&) const = default;
};

// Where the names of a compiled program stand in its source pane, as the pass sees them.
struct Symbols {
  struct LabelLine {
    Span at;         // the label's text, bracket and all
    int number = 0;  // the line number it becomes
  };
  struct Reference {
    Span at;
    int label = 0;  // into labels
  };
  struct NameSite {
    Span at;
    int definition = 0;  // the definition's slot
  };

  std::vector<LabelLine> labels;      // in source order
  std::vector<Reference> references;  // to labels, in source order
  std::vector<NameSite> definitions;  // each definition's name on its own line
  // Defined names the pass replaces, in values too where a later definition replaces them.
  std::vector<NameSite> uses;
  // The line number of each output line, or -1 for an unnumbered one.
  std::vector<int> output_numbers;
};

// The symbols of the pane `wb.Source_bas` that the compile pass which left `record` (and
// wb.Dest_bas) compiled. A defined name is used where it stands as a whole name and its first
// occurrence in the line does too, the rule the substitution follows; only names made of name
// characters alone are looked for.
Symbols find_symbols(const Workbench& wb, const CompileRecord& record);

// Whether `name` can stand for a defined name or a label's inner text in a rename: a whole name of
// name characters alone.
bool is_whole_name(std::string_view name);

}  // namespace kestrel
