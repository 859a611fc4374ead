#include "compiler/label_replacement.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <queue>
#include <tuple>
#include <unordered_map>

#include <utility>

namespace kestrel {

namespace {

constexpr std::int32_t kNone = -1;

// The label texts' trie, built from the texts in sorted order so that each text shares its path
// with the one before as far as they agree. Each node's edges stand together, in order of their
// byte, so a step looks through the few edges of one node.
class LabelTrie {
 public:
  // `parts[n]` is the text whose path ends at the node `end_of(n)`.
  explicit LabelTrie(const std::vector<std::string_view>& parts) : ends_(parts.size(), 0) {
    std::vector<int> order(parts.size());
    for (std::size_t n = 0; n < parts.size(); ++n) order[n] = static_cast<int>(n);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return parts[a] < parts[b]; });
    std::vector<std::tuple<std::int32_t, unsigned char, std::int32_t>> edges;  // node, byte, child
    std::vector<std::int32_t> path = {0};  // the nodes of the text before, from the root
    std::string_view before;
    std::int32_t nodes = 1;  // node 0 is the root
    for (int n : order) {
      const std::string_view text = parts[n];
      std::size_t shared = 0;
      while (shared < text.size() && shared < before.size() && text[shared] == before[shared])
        ++shared;
      path.resize(shared + 1);
      for (std::size_t i = shared; i < text.size(); ++i) {
        edges.emplace_back(path.back(), static_cast<unsigned char>(text[i]), nodes);
        path.push_back(nodes++);
      }
      ends_[n] = path.back();
      before = text;
    }
    std::sort(edges.begin(), edges.end());
    first_edge_.assign(static_cast<std::size_t>(nodes) + 1, 0);
    for (const auto& [node, byte, child] : edges) {
      ++first_edge_[node + 1];
      bytes_.push_back(byte);
      children_.push_back(child);
    }
    for (std::size_t node = 1; node < first_edge_.size(); ++node)
      first_edge_[node] += first_edge_[node - 1];
  }

  std::int32_t nodes() const { return static_cast<std::int32_t>(first_edge_.size() - 1); }
  std::int32_t end_of(int n) const { return ends_[n]; }

  std::int32_t child(std::int32_t node, unsigned char byte) const {
    const auto first = bytes_.begin() + first_edge_[node];
    const auto last = bytes_.begin() + first_edge_[node + 1];
    const auto edge = std::lower_bound(first, last, byte);
    return edge != last && *edge == byte
               ? children_[static_cast<std::size_t>(edge - bytes_.begin())]
               : kNone;
  }

 private:
  std::vector<std::int32_t> first_edge_;  // per node, and one past the last
  std::vector<unsigned char> bytes_;      // per edge
  std::vector<std::int32_t> children_;    // per edge
  std::vector<std::int32_t> ends_;
};

// The first part of a label: up to its second "[", or all of it.
std::string_view first_part(std::string_view text) { return text.substr(0, text.find('[', 1)); }

std::vector<std::string_view> first_parts(const std::vector<LabelNumber>& labels) {
  std::vector<std::string_view> parts;
  parts.reserve(labels.size());
  for (const LabelNumber& label : labels) parts.push_back(first_part(label.text));
  return parts;
}

// Every label's text begins with "[", and a replacement puts in digits only, so each occurrence at
// any turn starts at a "[" that was in the text from the start and is still there. The text is
// therefore kept as pieces, each from one such "[" up to the next (the first piece is what stands
// before any "["), and a replacement at a piece's "[" joins its digits and whatever the label left
// of the piece (or of the pieces it spanned) to the end of the piece before. A piece is a chain of
// chunks of the text and of the numbers, so nothing is copied until the end.
//
// A label with no second "[" (a simple label) occurs at a piece exactly when the piece begins
// with it, and a piece only ever grows at its end. So the labels a piece begins with are found
// once, by walking the trie along the piece as it grows, and each piece is replaced at the turn
// of the first of them (it has no "[" left afterwards). A label with more "[" spans pieces; its
// first part must be the whole of a piece, and the pieces whose walk ended on that part are kept
// at hand for its turn.
class Replacement {
 public:
  Replacement(std::string_view text, const std::vector<LabelNumber>& labels)
      : labels_(labels),
        trie_(first_parts(labels)),
        simple_end_(static_cast<std::size_t>(trie_.nodes()), kNone),
        first_part_end_(static_cast<std::size_t>(trie_.nodes()), false) {
    numbers_.reserve(labels.size());
    for (const LabelNumber& label : labels) numbers_.push_back(std::to_string(label.number));
    for (int n = 0; n < static_cast<int>(labels.size()); ++n) {
      if (spans(n))
        first_part_end_[trie_.end_of(n)] = true;
      else
        simple_end_[trie_.end_of(n)] = n;
    }
    split(text);
  }

