#pragma once

#include "app/ui.h"
#include "app/workbench.h"

namespace kestrel {

// Command5, "Save": writes Dest_bas to the file named by Text1, or chosen in the save dialog.
void save_command(Workbench& wb, Ui& ui);

// Command6, "SaveAs": writes Source_bas to a file chosen in the save dialog.
void save_as_command(Workbench& wb, Ui& ui);

}  // namespace kestrel
