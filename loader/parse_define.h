#pragma once

#include <string_view>

#include "loader/loading.h"

namespace kestrel {

// Takes the line in load.wb.cur_line: records it in the definition table when it is a definition
// line
// ("#define", a name, "EQU", a value), reports a malformed or surplus definition, and appends
// every accepted line to Source_bas. It has no failure handler: a full table or a position past
// the 16-bit range is thrown to the handler of the command that is loading.
void Parse_define(Loading& load);

// Whether Parse_define takes the line for a definition line: one whose first characters after
// its leading blanks are "#define". Every other line it appends to Source_bas as it stands.
bool is_definition_line(std::string_view line);

}  // namespace kestrel
