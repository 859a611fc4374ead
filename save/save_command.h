#pragma once

#include <filesystem>
#include <vector>

#include "files/files.h"
#include "workbench/findings.h"
#include "workbench/ui.h"
#include "workbench/workbench.h"

namespace kestrel {

// What a Save or Save As did.
struct SaveOutcome {
  bool cancelled = false;  // the dialog was cancelled: nothing was written
  bool written = false;    // the whole file was written
  bool refused = false;    // the path names a file the source was read from: nothing was written
  std::vector<Finding> findings;
};

// The files the last Open read, which a save never writes over, whatever the spelling of its path:
// the main file would be lost to its own output, an include to the whole expanded source.
using SourceFiles = std::vector<std::filesystem::path>;

// Command5, "Save": writes Dest_bas to the file named by destination_path (Text1), or chosen in the
// save dialog.
SaveOutcome save_command(Workbench& wb, Ui& ui, Files& files, const SourceFiles& sources = {});

// Command6, "SaveAs": writes Source_bas to a file chosen in the save dialog.
SaveOutcome save_as_command(Workbench& wb, Ui& ui, Files& files, const SourceFiles& sources = {});

}  // namespace kestrel
