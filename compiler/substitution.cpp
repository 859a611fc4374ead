#include "compiler/substitution.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <functional>
#include <string_view>
#include <vector>

#include "app/messages.h"
#include "app/pieces.h"

namespace kestrel {

namespace {

// A line of the pass is at most this long.
constexpr std::size_t kLongestLine = 32767;
// A line that a replacement moves faster than its searches could be kept track of.
constexpr std::size_t kShortLine = 256;

// Where occurrences of a name may start: [first, until).
struct Span {
  std::size_t first;
  std::size_t until;
  auto operator<=>(const Span&) const = default;
};
using Spans = std::vector<Span>;

// The end of a stretch that ended at `end` once a name of `name_size` at pos has become a value
// of `value_size`: it moves with the text after pos, and takes in the value.
std::size_t moved_end(std::size_t end, std::size_t pos, std::size_t name_size,
                      std::size_t value_size) {
  if (pos < end) end = end >= pos + name_size ? end - name_size + value_size : pos + value_size;
  return std::max(end, pos + value_size);
}

// The line as one definition's replacements rebuild it, which they do from left to right, never
// going back more than a name's length. From the second replacement on, its text is copied into
// `line` only as far as the searches have looked, so a replacement moves only what was copied
// after it, and the rest is copied once when the definition is done. (A single replacement moves
// the text after it at once, which costs no more.)
class RebuiltLine {
 public:
  // `rest` is working space.
  RebuiltLine(std::string& line, std::string& rest) : line_(line), rest_(rest) { rest_.clear(); }
  RebuiltLine(const RebuiltLine&) = delete;
  RebuiltLine& operator=(const RebuiltLine&) = delete;
  ~RebuiltLine() { line_.append(rest_, copied_); }

  std::size_t size() const { return line_.size() + rest_.size() - copied_; }

  // The text before `end` (or all of it, if shorter).
  std::string_view before(std::size_t end) {
    end = std::min(end, size());
    if (end > line_.size()) {
      const std::size_t more = end - line_.size();
      line_.append(rest_, copied_, more);
      copied_ += more;
    }
    return std::string_view(line_).substr(0, end);
  }

  char at(std::size_t pos) { return before(pos + 1)[pos]; }
  std::string_view view(std::size_t first, std::size_t end) {
    const std::string_view text = before(end);
    return first < text.size() ? text.substr(first) : std::string_view();
  }

  void replace(std::size_t pos, std::size_t length, const std::string& value) {
    if (replacements_++ == 1) {
      rest_.swap(line_);
      copied_ = pos + length;
      line_.assign(rest_, 0, copied_);
    }
    before(pos + length);
    line_.replace(pos, length, value);
  }

 private:
  std::string& line_;
  std::string& rest_;
  std::size_t copied_ = 0;  // how much of rest_ is in line_
  int replacements_ = 0;
};

// A line being substituted, with a gap at the place of the last replacement: the text after the
// gap moves only when a replacement or a search is elsewhere, and by the distance between the two
// places. So replacements along the line move it about once, and replacements at one place (a
// value holding the next definition's name) move nothing but the value. The line holds its whole
// text again once this is gone. For a line crowded with names, where each definition's turn
// replaces at places of its own.
class GapLine {
 public:
  explicit GapLine(std::string& line)
      : line_(line), gap_start_(line.size()), gap_end_(line.size()) {}
  GapLine(const GapLine&) = delete;
  GapLine& operator=(const GapLine&) = delete;
  ~GapLine() {
    move_gap(size());
    line_.resize(gap_start_);
  }

  std::size_t size() const { return line_.size() - (gap_end_ - gap_start_); }
  char at(std::size_t pos) const {
    return line_[pos < gap_start_ ? pos : pos + gap_end_ - gap_start_];
  }

  // The text from `first` to `end` (or to the end, if shorter), valid until the next change.
  std::string_view view(std::size_t first, std::size_t end) {
    end = std::min(end, size());
    if (first >= end) return {};
    if (first < gap_start_ && end > gap_start_)
      move_gap(gap_start_ - first <= end - gap_start_ ? first : end);
    const std::size_t at = first < gap_start_ ? first : first + gap_end_ - gap_start_;
    return std::string_view(line_).substr(at, end - first);
  }

