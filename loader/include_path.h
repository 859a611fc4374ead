#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "files/files.h"

namespace kestrel {

struct IncludePath {
  // A folder of includes, the platform's separator and the name, with every backslash in the
  // name taken as a folder separator: the path that failure titles and the run log show.
  std::filesystem::path composed;
  // The file to open: `composed` when it exists; otherwise, folder by folder, the one entry whose
  // name matches when letter case is ignored (ASCII and the code page's Cyrillic). When some
  // folder has no such entry, or more than one, it stays `composed`, whose open then fails.
  std::filesystem::path resolved;
  // The paths composed in the folders looked at before the one that holds the file, where it
  // was missing; in every folder when none holds it.
  std::vector<std::filesystem::path> passed_over;
};

// Where the file named on an include line is: below the first of `folders` that holds it, exactly
// or in another letter case; below the first folder when none does.
IncludePath locate_include(const Files& files, const std::vector<std::filesystem::path>& folders,
                           const std::string& inc_name);

}  // namespace kestrel
