#include "save/save_command.h"

#include <string>
#include <string_view>

#include "app/failure.h"
#include "save/pane_writer.h"

namespace kestrel {

namespace {

constexpr const char* kSaveFilter = "BAS files (*.BAS)|*.BAS";

// The path chosen in the save dialog, or "" when the user gave none and was told so.
std::string ask_for_path(Ui& ui) {
  std::string path = ui.save_dialog(kSaveFilter);
  if (path.empty()) ui.message("Cancel");
  return path;
}

// A failure ends the command after its box; what was written before it stays in the file.
void write_reporting(Ui& ui, const std::string& path, std::string_view pane_text) {
  try {
    write_pane(path, pane_text);
  } catch (const Failure& failure) {
    report_failure(ui, failure);
  }
}

}  // namespace

void save_command(Workbench& wb, Ui& ui) {
  // A typed path is used exactly as typed, blanks included.
  std::string path = wb.Text1;
  if (path.empty()) {
    path = ask_for_path(ui);
    if (path.empty()) return;
    wb.Text1 = path;
  }
  wb.file_name = path;
  write_reporting(ui, path, wb.Dest_bas);
}

void save_as_command(Workbench& wb, Ui& ui) {
  const std::string path = ask_for_path(ui);
  if (path.empty()) return;
  wb.Text2 = path;
  wb.file_name = path;
  write_reporting(ui, path, wb.Source_bas);
}

}  // namespace kestrel
