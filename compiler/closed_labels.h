#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "compiler/label_replacement.h"

namespace kestrel {

// The labels' texts in a hash table with linear probing, each found by its text_hash and a
// comparison of the texts. Only the first of equal texts is held.
class LabelIndex {
 public:
  explicit LabelIndex(const std::vector<LabelNumber>& labels);

  // The first pair (n, j), n < j, of equal texts: the smallest such n, then the smallest j.
  std::optional<std::pair<int, int>> first_duplicate() const { return duplicate_; }

  // The first label with this text, or -1.
  int find(std::string_view text) const;

 private:
  // The slot holding `text`, or the empty one where it would go.
  std::size_t slot_of(std::string_view text, std::uint64_t hash) const;

  const std::vector<LabelNumber>& labels_;
  std::vector<std::int32_t> slots_;  // a label, or -1 where empty
  std::optional<std::pair<int, int>> duplicate_;
};

// As replace_labels, in one walk along the text, where every label is closed ("[", no bracket, and
// "]" at its end) and every "[" of the text is closed by a "]" before the next "[": a label can
// then only occur as a whole bracketed stretch, each looked up in `index` (made from `labels`),
// whatever the labels' order. Nothing, having changed nothing, where that does not hold.
std::optional<std::size_t> replace_closed_labels(std::string& text,
                                                 const std::vector<LabelNumber>& labels,
                                                 const LabelIndex& index);

}  // namespace kestrel
