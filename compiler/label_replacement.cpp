#include "compiler/label_replacement.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <queue>
#include <unordered_map>
#include <utility>

namespace kestrel {

namespace {

// Every label's text begins with "[", and a replacement puts in digits only, so each occurrence at
// any turn starts at a "[" that was in the text from the start and is still there. The text is
// therefore kept as pieces, each from one such "[" up to the next (the first piece is what stands
// before any "["), and a replacement at a piece's "[" joins its digits and whatever the label left
// of the piece (or of the pieces it spanned) to the end of the piece before.
//
// A label with no second "[" (a simple label) occurs at a piece exactly when the piece begins
// with it, and a piece only ever grows at its end. So the labels a piece begins with are found
// once, by walking a trie of the label texts along the piece as it grows, and each piece is
// replaced at the turn of the first of them (it has no "[" left afterwards). A label with more
// "[" spans pieces; its first part must be the whole of a piece, and the pieces the walk ended on
// that part are kept at hand for its turn.
class Replacement {
 public:
  Replacement(std::string_view text, const std::vector<LabelNumber>& labels) : labels_(labels) {
    for (int n = 0; n < static_cast<int>(labels.size()); ++n) add_label(n);
    split(text);
  }

  std::string run() {
    for (int n = 0; n < static_cast<int>(labels_.size()); ++n) {
      if (spanning_[n] >= 0)
        replace_spanning(n);
      else
        replace_simple(n);
    }
    return joined();
  }

 private:
  static constexpr std::int32_t kNone = -1;

  struct Piece {
    std::vector<std::string_view> chunks;
    std::int32_t before = kNone, after = kNone;  // the live neighbours
    std::int32_t node = kNone;  // the trie node the whole text leads to, or none once off it
    bool live = true;
  };

  // Trie.

  std::int32_t child(std::int32_t node, unsigned char byte) const {
    const auto edge = edges_.find(edge_key(node, byte));
    return edge == edges_.end() ? kNone : edge->second;
  }
  static std::uint64_t edge_key(std::int32_t node, unsigned char byte) {
    return static_cast<std::uint64_t>(node) << 8 | byte;
  }

  std::int32_t add_path(std::string_view text) {
    std::int32_t node = 0;
    for (char c : text) {
      const auto [edge, fresh] =
          edges_.try_emplace(edge_key(node, static_cast<unsigned char>(c)), node_count_);
      if (fresh) ++node_count_;
      node = edge->second;
    }
    ends_.resize(static_cast<std::size_t>(node_count_), kNone);
    first_part_.resize(static_cast<std::size_t>(node_count_), false);
    return node;
  }

  void add_label(int n) {
    const std::string_view text = labels_[n].text;
    const std::size_t second = text.find('[', 1);
    if (second == std::string_view::npos) {
      spanning_.push_back(kNone);
      ends_[add_path(text)] = n;
    } else {
      const std::int32_t node = add_path(text.substr(0, second));
      spanning_.push_back(node);
      first_part_[node] = true;
    }
  }

  // Pieces.

  void split(std::string_view text) {
    std::size_t start = 0;
    for (std::size_t open = text.find('['); open != std::string_view::npos;
         open = text.find('[', open + 1)) {
      add_piece(text.substr(start, open - start));
      start = open;
    }
    add_piece(text.substr(start));
    for (std::int32_t id = 1; id < static_cast<std::int32_t>(pieces_.size()); ++id) {
      pieces_[id].node = 0;
      walk(id, 0, -1);
    }
  }

  void add_piece(std::string_view text) {
    const auto id = static_cast<std::int32_t>(pieces_.size());
    Piece& piece = pieces_.emplace_back();
    piece.chunks.push_back(text);
    piece.before = id - 1;
    if (id > 0) pieces_[id - 1].after = id;
  }

  // Walks the piece's chunks from `first_chunk` on along the trie, and notes the simple labels
  // it begins with whose turn comes after `turn`.
  void walk(std::int32_t id, std::size_t first_chunk, int turn) {
    Piece& piece = pieces_[id];
    for (std::size_t c = first_chunk; c < piece.chunks.size() && piece.node != kNone; ++c) {
      for (char byte : piece.chunks[c]) {
        piece.node = child(piece.node, static_cast<unsigned char>(byte));
        if (piece.node == kNone) return;
        if (ends_[piece.node] > turn) due_.emplace(ends_[piece.node], id);
      }
    }
    if (piece.node != kNone && first_part_[piece.node]) whole_pieces_[piece.node].push_back(id);
  }

