#include "compiler/name_finder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <functional>
#include <string_view>
#include <utility>

#include "files/pages.h"
#include "text/pieces.h"

namespace kestrel {

std::vector<int> in_name_order(const std::vector<std::string>& names, int count) {
  // Most names differ in their first eight bytes, which are compared as one number: the bytes in
  // order, a shorter name's missing ones as zeros.
  struct Keyed {
    std::uint64_t key;
    int k;
  };
  std::vector<Keyed> keyed(static_cast<std::size_t>(std::max(count, 0)));
  for (int k = 0; k < count; ++k) {
    std::uint64_t key = 0;
    const std::string& name = names[k];
    for (std::size_t i = 0; i < 8; ++i)
      key = key << 8 | (i < name.size() ? static_cast<unsigned char>(name[i]) : 0U);
    keyed[static_cast<std::size_t>(k)] = {key, k};
  }
  std::sort(keyed.begin(), keyed.end(), [&](const Keyed& a, const Keyed& b) {
    if (a.key != b.key) return a.key < b.key;
    const int order = names[a.k].compare(names[b.k]);
    return order != 0 ? order < 0 : a.k < b.k;
  });
  std::vector<int> order(keyed.size());
  std::transform(keyed.begin(), keyed.end(), order.begin(), [](const Keyed& e) { return e.k; });
  return order;
}

// The trie is built from the names in sorted order, so that each name shares its path with the
// one before as far as they agree, and then numbered level by level. The definitions of one name
// (which the pass refuses, but others may give) are reported in table order.
NameFinder::NameFinder(const std::vector<std::string>& names, std::vector<int> in_order,
                       std::size_t most_moves) {
  same_name_.assign(in_order.size(), -1);
  std::vector<int> order = std::move(in_order);
  // Empty names come first, and are never found.
  std::erase_if(order, [&](int k) { return names[k].empty(); });
  // Room for a node per byte of the names, the most there can be.
  std::size_t bytes = 0;
  for (int k : order) bytes += names[k].size();
  std::vector<std::int32_t> parent;
  parent.reserve(bytes);
  byte_.reserve(bytes);
  depth_.reserve(bytes);
  definition_.reserve(bytes);
  std::vector<std::int32_t> path = {kRoot};  // the nodes of the name before, from the root
  std::string_view before;
  for (int k : order) {
    const std::string_view name = names[k];
    longest_ = std::max(longest_, name.size());
    std::size_t shared = 0;
    while (shared < name.size() && shared < before.size() && name[shared] == before[shared])
      ++shared;
    path.resize(shared + 1);
    for (std::size_t i = shared; i < name.size(); ++i) {
      parent.push_back(path.back());
      byte_.push_back(static_cast<unsigned char>(name[i]));
      depth_.push_back(static_cast<std::uint32_t>(i + 1));
      definition_.push_back(-1);
      path.push_back(static_cast<std::int32_t>(definition_.size() - 1));
    }
    std::int32_t* last = &definition_[path.back()];
    while (*last >= 0) last = &same_name_[*last];
    *last = k;
    before = name;
  }
  number_level_by_level(parent);
  if (fill_moves(most_moves)) return;
  fill_shallow_rows();
  link_suffixes(parent);
}

// Renumbers the nodes, made in the order of their texts, level by level, keeping that order within
// a level; a node's children then follow those of the nodes before it on its level.
void NameFinder::number_level_by_level(std::vector<std::int32_t>& parent) {
  const std::size_t nodes = definition_.size();
  std::vector<std::int32_t> first_of_depth(longest_ + 2, 0);
  for (std::size_t node = 0; node < nodes; ++node) ++first_of_depth[depth_[node]];
  for (std::size_t depth = 1, sum = 0; depth < first_of_depth.size(); ++depth) {
    const std::int32_t count = first_of_depth[depth];
    first_of_depth[depth] = static_cast<std::int32_t>(sum);
    sum += static_cast<std::size_t>(count);
  }
  std::vector<std::int32_t> number(nodes);
  for (std::size_t node = 0; node < nodes; ++node) number[node] = first_of_depth[depth_[node]]++;
  const auto renumbered = [&](auto& values) {
    auto old = std::move(values);
    values.resize(nodes);
    for (std::size_t node = 0; node < nodes; ++node) values[number[node]] = old[node];
  };
  renumbered(byte_);
  renumbered(depth_);
  renumbered(definition_);
  {
    std::vector<std::int32_t> as_made = std::move(parent);
    parent.resize(nodes);
    for (std::size_t node = 0; node < nodes; ++node)
      parent[number[node]] = as_made[node] == kRoot ? kRoot : number[as_made[node]];
  }
  first_child_.assign(nodes + 1, static_cast<std::int32_t>(nodes));
  for (std::size_t node = nodes; node-- > 0;) {
    if (parent[node] == kRoot) {
      rows_[byte_[node]] = static_cast<std::int32_t>(node);
      ++shallow_;
    } else {
      first_child_[parent[node]] = static_cast<std::int32_t>(node);
    }
  }
  // A node without children has them where the next node's begin.
  for (std::size_t node = nodes; node-- > 0;)
    first_child_[node] = std::min(first_child_[node], first_child_[node + 1]);
}

// Without the table of moves, a node one byte deep has a row of its own, in which a byte with no
// edge leads where it leads from the root, as its suffix is the root.
void NameFinder::fill_shallow_rows() {
  rows_.resize(row_of(shallow_));
  for (std::int32_t node = 0; node < shallow_; ++node) {
    std::copy_n(rows_.begin(), 256, rows_.begin() + static_cast<std::ptrdiff_t>(row_of(node)));
    for (std::int32_t next = first_child_[node]; next < first_child_[node + 1]; ++next)
      rows_[row_of(node) + byte_[next]] = next;
  }
}

// A node's suffix and where names end below it, from the suffix's: the root for a node one byte
// deep, else the node that the parent's suffix and the node's last byte lead to.
void NameFinder::link_node(std::int32_t node, std::int32_t suffix) {
  suffix_[node] = suffix;
  ending_below_[node] = ending_at(suffix);
  ending_[node + 1] = definition_[node] >= 0 ? node : ending_below_[node];
}

void NameFinder::start_links() {
  const std::size_t nodes = definition_.size();
  suffix_.resize(nodes);
  ending_below_.resize(nodes);
  ending_.assign(nodes + 1, kRoot);
  for (std::int32_t node = 0; node < shallow_; ++node) link_node(node, kRoot);
}

// Level by level, so that a node's suffixes, being shorter, are linked before it.
void NameFinder::link_suffixes(const std::vector<std::int32_t>& parent) {
  start_links();
  for (auto node = shallow_; node < static_cast<std::int32_t>(definition_.size()); ++node)
    link_node(node, step(suffix_[parent[node]], byte_[node]));
}

// A node's row is its suffix's, which comes before it, with its own children put in; the
// children's suffixes are found in the rows made so far, level by level. Returns false, having
// made no table, when the table would be too large.
bool NameFinder::fill_moves(std::size_t most_moves) {
  const std::size_t nodes = definition_.size();
  for (const unsigned char byte : byte_)
    if (class_of_[byte] == 0) class_of_[byte] = static_cast<std::uint16_t>(classes_++);
  row_shift_ = static_cast<unsigned>(std::bit_width(classes_ - 1));
  const std::size_t width = std::size_t{1} << row_shift_;
  if (nodes >= kNextOfMove || (nodes + 1) * width > most_moves) return false;
  // The table is large, and every row of it is written.
  moves_.reserve((nodes + 1) * width);
  prepare_pages(moves_.data(), (nodes + 1) * width * sizeof(std::uint16_t));
  moves_.assign((nodes + 1) * width, 0);
  start_links();
  const auto put_children = [&](std::int32_t node, std::int32_t first, std::int32_t last) {
    const std::size_t suffix_row = node == kRoot ? 0 : row_of_moves(suffix_[node]);
    for (std::int32_t next = first; next < last; ++next) {
      const std::size_t column = class_of_[byte_[next]];
      if (node != kRoot) link_node(next, (moves_[suffix_row + column] & kNextOfMove) - 1);
      moves_[row_of_moves(node) + column] =
          static_cast<std::uint16_t>((next + 1) | (ending_at(next) != kRoot ? kEndsOfMove : 0));
    }
  };
  put_children(kRoot, 0, shallow_);
  for (std::int32_t node = 0; node < static_cast<std::int32_t>(nodes); ++node) {
    std::copy_n(moves_.begin() + static_cast<std::ptrdiff_t>(row_of_moves(suffix_[node])), classes_,
                moves_.begin() + static_cast<std::ptrdiff_t>(row_of_moves(node)));
    put_children(node, first_child_[node], first_child_[node + 1]);
  }
  return true;
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

bool LinesFinder::walked(std::string_view line) {
  if (finder_.moves_.empty() || finder_.depth_.empty() || line.size() > kStretch) return false;
  if (!lies_within(text_, line)) return false;
  const auto first = static_cast<std::size_t>(line.data() - text_.data());
  const std::size_t last = first + line.size();
  // A line in the stretch is served from it when the walk is at the root where the line begins.
  if (first >= walked_first_ && last <= walked_last_ &&
      (first == walked_first_ ||
       finder_.class_of_[static_cast<unsigned char>(text_[first - 1])] == 0))
    return true;
  // A stretch as long as the line, or a short one: its hits stay within a few pages.
  walk(first, std::min(text_.size(), first + std::max(short_stretch_, line.size())));
  return true;
}

void LinesFinder::walk(std::size_t first, std::size_t last) {
  constexpr std::size_t kLanes = 4;  // interleaved walks
  const auto* const text = reinterpret_cast<const unsigned char*>(text_.data());
  const std::uint16_t* const moves = finder_.moves_.data();
  const std::uint16_t* const class_of = finder_.class_of_.data();
  const unsigned row_shift = finder_.row_shift_;
  // Each lane starts about a share of the stretch after the one before, after a byte in no name.
  std::array<std::size_t, kLanes + 1> start{};
  start[0] = first;
  start[kLanes] = last;
  for (std::size_t lane = 1; lane < kLanes; ++lane) {
    std::size_t at = std::max(start[lane - 1], first + (last - first) * lane / kLanes);
    while (at > first && at < last && class_of[text[at - 1]] != 0) ++at;
    start[lane] = at;
  }
  if (hits_room_ < last - first) {
    hits_room_ = std::max(last - first, short_stretch_);
    hits_ = std::make_unique_for_overwrite<Hit[]>(hits_room_);
  }
  // A step writes its place in the lane whether or not a name ends there, and keeps it only if
  // one does; the lane's place in the stretch is added to its places at the end.
  const auto step = [&](const unsigned char* lane, std::size_t& row, Hit*& out, std::size_t at) {
    const std::uint32_t move = moves[row + class_of[lane[at]]];
    row = static_cast<std::size_t>(move & NameFinder::kNextOfMove) << row_shift;
    *out = static_cast<Hit>(at << kPlaceShift) | move;
    out += move >> kEndsShift;
  };
  // The lanes' text, rows and places in variables of their own, which stay in registers.
  std::array<Hit*, kLanes> outs{};
  for (std::size_t lane = 0; lane < kLanes; ++lane)
    outs[lane] = hits_.get() + (start[lane] - first);
  const unsigned char* const lane0 = text + start[0];
  const unsigned char* const lane1 = text + start[1];
  const unsigned char* const lane2 = text + start[2];
  const unsigned char* const lane3 = text + start[3];
  Hit* out0 = outs[0];
  Hit* out1 = outs[1];
  Hit* out2 = outs[2];
  Hit* out3 = outs[3];
  std::size_t row0 = 0, row1 = 0, row2 = 0, row3 = 0;
  std::size_t together = last - first;
  for (std::size_t lane = 0; lane < kLanes; ++lane)
    together = std::min(together, start[lane + 1] - start[lane]);
  for (std::size_t at = 0; at < together; ++at) {
    step(lane0, row0, out0, at);
    step(lane1, row1, out1, at);
    step(lane2, row2, out2, at);
    step(lane3, row3, out3, at);
  }
  for (std::size_t at = together; at < start[1] - start[0]; ++at) step(lane0, row0, out0, at);
  for (std::size_t at = together; at < start[2] - start[1]; ++at) step(lane1, row1, out1, at);
  for (std::size_t at = together; at < start[3] - start[2]; ++at) step(lane2, row2, out2, at);
  for (std::size_t at = together; at < start[4] - start[3]; ++at) step(lane3, row3, out3, at);
  const std::array<Hit*, kLanes> ends = {out0, out1, out2, out3};
  Hit* end = hits_.get();
  for (std::size_t lane = 0; lane < kLanes; ++lane) {
    const auto offset = static_cast<Hit>((start[lane] - first) << kPlaceShift);
    end = std::transform(outs[lane], ends[lane], end, [offset](Hit hit) { return hit + offset; });
  }
  hits_size_ = static_cast<std::size_t>(end - hits_.get());
  walked_first_ = first;
  walked_last_ = last;
  next_ = 0;
}

}  // namespace kestrel
