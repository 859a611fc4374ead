#include "compiler/substitution.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "text/pieces.h"
#include "workbench/messages.h"

namespace kestrel {

namespace {

// The message for the definition in slot k, whose name an earlier slot holds too, at its line.
void report_duplicate(const DefinitionTable& defs, Findings& findings, const Locator& where,
                      int k) {
  const DefinitionSource& source = defs.def_source[k];
  findings.message(message_text(MessageText::duplicate_definitions) + defs.def_name[k],
                   where.loaded(source.origin, source.pane_line));
}

// The slots whose name holds in the slot before them in name order: (that slot, the slot). In
// name order a name's slots stand together, in table order.
std::vector<std::pair<int, int>> repeated_names(const DefinitionTable& defs,
                                                const std::vector<int>& in_order) {
  std::vector<std::pair<int, int>> repeated;
  for (std::size_t i = 1; i < in_order.size(); ++i)
    if (defs.def_name[in_order[i - 1]] == defs.def_name[in_order[i]])
      repeated.emplace_back(in_order[i - 1], in_order[i]);
  return repeated;
}

}  // namespace

bool Check_define_duplicates(const DefinitionTable& defs, const std::vector<int>& in_order,
                             Findings& findings, const Locator& where) {
  // The first name in table order that occurs in any other slot is the one reported, at its
  // second slot.
  const std::vector<std::pair<int, int>> repeated = repeated_names(defs, in_order);
  if (repeated.empty()) return true;
  report_duplicate(defs, findings, where,
                   std::min_element(repeated.begin(), repeated.end())->second);
  return false;
}

void Report_every_duplicate(const DefinitionTable& defs, const std::vector<int>& in_order,
                            Findings& findings, const Locator& where) {
  std::vector<int> later;
  for (const auto& [before, k] : repeated_names(defs, in_order)) later.push_back(k);
  std::sort(later.begin(), later.end());
  for (const int k : later) report_duplicate(defs, findings, where, k);
}

Substituter::Substituter(const DefinitionTable& defs, const FastPaths& paths)
    : Substituter(defs, in_name_order(defs.def_name, definition_count(defs)), {}, paths) {}

Substituter::Substituter(const DefinitionTable& defs, std::vector<int> in_order,
                         std::string_view lines_of, const FastPaths& paths)
    : paths_(paths),
      names_(defs.def_name, std::move(in_order), paths.most_moves),
      apart_(defs, names_),
      crowded_(defs, names_) {
  if (!lines_of.empty() && paths.interleaved_walks)
    lines_.emplace(names_, lines_of, paths.walk_stretch);
}

int Substituter::looping_substitution(std::string_view source, std::string& line) {
  apart_.start_line();
  const auto heard = [&](int k, std::size_t start) { apart_.heard(k, start); };
  // More occurrences than this are not worth listing: many names that end in one another on a
  // text that holds them all. The turns then find them stretch by stretch.
  const std::size_t most = paths_.listed_per_byte * source.size() + 64;
  bool every;
  if (lines_ && lines_->walked(source)) {
    every = lines_->find_every(source, most, heard);
    ++counts_.interleaved;
  } else {
    every = names_.find_every(source, most, heard);
    counts_.failure_links += names_.walks_failure_links() && !names_.empty();
  }
  if (every && (apart_.bare() || paths_.apart_lines)) {
    // A line in the text the lines are views of can be read on to the text's end.
    const std::string_view text = lines_ ? lines_->text() : source;
    const std::string_view readable = lies_within(text, source) ? text : source;
    if (apart_.substitute(source, readable.data() + readable.size(), line)) {
      counts_.apart += !apart_.bare();
      return -1;
    }
  }
  line.assign(source);
  ++(every ? counts_.crowded_listed : counts_.crowded_unlisted);
  return crowded_.substitute(line, every ? &apart_.seen() : nullptr).value_or(-1);
}

Substitution Substitute_defines(const DefinitionTable& defs, std::string line) {
  std::string substituted;
  const std::optional<int> looping = Substituter(defs).substitute(line, substituted);
  return {std::move(substituted), looping};
}

int definition_count(const DefinitionTable& defs) {
  return std::min<int>(defs.def_count, static_cast<int>(defs.def_name.size()));
}

}  // namespace kestrel
