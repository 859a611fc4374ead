#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

// Finds, in one walk over a text, every definition whose name occurs in it (as any substring,
// whole name or not). A trie of the names with one flat hash table for its edges; the root's edges
// are a plain array, since nearly every walk starts there and most bytes stop it at once.
class NameFinder {
 public:
  // Names in table order; an empty name is never reported.
  explicit NameFinder(const std::vector<std::string>& names, int count);

  // Calls `found(k)` for the definition k of every name that occurs in `text` starting at a
  // position in [first, last). A name found more than once is reported more than once.
  template <typename Found>
  void find(std::string_view text, std::size_t first, std::size_t last, Found found) const {
    for (std::size_t start = first; start < last && start < text.size(); ++start) {
      std::int32_t node = root_[static_cast<unsigned char>(text[start])];
      for (std::size_t pos = start + 1; node >= 0; ++pos) {
        for (std::int32_t k = definition_[node]; k >= 0; k = same_name_[k]) found(k);
        if (pos >= text.size()) break;
        node = child(node, static_cast<unsigned char>(text[pos]));
      }
    }
  }

  // The length of the longest name: a new occurrence overlapping a changed stretch of a line
  // starts at most this many characters minus one before it.
  std::size_t longest_name() const { return longest_; }

 private:
  std::int32_t child(std::int32_t node, unsigned char byte) const {
    const std::uint64_t key = edge_key(node, byte);
    for (std::size_t slot = slot_of(key);; slot = (slot + 1) & mask_) {
      if (keys_[slot] == key) return children_[slot];
      if (keys_[slot] == 0) return -1;
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

  std::vector<std::int32_t> root_ = std::vector<std::int32_t>(256, -1);
  std::vector<std::int32_t> definition_;  // per node: the first definition ending there, or -1
  std::vector<std::int32_t> same_name_;   // per definition: the next one of the same name, or -1
  std::vector<std::uint64_t> keys_;       // 0 marks a free slot
  std::vector<std::int32_t> children_;
  std::size_t mask_ = 0;
  std::size_t longest_ = 0;
};

}  // namespace kestrel