  void replace(std::size_t pos, std::size_t length, const std::string& value) {
    move_gap(pos + length);
    gap_start_ = pos;
    if (gap_end_ - gap_start_ < value.size()) {
      // Room for this value and more to come, made once in a while.
      const std::size_t more = value.size() + size() / 2 + 64;
      line_.insert(gap_end_, more, '\0');
      gap_end_ += more;
    }
    line_.replace(gap_start_, value.size(), value);
    gap_start_ += value.size();
  }

 private:
  void move_gap(std::size_t pos) {
    char* const text = line_.data();
    if (pos < gap_start_) {
      const std::size_t moved = gap_start_ - pos;
      std::memmove(text + gap_end_ - moved, text + pos, moved);
      gap_start_ -= moved;
      gap_end_ -= moved;
    } else if (pos > gap_start_) {
      const std::size_t moved = pos - gap_start_;
      std::memmove(text + gap_start_, text + gap_end_, moved);
      gap_start_ += moved;
      gap_end_ += moved;
    }
  }

  std::string& line_;
  std::size_t gap_start_;
  std::size_t gap_end_;
};

// The characters of a loop watch's copies, by place in the line, with the copy each was written
// for: working space kept from one watch to the next.
struct Copies {
  std::vector<std::uint64_t> copy;
  std::vector<char> saved;
  std::uint64_t last = 0;
};

// Tells a definition whose replacements on one line never end, without stopping any that end.
//
// Every replacement by one definition changes the line's length by the same amount,
// |value| - |name|:
// - A shorter value shrinks the line each time, so the replacements end by themselves.
// - A longer value grows it by at least one character each time. After more than kLongestLine
//   characters of growth the line could only end longer than any line the pass is built for, so
//   this is a loop (X EQU X+1). It is reached after at most kLongestLine replacements.
// - A value of the name's length keeps the length, so the line runs through finitely many texts
//   of that length: it either ends or comes back to a text it held before, and then repeats for
//   ever. Brent's cycle search finds the repeat with one saved copy of the line; X EQU X repeats
//   at the first replacement. No run that ends within the pass's limits is ever reported.
//   The copy is kept as the characters that the replacements since it was taken wrote over, and
//   compared with the line through the count of places where they differ, which a replacement
//   changes only where it writes. So a definition that replaces once costs no copy of the line.
template <typename Line>
class LoopWatch {
 public:
  LoopWatch(const Line& line, const std::string& name, const std::string& value, Copies& copies)
      : start_size_(line.size()), name_(name), value_(value), copies_(copies) {
    if (value.size() == name.size()) take_copy();
  }

  // Called once the name at `pos` has become the value.
  bool loops(const Line& line, std::size_t pos) {
    if (value_.size() != name_.size()) return line.size() > start_size_ + kLongestLine;
    for (std::size_t i = 0; i < name_.size(); ++i) {
      // Where nothing was written since the copy was taken, it held what was just written over.
      if (copies_.copy[pos + i] != copies_.last) {
        copies_.copy[pos + i] = copies_.last;
        copies_.saved[pos + i] = name_[i];
      }
      const char saved = copies_.saved[pos + i];
      differences_ -= saved != name_[i];
      differences_ += saved != value_[i];
    }
    if (differences_ == 0) return true;
    if (++steps_ == power_) {
      take_copy();
      differences_ = 0;
      power_ *= 2;
      steps_ = 0;
    }
    return false;
  }

 private:
  std::size_t start_size_;
  const std::string& name_;
  void take_copy() {
    ++copies_.last;
    if (copies_.copy.size() < start_size_) {
      copies_.copy.resize(start_size_);
      copies_.saved.resize(start_size_);
    }
  }

  const std::string& value_;
  Copies& copies_;
  std::size_t differences_ = 0;
  std::size_t power_ = 1;
  std::size_t steps_ = 0;
};

// The character before the occurrence is tested first; the one after only when that one is a
// boundary, or when the occurrence starts the line.
template <typename Line>
bool stands_alone(Line& line, std::size_t pos, std::size_t length, std::string& near_char) {
  if (pos > 0) {
    near_char.assign(1, line.at(pos - 1));
    if (test_sumbol(near_char) != 1) return false;
  }
  if (pos + length < line.size())
    near_char.assign(1, line.at(pos + length));
  else
    near_char.clear();
  return test_sumbol(near_char) == 1;
}

enum class Outcome { ended, loops, grown };

// The first occurrence of `name` in `line` starting at `from` or after it, given that it can
// only start in [from, made_until), or in one of `spans` from `next_span` on. A span that holds
// no occurrence now never will, and is passed over for good.
template <typename Line>
class Search {
 public:
  Search(Line& line, const std::string& name, const Spans& spans)
      : line_(line), name_(name), spans_(spans) {}

