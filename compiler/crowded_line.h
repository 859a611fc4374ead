#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "compiler/name_finder.h"
#include "workbench/workbench.h"

namespace kestrel {

// Where names occur in a line: (place, definition).
using Occurrences = std::vector<std::pair<std::size_t, int>>;

// The substitution of any line, however its names touch one another or its values hold names:
// the definitions whose names occur take their turns in table order, each searched only where its
// name can stand, in a gap buffer, with a loop watch on each. It keeps its working space from one
// line to the next; the table must not change while it lives.
class CrowdedLines {
 public:
  CrowdedLines(const DefinitionTable& defs, const NameFinder& names);
  ~CrowdedLines();
  CrowdedLines(const CrowdedLines&) = delete;
  CrowdedLines& operator=(const CrowdedLines&) = delete;

  // Substitutes `line` in place. `seen` lists every occurrence of a name in it, or is null when
  // there were too many to list; it is sorted here. Returns the definition whose replacements
  // would never end, and `line` is then incomplete.
  std::optional<int> substitute(std::string& line, Occurrences* seen);

 private:
  struct Work;
  const DefinitionTable& defs_;
  std::unique_ptr<Work> work_;
};

}  // namespace kestrel
