#include "lsp/program.h"

#include <algorithm>

namespace kestrel::lsp {

namespace fs = std::filesystem;

Program::Program(Files& files, const fs::path& main_file, const Settings& settings)
    : main_file_(main_file), current_(files.current_folder()) {
  wb_.source_path = utf8_path(main_file);
  wb_.keep_comments = settings.rem || settings.rem_unnumbered;
  wb_.comments_unnumbered = settings.rem_unnumbered;
  SilentUi ui;
  opened_ = open_command(wb_, ui, files, {current_, settings.include_dirs});
  for (const fs::path& file : files_read(opened_)) read_.push_back(absolute(file));
  if (opened_.read_to_end)
    compiled_ = compile_command(wb_, ui, opened_.source_map, CompileMode::every_problem);
  const SourceMap& map = opened_.source_map;
  for (const fs::path& file : map.files) absolute_files_.push_back(absolute(file));
  pane_lines_.resize(map.files.size());
  for (int line = 0; line < map.line_count(); ++line) {
    const std::optional<SourceOrigin> at = map.origin_of(line);
    if (!at || at->file < 0 || at->line < 1) continue;
    std::vector<int>& lines = pane_lines_[static_cast<std::size_t>(at->file)];
    if (lines.size() < static_cast<std::size_t>(at->line))
      lines.resize(static_cast<std::size_t>(at->line), -1);
    int& first = lines[static_cast<std::size_t>(at->line - 1)];
    if (first < 0) first = line;
  }
  output_lines_.assign(static_cast<std::size_t>(map.line_count()), -1);
  const std::vector<OutputLine>& outputs = compiled_.record.output_lines;
  for (std::size_t n = 0; n < outputs.size(); ++n) {
    const auto source = static_cast<std::size_t>(outputs[n].source_line);
    if (source < output_lines_.size() && output_lines_[source] < 0)
      output_lines_[source] = static_cast<int>(n);
  }
}

const Symbols& Program::symbols() const {
  if (!symbols_) symbols_ = find_symbols(wb_, compiled_.record);
  return *symbols_;
}

fs::path Program::absolute(const fs::path& file) const {
  return (current_ / file).lexically_normal();
}

bool Program::reads(const fs::path& file) const {
  return std::ranges::find(read_, file) != read_.end();
}

std::optional<FileLine> Program::origin(int pane_line) const {
  const std::optional<SourceOrigin> origin = opened_.source_map.origin_of(pane_line);
  return origin ? line_of(*origin) : std::nullopt;
}

std::optional<FileLine> Program::line_of(const SourceOrigin& at) const {
  if (at.file < 0 || static_cast<std::size_t>(at.file) >= absolute_files_.size())
    return std::nullopt;
  return FileLine{absolute_files_[static_cast<std::size_t>(at.file)], at.line - 1};
}

fs::path Program::included(const IncludeLine& include) const {
  return absolute(opened_.files[include.file].resolved);
}

std::optional<int> Program::pane_line(const FileLine& at) const {
  for (std::size_t file = 0; file < absolute_files_.size(); ++file) {
    if (absolute_files_[file] != at.file) continue;
    const std::vector<int>& lines = pane_lines_[file];
    if (at.line >= 0 && static_cast<std::size_t>(at.line) < lines.size() &&
        lines[static_cast<std::size_t>(at.line)] >= 0)
      return lines[static_cast<std::size_t>(at.line)];
  }
  return std::nullopt;
}

std::optional<int> Program::output_of(int pane_line) const {
  if (pane_line < 0 || static_cast<std::size_t>(pane_line) >= output_lines_.size() ||
      output_lines_[static_cast<std::size_t>(pane_line)] < 0)
    return std::nullopt;
  return output_lines_[static_cast<std::size_t>(pane_line)];
}

}  // namespace kestrel::lsp
