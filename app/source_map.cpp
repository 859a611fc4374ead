#include "app/source_map.h"

#include <cstddef>

namespace kestrel {

int SourceMap::add_file(const std::filesystem::path& path) {
  files.push_back(path);
  return static_cast<int>(files.size()) - 1;
}

Location SourceMap::location(const SourceOrigin& origin, std::optional<int> pane_line) const {
  const bool known = origin.file >= 0 && static_cast<std::size_t>(origin.file) < files.size();
  return {known ? files[static_cast<std::size_t>(origin.file)] : std::filesystem::path(),
          origin.line, pane_line};
}

Locator::Locator(const SourceMap& map, const std::string& pane)
    : map_(map), unchanged_(pane == map.loaded_text) {}

Location Locator::at(int pane_line) const {
  const auto index = static_cast<std::size_t>(pane_line);
  if (unchanged_ && pane_line >= 0 && index < map_.origins.size())
    return map_.location(map_.origins[index], pane_line);
  return {"", pane_line + 1, pane_line};
}

std::optional<Location> Locator::loaded(const SourceOrigin& origin,
                                        std::optional<int> pane_line) const {
  if (!unchanged_) return std::nullopt;
  return map_.location(origin, pane_line);
}

}  // namespace kestrel
