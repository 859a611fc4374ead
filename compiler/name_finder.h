#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

// Finds, in one walk over a text, every definition whose name occurs in it (as any substring,
// whole name or not), in time that grows with the text's length and not with the names' lengths
// or how many of them end at one place. The names' trie, with one flat hash table for its edges
// (the root's edges are a plain array, since most bytes stop a walk there), and for each node
// the longest proper suffix of its text that is a node too (so a walk never goes back in the
// text), and the longest one at which a name ends.
class NameFinder {
 public:
  // Names in table order; an empty name is never reported.
  explicit NameFinder(const std::vector<std::string>& names, int count);

  // Calls `found(k, start)` for every definition k whose name occurs in `text` starting at a
  // position in [first, last), once for each distinct name, with the first such start.
  template <typename Found>
  void find(std::string_view text, std::size_t first, std::size_t last, Found found) const {
    // A node stands for the text it spells; a name is reported the first time its node is met in
    // this search, and so is every name ending at a suffix of it, unless met before too.
    ++search_;
    std::int32_t node = kRoot;
    for (std::size_t end = first; end < text.size(); ++end) {
      // No occurrence can start before the start of the text the node spells.
      if (end - depth(node) >= last) break;
      node = step(node, static_cast<unsigned char>(text[end]));
      for (std::int32_t ending = ending_at(node); ending != kRoot && seen_[ending] != search_;
           ending = ending_below_[ending]) {
        seen_[ending] = search_;
        const std::size_t start = end + 1 - depth_[ending];
        if (start >= last) continue;
        for (std::int32_t k = definition_[ending]; k >= 0; k = same_name_[k]) found(k, start);
      }
    }
  }

  // The length of the longest name: a new occurrence overlapping a changed stretch of a line
  // starts at most this many characters minus one before it.
  std::size_t longest_name() const { return longest_; }

 private:
  static constexpr std::int32_t kRoot = -1;

  std::size_t depth(std::int32_t node) const { return node == kRoot ? 0 : depth_[node]; }
  std::int32_t ending_at(std::int32_t node) const {
    return node == kRoot || definition_[node] >= 0 ? node : ending_below_[node];
  }
  std::int32_t step(std::int32_t node, unsigned char byte) const {
    for (;;) {
      const std::int32_t next = node == kRoot ? root_[byte] : child(node, byte);
      if (next != kRoot || node == kRoot) return next;
      node = suffix_[node];
    }
  }
  std::int32_t child(std::int32_t node, unsigned char byte) const {
    const std::uint64_t key = edge_key(node, byte);
    for (std::size_t slot = slot_of(key);; slot = (slot + 1) & mask_) {
      if (keys_[slot] == key) return children_[slot];
      if (keys_[slot] == 0) return kRoot;
    }
  }
  static std::uint64_t edge_key(std::int32_t node, unsigned char byte) {
    return (static_cast<std::uint64_t>(node) << 8 | byte) + 1;
  }
  std::size_t slot_of(std::uint64_t key) const {
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & mask_;
  }
  std::int32_t add_child(std::int32_t node, unsigned char byte);
  void insert_edge(std::uint64_t key, std::int32_t target);
  void link_suffixes(const std::vector<std::vector<std::pair<unsigned char, std::int32_t>>>& edges);

  std::vector<std::int32_t> root_ = std::vector<std::int32_t>(256, kRoot);
  std::vector<std::int32_t> definition_;    // per node: the first definition ending there, or -1
  std::vector<std::int32_t> same_name_;     // per definition: the next one of the same name, or -1
  std::vector<std::uint32_t> depth_;        // per node: the length of the text it spells
  std::vector<std::int32_t> suffix_;        // per node: the node of its longest proper suffix
  std::vector<std::int32_t> ending_below_;  // per node: the same, among nodes where a name ends
  std::vector<std::uint64_t> keys_;         // 0 marks a free slot
  std::vector<std::int32_t> children_;
  std::size_t mask_ = 0;
  std::size_t longest_ = 0;
  // Per node: the last search that met it. Scratch of the searches, which never overlap.
  mutable std::vector<std::uint32_t> seen_;
  mutable std::uint32_t search_ = 0;
};

}  // namespace kestrel
