#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/symbols.h"
#include "compiler/compile_pass.h"
#include "files/files.h"
#include "loader/open_command.h"
#include "workbench/workbench.h"

namespace kestrel::lsp {

// What the user has set for every program.
struct Settings {
  std::vector<std::filesystem::path> main_files;  // absolute; none: found among the documents
  std::vector<std::filesystem::path> include_dirs;
  bool rem = false;             // comments reach the output
  bool rem_unnumbered = false;  // ... without a line number
};

// A line of a file: the file's absolute path and the 0-based line.
struct FileLine {
  std::filesystem::path file;
  int line = 0;

  auto operator<=>(const FileLine&) const = default;
};

// One main file loaded and compiled from the files as the editor holds them, with every finding.
class Program {
 public:
  Program(Files& files, const std::filesystem::path& main_file, const Settings& settings);

  const std::filesystem::path& main_file() const { return main_file_; }
  const Workbench& workbench() const { return wb_; }
  const OpenOutcome& opened() const { return opened_; }
  const CompileOutcome& compiled() const { return compiled_; }
  // Found when first asked for: diagnostics of a clean program need none.
  const Symbols& symbols() const;
  // The absolute paths of the files the load read, the main file first.
  const std::vector<std::filesystem::path>& files() const { return read_; }
  bool reads(const std::filesystem::path& file) const;

  // Where a pane line was read from.
  std::optional<FileLine> origin(int pane_line) const;
  // The file and 0-based line of a place in the load, when its file is one the load names.
  std::optional<FileLine> line_of(const SourceOrigin& at) const;
  // The file an include line opened, absolute.
  std::filesystem::path included(const IncludeLine& include) const;
  // The pane line read from a file's line, if one was.
  std::optional<int> pane_line(const FileLine& at) const;
  // The file a Location of a finding names, absolute.
  std::filesystem::path absolute(const std::filesystem::path& file) const;
  // The output line a pane line produced, as an index into the output.
  std::optional<int> output_of(int pane_line) const;

 private:
  std::filesystem::path main_file_;
  std::filesystem::path current_;
  Workbench wb_;
  OpenOutcome opened_;
  CompileOutcome compiled_;
  mutable std::optional<Symbols> symbols_;
  std::vector<std::filesystem::path> read_;
  // For each file of the source map: its absolute path, and the first pane line read from each
  // of its lines (-1 for none).
  std::vector<std::filesystem::path> absolute_files_;
  std::vector<std::vector<int>> pane_lines_;
  std::vector<int> output_lines_;  // by pane line: the output line it produced, or -1
};

}  // namespace kestrel::lsp
