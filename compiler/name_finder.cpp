#include "compiler/name_finder.h"

#include <algorithm>
#include <bit>
#include <utility>

namespace kestrel {

NameFinder::NameFinder(const std::vector<std::string>& names, int count) {
  std::size_t edges = 0;
  for (int k = 0; k < count; ++k) edges += names[k].size();
  // At most half full, so a probe ends quickly at a free slot.
  const std::size_t capacity = std::bit_ceil(2 * edges + 2);
  edges_.assign(capacity, Edge());
  mask_ = capacity - 1;
  definition_.reserve(edges);
  depth_.reserve(edges);
  same_name_.assign(static_cast<std::size_t>(std::max(count, 0)), -1);
  for (int k = 0; k < count; ++k) {
    const std::string& name = names[k];
    if (name.empty()) continue;
    longest_ = std::max(longest_, name.size());
    std::int32_t node = kRoot;
    for (char c : name) node = add_child(node, static_cast<unsigned char>(c));
    // Outside the pass (which refuses duplicates first) a name may repeat: all its definitions are
    // reported, in table order.
    std::int32_t* last = &definition_[node];
    while (*last >= 0) last = &same_name_[*last];
    *last = k;
  }
  std::vector<std::vector<std::pair<unsigned char, std::int32_t>>> children(definition_.size());
  for (const Edge& edge : edges_) {
    if (edge.key == 0) continue;
    const std::uint64_t key = edge.key - 1;
    children[key >> 8].emplace_back(static_cast<unsigned char>(key & 0xFF), edge.child);
  }
  link_suffixes(children);
  seen_.assign(definition_.size(), 0);
  first_end_.assign(definition_.size(), 0);
  last_end_.assign(definition_.size(), 0);
}

// Deeper nodes first, so that each node has heard of every longer text ending in it.
void NameFinder::pass_last_ends_down() const {
  std::sort(met_.begin(), met_.end(),
            [this](std::int32_t a, std::int32_t b) { return depth_[a] > depth_[b]; });
  for (std::int32_t node : met_) {
    const std::int32_t below = ending_below_[node];
    if (below != kRoot) last_end_[below] = std::max(last_end_[below], last_end_[node]);
  }
}

std::int32_t NameFinder::add_child(std::int32_t node, unsigned char byte) {
  const std::int32_t existing = node == kRoot ? root_[byte] : child(node, byte);
  if (existing != kRoot) return existing;
  const auto created = static_cast<std::int32_t>(definition_.size());
  definition_.push_back(-1);
  depth_.push_back(node == kRoot ? 1 : depth_[node] + 1);
  if (node == kRoot) {
    root_[byte] = created;
  } else {
    insert_edge(edge_key(node, byte), created);
  }
  return created;
}

void NameFinder::insert_edge(std::uint64_t key, std::int32_t target) {
  std::size_t slot = slot_of(key);
  while (edges_[slot].key != 0) slot = (slot + 1) & mask_;
  edges_[slot] = {key, target};
}

// Breadth first, so that a node's suffixes, being shorter, are linked before it.
void NameFinder::link_suffixes(
    const std::vector<std::vector<std::pair<unsigned char, std::int32_t>>>& children) {
  suffix_.assign(definition_.size(), kRoot);
  ending_below_.assign(definition_.size(), kRoot);
  std::vector<std::int32_t> order;
  order.reserve(definition_.size());
  for (std::int32_t node : root_)
    if (node != kRoot) order.push_back(node);
  for (std::size_t next = 0; next < order.size(); ++next) {
    const std::int32_t parent = order[next];
    for (const auto& [byte, node] : children[parent]) {
      const std::int32_t suffix = step(suffix_[parent], byte);
      suffix_[node] = suffix;
      ending_below_[node] = ending_at(suffix);
      order.push_back(node);
    }
  }
}

}  // namespace kestrel
