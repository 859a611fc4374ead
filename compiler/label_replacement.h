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

// Replaces in `text`, label by label in table order, every occurrence of each label's text (left
// to right, without overlap, no test of its neighbours) by its number. The texts must be unique.
// Costs about one walk over the text and the labels, whatever they hold, and writes the result
// over the text itself unless that would overwrite bytes still to be read. Returns the position
// of the first "[" left in the result, or npos.
std::size_t replace_labels(std::string& text, const std::vector<LabelNumber>& labels);

}  // namespace kestrel
