#pragma once

#include <filesystem>
#include <utility>
#include <vector>

#include "files/files.h"
#include "loader/loading.h"
#include "workbench/findings.h"
#include "workbench/source_map.h"
#include "workbench/ui.h"
#include "workbench/workbench.h"

namespace kestrel {

// What an Open did.
struct OpenOutcome {
  bool cancelled = false;    // the dialog was cancelled: nothing was loaded
  bool read_to_end = false;  // the main file was read to its end, and Compile is enabled
  // Every file the load opened or tried to open, the main file first, in the order of opening.
  std::vector<LoadedFile> files;
  // Every include line met, in the order of reading.
  std::vector<IncludeLine> includes;
  // Where includes were looked for and missing, in the folders before the one that held each (in
  // every folder, for one that none held).
  std::vector<std::filesystem::path> passed_over;
  std::vector<Finding> findings;
  // Where each line of Source_bas was read from.
  SourceMap source_map;
};

// The files the load read, whole or in part: those a save must not write over.
std::vector<std::filesystem::path> files_read(const OpenOutcome& outcome);

// Where include names are looked up, in order: `first` (the current directory of the window or
// the command line), the main file's own folder, then the folders of `more`. A name found in none
// of them is reported below `first`.
struct IncludeSearch {
  IncludeSearch(std::filesystem::path first, std::vector<std::filesystem::path> more = {})
      : first(std::move(first)), more(std::move(more)) {}

  std::filesystem::path first;
  std::vector<std::filesystem::path> more;
};

// Command3, "Open": loads the source file named by source_path (Text2), or chosen in the open
// dialog, into Source_bas, expanding include lines and recording definitions; enables Compile at
// the end.
OpenOutcome open_command(Workbench& wb, Ui& ui, Files& files, const IncludeSearch& search);

}  // namespace kestrel