  // `text` is the text the replacement was made over.
  void run(std::string& text) {
    for (int n = 0; n < static_cast<int>(labels_.size()); ++n) {
      if (spans(n))
        replace_spanning(n);
      else
        replace_simple(n);
    }
    if (!fits_in_place(text)) {
      text = joined();
      return;
    }
    std::size_t written = 0;
    for_each_chunk([&](std::string_view chunk) {
      if (!chunk.empty() && chunk.data() != text.data() + written)
        std::memmove(text.data() + written, chunk.data(), chunk.size());
      written += chunk.size();
    });
    text.resize(written);
  }

 private:
  struct Chunk {
    std::string_view text;
    std::int32_t next = kNone;
  };

  struct Piece {
    std::int32_t first = kNone, last = kNone;    // its chunks
    std::int32_t before = kNone, after = kNone;  // the live neighbours
    std::int32_t node = kNone;  // the trie node the whole text leads to, or none once off it
    bool live = true;
  };

  bool spans(int n) const { return first_part(labels_[n].text).size() < labels_[n].text.size(); }

  std::int32_t add_chunk(std::string_view text) {
    chunks_.push_back({text, kNone});
    return static_cast<std::int32_t>(chunks_.size() - 1);
  }

  void split(std::string_view text) {
    const auto brackets = static_cast<std::size_t>(std::count(text.begin(), text.end(), '['));
    pieces_.reserve(brackets + 1);
    chunks_.reserve(2 * brackets + 1);
    std::size_t start = 0;
    for (std::size_t open = text.find('['); open != std::string_view::npos;
         open = text.find('[', open + 1)) {
      add_piece(text.substr(start, open - start));
      start = open;
    }
    add_piece(text.substr(start));
    for (std::int32_t id = 1; id < static_cast<std::int32_t>(pieces_.size()); ++id) {
      pieces_[id].node = 0;
      walk(id, pieces_[id].first, -1);
    }
  }

  void add_piece(std::string_view text) {
    const auto id = static_cast<std::int32_t>(pieces_.size());
    Piece& piece = pieces_.emplace_back();
    piece.first = piece.last = add_chunk(text);
    piece.before = id - 1;
    if (id > 0) pieces_[id - 1].after = id;
  }

  // Walks the piece's chunks from `chunk` on along the trie, and notes the simple labels it
  // begins with whose turn comes after `turn`.
  void walk(std::int32_t id, std::int32_t chunk, int turn) {
    Piece& piece = pieces_[id];
    for (; chunk != kNone && piece.node != kNone; chunk = chunks_[chunk].next) {
      for (char byte : chunks_[chunk].text) {
        piece.node = trie_.child(piece.node, static_cast<unsigned char>(byte));
        if (piece.node == kNone) return;
        if (simple_end_[piece.node] > turn) due_.emplace(simple_end_[piece.node], id);
      }
    }
    if (piece.node != kNone && first_part_end_[piece.node]) whole_pieces_[piece.node].push_back(id);
  }

  // Drops the piece's first `length` characters; returns the chunk where the rest begins.
  std::int32_t cut_front(const Piece& piece, std::size_t length) {
    std::int32_t chunk = piece.first;
    while (chunk != kNone && length >= chunks_[chunk].text.size()) {
      length -= chunks_[chunk].text.size();
      chunk = chunks_[chunk].next;
    }
    if (chunk != kNone) chunks_[chunk].text.remove_prefix(length);
    return chunk;
  }

  bool starts_with(const Piece& piece, std::string_view text) const {
    for (std::int32_t chunk = piece.first; chunk != kNone && !text.empty();
         chunk = chunks_[chunk].next) {
      const std::string_view part = chunks_[chunk].text;
      const std::size_t length = std::min(part.size(), text.size());
      if (part.substr(0, length) != text.substr(0, length)) return false;
      text.remove_prefix(length);
    }
    return text.empty();
  }

  // Pieces first .. last (live and in order) become label n's number and what follows its text in
  // the last of them, at the end of the piece before.
  void replace(std::int32_t first, std::int32_t last, std::size_t used_of_last, int n) {
    const std::int32_t rest = cut_front(pieces_[last], used_of_last);
    const std::int32_t rest_last = pieces_[last].last;
    const std::int32_t before = pieces_[first].before;
    const std::int32_t after = pieces_[last].after;
    for (std::int32_t id = first; id != after; id = pieces_[id].after) pieces_[id].live = false;
    pieces_[before].after = after;
    if (after != kNone) pieces_[after].before = before;
    const std::int32_t number = add_chunk(numbers_[n]);
    Piece& joined = pieces_[before];
    chunks_[joined.last].next = number;
    chunks_[number].next = rest;
    joined.last = rest == kNone ? number : rest_last;
    walk(before, number, n);
  }