  std::size_t first_from(std::size_t from) {
    if (std::size_t pos = within(from, made_until_); pos != std::string::npos) return pos;
    for (; next_span_ < spans_.size(); ++next_span_) {
      const Span& span = spans_[next_span_];
      const std::size_t first = span.first > shrunk_ ? span.first - shrunk_ : 0;
      if (std::size_t pos = within(std::max(from, first), span.until + grown_);
          pos != std::string::npos)
        return pos;
    }
    return std::string::npos;
  }

  // The value of `value_size` characters now stands at pos.
  void replaced(std::size_t pos, std::size_t value_size) {
    if (value_size > name_.size())
      grown_ += value_size - name_.size();
    else
      shrunk_ += name_.size() - value_size;
    made_until_ = moved_end(made_until_, pos, name_.size(), value_size);
  }

 private:
  // The search looks ahead in steps that double, so that the gap follows it only about as far
  // as the occurrence it finds.
  std::size_t within(std::size_t first, std::size_t until) const {
    for (std::size_t step = 64; first < until; step *= 2) {
      const std::size_t end = std::min(until, first + step);
      const std::size_t at = line_.view(first, end + name_.size() - 1).find(name_);
      if (at != std::string::npos) return first + at;
      first = end;
    }
    return std::string::npos;
  }

  Line& line_;
  const std::string& name_;
  const Spans& spans_;
  std::size_t next_span_ = 0;
  // By the replacements so far, which stand before every span still to be searched: the spans
  // move right by at most their growth, left by at most their shrinking.
  std::size_t grown_ = 0;
  std::size_t shrunk_ = 0;
  // An occurrence that a replacement makes overlaps its value, so it starts before this.
  std::size_t made_until_ = 0;
};

// Only the first occurrence is ever considered: once it is part of a longer name the definition
// is done with this line, though a later occurrence might stand alone. Every occurrence in the
// line as it comes starts in one of `spans`. `replaced(pos, name_size, value_size)` hears of
// every replacement: the value now stands at pos.
template <typename Line, typename Replaced>
Outcome substitute_one(Line& line, const Spans& spans, const std::string& name,
                       const std::string& value, std::string& near_char, Copies& copies,
                       Replaced replaced) {
  std::optional<LoopWatch<Line>> watch;
  Search search(line, name, spans);
  for (std::size_t from = 0;;) {
    const std::size_t pos = search.first_from(from);
    if (pos == std::string::npos || !stands_alone(line, pos, name.size(), near_char))
      return Outcome::ended;
    // A shorter value ends by itself, so only the others are watched.
    if (!watch && value.size() >= name.size()) watch.emplace(line, name, value, copies);
    line.replace(pos, name.size(), value);
    replaced(pos, name.size(), value.size());
    search.replaced(pos, value.size());
    if (watch && watch->loops(line, pos)) return Outcome::loops;
    // The search starts again at the start of the line, but nothing before this can match: the
    // text there is as it was, and no occurrence started there, so only one that reaches into
    // the replaced text is new.
    from = pos + 1 >= name.size() ? pos + 1 - name.size() : 0;
  }
}

// The same for a short line, searched whole after each replacement: moving its text costs less
// than keeping track of what the searches have seen. Once the line has grown long, the rest is
// left to substitute_one, whose search from the start of the line finds where this one would.
template <typename Replaced>
Outcome substitute_short(std::string& line, const std::string& name, const std::string& value,
                         std::string& near_char, Copies& copies, Replaced replaced) {
  std::optional<LoopWatch<std::string>> watch;
  for (std::size_t pos = line.find(name); pos != std::string::npos;
       pos = line.find(name, pos + 1 >= name.size() ? pos + 1 - name.size() : 0)) {
    if (!stands_alone(line, pos, name.size(), near_char)) break;
    if (!watch && value.size() >= name.size()) watch.emplace(line, name, value, copies);
    line.replace(pos, name.size(), value);
    replaced(pos, name.size(), value.size());
    if (watch && watch->loops(line, pos)) return Outcome::loops;
    if (line.size() > kShortLine) return Outcome::grown;
  }
  return Outcome::ended;
}

// How much a line has shrunk by the replacements at the places before a given one: a replacement
// at pos moves what stands after it. Places past the line as it came count as its last.
// The tree is only made at the line's first shrinking, since most lines never shrink.
class Shrinking {
 public:
  void start(std::size_t size) {
    size_ = size;
    sums_.clear();
  }

