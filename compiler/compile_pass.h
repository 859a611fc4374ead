#pragma once

#include "app/ui.h"
#include "app/workbench.h"

namespace kestrel {

// Command4, "Compile": turns Source_bas into numbered lines in Dest_bas and reports the first
// problem it meets, or "COMPILE OK".
void compile_command(Workbench& wb, Ui& ui);

}  // namespace kestrel
