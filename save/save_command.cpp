#include "save/save_command.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>

#include "files/failure.h"
#include "save/pane_writer.h"
#include "workbench/messages.h"

namespace kestrel {

namespace {

constexpr const char* kSaveFilter = "BAS files (*.BAS)|*.BAS";

// The path chosen in the save dialog, or "" when the user gave none and was told so.
std::string ask_for_path(Ui& ui) {
  std::string path = ui.save_dialog(kSaveFilter);
  if (path.empty()) ui.message(message_text(MessageText::cancel));
  return path;
}

SaveOutcome cancelled() {
  SaveOutcome outcome;
  outcome.cancelled = true;
  return outcome;
}

bool is_source(const Files& files, const std::filesystem::path& path, const SourceFiles& sources) {
  return std::ranges::any_of(
      sources, [&](const std::filesystem::path& source) { return files.same_file(path, source); });
}

// A failure ends the command after its box.
SaveOutcome write_reporting(Ui& ui, Files& files, const std::string& path,
                            std::string_view pane_text, const SourceFiles& sources) {
  Findings findings(ui);
  SaveOutcome outcome;
  try {
    const std::filesystem::path target = path_from_utf8(path);
    if (is_source(files, target, sources)) {
      findings.message(message_text(MessageText::source_file_kept) + ansi_path(target));
      outcome.refused = true;
    } else {
      write_pane(files, target, pane_text);
      outcome.written = true;
    }
  } catch (const Failure& failure) {
    findings.failure(failure);
  }
  outcome.findings = findings.take();
  return outcome;
}

}  // namespace

SaveOutcome save_command(Workbench& wb, Ui& ui, Files& files, const SourceFiles& sources) {
  // A typed path is used exactly as typed, blanks included.
  std::string path = wb.destination_path;
  if (path.empty()) {
    path = ask_for_path(ui);
    if (path.empty()) return cancelled();
    wb.destination_path = path;
  }
  wb.file_name = path;
  return write_reporting(ui, files, path, wb.Dest_bas, sources);
}

SaveOutcome save_as_command(Workbench& wb, Ui& ui, Files& files, const SourceFiles& sources) {
  const std::string path = ask_for_path(ui);
  if (path.empty()) return cancelled();
  wb.source_path = path;
  wb.file_name = path;
  return write_reporting(ui, files, path, wb.Source_bas, sources);
}

}  // namespace kestrel
