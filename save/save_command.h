#pragma once

#include <vector>

#include "app/files.h"
#include "app/findings.h"
#include "app/ui.h"
#include "app/workbench.h"

namespace kestrel {

// What a Save or Save As did.
struct SaveOutcome {
  bool cancelled = false;  // the dialog was cancelled: nothing was written
  bool written = false;    // the whole file was written
  std::vector<Finding> findings;
};

// Command5, "Save": writes Dest_bas to the file named by destination_path (Text1), or chosen in the
// save dialog.
SaveOutcome save_command(Workbench& wb, Ui& ui, Files& files);

// Command6, "SaveAs": writes Source_bas to a file chosen in the save dialog.
SaveOutcome save_as_command(Workbench& wb, Ui& ui, Files& files);

}  // namespace kestrel
