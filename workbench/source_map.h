#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

// Where a line of Source_bas was read from: the file, as an index into SourceMap::files, and the
// line's 1-based number in that file. A file of -1 is none.
struct SourceOrigin {
  int file = -1;
  int line = 0;

  bool operator==(const SourceOrigin&) const = default;
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

// A text told apart from others by its size and its text_hash, instead of a copy: two texts of
// one size that differ share a fingerprint with a chance below 2^-40 (text_hash tells why).
struct TextFingerprint {
  std::size_t size = 0;
  std::uint64_t hash = 0;

  static TextFingerprint of(std::string_view text);
  bool operator==(const TextFingerprint&) const = default;
};

// What Open recorded about the lines it appended to Source_bas. The origins hold while the pane
// holds the text Open left; an edited pane names its lines by their numbers in the pane.
struct SourceMap {
  std::vector<std::filesystem::path> files;  // each path as Open or an include composed it
  TextFingerprint loaded;                    // Source_bas as Open left it

  // The index of a file about to be read: a path added before keeps its index.
  int add_file(const std::filesystem::path& path);
  // Records that the next `count` pane lines were read from `first` and the lines that follow it
  // in its file.
  void add_lines(SourceOrigin first, int count);
  // Records that the next `count` pane lines were read from where the `count` lines from
  // `first_line` on were.
  void repeat_lines(int first_line, int count);
  // The bytes the record of the lines takes.
  std::size_t bytes() const { return runs_.size() * sizeof(Run); }
  // The number of pane lines recorded.
  int line_count() const { return lines_; }
  // The origin of the pane line with 0-based index `pane_line`, if it was recorded.
  std::optional<SourceOrigin> origin_of(int pane_line) const;
  // The location of a line that was read from `origin`.
  Location location(const SourceOrigin& origin, std::optional<int> pane_line) const;

 private:
  // Consecutive pane lines that were consecutive lines of one file share one run, which holds the
  // first of them: a file's lines cost a run each only where an include or a refused line breaks
  // them.
  struct Run {
    int pane_line = 0;
    SourceOrigin origin;
  };
  std::vector<Run> runs_;
  int lines_ = 0;
  std::map<std::filesystem::path, int> index_of_;
};

// The locations of the lines of one pane text, which is compared with the loaded text once.
class Locator {
 public:
  // The pane must stay as it is while the locator lives: it is looked at only when a location is
  // first asked for, since most runs ask for none.
  Locator(const SourceMap& map, std::string_view pane) : map_(map), pane_(pane) {}

  // The location of the pane line with 0-based index `pane_line`.
  Location at(int pane_line) const;
  // The location of a line recorded at load time, which may no longer be in an edited pane.
  std::optional<Location> loaded(const SourceOrigin& origin, std::optional<int> pane_line) const;

 private:
  bool unchanged() const;

  const SourceMap& map_;
  std::string_view pane_;
  mutable std::optional<bool> unchanged_;
};

}  // namespace kestrel