  void add(std::size_t pos, std::size_t amount) {
    if (sums_.empty()) sums_.assign(size_ + 1, 0);
    for (std::size_t i = std::min(pos, sums_.size() - 1) + 1; i <= sums_.size(); i += i & -i)
      sums_[i - 1] += amount;
  }

  // At the places before `pos`.
  std::size_t before(std::size_t pos) const {
    std::size_t sum = 0;
    for (std::size_t i = std::min(pos, sums_.size()); i > 0; i -= i & -i) sum += sums_[i - 1];
    return sum;
  }

 private:
  std::size_t size_ = 0;
  std::vector<std::size_t> sums_;  // a Fenwick tree, or empty before any shrinking
};

// Where names occur in a line: (place, definition).
using Occurrences = std::vector<std::pair<std::size_t, int>>;

// Places in a line, in order, that move together: moving a run of them, finding one and the
// first at or after a given place each cost the logarithm of their number. Kept as the sums of
// their differences in order, none negative, in a Fenwick tree; the arithmetic of size_t makes a
// move left a move by its complement, and every sum comes out right.
class Places {
 public:
  void start(const std::vector<std::size_t>& places) {
    sums_.assign(places.size(), 0);
    std::size_t before = 0;
    for (std::size_t i = 0; i < places.size(); ++i) {
      add(i, places[i] - before);
      before = places[i];
    }
  }

  std::size_t size() const { return sums_.size(); }

  std::size_t at(std::size_t i) const {
    std::size_t place = 0;
    for (std::size_t j = i + 1; j > 0; j -= j & -j) place += sums_[j - 1];
    return place;
  }

  // The first place at `pos` or after it; size() when there is none.
  std::size_t first_at(std::size_t pos) const {
    std::size_t i = 0, place = 0;
    for (std::size_t step = std::bit_floor(size()); step > 0; step /= 2) {
      if (i + step <= size() && place + sums_[i + step - 1] < pos) {
        i += step;
        place += sums_[i - 1];
      }
    }
    return i;
  }

  // Moves places first .. last - 1 by `by`.
  void move(std::size_t first, std::size_t last, std::size_t by) {
    add(first, by);
    add(last, 0 - by);
  }

 private:
  void add(std::size_t i, std::size_t by) {
    for (std::size_t j = i + 1; j <= sums_.size(); j += j & -j) sums_[j - 1] += by;
  }

  std::vector<std::size_t> sums_;
};

// Definitions take their turns in table order, but only those whose name occurs in the line at
// their turn can change it. Those are the names in the line as it came, and the names that a
// replacement creates: any such occurrence overlaps the value just put in (or, for an empty value,
// the join it leaves), so the stretch around it is searched again once the definition is done.
//
// Each name is queued with the place it was seen. Later replacements before that place move it:
// right by at most the line's growth since, left by at most the shrinking at the places before
// it (before its place plus that growth). So its first occurrence at its turn lies no earlier than
// its place less that shrinking, and its search starts there, not at the start of the line.
class Turns {
 public:
  explicit Turns(const NameFinder& finder)
      : finder_(finder), reach_(std::max<std::size_t>(finder.longest_name(), 1) - 1) {}

  // A new line, with its definitions up to `done` already through their turns. `seen` holds every
  // occurrence of a name in it (place, definition), or is null when they were too many to list.
  // Where they are listed, each keeps its place up to date through the replacements.
  void start(std::string_view line, int done, Occurrences* seen) {
    queue_.clear();
    done_ = done;
    shrinking_.start(line.size());
    grown_ = 0;
    stretches_.clear();
    places_.clear();
    listed_waiting_ = 0;
    if (!seen) {
      listed_.start(places_);
      add_names_in(line, 0, 0, line.size(), 0);
      return;
    }
    if (!std::is_sorted(seen->begin(), seen->end())) std::sort(seen->begin(), seen->end());
    for (const auto& [start, k] : *seen) {
      if (k <= done) continue;
      queue_.push_back({k, 0, 0, 0, 0, places_.size()});
      places_.push_back(start);
    }
    listed_.start(places_);
    listed_waiting_ = places_.size();
    std::make_heap(queue_.begin(), queue_.end(), std::greater<>());
  }

