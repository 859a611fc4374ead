#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kestrel {

// Where a line of Source_bas was read from: the file, as an index into SourceMap::files, and the
// line's 1-based number in that file. A file of -1 is none.
struct SourceOrigin {
  int file = -1;
  int line = 0;
};

// Where a finding arose. `file` is empty when the line is named by its 1-based number in the pane
// itself. `pane_line` is the 0-based index of the pane line to show, when there is one.
struct Location {
  std::filesystem::path file;
  int line = 0;
  std::optional<int> pane_line;
  int column = 0;  // the 1-based column in the line, when one is known; 0 when not

  bool operator==(const Location&) const = default;
};

// What Open recorded about the lines it appended to Source_bas. The origins hold while the pane
// holds exactly `loaded_text`; an edited pane names its lines by their numbers in the pane.
struct SourceMap {
  std::vector<std::filesystem::path> files;  // each path as Open or an include composed it
  std::vector<SourceOrigin> origins;         // one per pane line, in pane order
  std::string loaded_text;                   // Source_bas as Open left it

  // The index of a file about to be read.
  int add_file(const std::filesystem::path& path);
  // The location of a line that was read from `origin`.
  Location location(const SourceOrigin& origin, std::optional<int> pane_line) const;
};

// The locations of the lines of one pane text, which is compared with the loaded text once.
class Locator {
 public:
  Locator(const SourceMap& map, const std::string& pane);

  // The location of the pane line with 0-based index `pane_line`.
  Location at(int pane_line) const;
  // The location of a line recorded at load time, which may no longer be in an edited pane.
  std::optional<Location> loaded(const SourceOrigin& origin, std::optional<int> pane_line) const;

 private:
  const SourceMap& map_;
  bool unchanged_;
};

}  // namespace kestrel
