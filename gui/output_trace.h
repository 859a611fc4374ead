#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "compiler/compile_record.h"
#include "workbench/source_map.h"

namespace kestrel {

// Where the output line with 0-based index `output_line` came from, as the compile pass recorded
// it: the source pane line and, while the pane is as Open left it, the file and line it was read
// from. None for a line the pass did not write.
std::optional<Location> trace_output_line(const CompileRecord& record, const Locator& source,
                                          int output_line);

// The 0-based index of the output line that carries BASIC line number `number` ("0345 ..." for
// 345), as the target names it in its reports; none when no line carries it.
std::optional<int> find_numbered_line(std::string_view output, int number);

}  // namespace kestrel
