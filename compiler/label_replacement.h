#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrel {

struct LabelNumber {
  std::string_view text;  // begins with "["
  int number = 0;
};

// The labels' texts, each found by a hash of a few words of it and one full comparison. Only the
// first of equal texts is held.
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
  int shift_ = 0;  // a hash's top bits, 64 - shift_ of them, choose its first slot
  std::optional<std::pair<int, int>> duplicate_;
};

// Replaces in `text`, label by label in table order, every occurrence of each label's text (left
// to right, without overlap, no test of its neighbours) by its number. The texts must be unique:
// `index` is made from `labels`. Costs about one walk over the text and the labels, whatever they
// hold, and writes the result over the text itself unless that would overwrite bytes still to be
// read. Returns the position of the first "[" left in the result, or npos.
std::size_t replace_labels(std::string& text, const std::vector<LabelNumber>& labels,
                           const LabelIndex& index);

}  // namespace kestrel
