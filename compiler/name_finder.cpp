#include "compiler/name_finder.h"

#include <algorithm>
#include <bit>

namespace kestrel {

NameFinder::NameFinder(const std::vector<std::string>& names, int count) {
  std::size_t edges = 0;
  for (int k = 0; k < count; ++k) edges += names[k].size();
  // At most half full, so a probe ends quickly at a free slot.
  const std::size_t capacity = std::bit_ceil(2 * edges + 2);
  keys_.assign(capacity, 0);
  children_.assign(capacity, -1);
  mask_ = capacity - 1;
  definition_.reserve(edges);
  same_name_.assign(static_cast<std::size_t>(std::max(count, 0)), -1);
  for (int k = 0; k < count; ++k) {
    const std::string& name = names[k];
    if (name.empty()) continue;
    longest_ = std::max(longest_, name.size());
    std::int32_t node = -1;
    for (char c : name) node = add_child(node, static_cast<unsigned char>(c));
    // Outside the pass (which refuses duplicates first) a name may repeat: all its definitions are
    // reported, in table order.
    std::int32_t* last = &definition_[node];
    while (*last >= 0) last = &same_name_[*last];
    *last = k;
  }
}

// Node -1 stands for the root.
std::int32_t NameFinder::add_child(std::int32_t node, unsigned char byte) {
  const std::int32_t existing = node < 0 ? root_[byte] : child(node, byte);
  if (existing >= 0) return existing;
  const auto created = static_cast<std::int32_t>(definition_.size());
  definition_.push_back(-1);
  if (node < 0) {
    root_[byte] = created;
  } else {
    insert_edge(edge_key(node, byte), created);
  }
  return created;
}

void NameFinder::insert_edge(std::uint64_t key, std::int32_t target) {
  std::size_t slot = slot_of(key);
  while (keys_[slot] != 0) slot = (slot + 1) & mask_;
  keys_[slot] = key;
  children_[slot] = target;
}

}  // namespace kestrel
