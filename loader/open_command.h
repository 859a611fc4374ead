#pragma once

#include "app/ui.h"
#include "app/workbench.h"

namespace kestrel {

// Command3, "Open": loads the source file named by Text2, or chosen in the open dialog, into
// Source_bas, expanding include lines and recording definitions; enables Compile at the end.
void open_command(Workbench& wb, Ui& ui);

}  // namespace kestrel
