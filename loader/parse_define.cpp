#include "loader/parse_define.h"

#include <cstddef>
#include <string>
#include <string_view>

#include "files/failure.h"
#include "text/blanks.h"
#include "text/text_lines.h"
#include "workbench/keywords.h"
#include "workbench/messages.h"
#include "workbench/source_map.h"

namespace kestrel {

namespace {

// "EQU" is looked for from the 10th character on, so one blank after "#define" may be followed by
// a name that itself begins with those letters.
constexpr std::size_t kFirstEquIndex = 9;
// Positions are 16-bit: from this 1-based position on, the position just after "EQU" overflows.
constexpr std::size_t kOverflowingEquPosition = 32765;

// The slot's strings keep their room from an earlier load.
void store_definition(DefinitionTable& defs, std::string_view name, std::string_view value,
                      const DefinitionSource& source) {
  if (defs.def_count < 0 || defs.def_count >= kDefinitionSlots)
    throw make_failure(FailureCode::subscript_out_of_range);
  defs.def_name[defs.def_count].assign(name);
  defs.def_value[defs.def_count].assign(value);
  defs.def_source[defs.def_count] = source;
  ++defs.def_count;
}

// A refused definition line never reaches the pane: it points at its file only.
Location refused_line(const Loading& load) { return load.map.location(load.reading, std::nullopt); }

// Returns whether the line may go on to the pane.
bool record_definition(Loading& load) {
  Workbench& wb = load.wb;
  const std::string& line = wb.trim_line;
  const std::size_t equ =
      line.size() > kFirstEquIndex ? line.find(kEqu, kFirstEquIndex) : std::string::npos;
  if (equ == std::string::npos) {
    load.source.settle();
    load.findings.message(message_text(MessageText::bad_definition) + line, refused_line(load));
    return false;
  }
  if (equ + 1 >= kOverflowingEquPosition) throw make_failure(FailureCode::overflow);
  const std::string_view view(line);
  const int pane_line = load.map.line_count();
  store_definition(wb.defs, trim_blanks(view.substr(kDefine.size(), equ - kDefine.size())),
                   trim_blanks(view.substr(equ + kEqu.size())), {load.reading, pane_line});
  if (wb.defs.def_count > kDefinitionSoftLimit) {
    wb.defs.def_source[wb.defs.def_count - 1].pane_line.reset();
    load.source.settle();
    load.findings.message(message_text(MessageText::too_many_definitions) + line,
                          refused_line(load));
    return false;
  }
  return true;
}

}  // namespace

bool is_definition_line(std::string_view line) {
  return trim_left_blanks(line).starts_with(kDefine);
}

void Parse_define(Loading& load) {
  Workbench& wb = load.wb;
  ++load.definition_lines;
  wb.trim_line.assign(trim_left_blanks(wb.cur_line));
  if (wb.trim_line.starts_with(kDefine) && !record_definition(load)) return;
  load.source.append(wb.cur_line);
  load.source.append(crlf);
  load.map.add_lines(load.reading, 1);
}

}  // namespace kestrel
