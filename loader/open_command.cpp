#include "loader/open_command.h"

#include <string>

#include "app/failure.h"
#include "app/file_io.h"
#include "loader/include_file.h"

namespace kestrel {

namespace {

constexpr const char* kOpenFilter = "All files (*.*)|*.*";

// The path to load: Text2 exactly as typed, or the file chosen in the dialog, which then goes into
// Text2 so that the next Open loads it again. Empty when the dialog was cancelled.
std::string choose_path(Workbench& wb, Ui& ui) {
  if (wb.Text2.empty()) {
    std::string chosen = ui.open_dialog(kOpenFilter);
    if (chosen.empty()) return chosen;
    wb.Text2 = chosen;
  }
  return wb.Text2;
}

// Returns whether the file held at least one line.
bool load_main_file(Workbench& wb, Ui& ui) {
  SourceFile file(wb.file_name);
  LoadNesting nesting;
  return load_lines(wb, ui, file, wb.file_name, nesting);
}

}  // namespace

void open_command(Workbench& wb, Ui& ui) {
  wb.Command4_enabled = false;
  wb.Source_bas.clear();
  wb.defs.def_count = 0;
  wb.source_map = SourceMap();
  try {
    const std::string path = choose_path(wb, ui);
    if (path.empty()) {
      ui.message("Cancel");
      return;
    }
    wb.file_name = path;
    if (load_main_file(wb, ui)) wb.run_log.write_line(wb.file_name + " loaded");
    wb.Command4_enabled = true;
  } catch (const Failure& failure) {
    report_failure(ui, failure);
  }
  wb.source_map.loaded_text = wb.Source_bas;
}

}  // namespace kestrel
