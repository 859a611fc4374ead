#include "workbench/clear_commands.h"

namespace kestrel {

void clear_output_command(Workbench& wb) { wb.Dest_bas.clear(); }

void clear_source_command(Workbench& wb) {
  wb.Source_bas.clear();
  wb.Command4_enabled = false;
}

void clear_source_path_command(Workbench& wb) { wb.source_path.clear(); }

void clear_destination_path_command(Workbench& wb) { wb.destination_path.clear(); }

}  // namespace kestrel