  // At a piece's start: its first `length` characters are dropped, the rest returned.
  std::vector<std::string_view> rest_after(const Piece& piece, std::size_t length) const {
    std::vector<std::string_view> rest;
    for (std::string_view chunk : piece.chunks) {
      const std::size_t cut = std::min(length, chunk.size());
      length -= cut;
      if (cut < chunk.size()) rest.push_back(chunk.substr(cut));
    }
    return rest;
  }

  bool starts_with(const Piece& piece, std::string_view text) const {
    for (std::string_view chunk : piece.chunks) {
      if (text.empty()) return true;
      const std::size_t length = std::min(chunk.size(), text.size());
      if (chunk.substr(0, length) != text.substr(0, length)) return false;
      text.remove_prefix(length);
    }
    return text.empty();
  }

  std::size_t size_of(const Piece& piece) const {
    std::size_t size = 0;
    for (std::string_view chunk : piece.chunks) size += chunk.size();
    return size;
  }

  // Pieces first .. last (live and in order) become label n's number and what follows its text in
  // the last of them, at the end of the piece before.
  void replace(std::int32_t first, std::int32_t last, std::size_t used_of_last, int n) {
    std::vector<std::string_view> rest = rest_after(pieces_[last], used_of_last);
    const std::int32_t before = pieces_[first].before;
    const std::int32_t after = pieces_[last].after;
    for (std::int32_t id = first; id != after; id = pieces_[id].after) pieces_[id].live = false;
    pieces_[before].after = after;
    if (after != kNone) pieces_[after].before = before;
    Piece& joined = pieces_[before];
    const std::size_t walked = joined.chunks.size();
    joined.chunks.push_back(labels_[n].number);
    joined.chunks.insert(joined.chunks.end(), rest.begin(), rest.end());
    walk(before, walked, n);
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
    const std::int32_t node = spanning_[n];
    std::vector<std::int32_t>& whole = whole_pieces_[node];
    std::erase_if(whole,
                  [&](std::int32_t id) { return !pieces_[id].live || pieces_[id].node != node; });
    std::sort(whole.begin(), whole.end());
    whole.erase(std::unique(whole.begin(), whole.end()), whole.end());
    const std::vector<std::int32_t> candidates = whole;
    for (std::int32_t id : candidates) {
      if (!pieces_[id].live) continue;
      std::string_view text = labels_[n].text.substr(node_depth(n));
      std::int32_t last = id;
      for (;;) {
        last = pieces_[last].after;
        if (last == kNone) break;
        const std::size_t second = text.find('[', 1);
        if (second == std::string_view::npos) {
          if (starts_with(pieces_[last], text)) replace(id, last, text.size(), n);
          break;
        }
        const std::string_view part = text.substr(0, second);
        if (size_of(pieces_[last]) != part.size() || !starts_with(pieces_[last], part)) break;
        text.remove_prefix(second);
      }
    }
  }

  // The length of a spanning label's first part.
  std::size_t node_depth(int n) const { return labels_[n].text.find('[', 1); }

  std::string joined() const {
    std::size_t size = 0;
    for (std::int32_t id = 0; id != kNone; id = pieces_[id].after) size += size_of(pieces_[id]);
    std::string text;
    text.reserve(size);
    for (std::int32_t id = 0; id != kNone; id = pieces_[id].after)
      for (std::string_view chunk : pieces_[id].chunks) text += chunk;
    return text;
  }

  const std::vector<LabelNumber>& labels_;
  std::unordered_map<std::uint64_t, std::int32_t> edges_;
  std::int32_t node_count_ = 1;                         // node 0 is the root
  std::vector<int> ends_ = std::vector<int>(1, kNone);  // per node: the simple label ending there
  std::vector<bool> first_part_ = std::vector<bool>(1, false);  // per node: a spanning one's start
  std::vector<std::int32_t> spanning_;  // per label: the node of its first part, or none if simple
  std::vector<Piece> pieces_;
  // Simple labels due at a piece: (label, piece), the earliest turn first, then the text's order.
  std::priority_queue<std::pair<int, std::int32_t>, std::vector<std::pair<int, std::int32_t>>,
                      std::greater<>>
      due_;
  std::unordered_map<std::int32_t, std::vector<std::int32_t>> whole_pieces_;
};

}  // namespace

std::string replace_labels(std::string_view text, const std::vector<LabelNumber>& labels) {
  return Replacement(text, labels).run();
}

}  // namespace kestrel
