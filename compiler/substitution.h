#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/apart_line.h"
#include "compiler/boundary.h"
#include "compiler/crowded_line.h"
#include "compiler/fast_paths.h"
#include "compiler/name_finder.h"
#include "workbench/findings.h"
#include "workbench/source_map.h"
#include "workbench/workbench.h"

namespace kestrel {

// False, after showing its message, when a name is recorded twice. The message points at the
// later of the two definition lines while the pane is as loaded. `in_order` is the table's
// definitions as in_name_order gives them.
bool Check_define_duplicates(const DefinitionTable& defs, const std::vector<int>& in_order,
                             Findings& findings, const Locator& where);

// The same, going on past every problem: each definition of a name that an earlier slot holds too
// is reported at its line, in table order.
void Report_every_duplicate(const DefinitionTable& defs, const std::vector<int>& in_order,
                            Findings& findings, const Locator& where);

struct Substitution {
  std::string line;
  // The definition whose replacements on the line would never end; `line` is then incomplete.
  std::optional<int> looping_definition;
};

// Replaces, definition by definition in table order, each defined name that stands as a whole
// name in `line` by its value.
Substitution Substitute_defines(const DefinitionTable& defs, std::string line);

// The same, line after line over one table: what it builds from the table and its working space
// are kept from one line to the next. The table must not change while it lives.
//
// Each line's occurrences of the names are found first, by the names' Aho-Corasick automaton, in
// one walk (or, for lines of one text, by interleaved walks ahead of them). A line whose names
// stand apart is then rebuilt in one walk along it; any other is taken turn by turn.
class Substituter {
 public:
  explicit Substituter(const DefinitionTable& defs, const FastPaths& paths = {});
  // The same, given the table's definitions as in_name_order gives them. When the lines are views
  // into one text, one after another, naming that text lets the names be found ahead of them.
  Substituter(const DefinitionTable& defs, std::vector<int> in_order, std::string_view lines_of,
              const FastPaths& paths = {});

  // Substitutes `source` into `line`, whose room is reused; returns the definition whose
  // replacements would never end, and then `line` is incomplete. `source` must not lie in `line`.
  std::optional<int> substitute(std::string_view source, std::string& line) {
    const int looping = looping_substitution(source, line);
    return looping < 0 ? std::nullopt : std::optional<int>(looping);
  }

  const PathCounts& counts() const { return counts_; }

 private:
  // As substitute, with -1 for none. The optional is made inline, where it stays in registers:
  // returned from a call it would be built in memory and read back at once, which stalls.
  int looping_substitution(std::string_view source, std::string& line);

  const FastPaths paths_;
  NameFinder names_;
  ApartLines apart_;
  CrowdedLines crowded_;
  std::optional<LinesFinder> lines_;
  PathCounts counts_;
};

// The valid slots of the table: 0 .. def_count - 1, and never past its end.
int definition_count(const DefinitionTable& defs);

}  // namespace kestrel
