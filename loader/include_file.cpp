#include "loader/include_file.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "app/blanks.h"
#include "app/failure.h"
#include "app/source_map.h"
#include "loader/include_path.h"
#include "loader/parse_define.h"

namespace kestrel {

namespace {

constexpr std::string_view kInclude = "#include";

// Only blanks are trimmed, at the end of the line and before the name; tabs belong to the name.
std::string include_name(std::string_view line) {
  line = trim_right_blanks(line);
  line.remove_prefix(std::min(line.size(), kInclude.size()));
  return std::string(trim_left_blanks(line));
}

// Returns whether the file held at least one line.
bool load_file(Workbench& wb, Ui& ui, const IncludePath& where, LoadNesting& nesting) {
  SourceFile file(where.resolved);
  return load_lines(wb, ui, file, where.composed, nesting);
}

}  // namespace

bool load_lines(Workbench& wb, Ui& ui, SourceFile& file, const std::string& path,
                LoadNesting& nesting) {
  if (file.at_end()) return false;
  const int file_index = wb.source_map.add_file(path);
  for (int number = 1; !file.at_end(); ++number) {
    wb.cur_line = file.read_line();
    wb.source_map.reading = {file_index, number};
    if (wb.cur_line.starts_with(kInclude)) {
      wb.inc_file = include_name(wb.cur_line);
      Include_file(wb, ui, wb.inc_file, nesting);
    } else {
      Parse_define(wb, ui);
    }
  }
  return true;
}

// `inc_name` may be wb.inc_file, which nested includes overwrite: it is read before any of them.
void Include_file(Workbench& wb, Ui& ui, const std::string& inc_name, LoadNesting& nesting) {
  const IncludePath where = locate_include(inc_name);
  const int depth = nesting.depth;
  // A failure points at the include line, and in the pane at the place of the included text.
  const Location include_line =
      wb.source_map.location(wb.source_map.reading, static_cast<int>(wb.source_map.origins.size()));
  try {
    if (depth >= kIncludeDepthLimit || nesting.includes_read >= kIncludeCountLimit)
      throw make_failure(FailureCode::too_many_files);
    ++nesting.includes_read;
    nesting.depth = depth + 1;
    const bool held_lines = load_file(wb, ui, where, nesting);
    nesting.depth = depth;
    if (held_lines) wb.run_log.write_line(where.composed + " loaded");
  } catch (const Failure& failure) {
    nesting.depth = depth;
    report_failure_at(ui, failure, "  " + where.composed, include_line);
  }
}

}  // namespace kestrel
