#include "analysis/symbols.h"

#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <unordered_map>

#include "compiler/boundary.h"
#include "compiler/line_number.h"
#include "compiler/substitution.h"
#include "text/blanks.h"
#include "text/text_lines.h"
#include "workbench/keywords.h"

namespace kestrel {

namespace {

// Whether the byte at `pos` ends a name; past the end of the line, one does.
bool boundary_at(std::string_view line, std::size_t pos) {
  return pos >= line.size() || is_boundary(static_cast<unsigned char>(line[pos]));
}

int int_of(std::size_t n) { return static_cast<int>(n); }

// Texts looked up by a view of them, without a copy.
struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const {
    return std::hash<std::string_view>{}(text);
  }
};
using TextTable = std::unordered_map<std::string, int, TextHash, std::equal_to<>>;

class Finder {
 public:
  Finder(const Workbench& wb, const CompileRecord& record, Symbols& symbols)
      : wb_(wb), record_(record), symbols_(symbols) {
    const int count = definition_count(wb.defs);
    for (int k = 0; k < count; ++k) {
      const std::string& name = wb.defs.def_name[k];
      names_.try_emplace(name, k);
      if (!name.empty()) name_starts_[pair_of(name)] = true;
    }
    for (std::size_t n = 0; n < record.labels.size(); ++n) {
      labels_.try_emplace(record.labels[n].first, int_of(n));
      label_sizes_.insert(record.labels[n].first.size());
    }
  }

  // The definitions and the labels stand in the pane in the order of their slots.
  void run() {
    const int count = definition_count(wb_.defs);
    int next_definition = 0;
    std::size_t next_label = 0;
    int index = 0;
    for_each_pane_line(wb_.Source_bas, [&](std::string_view line) {
      while (next_definition < count && wb_.defs.def_source[next_definition].pane_line < index)
        ++next_definition;
      while (next_label < record_.label_lines.size() && record_.label_lines[next_label] < index)
        ++next_label;
      const bool defined =
          next_definition < count && wb_.defs.def_source[next_definition].pane_line == index;
      if (line.find(kDefine) != std::string_view::npos) {
        if (defined) take_definition(line, index, next_definition);
      } else if (next_label < record_.label_lines.size() &&
                 record_.label_lines[next_label] == index) {
        take_label(line, index, int_of(next_label));
      } else {
        take_references(line, index);
        take_uses(line, index, 0, 0);
      }
      ++index;
      return true;
    });
    for_each_pane_line(wb_.Dest_bas, [&](std::string_view line) {
      symbols_.output_numbers.push_back(line_number_of(line, symbols_.output_numbers.size()));
      return true;
    });
  }

 private:
  int line_number_of(std::string_view line, std::size_t index) const {
    if (index < record_.output_lines.size() && !record_.output_lines[index].numbered) return -1;
    int number = 0;
    for (std::size_t i = 0; i < line.size() && is_digit(line[i]); ++i)
      number = number * 10 + (line[i] - '0');
    return number;
  }

  void take_definition(std::string_view line, int index, int slot) {
    const std::string& name = wb_.defs.def_name[slot];
    const std::size_t after = line.find(kDefine) + kDefine.size();
    const std::size_t at = line.find(name, after);
    if (name.empty() || at == std::string_view::npos) return;
    symbols_.definitions.push_back({{index, int_of(at), int_of(name.size())}, slot});
    const std::size_t equ = line.find(kEqu, at + name.size());
    // The definitions are applied in table order: a name in a value is replaced only when its
    // own definition comes later.
    if (equ != std::string_view::npos) take_uses(line, index, equ + kEqu.size(), slot + 1);
  }

  // A label made by a substitution is not in its line's text: it stands on the whole line.
  void take_label(std::string_view line, int index, int label) {
    const auto& [text, number] = record_.labels[static_cast<std::size_t>(label)];
    const std::size_t at = line.find(text);
    const Span span = at != std::string_view::npos ? Span{index, int_of(at), int_of(text.size())}
                                                   : Span{index, 0, int_of(line.size())};
    symbols_.labels.push_back({span, number});
  }

  void take_references(std::string_view line, int index) {
    for (std::size_t open = line.find('['); open != std::string_view::npos;) {
      std::size_t longest = 0;
      int label = -1;
      for (const std::size_t size : label_sizes_) {
        if (open + size > line.size() || size <= longest) continue;
        const auto found = labels_.find(line.substr(open, size));
        if (found != labels_.end()) {
          longest = size;
          label = found->second;
        }
      }
      if (label >= 0)
        symbols_.references.push_back({{index, int_of(open), int_of(longest)}, label});
      open = line.find('[', open + std::max<std::size_t>(longest, 1));
    }
  }

  // The defined names of `line` from `from` on, of the slots from `first_slot` on: runs of name
  // characters, each used where the name's first occurrence in the line is whole too.
  void take_uses(std::string_view line, int index, std::size_t from, int first_slot) {
    if (names_.empty()) return;
    for (std::size_t pos = from; pos < line.size();) {
      if (boundary_at(line, pos)) {
        ++pos;
        continue;
      }
      std::size_t end = pos;
      while (!boundary_at(line, end)) ++end;
      const std::string_view token = line.substr(pos, end - pos);
      // Most words of a line are no defined name: their first two bytes tell most of them.
      if (!name_starts_[pair_of(token)]) {
        pos = end;
        continue;
      }
      const auto found = names_.find(token);
      if (found != names_.end() && found->second >= first_slot &&
          first_is_whole(line, found->first))
        symbols_.uses.push_back({{index, int_of(pos), int_of(end - pos)}, found->second});
      pos = end;
    }
  }

  static bool first_is_whole(std::string_view line, std::string_view name) {
    const std::size_t first = line.find(name);
    return (first == 0 || boundary_at(line, first - 1)) && boundary_at(line, first + name.size());
  }

  const Workbench& wb_;
  const CompileRecord& record_;
  Symbols& symbols_;
  // The first two bytes of a name (the first and 0 for a name of one byte).
  static std::size_t pair_of(std::string_view name) {
    const auto first = static_cast<unsigned char>(name[0]);
    const auto second = name.size() > 1 ? static_cast<unsigned char>(name[1]) : 0u;
    return first << 8 | second;
  }

  TextTable names_;
  std::vector<bool> name_starts_ = std::vector<bool>(1 << 16);
  TextTable labels_;
  std::set<std::size_t> label_sizes_;
};

}  // namespace

LineClass classify_line(std::string_view line) {
  if (line.find(kDefine) != std::string_view::npos) return LineClass::definition;
  if (line.starts_with(kInclude)) return LineClass::include;
  const std::string_view trimmed = trim_left_blanks(line);
  if (trimmed.starts_with('[')) return LineClass::label;
  if (trimmed.starts_with(kComment)) return LineClass::comment;
  if (trimmed.size() >= 2 && is_digit(trimmed[0])) return LineClass::line_number;
  return LineClass::plain;
}

Symbols find_symbols(const Workbench& wb, const CompileRecord& record) {
  Symbols symbols;
  Finder(wb, record, symbols).run();
  return symbols;
}

bool is_whole_name(std::string_view name) {
  if (name.empty()) return false;
  for (std::size_t i = 0; i < name.size(); ++i)
    if (boundary_at(name, i)) return false;
  return true;
}

}  // namespace kestrel