  // The names starting in [first, last) and reaching past `reaching`, in `text`, which is the
  // line from `offset` on.
  void add_names_in(std::string_view text, std::size_t offset, std::size_t first, std::size_t last,
                    std::size_t reaching) {
    finder_.find(text, first - offset, last - offset, reaching - offset,
                 [&](int k, std::size_t first_place, std::size_t last_place) {
                   if (k <= done_) return;
                   first_place += offset;
                   queue_.push_back({k, first_place, last_place + offset,
                                     shrinking_.before(first_place), grown_, kUnlisted});
                   std::push_heap(queue_.begin(), queue_.end(), std::greater<>());
                 });
  }

  // The value of `value_size` characters now stands at pos, where a name of `name_size` was.
  // Stretches close together are searched as one, so a definition that replaces many times
  // along a line searches it about once, however long the longest name.
  void replaced(std::size_t pos, std::size_t name_size, std::size_t value_size) {
    if (name_size > value_size)
      shrinking_.add(pos, name_size - value_size);
    else
      grown_ += value_size - name_size;
    move_listed(pos, name_size, value_size);
    const std::size_t first = pos > reach_ ? pos - reach_ : 0;
    if (!stretches_.empty() && first <= stretches_.back().end) {
      Stretch& last = stretches_.back();
      last.end = moved_end(last.end, pos, name_size, value_size);
      last.first = std::min(last.first, first);
      last.changed = std::min(last.changed, pos);
      return;
    }
    // A definition's replacements go from left to right, so the stretches before stay where
    // they are.
    stretches_.push_back({first, pos + value_size, pos});
  }

  // Once a definition is done with the line. Only names reaching into the changed text can be
  // new.
  void search_stretches(GapLine& line) {
    for (const Stretch& stretch : stretches_) {
      add_names_in(line.view(stretch.first, stretch.end + reach_), stretch.first, stretch.first,
                   stretch.end, stretch.changed);
    }
    stretches_.clear();
  }

  // The next definition to take its turn, or nothing when none is left; `spans` then holds where
  // its name may stand, in order.
  std::optional<int> next(Spans& spans) {
    while (!queue_.empty() && queue_.front().definition <= done_) pop();
    if (queue_.empty()) return std::nullopt;
    done_ = queue_.front().definition;
    spans.clear();
    while (!queue_.empty() && queue_.front().definition == done_) spans.push_back(pop());
    if (!std::is_sorted(spans.begin(), spans.end())) std::sort(spans.begin(), spans.end());
    return done_;
  }

 private:
  struct Seen {
    int definition;
    std::size_t place;
    std::size_t last_place;
    std::size_t shrunk_before;  // then, at the places before `place`
    std::size_t grown;          // the line's growth until then
    std::size_t listed;         // its slot in listed_, or kUnlisted
    auto operator<=>(const Seen&) const = default;
  };
  static constexpr std::size_t kUnlisted = std::string::npos;

  // The listed occurrences after the replaced text move with it; those in it are gone, and stay
  // at its start, so that the list stays in order. Once none waits for its turn, nothing reads the
  // places again.
  void move_listed(std::size_t pos, std::size_t name_size, std::size_t value_size) {
    if (listed_waiting_ == 0) return;
    const std::size_t gone = listed_.first_at(pos);
    const std::size_t after = listed_.first_at(pos + name_size);
    for (std::size_t i = gone; i < after; ++i) listed_.move(i, i + 1, pos - listed_.at(i));
    listed_.move(after, listed_.size(), value_size - name_size);
  }

  // Takes the first entry off the heap, and gives where the occurrences it saw can stand now.
  Span pop() {
    std::pop_heap(queue_.begin(), queue_.end(), std::greater<>());
    const Seen seen = queue_.back();
    queue_.pop_back();
    if (seen.listed != kUnlisted) {
      --listed_waiting_;
      return {listed_.at(seen.listed), listed_.at(seen.listed) + 1};
    }
    const std::size_t grown = grown_ - seen.grown;
    const std::size_t moved_left = shrinking_.before(seen.place + grown) - seen.shrunk_before;
    return {seen.place > moved_left ? seen.place - moved_left : 0, seen.last_place + grown + 1};
  }

