#include "workbench/source_map.h"

#include <algorithm>

#include "text/text_hash.h"

namespace kestrel {

// The default fingerprint is the empty text's, as a map that no Open filled describes an empty
// pane.
TextFingerprint TextFingerprint::of(std::string_view text) {
  if (text.empty()) return {};
  return {text.size(), text_hash(text)};
}

int SourceMap::add_file(const std::filesystem::path& path) {
  const auto [known, added] = index_of_.try_emplace(path, static_cast<int>(files.size()));
  if (added) files.push_back(path);
  return known->second;
}

void SourceMap::add_lines(SourceOrigin first, int count) {
  const bool continues_run =
      !runs_.empty() && runs_.back().origin.file == first.file &&
      runs_.back().origin.line + (lines_ - runs_.back().pane_line) == first.line;
  if (!continues_run) runs_.push_back({lines_, first});
  lines_ += count;
}

void SourceMap::repeat_lines(int first_line, int count) {
  if (count <= 0) return;
  auto run = std::upper_bound(runs_.begin(), runs_.end(), first_line,
                              [](int line, const Run& r) { return line < r.pane_line; }) -
             1;
  // Runs are read by index: recording the copies may move them.
  for (auto i = static_cast<std::size_t>(run - runs_.begin()); count > 0; ++i) {
    const Run from = runs_[i];
    const int skipped = std::max(0, first_line - from.pane_line);
    const int end = i + 1 < runs_.size() ? runs_[i + 1].pane_line : lines_;
    const int taken = std::min(count, end - from.pane_line - skipped);
    add_lines({from.origin.file, from.origin.line + skipped}, taken);
    count -= taken;
  }
}

std::optional<SourceOrigin> SourceMap::origin_of(int pane_line) const {
  if (pane_line < 0 || pane_line >= lines_) return std::nullopt;
  const auto after =
      std::upper_bound(runs_.begin(), runs_.end(), pane_line,
                       [](int line, const Run& run) { return line < run.pane_line; });
  const Run& run = *(after - 1);
  return SourceOrigin{run.origin.file, run.origin.line + (pane_line - run.pane_line)};
}

Location SourceMap::location(const SourceOrigin& origin, std::optional<int> pane_line) const {
  const bool known = origin.file >= 0 && static_cast<std::size_t>(origin.file) < files.size();
  return {known ? files[static_cast<std::size_t>(origin.file)] : std::filesystem::path(),
          origin.line, pane_line};
}

bool Locator::unchanged() const {
  if (!unchanged_) unchanged_ = TextFingerprint::of(pane_) == map_.loaded;
  return *unchanged_;
}

Location Locator::at(int pane_line) const {
  if (unchanged())
    if (const std::optional<SourceOrigin> origin = map_.origin_of(pane_line))
      return map_.location(*origin, pane_line);
  return {"", pane_line + 1, pane_line};
}

std::optional<Location> Locator::loaded(const SourceOrigin& origin,
                                        std::optional<int> pane_line) const {
  if (!unchanged()) return std::nullopt;
  return map_.location(origin, pane_line);
}

}  // namespace kestrel