  void replace_simple(int n) {
    while (!due_.empty() && due_.top().first == n) {
      const std::int32_t id = due_.top().second;
      due_.pop();
      if (pieces_[id].live) replace(id, id, labels_[n].text.size(), n);
    }
  }

  // Pieces whose whole text is the label's first part, each checked against the rest of it.
  void replace_spanning(int n) {
    const std::int32_t node = trie_.end_of(n);
    std::vector<std::int32_t>& whole = whole_pieces_[node];
    std::erase_if(whole,
                  [&](std::int32_t id) { return !pieces_[id].live || pieces_[id].node != node; });
    std::sort(whole.begin(), whole.end());
    whole.erase(std::unique(whole.begin(), whole.end()), whole.end());
    const std::vector<std::int32_t> candidates = whole;
    const std::size_t part = first_part(labels_[n].text).size();
    for (std::int32_t id : candidates) {
      if (!pieces_[id].live) continue;
      std::string_view text = labels_[n].text.substr(part);
      for (std::int32_t last = pieces_[id].after; last != kNone; last = pieces_[last].after) {
        const std::size_t next = text.find('[', 1);
        if (next == std::string_view::npos) {
          if (starts_with(pieces_[last], text)) replace(id, last, text.size(), n);
          break;
        }
        if (size_of(pieces_[last]) != next || !starts_with(pieces_[last], text.substr(0, next)))
          break;
        text.remove_prefix(next);
      }
    }
  }

  std::size_t size_of(const Piece& piece) const {
    std::size_t size = 0;
    for (std::int32_t chunk = piece.first; chunk != kNone; chunk = chunks_[chunk].next)
      size += chunks_[chunk].text.size();
    return size;
  }

  // Calls `visit` with every chunk of the result, in order.
  template <typename Visit>
  void for_each_chunk(Visit visit) const {
    for (std::int32_t id = 0; id != kNone; id = pieces_[id].after)
      for (std::int32_t chunk = pieces_[id].first; chunk != kNone; chunk = chunks_[chunk].next)
        visit(chunks_[chunk].text);
  }

  std::string joined() const {
    std::size_t size = 0;
    for_each_chunk([&](std::string_view chunk) { size += chunk.size(); });
    std::string text;
    text.reserve(size);
    for_each_chunk([&](std::string_view chunk) { text += chunk; });
    return text;
  }

  // Chunks point into the text or into a label's number.
  static bool within(std::string_view chunk, const std::string& text) {
    const std::less<const char*> before;
    return !before(chunk.data(), text.data()) && before(chunk.data(), text.data() + text.size());
  }

  // Whether the result can be written over `text` from its front: every chunk of the text lands
  // at or before where it stands, and after every chunk read before it. Numbers shorter than
  // their labels, the usual case, only ever move the text towards the front.
  bool fits_in_place(const std::string& text) const {
    std::size_t written = 0;
    std::size_t read = 0;
    bool fits = true;
    for_each_chunk([&](std::string_view chunk) {
      if (!chunk.empty() && within(chunk, text)) {
        const auto at = static_cast<std::size_t>(chunk.data() - text.data());
        fits = fits && at >= written && at >= read;
        read = at + chunk.size();
      }
      written += chunk.size();
    });
    return fits;
  }

  const std::vector<LabelNumber>& labels_;
  std::vector<std::string> numbers_;  // the labels' numbers as text, which chunks point into
  LabelTrie trie_;
  std::vector<int> simple_end_;       // per node: the simple label ending there, or none
  std::vector<bool> first_part_end_;  // per node: whether a spanning label's first part ends there
  std::vector<Chunk> chunks_;
  std::vector<Piece> pieces_;
  // Simple labels due at a piece: (label, piece), the earliest turn first, then the text's order.
  std::priority_queue<std::pair<int, std::int32_t>, std::vector<std::pair<int, std::int32_t>>,
                      std::greater<>>
      due_;
  // Per spanning first part: pieces whose walk ended on it (some may have grown since).
  std::unordered_map<std::int32_t, std::vector<std::int32_t>> whole_pieces_;
};

}  // namespace

std::size_t replace_labels(std::string& text, const std::vector<LabelNumber>& labels) {
  Replacement(text, labels).run(text);
  return text.find('[');
}

}  // namespace kestrel