  const NameFinder& finder_;
  const std::size_t reach_;
  std::vector<Seen> queue_;  // a heap, smallest first; a definition may stand in it more than once
  int done_ = -1;
  Shrinking shrinking_;
  std::size_t grown_ = 0;  // how much the line has grown, replacement by replacement
  // Stretches still to be searched: [first, end), changed from `changed` on.
  struct Stretch {
    std::size_t first, end, changed;
  };
  std::vector<Stretch> stretches_;
  Places listed_;                    // the places of the listed occurrences
  std::size_t listed_waiting_ = 0;   // listed occurrences still in the queue
  std::vector<std::size_t> places_;  // working space, kept from line to line
};

// The code page's "А": from here on the bytes are the Russian alphabet, name characters all.
constexpr unsigned char kFirstRussianLetter = 0xC0;

bool is_boundary(unsigned char c) {
  // Control characters, the blank, the signs before the digits, and the digit 0: 0 is a boundary
  // while 1 to 9 are name characters, so "X0" stands alone.
  if (c <= '0') return true;
  if (c == '_') return false;
  if (c >= ':' && c <= '?') return true;
  if (c >= '[' && c <= '`') return true;
  // The last ASCII signs, and everything of the upper half before the Russian alphabet.
  return c >= '{' && c < kFirstRussianLetter;
}

}  // namespace

std::int16_t test_sumbol(const std::string& Sumbol) {
  return Sumbol.empty() || is_boundary(static_cast<unsigned char>(Sumbol[0])) ? 1 : 0;
}

namespace {

void report_duplicate(const DefinitionTable& defs, Findings& findings, const Locator& where,
                      int first) {
  const std::string text = message_text(MessageText::duplicate_definitions) + defs.def_name[first];
  int later = first + 1;
  while (defs.def_name[later] != defs.def_name[first]) ++later;
  const DefinitionSource& source = defs.def_source[later];
  findings.message(text, where.loaded(source.origin, source.pane_line));
}

}  // namespace

bool Check_define_duplicates(const DefinitionTable& defs, const std::vector<int>& in_order,
                             Findings& findings, const Locator& where) {
  // The first name in table order that occurs in any other slot is the one reported: the first
  // of its run in name order.
  int first = -1;
  for (std::size_t i = 1; i < in_order.size(); ++i) {
    const int k = in_order[i - 1];
    if (defs.def_name[k] == defs.def_name[in_order[i]] && (first < 0 || k < first)) first = k;
  }
  if (first < 0) return true;
  report_duplicate(defs, findings, where, first);
  return false;
}

// A line where the names of only a few definitions occur is searched whole at each one's turn,
// where the bookkeeping of a long line crowded with names would cost more than it saves.
constexpr std::size_t kFewDefinitions = 16;

// What the substitutions of one table build, and their working space, kept from line to line.
struct Substituter::Space {
  Space(const DefinitionTable& table, const NameFinder& finder)
      : defs(table), names(finder), turns(finder) {
    const int count = definition_count(defs);
    for (int c = 0; c < 256; ++c)
      if (is_boundary(static_cast<unsigned char>(c)))
        kinds[static_cast<std::size_t>(c)] = kBoundary;
    entries.resize(static_cast<std::size_t>(count));
    std::size_t all_values = 0;
    for (int k = 0; k < count; ++k) all_values += defs.def_value[k].size();
    values.reserve(all_values + kPiece);
    for (int k = 0; k < count; ++k) {
      const std::string& name = defs.def_name[k];
      const std::string& value = defs.def_value[k];
      for (const char c : name) kinds[static_cast<unsigned char>(c)] |= kInNames;
      Entry& entry = entries[static_cast<std::size_t>(k)];
      entry.value = values.data() + values.size();
      values += value;
      entry.name_size = name.size();
      entry.value_size = value.size();
      names.find_reaching(value, value.size(), 0, [&](int) { entry.inert = false; });
    }
    values.append(kPiece, ' ');
  }

  // A new line, whose occurrences `seen` is about to hear of.
  void start_line() {
    seen.clear();
    apart = true;
    last = -1;
    seen_end = 0;
    growth = 0;
  }

  // The occurrences come in the order of their ends.
  void heard(int k, std::size_t start) {
    seen.emplace_back(start, k);
    const Entry& entry = entries[static_cast<std::size_t>(k)];
    apart = apart && start >= seen_end && entry.inert;
    seen_end = start + entry.name_size;
    if (entry.value_size > entry.name_size) growth += entry.value_size - entry.name_size;
    last = std::max(last, k);
  }

