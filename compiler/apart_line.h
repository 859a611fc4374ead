#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/crowded_line.h"
#include "compiler/name_finder.h"
#include "workbench/workbench.h"

namespace kestrel {

// The substitution of a line whose names cannot touch one another, in one walk along it:
// - no two occurrences overlap, and no name holds a neighbour of an occurrence that is replaced,
//   so no replacement takes another occurrence away or changes its neighbours;
// - no value holds a name, so no replacement makes one: a new one would lie in the value, or take
//   in a neighbour.
// Then each definition's turn replaces its occurrences from the left up to the first that does not
// stand alone, whatever the other turns do, and the turns can all be taken in one walk in the
// order of the occurrences. The line's occurrences are heard first, in the order of their ends.
class ApartLines {
 public:
  ApartLines(const DefinitionTable& defs, const NameFinder& names);
  // Its entries point into its own values.
  ApartLines(const ApartLines&) = delete;
  ApartLines& operator=(const ApartLines&) = delete;

  // A new line, whose occurrences are about to be heard.
  void start_line() {
    seen_.clear();
    apart_ = true;
    last_ = -1;
    seen_end_ = 0;
    growth_ = 0;
  }

  void heard(int k, std::size_t start) {
    seen_.emplace_back(start, k);
    const Entry& entry = entries_[static_cast<std::size_t>(k)];
    apart_ = apart_ && start >= seen_end_ && entry.inert;
    seen_end_ = start + entry.name_size;
    if (entry.value_size > entry.name_size) growth_ += entry.value_size - entry.name_size;
    last_ = std::max(last_, k);
  }

  // The occurrences heard on the line.
  Occurrences& seen() { return seen_; }
  // Whether the line had no occurrence.
  bool bare() const { return last_ < 0; }

  // Writes the substituted `source` into `line`, if its names stand apart; false, having written
  // nothing of worth, if they do not. `source` may be read on up to `readable`.
  bool substitute(std::string_view source, const char* readable, std::string& line);

 private:
  // What a walk along a line reads of a definition, side by side.
  struct Entry {
    const char* value = nullptr;
    std::size_t name_size = 0;
    std::size_t value_size = 0;
    // The mark of the last line on which its turn met a name that does not stand alone.
    std::uint32_t stopped = 0;
    bool inert = true;  // its value holds no name
  };
  static constexpr int kLineEnd = -1;
  static constexpr unsigned char kBoundary = 1;
  static constexpr unsigned char kInNames = 2;

  // What a neighbour is: a character, or kLineEnd, a boundary that occurs in no name.
  unsigned char kind(int neighbour) const {
    return neighbour == kLineEnd ? kBoundary : kinds_[static_cast<std::size_t>(neighbour)];
  }

  std::vector<Entry> entries_;
  // The values one after another, and a piece's room after them, which is never read as a value.
  std::string values_;
  std::array<unsigned char, 256> kinds_{};  // per byte: kBoundary, kInNames, both or neither
  std::uint32_t mark_ = 0;
  // Of the occurrences heard on the line so far: whether they stand apart, the last definition
  // among them, where the last one ends, and what the line would grow by if every one were
  // replaced.
  Occurrences seen_;
  bool apart_ = true;
  int last_ = -1;
  std::size_t seen_end_ = 0;
  std::size_t growth_ = 0;
};

}  // namespace kestrel
