#include "compiler/crowded_line.h"

#include <algorithm>
#include <functional>
#include <string_view>

#include "compiler/boundary.h"
#include "compiler/fenwick_tree.h"
#include "compiler/gap_buffer.h"
#include "compiler/loop_watch.h"

namespace kestrel {

namespace {

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

// The character before the occurrence is tested first; the one after only when that one is a
// boundary, or when the occurrence starts the line.
bool stands_alone(const GapLine& line, std::size_t pos, std::size_t length) {
  if (pos > 0 && !is_boundary(line.at(pos - 1))) return false;
  return pos + length >= line.size() || is_boundary(line.at(pos + length));
}

// The first occurrence of `name` in `line` starting at `from` or after it, given that it can
// only start in [from, made_until), or in one of `spans` from `next_span` on. A span that holds
// no occurrence now never will, and is passed over for good.
class Search {
 public:
  Search(GapLine& line, const std::string& name, const Spans& spans)
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

  GapLine& line_;
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

}  // namespace

// Definitions take their turns in table order, but only those whose name occurs in the line at
// their turn can change it. Those are the names in the line as it came, and the names that a
// replacement creates: any such occurrence overlaps the value just put in (or, for an empty value,
// the join it leaves), so the stretch around it is searched again once the definition is done.
//
// Each name is queued with the place it was seen. Later replacements before that place move it:
// right by at most the line's growth since, left by at most the shrinking at the places before
// it (before its place plus that growth). So its first occurrence at its turn lies no earlier than
// its place less that shrinking, and its search starts there, not at the start of the line.
// Where the line's occurrences were listed, each keeps its exact place through the replacements.
class Turns {
 public:
  explicit Turns(const NameFinder& finder)
      : finder_(finder), reach_(std::max<std::size_t>(finder.longest_name(), 1) - 1) {}

  // A new line. `seen` holds every occurrence of a name in it, or is null.
  void start(std::string_view line, Occurrences* seen) {
    queue_.clear();
    done_ = -1;
    line_size_ = line.size();
    shrinking_.clear();
    grown_ = 0;
    stretches_.clear();
    listed_waiting_ = 0;
    if (!seen) {
      listed_.clear();
      add_names_in(line, 0, 0, line.size(), 0);
      return;
    }
    if (!std::is_sorted(seen->begin(), seen->end())) std::sort(seen->begin(), seen->end());
    // The listed places, as their differences in order.
    listed_.assign(seen->size());
    std::size_t before = 0;
    for (const auto& [start, k] : *seen) {
      listed_.add(queue_.size(), start - before);
      before = start;
      queue_.push_back({k, 0, 0, 0, 0, queue_.size()});
    }
    listed_waiting_ = queue_.size();
    std::make_heap(queue_.begin(), queue_.end(), std::greater<>());
  }

