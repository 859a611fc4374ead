#include "compiler/substitution.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/messages.h"

namespace kestrel {

namespace {

// A line of the pass is at most this long.
constexpr std::size_t kLongestLine = 32767;

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
//   The line is compared with the copy through the count of places where they differ, which a
//   replacement changes only where it writes.
class LoopWatch {
 public:
  LoopWatch(const std::string& line, const std::string& name, const std::string& value)
      : start_size_(line.size()), name_(name), value_(value), saved_(line) {}

  // Called once the name at `pos` has become the value.
  bool loops(const std::string& line, std::size_t pos) {
    if (value_.size() != name_.size()) return line.size() > start_size_ + kLongestLine;
    for (std::size_t i = 0; i < name_.size(); ++i) {
      differences_ -= saved_[pos + i] != name_[i];
      differences_ += saved_[pos + i] != value_[i];
    }
    if (differences_ == 0) return true;
    if (++steps_ == power_) {
      saved_ = line;
      differences_ = 0;
      power_ *= 2;
      steps_ = 0;
    }
    return false;
  }

 private:
  std::size_t start_size_;
  const std::string& name_;
  const std::string& value_;
  std::string saved_;
  std::size_t differences_ = 0;
  std::size_t power_ = 1;
  std::size_t steps_ = 0;
};

// The character before the occurrence is tested first; the one after only when that one is a
// boundary, or when the occurrence starts the line.
bool stands_alone(const std::string& line, std::size_t pos, std::size_t length,
                  std::string& near_char) {
  if (pos > 0) {
    near_char.assign(1, line[pos - 1]);
    if (test_sumbol(near_char) != 1) return false;
  }
  if (pos + length < line.size())
    near_char.assign(1, line[pos + length]);
  else
    near_char.clear();
  return test_sumbol(near_char) == 1;
}

enum class Outcome { ended, loops };

// Only the first occurrence is ever considered: once it is part of a longer name the definition
// is done with this line, though a later occurrence might stand alone. The first occurrence
// starts at `from` or after it. `replaced(pos, name_size, value_size)` hears of every
// replacement: the value now stands at pos.
template <typename Replaced>
Outcome substitute_one(std::string& line, std::size_t from, const std::string& name,
                       const std::string& value, std::string& near_char, Replaced replaced) {
  std::optional<LoopWatch> watch;
  for (;;) {
    const std::size_t pos = line.find(name, from);
    if (pos == std::string::npos || !stands_alone(line, pos, name.size(), near_char))
      return Outcome::ended;
    // A shorter value ends by itself, so only the others are watched.
    if (!watch && value.size() >= name.size()) watch.emplace(line, name, value);
    line.replace(pos, name.size(), value);
    replaced(pos, name.size(), value.size());
    if (watch && watch->loops(line, pos)) return Outcome::loops;
    // The search starts again at the start of the line, but nothing before this can match: the
    // text there is as it was, and no occurrence started there, so only one that reaches into
    // the replaced text is new.
    from = pos + 1 >= name.size() ? pos + 1 - name.size() : 0;
  }
}

// How much a line has shrunk by the replacements at the places before a given one: a replacement
// at pos moves what stands after it. Places past the line as it came count as its last.
class Shrinking {
 public:
  explicit Shrinking(std::size_t size) : sums_(size + 1, 0) {}

