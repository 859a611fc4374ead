#include "compiler/substitution.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "app/ansi.h"

namespace kestrel {

namespace {

// A line of the pass is at most this long.
constexpr std::size_t kLongestLine = 32767;

const std::string& duplicate_definitions_message() {
  static const std::string text = ansi::from_utf8("Ошибка - Дубликаты подстановок!");
  return text;
}

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
// is done with this line, though a later occurrence might stand alone.
Outcome substitute_one(std::string& line, const std::string& name, const std::string& value,
                       std::string& near_char) {
  LoopWatch watch(line);
  // The search starts again at the start of the line, but nothing before from can match: the
  // text there is as it was, and no occurrence started there, so only one that reaches into the
  // replaced text is new.
  std::size_t from = 0;
  for (;;) {
    const std::size_t pos = line.find(name, from);
    if (pos == std::string::npos || !stands_alone(line, pos, name.size(), near_char))
      return Outcome::ended;
    line.replace(pos, name.size(), value);
    if (watch.loops(line)) return Outcome::loops;
    from = pos + 1 >= name.size() ? pos + 1 - name.size() : 0;
  }
}

}  // namespace

std::int16_t test_sumbol(const std::string& Sumbol) {
  if (Sumbol.empty()) return 1;
  const int c = static_cast<unsigned char>(Sumbol[0]);
  // The digit 0 is a boundary while 1 to 9 are name characters, so "X0" stands alone.
  if (c <= 48) return 1;
  if (c == 95) return 0;
  if (c >= 58 && c <= 63) return 1;
  if (c >= 91 && c <= 96) return 1;
  if (c >= 123 && c <= 191) return 1;
  return 0;
}

bool Check_define_duplicates(const DefinitionTable& defs, Ui& ui) {
  const int count = std::min<int>(defs.def_count, static_cast<int>(defs.def_name.size()));
  std::unordered_map<std::string_view, int> uses;
  for (int i = 0; i < count; ++i) ++uses[defs.def_name[i]];
  // The first name in table order that occurs in any other slot is the one reported.
  for (int i = 0; i < count; ++i) {
    if (uses[defs.def_name[i]] > 1) {
      ui.message(duplicate_definitions_message() + defs.def_name[i]);
      return false;
    }
  }
  return true;
}

Substitution Substitute_defines(Workbench& wb, std::string line) {
  const DefinitionTable& defs = wb.defs;
  const int count = std::min<int>(defs.def_count, static_cast<int>(defs.def_name.size()));
  for (int k = 0; k < count; ++k) {
    // Replacing the empty name never changes a line.
    if (defs.def_name[k].empty()) continue;
    if (substitute_one(line, defs.def_name[k], defs.def_value[k], wb.near_char) == Outcome::loops)
      return {std::move(line), k};
  }
  return {std::move(line), std::nullopt};
}

}  // namespace kestrel
