#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/fast_paths.h"

namespace kestrel {

// The definitions 0 .. count - 1 in the order of their names, and in table order for one name.
std::vector<int> in_name_order(const std::vector<std::string>& names, int count);

// The names' Aho-Corasick automaton: finds, in one walk over a text, every definition whose name
// occurs in it (as any substring, whole name or not), in time that grows with the text's length
// and not with the names' lengths or how many of them end at one place. Its nodes are the names'
// trie; each has a failure link (the node of the longest proper suffix of its text, so a walk
// never goes back in the text) and an output link (the longest such suffix at which a name ends).
// The nodes are numbered level by level, and within a level in the order of their texts, so the
// children of a node are consecutive nodes and those of the next node follow them: a node's edges
// are found from where its children begin, in a few small arrays.
//
// Unless the names are very many or very long, the automaton is also made deterministic: a table
// of moves gives, for every node and byte class (the bytes that occur in names each have a class,
// all others share one, which leads to the root), the node the byte leads to, failure links taken
// into account, so that a step is one look-up. Without the table, a step follows failure links
// until a node has an edge for the byte; the root and the nodes one byte deep have full rows.
class NameFinder {
 public:
  // Names in table order; an empty name is never reported. A table of moves larger than
  // `most_moves` entries is left out.
  explicit NameFinder(const std::vector<std::string>& names, int count,
                      std::size_t most_moves = FastPaths::kMostMoves)
      : NameFinder(names, in_name_order(names, count), most_moves) {}
  // The same, given the definitions 0 .. count - 1 as in_name_order gives them.
  NameFinder(const std::vector<std::string>& names, std::vector<int> in_order,
             std::size_t most_moves = FastPaths::kMostMoves);

  // Calls `found(k, first, last)` for every definition k whose name occurs in `text` starting at
  // a position in [first_start, end_start) and reaching past `reaching`, once for each distinct
  // name: `first` is the first such start, and no such start comes after `last` (the last one,
  // or end_start - 1 when the walk has seen the name begin past the stretch).
  template <typename Found>
  void find(std::string_view text, std::size_t first_start, std::size_t end_start,
            std::size_t reaching, Found found) const {
    // The scratch is made at the first search, since many finders never search this way.
    if (seen_.empty()) {
      seen_.assign(depth_.size(), 0);
      first_end_.assign(depth_.size(), 0);
      last_end_.assign(depth_.size(), 0);
    }
    // A node stands for the text it spells; every name ending at a suffix of it is met the first
    // time the node is met in this search, and a node's last end passes down to those suffixes
    // once the walk is over.
    ++search_;
    met_.clear();
    std::int32_t node = kRoot;
    for (std::size_t end = first_start; end < text.size(); ++end) {
      // No occurrence can start before the start of the text the node spells.
      if (end - depth(node) >= end_start) break;
      node = step(node, static_cast<unsigned char>(text[end]));
      if (end < reaching) continue;
      const std::int32_t ending = ending_at(node);
      for (std::int32_t below = ending; below != kRoot && seen_[below] != search_;
           below = ending_below_[below]) {
        seen_[below] = search_;
        first_end_[below] = end;
        last_end_[below] = end;
        met_.push_back(below);
      }
      if (ending != kRoot) last_end_[ending] = end;
    }
    pass_last_ends_down();
    for (std::int32_t ending : met_) {
      const std::size_t first = first_end_[ending] + 1 - depth_[ending];
      if (first >= end_start) continue;
      const std::size_t last = std::min(last_end_[ending] + 1 - depth_[ending], end_start - 1);
      for (std::int32_t k = definition_[ending]; k >= 0; k = same_name_[k]) found(k, first, last);
    }
  }

  // Calls `found(k, start)` for every occurrence of every definition's name in `text`, in the
  // order of their ends, longer first at one end. Returns false, having called it for only some,
  // when there are more than `most` (as with many names that end in one another on a text that
  // holds them all).
  template <typename Found>
  bool find_every(std::string_view text, std::size_t most, Found found) const {
    if (depth_.empty()) return true;
    std::size_t count = 0;
    const auto report = [&](std::int32_t node, std::size_t end) {
      return report_endings(node, end, most, count, found);
    };
    if (!moves_.empty()) {
      // The tables in locals, which `found` cannot change behind the loop's back.
      const std::uint16_t* const moves = moves_.data();
      const std::uint16_t* const class_of = class_of_.data();
      const unsigned row_shift = row_shift_;
      std::size_t row = 0;
      for (std::size_t end = 0; end < text.size(); ++end) {
        if (row == 0 && (end = past_strangers(text, end)) == text.size()) break;
        const std::uint16_t move = moves[row + class_of[static_cast<unsigned char>(text[end])]];
        const std::uint16_t next = move & kNextOfMove;
        row = static_cast<std::size_t>(next) << row_shift;
        if ((move & kEndsOfMove) != 0 && !report(next - 1, end)) return false;
      }
      return true;
    }
    std::int32_t node = kRoot;
    for (std::size_t end = 0; end < text.size(); ++end) {
      if (node == kRoot && (end = past_strangers(text, end)) == text.size()) break;
      node = step(node, static_cast<unsigned char>(text[end]));
      if (!report(node, end)) return false;
    }
    return true;
  }

