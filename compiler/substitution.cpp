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
class LoopWatch {
 public:
  explicit LoopWatch(const std::string& line) : start_size_(line.size()), saved_(line) {}

  bool loops(const std::string& line) {
    if (line.size() > start_size_ + kLongestLine) return true;
    if (line == saved_) return true;
    if (++steps_ == power_) {
      saved_ = line;
      power_ *= 2;
      steps_ = 0;
    }
    return false;
  }

 private:
  std::size_t start_size_;
  std::string saved_;
  std::size_t power_ = 1;
  std::size_t steps_ = 0;
};

// The character before the occurrence is tested first; the one after only when that one is a
// boundary, or when the occurrence starts the line.
bool stands_alone(const std::string& line, std::size_t pos, std::size_t length,
                  std::string& near_char) {
  if (pos > 0) {
    near_char = line.substr(pos - 1, 1);
    if (test_sumbol(near_char) != 1) return false;
  }
  near_char = line.substr(std::min(pos + length, line.size()), 1);
  return test_sumbol(near_char) == 1;
}

enum class Outcome { ended, loops };

// Only the first occurrence is ever considered: once it is part of a longer name the definition
// is done with this line, though a later occurrence might stand alone. `replaced(pos, size)` hears
// of every replacement: the value now stands at pos.
template <typename Replaced>
Outcome substitute_one(std::string& line, const std::string& name, const std::string& value,
                       std::string& near_char, Replaced replaced) {
  std::optional<LoopWatch> watch;
  // The search starts again at the start of the line, but nothing before from can match: the
  // text there is as it was, and no occurrence started there, so only one that reaches into the
  // replaced text is new.
  std::size_t from = 0;
  for (;;) {
    const std::size_t pos = line.find(name, from);
    if (pos == std::string::npos || !stands_alone(line, pos, name.size(), near_char))
      return Outcome::ended;
    // A shorter value ends by itself, so only the others are watched.
    if (!watch && value.size() >= name.size()) watch.emplace(line);
    line.replace(pos, name.size(), value);
    replaced(pos, value.size());
    if (watch && watch->loops(line)) return Outcome::loops;
    from = pos + 1 >= name.size() ? pos + 1 - name.size() : 0;
  }
}

// Definitions take their turns in table order, but only those whose name occurs in the line at
// their turn can change it. Those are the names in the line as it came, and the names that a
// replacement creates: any such occurrence overlaps the value just put in (or, for an empty value,
// the join it leaves), so the stretch around it is searched again after every replacement.
class Turns {
 public:
  explicit Turns(const NameFinder& finder) : finder_(finder) {}

  void add_names_in(std::string_view text, std::size_t first, std::size_t last) {
    finder_.find(text, first, last, [this](int k) {
      if (k <= done_) return;
      queue_.push_back(k);
      std::push_heap(queue_.begin(), queue_.end(), std::greater<>());
    });
  }

  void add_names_around(std::string_view text, std::size_t pos, std::size_t size) {
    const std::size_t reach = std::max<std::size_t>(finder_.longest_name(), 1) - 1;
    add_names_in(text, pos > reach ? pos - reach : 0, pos + size);
  }

  // The next definition to take its turn, or nothing when none is left.
  std::optional<int> next() {
    while (!queue_.empty()) {
      std::pop_heap(queue_.begin(), queue_.end(), std::greater<>());
      const int k = queue_.back();
      queue_.pop_back();
      if (k > done_) return done_ = k;
    }
    return std::nullopt;
  }

 private:
  const NameFinder& finder_;
  std::vector<int> queue_;  // a heap, smallest first; a definition may stand in it twice
  int done_ = -1;
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
  Turns turns(names);
  turns.add_names_in(line, 0, line.size());
  for (std::optional<int> k = turns.next(); k; k = turns.next()) {
    const Outcome outcome = substitute_one(
        line, defs.def_name[*k], defs.def_value[*k], wb.near_char,
        [&](std::size_t pos, std::size_t size) { turns.add_names_around(line, pos, size); });
    if (outcome == Outcome::loops) return {std::move(line), *k};
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