  // Whether the line was done in one walk along it, which it is when the names in it cannot touch
  // one another:
  // - No two occurrences overlap, and no name holds a neighbour of an occurrence that is
  //   replaced, so no replacement takes another occurrence away or changes its neighbours.
  // - No value holds a name, so no replacement makes one: a new one would lie in the value, or
  //   take in a neighbour.
  // Then each definition's turn replaces its occurrences from the left up to the first that does
  // not stand alone, whatever the other turns do.
  // `source` can be read on up to `readable`.
  bool substitute_apart(Workbench& wb, std::string_view source, const char* readable,
                        std::string& line) {
    if (!apart) return false;
    if (last < 0) {
      line.assign(source);
      return true;
    }
    // Within this growth no turn can be taken for one that never ends.
    if (growth > kLongestLine) return false;
    if (++mark == 0) {
      for (Entry& entry : entries) entry.stopped = 0;
      mark = 1;
    }
    // Room for a whole piece past the last.
    line.resize(source.size() + growth + kPiece);
    char* out = line.data();
    const char* const text = source.data();
    const std::size_t size = source.size();
    const char* const values_end = values.data() + values.size();
    // The neighbour the last definition tested last, which is the last test the turns make: a
    // character, or kLineEnd.
    int near = kLineEnd;
    std::size_t copied = 0;
    for (const auto& [start, k] : seen) {
      Entry& entry = entries[static_cast<std::size_t>(k)];
      if (entry.stopped == mark) continue;
      const std::size_t after = start + entry.name_size;
      const int before = start > 0 ? static_cast<unsigned char>(text[start - 1]) : kLineEnd;
      const int next = after < size ? static_cast<unsigned char>(text[after]) : kLineEnd;
      // The character before is tested first, the one after only if that one is a boundary.
      const bool alone_before = (kind(before) & kBoundary) != 0;
      if (k == last) near = alone_before ? next : before;
      if (!alone_before || (kind(next) & kBoundary) == 0) {
        entry.stopped = mark;
        continue;
      }
      if (((kind(before) | kind(next)) & kInNames) != 0) return false;
      out = copy_piece(text + copied, text + start, readable, out);
      out = copy_piece(entry.value, entry.value + entry.value_size, values_end, out);
      copied = after;
    }
    set_near_char(wb.near_char, near);
    out = copy_piece(text + copied, text + size, readable, out);
    line.resize(static_cast<std::size_t>(out - line.data()));
    return true;
  }

  // A character put in place where one stands already, which is most lines, without a call.
  static void set_near_char(std::string& near_char, int near) {
    if (near == kLineEnd)
      near_char.clear();
    else if (near_char.size() == 1)
      near_char[0] = static_cast<char>(near);
    else
      near_char.assign(1, static_cast<char>(near));
  }

  // What a neighbour is: a character, or kLineEnd, a boundary that occurs in no name.
  unsigned char kind(int neighbour) const {
    return neighbour == kLineEnd ? kBoundary : kinds[static_cast<std::size_t>(neighbour)];
  }

  // Whether the occurrences are of at most a few definitions; if so, `due` lists those.
  bool few_definitions() {
    due.clear();
    for (const auto& [start, k] : seen) {
      if (std::find(due.begin(), due.end(), k) != due.end()) continue;
      if (due.size() == kFewDefinitions) return false;
      due.push_back(k);
    }
    return true;
  }

  // The definitions in `due` take their turns, and after each one's replacements the stretch they
  // changed is searched again for the names they may have made. Returns whether the line was done
  // that way; if too many definitions came to take their turns, those up to `done` are done and
  // the rest is left to the long way.
  bool substitute_few(Workbench& wb, std::string& line, int& done, std::optional<int>& looping) {
    std::size_t next = 0;
    for (;;) {
      std::sort(due.begin() + static_cast<std::ptrdiff_t>(next), due.end());
      due.erase(std::unique(due.begin() + static_cast<std::ptrdiff_t>(next), due.end()), due.end());
      if (next == due.size()) return true;
      if (due.size() > kFewDefinitions) return false;
      const int k = due[next++];
      // The replacements changed the line from first_change on, up to changed_end at most.
      std::size_t first_change = std::string::npos;
      std::size_t changed_end = 0;
      const auto changed = [&](std::size_t pos, std::size_t name_size, std::size_t value_size) {
        first_change = std::min(first_change, pos);
        changed_end = moved_end(changed_end, pos, name_size, value_size);
      };
      Outcome outcome = Outcome::grown;
      if (line.size() <= kShortLine)
        outcome = substitute_short(line, defs.def_name[k], defs.def_value[k], wb.near_char, copies,
                                   changed);
      if (outcome == Outcome::grown) {
        spans.assign(1, {0, line.size()});
        RebuiltLine rebuilt(line, rest);
        outcome = substitute_one(rebuilt, spans, defs.def_name[k], defs.def_value[k], wb.near_char,
                                 copies, changed);
      }
      done = k;
      if (outcome == Outcome::loops) {
        looping = k;
        return true;
      }
      if (first_change == std::string::npos) continue;
      const std::size_t reach = std::max<std::size_t>(names.longest_name(), 1) - 1;
      const std::size_t first = first_change > reach ? first_change - reach : 0;
      names.find_reaching(std::string_view(line).substr(first), changed_end - first,
                          first_change - first, [&](int later) {
                            if (later > k) due.push_back(later);
                          });
    }
  }