  // The length of the longest name: a new occurrence overlapping a changed stretch of a line
  // starts at most this many characters minus one before it.
  std::size_t longest_name() const { return longest_; }
  bool empty() const { return depth_.empty(); }
  // Whether a step follows failure links, having no table of moves.
  bool walks_failure_links() const { return moves_.empty(); }

 private:
  friend class LinesFinder;
  static constexpr std::int32_t kRoot = -1;

  // Calls `found` for the names that end at `node`, whose last byte is at `end`, counting them in
  // `count`; false, having called it for only some, once the count would pass `most`.
  template <typename Found>
  bool report_endings(std::int32_t node, std::size_t end, std::size_t most, std::size_t& count,
                      Found& found) const {
    for (std::int32_t ending = ending_at(node); ending != kRoot; ending = ending_below_[ending]) {
      if (count++ == most) return false;
      for (std::int32_t k = definition_[ending]; k >= 0; k = same_name_[k])
        found(k, end + 1 - depth_[ending]);
    }
    return true;
  }

  // From the root, the first byte at or after `end` that begins a name.
  std::size_t past_strangers(std::string_view text, std::size_t end) const {
    const std::int32_t* const root_row = rows_.data();
    while (end < text.size() && root_row[static_cast<unsigned char>(text[end])] == kRoot) ++end;
    return end;
  }
  std::size_t depth(std::int32_t node) const { return node == kRoot ? 0 : depth_[node]; }
  std::int32_t ending_at(std::int32_t node) const { return ending_[node + 1]; }
  std::int32_t step(std::int32_t node, unsigned char byte) const {
    if (!moves_.empty())
      return static_cast<std::int32_t>(moves_[row_of_moves(node) + class_of_[byte]] & kNextOfMove) -
             1;
    while (node >= shallow_) {
      const std::int32_t next = child(node, byte);
      if (next != kRoot) return next;
      node = suffix_[node];
    }
    return rows_[row_of(node) + byte];
  }
  // The root's row comes first, then those of the nodes one byte deep, which are numbered first.
  static std::size_t row_of(std::int32_t node) { return static_cast<std::size_t>(node + 1) * 256; }
  std::size_t row_of_moves(std::int32_t node) const {
    return static_cast<std::size_t>(node + 1) << row_shift_;
  }
  std::int32_t child(std::int32_t node, unsigned char byte) const {
    const std::int32_t last = first_child_[node + 1];
    for (std::int32_t next = first_child_[node]; next < last; ++next)
      if (byte_[next] == byte) return next;
    return kRoot;
  }
  void pass_last_ends_down() const;
  void number_level_by_level(std::vector<std::int32_t>& parent);
  void fill_shallow_rows();
  void link_node(std::int32_t node, std::int32_t suffix);
  void start_links();
  void link_suffixes(const std::vector<std::int32_t>& parent);
  bool fill_moves(std::size_t most_moves);

