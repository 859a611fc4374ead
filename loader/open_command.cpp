#include "loader/open_command.h"

#include <new>
#include <string>

#include "files/failure.h"
#include "loader/include_file.h"
#include "workbench/messages.h"

namespace kestrel {

namespace {

constexpr const char* kOpenFilter = "All files (*.*)|*.*";

// The path to load: source_path exactly as typed, or the file chosen in the dialog, which then goes
// into source_path so that the next Open loads it again. Empty when the dialog was cancelled.
std::string choose_path(Workbench& wb, Ui& ui) {
  if (wb.source_path.empty()) {
    std::string chosen = ui.open_dialog(kOpenFilter);
    if (chosen.empty()) return chosen;
    wb.source_path = chosen;
  }
  return wb.source_path;
}

// The search's folders in order, each once, those after the first made absolute and normal; every
// one spelt with the platform's separator, as the paths composed below them are.
std::vector<std::filesystem::path> include_folders(const Files& files, const IncludeSearch& search,
                                                   const std::filesystem::path& main_file) {
  const auto absolute = [&](const std::filesystem::path& folder) {
    const std::filesystem::path full = (files.current_folder() / folder).lexically_normal();
    return full.has_filename() ? full : full.parent_path();
  };
  std::vector<std::filesystem::path> folders = {
      std::filesystem::path(search.first).make_preferred()};
  const auto add = [&](const std::filesystem::path& folder) {
    const std::filesystem::path full = absolute(folder);
    for (const std::filesystem::path& known : folders)
      if (absolute(known) == full) return;
    folders.push_back(full);
  };
  add(main_file.parent_path());
  for (const std::filesystem::path& folder : search.more) add(folder);
  return folders;
}

// Returns whether the file held at least one line.
bool load_main_file(Loading& load, const std::filesystem::path& path) {
  load.loaded.push_back({path, path, LoadedFile::Result::failed});
  const bool held_lines = load_file(load, path, path);
  load.loaded.front().result = held_lines ? LoadedFile::Result::read : LoadedFile::Result::empty;
  return held_lines;
}

}  // namespace

std::vector<std::filesystem::path> files_read(const OpenOutcome& outcome) {
  std::vector<std::filesystem::path> read;
  for (const LoadedFile& file : outcome.files)
    if (file.result != LoadedFile::Result::failed) read.push_back(file.resolved);
  return read;
}

OpenOutcome open_command(Workbench& wb, Ui& ui, Files& files, const IncludeSearch& search) {
  wb.Command4_enabled = false;
  Findings findings(ui);
  Loading load(wb, findings, files, {search.first});
  OpenOutcome outcome;
  try {
    const std::string path = choose_path(wb, ui);
    if (path.empty()) {
      outcome.cancelled = true;
      ui.message(message_text(MessageText::cancel));
    } else {
      // A cancelled dialog leaves the pane and the definitions as they were.
      wb.Source_bas.clear();
      wb.defs.def_count = 0;
      wb.file_name = path;
      const std::filesystem::path main_file = path_from_utf8(path);
      load.include_folders = include_folders(files, search, main_file);
      if (load_main_file(load, main_file)) wb.run_log.write_line(ansi_path(main_file) + " loaded");
      wb.Command4_enabled = true;
    }
  } catch (const Failure& failure) {
    findings.failure(failure);
  } catch (const std::bad_alloc&) {
    findings.failure(make_failure(FailureCode::out_of_memory));
  } catch (const LoadEnded&) {
    // Reported where it arose.
  }
  outcome.read_to_end = wb.Command4_enabled;
  outcome.files = std::move(load.loaded);
  outcome.includes = std::move(load.includes);
  outcome.passed_over = std::move(load.passed_over);
  outcome.findings = findings.take();
  outcome.source_map = std::move(load.map);
  outcome.source_map.loaded = TextFingerprint::of(wb.Source_bas);
  return outcome;
}

}  // namespace kestrel
