#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/findings.h"
#include "app/source_map.h"
#include "app/workbench.h"
#include "compiler/name_finder.h"

namespace kestrel {

// Whether the first character of `Sumbol` ends a name: 1 for a boundary, 0 for a name character.
// The empty string (a neighbour beyond the end of the line) is a boundary.
std::int16_t test_sumbol(const std::string& Sumbol);

// False, after showing its message, when a name is recorded twice. The message points at the
// later of the two definition lines while the pane is as loaded.
bool Check_define_duplicates(const DefinitionTable& defs, Findings& findings, const Locator& where);

struct Substitution {
  std::string line;
  // The definition whose replacements on the line would never end; `line` is then incomplete.
  std::optional<int> looping_definition;
};

// Replaces, definition by definition in table order, each defined name that stands as a whole
// name in `line` by its value. Writes every neighbour it tests into `wb.near_char`.
Substitution Substitute_defines(Workbench& wb, std::string line);

// The same over a finder built from `wb.defs`, which a pass builds once for all its lines.
Substitution Substitute_defines(Workbench& wb, const NameFinder& names, std::string line);

// The valid slots of the table: 0 .. def_count - 1, and never past its end.
int definition_count(const DefinitionTable& defs);

}  // namespace kestrel
