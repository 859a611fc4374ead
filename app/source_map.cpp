#include "app/source_map.h"

#include <cstddef>

namespace kestrel {

Locator::Locator(const SourceMap& map, const std::string& pane)
    : map_(map), unchanged_(pane == map.loaded_text) {}

Location Locator::at(int pane_line) const {
  const auto index = static_cast<std::size_t>(pane_line);
  if (unchanged_ && pane_line >= 0 && index < map_.origins.size())
    return {map_.origins[index].file, map_.origins[index].line, pane_line};
  return {"", pane_line + 1, pane_line};
}

std::optional<Location> Locator::loaded(const SourceOrigin& origin,
                                        std::optional<int> pane_line) const {
  if (!unchanged_) return std::nullopt;
  return Location{origin.file, origin.line, pane_line};
}

}  // namespace kestrel