  // The value of `value_size` characters now stands at pos, where a name of `name_size` was.
  // Stretches close together are searched as one, so a definition that replaces many times
  // along a line searches it about once, however long the longest name.
  void replaced(std::size_t pos, std::size_t name_size, std::size_t value_size) {
    if (name_size > value_size) {
      // Made at the line's first shrinking, since most lines never shrink.
      if (shrinking_.empty()) shrinking_.assign(line_size_ + 1);
      shrinking_.add(std::min(pos, line_size_), name_size - value_size);
    } else {
      grown_ += value_size - name_size;
    }
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

  // The names starting in [first, last) and reaching past `reaching`, in `text`, which is the
  // line from `offset` on.
  void add_names_in(std::string_view text, std::size_t offset, std::size_t first, std::size_t last,
                    std::size_t reaching) {
    finder_.find(text, first - offset, last - offset, reaching - offset,
                 [&](int k, std::size_t first_place, std::size_t last_place) {
                   if (k <= done_) return;
                   first_place += offset;
                   queue_.push_back({k, first_place, last_place + offset,
                                     shrinking_.sum_before(first_place), grown_, kUnlisted});
                   std::push_heap(queue_.begin(), queue_.end(), std::greater<>());
                 });
  }

  std::size_t listed_at(std::size_t i) const { return listed_.sum_before(i + 1); }

  // Moves the listed places first .. last - 1 by `by`.
  void move_places(std::size_t first, std::size_t last, std::size_t by) {
    listed_.add(first, by);
    listed_.add(last, 0 - by);
  }

  // The listed occurrences after the replaced text move with it; those in it are gone, and stay
  // at its start, so that the list stays in order. Once none waits for its turn, nothing reads the
  // places again.
  void move_listed(std::size_t pos, std::size_t name_size, std::size_t value_size) {
    if (listed_waiting_ == 0) return;
    const std::size_t gone = listed_.count_below(pos);
    const std::size_t after = listed_.count_below(pos + name_size);
    for (std::size_t i = gone; i < after; ++i) move_places(i, i + 1, pos - listed_at(i));
    move_places(after, listed_.size(), value_size - name_size);
  }

  // Takes the first entry off the heap, and gives where the occurrences it saw can stand now.
  Span pop() {
    std::pop_heap(queue_.begin(), queue_.end(), std::greater<>());
    const Seen seen = queue_.back();
    queue_.pop_back();
    if (seen.listed != kUnlisted) {
      --listed_waiting_;
      return {listed_at(seen.listed), listed_at(seen.listed) + 1};
    }
    const std::size_t grown = grown_ - seen.grown;
    const std::size_t moved_left = shrinking_.sum_before(seen.place + grown) - seen.shrunk_before;
    return {seen.place > moved_left ? seen.place - moved_left : 0, seen.last_place + grown + 1};
  }

  const NameFinder& finder_;
  const std::size_t reach_;
  std::vector<Seen> queue_;  // a heap, smallest first; a definition may stand in it more than once
  int done_ = -1;
  std::size_t line_size_ = 0;  // as the line came
  // How much the line has shrunk at each place of it as it came (places past it count as its
  // last), or empty before any shrinking; and how much it has grown, replacement by replacement.
  FenwickTree shrinking_;
  std::size_t grown_ = 0;
  // Stretches still to be searched: [first, end), changed from `changed` on.
  struct Stretch {
    std::size_t first, end, changed;
  };
  std::vector<Stretch> stretches_;
  FenwickTree listed_;              // the places of the listed occurrences, as differences in order
  std::size_t listed_waiting_ = 0;  // listed occurrences still in the queue
};

struct CrowdedLines::Work {
  explicit Work(const NameFinder& names) : turns(names) {}
  Turns turns;
  Spans spans;
  Copies copies;
};

CrowdedLines::CrowdedLines(const DefinitionTable& defs, const NameFinder& names)
    : defs_(defs), work_(std::make_unique<Work>(names)) {}

CrowdedLines::~CrowdedLines() = default;

// A definition's turn considers only the first occurrence: once it is part of a longer name the
// definition is done with this line, though a later occurrence might stand alone. After each
// replacement the search starts again at the start of the line, but nothing before the
// replacement can match: the text there is as it was, and no occurrence started there, so only
// one that reaches into the replaced text is new.
std::optional<int> CrowdedLines::substitute(std::string& line, Occurrences* seen) {
  Work& work = *work_;
  work.turns.start(line, seen);
  GapLine gapped(line);
  for (std::optional<int> k = work.turns.next(work.spans); k; k = work.turns.next(work.spans)) {
    const std::string& name = defs_.def_name[*k];
    const std::string& value = defs_.def_value[*k];
    std::optional<LoopWatch> watch;
    Search search(gapped, name, work.spans);
    for (std::size_t from = 0;;) {
      const std::size_t pos = search.first_from(from);
      if (pos == std::string::npos || !stands_alone(gapped, pos, name.size())) break;
      // A shorter value ends by itself, so only the others are watched.
      if (!watch && value.size() >= name.size())
        watch.emplace(gapped.size(), name, value, work.copies);
      gapped.replace(pos, name.size(), value);
      work.turns.replaced(pos, name.size(), value.size());
      search.replaced(pos, value.size());
      if (watch && watch->loops(gapped.size(), pos)) return k;
      from = pos + 1 >= name.size() ? pos + 1 - name.size() : 0;
    }
    work.turns.search_stretches(gapped);
  }
  return std::nullopt;
}

}  // namespace kestrel