  const DefinitionTable& defs;
  const NameFinder& names;
  // What a walk along a line reads of a definition, side by side.
  struct Entry {
    const char* value = nullptr;
    std::size_t name_size = 0;
    std::size_t value_size = 0;
    // The mark of the last line on which its turn met a name that does not stand alone.
    std::uint32_t stopped = 0;
    bool inert = true;  // its value holds no name
  };
  std::vector<Entry> entries;
  // The values one after another, and a piece's room after them, which is never read as a value.
  static constexpr std::size_t kPiece = kPieceBlock;
  std::string values;
  static constexpr int kLineEnd = -1;
  static constexpr unsigned char kBoundary = 1;
  static constexpr unsigned char kInNames = 2;
  std::array<unsigned char, 256> kinds{};  // per byte: kBoundary, kInNames, both or neither
  std::uint32_t mark = 0;
  // Of the occurrences heard on the line so far: whether they stand apart, the last definition
  // among them, where the last one ends, and what the line would grow by if every one were
  // replaced.
  bool apart = true;
  int last = -1;
  std::size_t seen_end = 0;
  std::size_t growth = 0;
  Turns turns;
  Spans spans;
  Occurrences seen;
  std::vector<int> due;
  Copies copies;
  std::string rest;
};

Substituter::Substituter(const DefinitionTable& defs)
    : Substituter(defs, in_name_order(defs.def_name, definition_count(defs))) {}

Substituter::Substituter(const DefinitionTable& defs, std::vector<int> in_order,
                         std::string_view lines_of)
    : names_(defs.def_name, std::move(in_order)), space_(std::make_unique<Space>(defs, names_)) {
  if (!lines_of.empty()) lines_.emplace(names_, lines_of);
}

Substituter::~Substituter() = default;

int Substituter::looping_substitution(Workbench& wb, std::string_view source, std::string& line) {
  Space& space = *space_;
  space.start_line();
  const auto heard = [&](int k, std::size_t start) { space.heard(k, start); };
  const std::size_t most = 2 * source.size() + 64;
  const bool every =
      lines_ ? lines_->find_every(source, most, heard) : names_.find_every(source, most, heard);
  // A line in the text the lines are views of can be read on to the text's end.
  const std::string_view text = lines_ ? lines_->text() : source;
  const std::string_view readable = lies_within(text, source) ? text : source;
  if (every && space.substitute_apart(wb, source, readable.data() + readable.size(), line))
    return -1;
  line.assign(source);
  return substitute_crowded(wb, line, every).value_or(-1);
}

// A line where names touch one another, or values hold names: `seen` lists their occurrences if
// `every` tells that it could.
std::optional<int> Substituter::substitute_crowded(Workbench& wb, std::string& line, bool every) {
  Space& space = *space_;
  int done = -1;
  if (every && space.few_definitions()) {
    std::optional<int> looping;
    if (space.substitute_few(wb, line, done, looping)) return looping;
  }
  Turns& turns = space.turns;
  turns.start(line, done, every && done < 0 ? &space.seen : nullptr);
  GapLine gapped(line);
  for (std::optional<int> k = turns.next(space.spans); k; k = turns.next(space.spans)) {
    const Outcome outcome = substitute_one(
        gapped, space.spans, space.defs.def_name[*k], space.defs.def_value[*k], wb.near_char,
        space.copies, [&](std::size_t pos, std::size_t name_size, std::size_t value_size) {
          turns.replaced(pos, name_size, value_size);
        });
    if (outcome == Outcome::loops) return k;
    turns.search_stretches(gapped);
  }
  return std::nullopt;
}

Substitution Substitute_defines(Workbench& wb, std::string line) {
  std::string substituted;
  const std::optional<int> looping = Substituter(wb.defs).substitute(wb, line, substituted);
  return {std::move(substituted), looping};
}

int definition_count(const DefinitionTable& defs) {
  return std::min<int>(defs.def_count, static_cast<int>(defs.def_name.size()));
}

}  // namespace kestrel
