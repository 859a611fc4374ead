#include "lsp/program.h"

#include <algorithm>

namespace kestrel::lsp {

namespace fs = std::filesystem;

Program::Program(Files& files, const fs::path& main_file, const Settings& settings)
    : main_file_(main_file), current_(files.current_folder()) {
  wb_.Text2 = utf8_path(main_file);
  wb_.Check1 = settings.rem || settings.rem_unnumbered;
  wb_.Check2 = settings.rem_unnumbered;
  SilentUi ui;
  opened_ = open_command(wb_, ui, files, {current_, settings.include_dirs});
  for (const LoadedFile& file : opened_.files)
    if (file.result != LoadedFile::Result::failed) read_.push_back(absolute(file.resolved));
  if (opened_.read_to_end)
    compiled_ = compile_command(wb_, ui, opened_.source_map, CompileMode::every_problem);
  symbols_ = find_symbols(wb_, compiled_.record);
  const SourceMap& map = opened_.source_map;
  for (int line = 0; line < map.line_count(); ++line)
    if (const std::optional<FileLine> at = origin(line)) pane_lines_.try_emplace(*at, line);
  const std::vector<OutputLine>& outputs = compiled_.record.output_lines;
  for (std::size_t n = 0; n < outputs.size(); ++n)
    outputs_.emplace(outputs[n].source_line, static_cast<int>(n));
}

fs::path Program::absolute(const fs::path& file) const {
  return (current_ / file).lexically_normal();
}

bool Program::reads(const fs::path& file) const {
  return std::ranges::find(read_, file) != read_.end();
}

std::optional<FileLine> Program::origin(int pane_line) const {
  const SourceMap& map = opened_.source_map;
  const std::optional<SourceOrigin> origin = map.origin_of(pane_line);
  if (!origin || origin->file < 0 || static_cast<std::size_t>(origin->file) >= map.files.size())
    return std::nullopt;
  return FileLine{absolute(map.files[static_cast<std::size_t>(origin->file)]), origin->line - 1};
}

std::optional<int> Program::pane_line(const FileLine& at) const {
  const auto found = pane_lines_.find(at);
  if (found == pane_lines_.end()) return std::nullopt;
  return found->second;
}

std::vector<int> Program::output_of(int pane_line) const {
  std::vector<int> lines;
  const auto [first, last] = outputs_.equal_range(pane_line);
  for (auto it = first; it != last; ++it) lines.push_back(it->second);
  return lines;
}

}  // namespace kestrel::lsp
