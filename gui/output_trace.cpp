#include "gui/output_trace.h"

#include <cstddef>

#include "text/text_lines.h"

namespace kestrel {

std::optional<Location> trace_output_line(const CompileRecord& record, const Locator& source,
                                          int output_line) {
  if (output_line < 0 || static_cast<std::size_t>(output_line) >= record.output_lines.size())
    return std::nullopt;
  return source.at(record.output_lines[static_cast<std::size_t>(output_line)].source_line);
}

std::optional<int> find_numbered_line(std::string_view output, int number) {
  if (number < 0) return std::nullopt;
  // As the compile pass numbers a line: four digits with leading zeros, or all the digits of a
  // larger number, and one blank.
  std::string prefix = std::to_string(number);
  if (prefix.size() < 4) prefix.insert(0, 4 - prefix.size(), '0');
  prefix += ' ';
  int index = 0;
  for (std::size_t start = 0;; ++index) {
    const std::size_t end = output.find(crlf, start);
    const std::string_view line = output.substr(start, end - start);
    if (line.starts_with(prefix)) return index;
    if (end == std::string_view::npos) return std::nullopt;
    start = end + crlf.size();
  }
}

}  // namespace kestrel
