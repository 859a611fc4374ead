#pragma once

#include <string>

namespace kestrel {

struct IncludePath {
  // The current directory, the platform's separator and the name, with every backslash in the
  // name taken as a folder separator: the path that failure titles and the run log show.
  std::string composed;
  // The file to open: `composed` when it exists; otherwise, folder by folder, the one entry whose
  // name matches when letter case is ignored (ASCII and the code page's Cyrillic). When some
  // folder has no such entry, or more than one, it stays `composed`, whose open then fails.
  std::string resolved;
};

// Where the file named on an include line is, seen from the current directory at this moment.
IncludePath locate_include(const std::string& inc_name);

}  // namespace kestrel
