#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/files.h"
#include "app/findings.h"
#include "app/source_map.h"
#include "app/workbench.h"
#include "loader/source_text.h"

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

// An include line a load met: where it stands, the name it gives (in the code page) and the
// 1-based column that name begins at, and the file it opened, as an index into the load's files.
struct IncludeLine {
  SourceOrigin at;
  std::string name;
  int column = 0;
  std::size_t file = 0;

  bool operator==(const IncludeLine&) const = default;
};

// The bytes one load reads in all. Only a runaway nest of includes comes near it: a file that
// includes the next twice, down a few dozen files, would read more than any memory holds.
inline constexpr std::size_t kLoadedBytesLimit = std::size_t{256} << 20;

// One load in progress: the state it fills, where it reports, and what it has recorded so far.
struct Loading {
  Loading(Workbench& wb, Findings& findings, Files& files,
          std::vector<std::filesystem::path> include_folders)
      : wb(wb),
        source(wb.Source_bas),
        findings(findings),
        files(files),
        include_folders(std::move(include_folders)) {}

  Workbench& wb;
  // Every line the load keeps is appended to Source_bas through it.
  SourceText source;
  Findings& findings;
  Files& files;
  // The folders include names are looked up in, in order; a name found in none is reported as
  // the first folder's.
  std::vector<std::filesystem::path> include_folders;
  std::size_t bytes_limit = kLoadedBytesLimit;

  SourceMap map;
  std::vector<LoadedFile> loaded;
  std::vector<IncludeLine> includes;
  // The origin of the line being loaded (wb.cur_line).
  SourceOrigin reading;
  // The files being read, the main file first and the innermost include last.
  std::vector<std::filesystem::path> chain;
  std::size_t bytes_read = 0;
};

}  // namespace kestrel
