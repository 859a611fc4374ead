#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "app/files.h"
#include "app/findings.h"
#include "app/source_map.h"
#include "app/workbench.h"

namespace kestrel {

// A file a load opened or tried to open.
struct LoadedFile {
  enum class Result { read, empty, failed };
  // As the path box or the include line named it, the include below the folder of includes.
  std::filesystem::path composed;
  // The file opened: the composed path, or the entry that matched it in another letter case.
  std::filesystem::path resolved;
  Result result = Result::failed;

  bool operator==(const LoadedFile&) const = default;
};

// One load in progress: the state it fills, where it reports, and what it has recorded so far.
struct Loading {
  Loading(Workbench& wb, Findings& findings, Files& files, std::filesystem::path include_folder)
      : wb(wb), findings(findings), files(files), include_folder(std::move(include_folder)) {}

  Workbench& wb;
  Findings& findings;
  Files& files;
  // Include names are taken below this folder.
  std::filesystem::path include_folder;

  SourceMap map;
  std::vector<LoadedFile> loaded;
  // The origin of the line being loaded (wb.cur_line).
  SourceOrigin reading;
  // How deep the includes around the file being read go, and how many includes the load has
  // read so far.
  int depth = 0;
  int includes_read = 0;
};

}  // namespace kestrel