  void add(std::size_t pos, std::size_t amount) {
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
  std::vector<std::size_t> sums_;  // a Fenwick tree
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
  Turns(const NameFinder& finder, std::size_t line_size)
      : finder_(finder),
        reach_(std::max<std::size_t>(finder.longest_name(), 1) - 1),
        shrinking_(line_size) {}

  void add_names_in(std::string_view text, std::size_t first, std::size_t last) {
    finder_.find(text, first, last, [this](int k, std::size_t start) {
      if (k <= done_) return;
      queue_.push_back({k, start, shrinking_.before(start), grown_});
      std::push_heap(queue_.begin(), queue_.end(), std::greater<>());
    });
  }

  // The value of `value_size` characters now stands at pos, where a name of `name_size` was.
  // Stretches close together are searched as one, so a definition that replaces many times
  // along a line searches it about once, however long the longest name.
  void replaced(std::string_view text, std::size_t pos, std::size_t name_size,
                std::size_t value_size) {
    if (name_size > value_size)
      shrinking_.add(pos, name_size - value_size);
    else
      grown_ += value_size - name_size;
    const std::size_t first = pos > reach_ ? pos - reach_ : 0;
    if (stretch_pending_ && first <= stretch_end_) {
      if (pos < stretch_end_)
        stretch_end_ = stretch_end_ >= pos + name_size ? stretch_end_ - name_size + value_size
                                                       : pos + value_size;
      stretch_end_ = std::max(stretch_end_, pos + value_size);
      stretch_first_ = std::min(stretch_first_, first);
      return;
    }
    search_stretch(text);
    stretch_pending_ = true;
    stretch_first_ = first;
    stretch_end_ = pos + value_size;
  }

  // Once a definition is done with the line.
  void search_stretch(std::string_view text) {
    if (stretch_pending_) add_names_in(text, stretch_first_, stretch_end_);
    stretch_pending_ = false;
  }

  // The next definition to take its turn and where its search starts, or nothing when none is
  // left.
  std::optional<std::pair<int, std::size_t>> next() {
    while (!queue_.empty() && queue_.front().definition <= done_) pop();
    if (queue_.empty()) return std::nullopt;
    done_ = queue_.front().definition;
    std::size_t from = std::string::npos;
    while (!queue_.empty() && queue_.front().definition == done_) from = std::min(from, pop());
    return std::pair(done_, from);
  }

 private:
  struct Seen {
    int definition;
    std::size_t place;
    std::size_t shrunk_before;  // then, at the places before it
    std::size_t grown;          // the line's growth until then
    auto operator<=>(const Seen&) const = default;
  };

  // Takes the first entry off the heap, and gives the earliest place its name can stand now.
  std::size_t pop() {
    std::pop_heap(queue_.begin(), queue_.end(), std::greater<>());
    const Seen seen = queue_.back();
    queue_.pop_back();
    const std::size_t moved_left =
        shrinking_.before(seen.place + (grown_ - seen.grown)) - seen.shrunk_before;
    return seen.place > moved_left ? seen.place - moved_left : 0;
  }

  const NameFinder& finder_;
  const std::size_t reach_;
  std::vector<Seen> queue_;  // a heap, smallest first; a definition may stand in it more than once
  int done_ = -1;
  Shrinking shrinking_;
  std::size_t grown_ = 0;         // how much the line has grown, replacement by replacement
  bool stretch_pending_ = false;  // a stretch still to be searched: [stretch_first_, stretch_end_)
  std::size_t stretch_first_ = 0;
  std::size_t stretch_end_ = 0;
};

}  // namespace

// The code page's "А": from here on the bytes are the Russian alphabet, name characters all.
constexpr unsigned char kFirstRussianLetter = 0xC0;

std::int16_t test_sumbol(const std::string& Sumbol) {
  if (Sumbol.empty()) return 1;
  const auto c = static_cast<unsigned char>(Sumbol[0]);
  // Control characters, the blank, the signs before the digits, and the digit 0: 0 is a boundary
  // while 1 to 9 are name characters, so "X0" stands alone.
  if (c <= '0') return 1;
  if (c == '_') return 0;
  if (c >= ':' && c <= '?') return 1;
  if (c >= '[' && c <= '`') return 1;
  // The last ASCII signs, and everything of the upper half before the Russian alphabet.
  if (c >= '{' && c < kFirstRussianLetter) return 1;
  return 0;
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

bool Check_define_duplicates(const DefinitionTable& defs, Findings& findings,
                             const Locator& where) {
  const int count = definition_count(defs);
  std::unordered_map<std::string_view, int> uses;
  for (int i = 0; i < count; ++i) ++uses[defs.def_name[i]];
  // The first name in table order that occurs in any other slot is the one reported.
  for (int i = 0; i < count; ++i) {
    if (uses[defs.def_name[i]] > 1) {
      report_duplicate(defs, findings, where, i);
      return false;
    }
  }
  return true;
}

Substitution Substitute_defines(Workbench& wb, const NameFinder& names, std::string line) {
  const DefinitionTable& defs = wb.defs;
  Turns turns(names, line.size());
  turns.add_names_in(line, 0, line.size());
  for (auto turn = turns.next(); turn; turn = turns.next()) {
    const auto [k, from] = *turn;
    const Outcome outcome =
        substitute_one(line, from, defs.def_name[k], defs.def_value[k], wb.near_char,
                       [&](std::size_t pos, std::size_t name_size, std::size_t value_size) {
                         turns.replaced(line, pos, name_size, value_size);
                       });
    if (outcome == Outcome::loops) return {std::move(line), k};
    turns.search_stretch(line);
  }
  return {std::move(line), std::nullopt};
}

Substitution Substitute_defines(Workbench& wb, std::string line) {
  return Substitute_defines(wb, NameFinder(wb.defs.def_name, definition_count(wb.defs)),
                            std::move(line));
}

int definition_count(const DefinitionTable& defs) {
  return std::min<int>(defs.def_count, static_cast<int>(defs.def_name.size()));
}

}  // namespace kestrel
