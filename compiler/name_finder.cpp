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
  for (int k = 0; k < count; ++k)
    if (!names[k].empty()) add_child(kRoot, static_cast<unsigned char>(names[k][0]));
  const auto shallow = static_cast<std::int32_t>(definition_.size());
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
  fill_shallow_rows(shallow);
  link_suffixes();
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
  const std::int32_t existing = node == kRoot ? rows_[byte] : child(node, byte);
  if (existing != kRoot) return existing;
  const auto created = static_cast<std::int32_t>(definition_.size());
  definition_.push_back(-1);
  depth_.push_back(node == kRoot ? 1 : depth_[node] + 1);
  if (node == kRoot) {
    rows_[byte] = created;
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

// A node one byte deep has the root as its suffix: a byte with no edge there leads where it
// leads from the root.
void NameFinder::fill_shallow_rows(std::int32_t shallow) {
  rows_.resize(row_of(shallow));
  for (std::int32_t node = 0; node < shallow; ++node) {
    for (unsigned byte = 0; byte < 256; ++byte) {
      const std::int32_t next = child(node, static_cast<unsigned char>(byte));
      rows_[row_of(node) + byte] = next != kRoot ? next : rows_[byte];
    }
  }
  shallow_ = shallow;
}

// Shallower nodes first, so that a node's suffixes, being shorter, are linked before it. A node
// is found from its parent's suffix and its own last byte; the edges give both.
void NameFinder::link_suffixes() {
  const std::size_t nodes = definition_.size();
  std::vector<std::int32_t> parent(nodes, kRoot);
  std::vector<unsigned char> byte(nodes, 0);
  for (const Edge& edge : edges_) {
    if (edge.key == 0) continue;
    parent[edge.child] = static_cast<std::int32_t>((edge.key - 1) >> 8);
    byte[edge.child] = static_cast<unsigned char>((edge.key - 1) & 0xFF);
  }
  for (std::size_t b = 0; b < 256; ++b)
    if (rows_[b] != kRoot) byte[rows_[b]] = static_cast<unsigned char>(b);
  // A counting sort by depth.
  std::vector<std::size_t> first_of_depth(longest_ + 2, 0);
  for (std::size_t node = 0; node < nodes; ++node) ++first_of_depth[depth_[node] + 1];
  for (std::size_t depth = 1; depth < first_of_depth.size(); ++depth)
    first_of_depth[depth] += first_of_depth[depth - 1];
  std::vector<std::int32_t> order(nodes);
  for (std::size_t node = 0; node < nodes; ++node)
    order[first_of_depth[depth_[node]]++] = static_cast<std::int32_t>(node);
  suffix_.assign(nodes, kRoot);
  ending_below_.assign(nodes, kRoot);
  for (std::int32_t node : order) {
    if (parent[node] == kRoot) continue;
    const std::int32_t suffix = step(suffix_[parent[node]], byte[node]);
    suffix_[node] = suffix;
    ending_below_[node] = ending_at(suffix);
  }
}

}  // namespace kestrel
