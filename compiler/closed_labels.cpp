#include "compiler/closed_labels.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstring>

#include "text/text_hash.h"

namespace kestrel {

namespace {

// One look-up a byte, where two comparisons would take two branches.
constexpr auto kBrackets = [] {
  std::array<bool, 256> brackets{};
  brackets['['] = brackets[']'] = true;
  return brackets;
}();

bool is_bracket(char c) { return kBrackets[static_cast<unsigned char>(c)]; }

// "[", no bracket, and "]" at its end.
bool closed(std::string_view label) {
  if (label.size() < 2 || label.front() != '[' || label.back() != ']') return false;
  return std::none_of(label.begin() + 1, label.end() - 1, is_bracket);
}

// The first "[" or "]" after the "[" at `open`, or npos.
std::size_t bracket_after(std::string_view text, std::size_t open) {
  for (std::size_t at = open + 1; at < text.size(); ++at)
    if (is_bracket(text[at])) return at;
  return std::string_view::npos;
}

// A label's number, which is never negative, as its digits.
struct Digits {
  explicit Digits(int number)
      : size(static_cast<std::size_t>(std::to_chars(text, text + sizeof text, number).ptr - text)) {
  }
  char text[12];
  std::size_t size;
};

}  // namespace

// A replacement changes no stretch but its own, so each stretch that is a label's text becomes
// its number where it stands.
std::optional<std::size_t> replace_closed_labels(std::string& text,
                                                 const std::vector<LabelNumber>& labels,
                                                 const LabelIndex& index) {
  if (!std::ranges::all_of(labels, [](const LabelNumber& label) { return closed(label.text); }))
    return std::nullopt;
  // The stretches that are labels, where they open and which label each is, and whether the
  // numbers can be written over the text from its front: the result may never have grown past
  // the end of a label it has replaced.
  struct Found {
    std::size_t open;
    std::size_t label;
  };
  std::vector<Found> found;
  const std::string_view view = text;
  std::size_t size = text.size();  // of the result, were the rest left as it stands
  bool in_place = true;
  std::size_t left = std::string::npos;  // in the result
  for (std::size_t open = view.find('['); open != std::string::npos;) {
    const std::size_t stop = bracket_after(view, open);
    if (stop != std::string::npos && view[stop] == '[') return std::nullopt;
    const int label =
        stop == std::string::npos ? -1 : index.find(view.substr(open, stop + 1 - open));
    if (label < 0) {
      if (left == std::string::npos) left = open + size - text.size();
      if (stop == std::string::npos) break;
    } else {
      const Digits digits(labels[static_cast<std::size_t>(label)].number);
      found.push_back({open, static_cast<std::size_t>(label)});
      size = size - (stop + 1 - open) + digits.size;
      in_place = in_place && size <= text.size();
    }
    open = view.find('[', stop + 1);
  }
  std::string rebuilt;
  if (!in_place) rebuilt.reserve(size);
  std::string& out = in_place ? text : rebuilt;
  std::size_t read = 0, written = 0;
  const auto put = [&](const char* from, std::size_t count) {
    if (in_place) {
      if (from != out.data() + written) std::memmove(out.data() + written, from, count);
    } else {
      out.append(from, count);
    }
    written += count;
  };
  for (const auto& [open, label] : found) {
    const Digits digits(labels[label].number);
    put(text.data() + read, open - read);
    // In place the digits end before the end of the label they replace, which is read already.
    put(digits.text, digits.size);
    read = open + labels[label].text.size();
  }
  put(text.data() + read, text.size() - read);
  if (in_place) {
    text.resize(written);
  } else {
    text.swap(rebuilt);
  }
  return left;
}

// Inline: a look-up is little more than this walk.
inline std::size_t LabelIndex::slot_of(std::string_view text, std::uint64_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t at = static_cast<std::size_t>(hash) & mask;; at = (at + 1) & mask) {
    const std::int32_t label = slots_[at];
    if (label < 0 || labels_[static_cast<std::size_t>(label)].text == text) return at;
  }
}

LabelIndex::LabelIndex(const std::vector<LabelNumber>& labels) : labels_(labels) {
  // At most half full, so that a miss ends after a slot or two.
  const std::size_t slots = std::bit_ceil(std::max<std::size_t>(16, 2 * labels.size()));
  slots_.assign(slots, -1);
  for (int n = 0; n < static_cast<int>(labels.size()); ++n) {
    std::int32_t& slot = slots_[slot_of(labels[n].text, text_hash(labels[n].text))];
    if (slot >= 0) {
      // The first later text equal to an earlier one is that one's first duplicate.
      if (!duplicate_ || slot < duplicate_->first) duplicate_ = std::pair(slot, n);
      continue;
    }
    slot = n;
  }
}

int LabelIndex::find(std::string_view text) const { return slots_[slot_of(text, text_hash(text))]; }

}  // namespace kestrel