  std::vector<std::int32_t> rows_ = std::vector<std::int32_t>(256, kRoot);
  std::int32_t shallow_ = 0;                // the nodes one byte deep, which are numbered first
  std::vector<std::int32_t> first_child_;   // per node, and one past the last
  std::vector<unsigned char> byte_;         // per node: the last byte of the text it spells
  std::vector<std::int32_t> definition_;    // per node: the first definition ending there, or -1
  std::vector<std::int32_t> same_name_;     // per definition: the next one of the same name, or -1
  std::vector<std::uint32_t> depth_;        // per node: the length of the text it spells
  std::vector<std::int32_t> suffix_;        // per node: its failure link
  std::vector<std::int32_t> ending_below_;  // per node: its output link
  // After a place for the root, per node: itself if a name ends there, else its ending_below_.
  std::vector<std::int32_t> ending_;
  std::size_t longest_ = 0;
  // Where each byte leads from each node, suffixes taken into account, when the table is small:
  // a row per node after one for the root, a column per byte that occurs in a name and one for
  // all the others, which lead to the root from everywhere. A move gives the node as its number
  // plus 1, and in its top bit whether a name ends there.
  std::vector<std::uint16_t> class_of_ = std::vector<std::uint16_t>(256, 0);
  std::size_t classes_ = 1;
  // A row has room for every column, and a power of two entries, so that a step finds the next
  // node's row with a shift.
  unsigned row_shift_ = 0;
  std::vector<std::uint16_t> moves_;
  static constexpr std::uint16_t kEndsOfMove = 0x8000;
  static constexpr std::uint16_t kNextOfMove = kEndsOfMove - 1;
  // Scratch of the searches, which never overlap: per node, the last search that met it and
  // where it first and last ended then; and the nodes met, in order.
  mutable std::vector<std::uint32_t> seen_;
  mutable std::uint32_t search_ = 0;
  mutable std::vector<std::size_t> first_end_;
  mutable std::vector<std::size_t> last_end_;
  mutable std::vector<std::int32_t> met_;
};

// Finds every occurrence of the names in the lines of one text, asked for line by line, mostly in
// order. The text is walked ahead of the lines, a stretch at a time, through the table of moves in
// four interleaved walks: one walk waits at every byte for the look-up of the step before it, and
// four walks that do not wait on one another keep the processor busy meanwhile. A walk starts
// after a byte that occurs in no name, where the automaton is at the root whatever came before,
// so the four find what one walk would. A line longer than kStretch is not served, nor any line
// without names or without the table of moves: the caller walks it on its own.
class LinesFinder {
 public:
  // `stretch` is the bytes walked at once unless a line needs more.
  LinesFinder(const NameFinder& finder, std::string_view text, std::size_t stretch)
      : finder_(finder), text_(text), short_stretch_(std::min(stretch, kStretch)) {}

  // The text the lines are views of.
  std::string_view text() const { return text_; }

  // Whether the line's places are listed, walking a stretch from its start if need be.
  bool walked(std::string_view line);

  // As finder.find_every(line, most, found), for `line`, a view into the text that was walked.
  template <typename Found>
  bool find_every(std::string_view line, std::size_t most, Found found) {
    // The line's first byte and the one after it, in the stretch.
    const auto first = static_cast<std::size_t>(line.data() - text_.data()) - walked_first_;
    const std::size_t last = first + line.size();
    // A place in the stretch before `place` is listed before any hit there.
    const auto before = [](std::size_t place) { return static_cast<Hit>(place << kPlaceShift); };
    // A line asked for again, or before the last one, is looked for from the stretch's start.
    if (next_ > 0 && hits_[next_ - 1] >= before(first)) next_ = 0;
    while (next_ < hits_size_ && hits_[next_] < before(first)) ++next_;
    std::size_t count = 0;
    for (; next_ < hits_size_ && hits_[next_] < before(last); ++next_) {
      const Hit hit = hits_[next_];
      const auto node = static_cast<std::int32_t>(hit & NameFinder::kNextOfMove) - 1;
      if (!finder_.report_endings(node, (hit >> kPlaceShift) - first, most, count, found))
        return false;
    }
    return true;
  }

  // The most bytes walked at once: a line longer than this is walked on its own.
  static constexpr std::size_t kStretch = std::size_t{1} << 15;

 private:
  // A place where a name ends: its last byte's place in the stretch in the upper half, and the
  // move that reached it in the lower; hits in the order of their places are in numeric order.
  using Hit = std::uint32_t;
  static constexpr unsigned kPlaceShift = 16;
  static_assert((kStretch << kPlaceShift) - 1 <= std::numeric_limits<Hit>::max());
  // Where a move's bit for a name ending stands: a step counts its place in without a test.
  static constexpr unsigned kEndsShift = std::countr_zero(NameFinder::kEndsOfMove);

  void walk(std::size_t first, std::size_t last);

  const NameFinder& finder_;
  std::string_view text_;
  std::size_t short_stretch_;
  // The stretch walked, and the places where names end in it, in order: the first hits_size_ of
  // hits_, from next_ on not yet passed. A lane lists its places from where its share of the
  // room begins, which it never passes, and they are then moved up behind those before.
  std::size_t walked_first_ = 0, walked_last_ = 0;
  std::unique_ptr<Hit[]> hits_;
  std::size_t hits_room_ = 0;
  std::size_t hits_size_ = 0;
  std::size_t next_ = 0;
};

}  // namespace kestrel
