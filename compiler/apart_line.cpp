#include "compiler/apart_line.h"

#include "compiler/boundary.h"
#include "compiler/loop_watch.h"
#include "compiler/substitution.h"
#include "text/pieces.h"

namespace kestrel {

ApartLines::ApartLines(const DefinitionTable& defs, const NameFinder& names) {
  const int count = definition_count(defs);
  for (int c = 0; c < 256; ++c)
    if (is_boundary(static_cast<unsigned char>(c))) kinds_[static_cast<std::size_t>(c)] = kBoundary;
  entries_.resize(static_cast<std::size_t>(count));
  std::size_t all_values = 0;
  for (int k = 0; k < count; ++k) all_values += defs.def_value[k].size();
  values_.reserve(all_values + kPieceBlock);
  for (int k = 0; k < count; ++k) {
    const std::string& name = defs.def_name[k];
    const std::string& value = defs.def_value[k];
    for (const char c : name) kinds_[static_cast<unsigned char>(c)] |= kInNames;
    Entry& entry = entries_[static_cast<std::size_t>(k)];
    entry.value = values_.data() + values_.size();
    values_ += value;
    entry.name_size = name.size();
    entry.value_size = value.size();
    names.find_every(value, value.size() + 1, [&](int, std::size_t) { entry.inert = false; });
  }
  values_.append(kPieceBlock, ' ');
}

bool ApartLines::substitute(std::string_view source, const char* readable, std::string& line) {
  if (!apart_) return false;
  if (last_ < 0) {
    line.assign(source);
    return true;
  }
  // Within this growth no turn can be taken for one that never ends.
  if (growth_ > kLongestLine) return false;
  if (++mark_ == 0) {
    for (Entry& entry : entries_) entry.stopped = 0;
    mark_ = 1;
  }
  // Room for a whole piece past the last.
  line.resize(source.size() + growth_ + kPieceBlock);
  char* out = line.data();
  const char* const text = source.data();
  const std::size_t size = source.size();
  const char* const values_end = values_.data() + values_.size();
  std::size_t copied = 0;
  for (const auto& [start, k] : seen_) {
    Entry& entry = entries_[static_cast<std::size_t>(k)];
    if (entry.stopped == mark_) continue;
    const std::size_t after = start + entry.name_size;
    const int before = start > 0 ? static_cast<unsigned char>(text[start - 1]) : kLineEnd;
    const int next = after < size ? static_cast<unsigned char>(text[after]) : kLineEnd;
    // The character before is tested first, the one after only if that one is a boundary.
    if ((kind(before) & kBoundary) == 0 || (kind(next) & kBoundary) == 0) {
      entry.stopped = mark_;
      continue;
    }
    if (((kind(before) | kind(next)) & kInNames) != 0) return false;
    out = copy_piece(text + copied, text + start, readable, out);
    out = copy_piece(entry.value, entry.value + entry.value_size, values_end, out);
    copied = after;
  }
  out = copy_piece(text + copied, text + size, readable, out);
  line.resize(static_cast<std::size_t>(out - line.data()));
  return true;
}

}  // namespace kestrel
