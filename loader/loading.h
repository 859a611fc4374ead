#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "files/file_reading.h"
#include "files/files.h"
#include "loader/source_text.h"
#include "workbench/findings.h"
#include "workbench/source_map.h"
#include "workbench/workbench.h"

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

// What an include of a file added to Source_bas, when it added nothing but lines (no definition,
// no finding): a later include of the same file adds the same lines again, which are copied
// instead of read once more, as long as its includes nest no deeper than allowed from there. A
// file that includes the next one twice, down a few dozen files, so costs what its text costs,
// not what its includes do. (Where it was read makes no other difference: a file that one of its
// includes leads back to is refused there, so no such expansion is ever recorded.)
struct Expansion {
  std::size_t begin = 0, end = 0;  // the bytes of Source_bas
  int first_line = 0, lines = 0;   // the lines of Source_bas
  bool held_lines = false;
  // How many files deep its includes went below it.
  std::size_t depth = 0;
  // The window's variables as its last line left them.
  std::string cur_line, inc_file;
};

// One load in progress: the state it fills, where it reports, and what it has recorded so far.
struct Loading {
  Loading(Workbench& wb, Findings& findings, Files& files,
          std::vector<std::filesystem::path> include_folders)
      : wb(wb),
        source(wb.Source_bas, bytes_limit),
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
  // Bounds the bytes read, the bytes of Source_bas and the source map's, each.
  std::size_t bytes_limit = kLoadedBytesLimit;

  SourceMap map;
  std::vector<LoadedFile> loaded;
  std::vector<IncludeLine> includes;
  // The include lines recorded, by file and line.
  std::set<std::pair<int, int>> include_lines_met;
  // The paths looked at for includes in the folders before the one that held each (all of them,
  // when none did): a file that appears at one of them is the one read next time.
  std::vector<std::filesystem::path> passed_over;
  // The origin of the line being loaded (wb.cur_line).
  SourceOrigin reading;
  // The files being read, the main file first and the innermost include last.
  std::vector<std::filesystem::path> chain;
  std::size_t bytes_read = 0;
  // Definition lines taken so far.
  std::size_t definition_lines = 0;

  // What the load has learnt once and keeps for its other includes of the same names and files:
  // where an include name leads, the index of its record in `loaded`, each file's bytes, what
  // including a file added, and whether two paths name one file.
  std::map<std::string, std::size_t> located;
  std::map<std::filesystem::path, std::size_t> record_of;
  std::map<std::filesystem::path, std::string> contents;
  std::map<std::filesystem::path, Expansion> expansions;
  std::map<std::pair<std::filesystem::path, std::filesystem::path>, bool> same_files;
  // For every include being expanded, innermost last: the depth reached below it.
  std::vector<std::size_t> nesting;
  // The include lines that failed, with the failure's number: one reached again by a repeated
  // expansion fails the same way and is reported once per load.
  std::set<std::tuple<int, int, int>> failed_includes;
  // The include failures reported so far, and the failures met so far that depended on where the
  // include stood (too deep, or including a file being read).
  std::size_t include_failures = 0, placed_failures = 0;
  // The includes expanded by reading their files' lines, not by repeating an earlier expansion.
  std::size_t expanded = 0;
};

// Thrown once a load has reported a failure that ends it whole (over its bound, or out of
// memory): every include it is nested in passes it on to the command.
struct LoadEnded {};

}  // namespace kestrel
