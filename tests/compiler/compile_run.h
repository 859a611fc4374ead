#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "compiler/compile_pass.h"
#include "support/scripted_ui.h"
#include "text/ansi.h"
#include "workbench/workbench.h"

namespace kestrel::testing {

using Definitions = std::vector<std::pair<std::string, std::string>>;

inline std::string cp(std::string_view utf8) { return ansi::from_utf8(utf8); }

// Each line followed by CR LF, as Open leaves the pane.
inline std::string text_of(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

inline Workbench workbench_with(const Definitions& definitions) {
  Workbench wb;
  for (const auto& [name, value] : definitions) {
    wb.defs.def_name[wb.defs.def_count] = name;
    wb.defs.def_value[wb.defs.def_count++] = value;
  }
  return wb;
}

struct CompileRun {
  std::string output;                 // Dest_bas when the pass has ended
  std::vector<std::string> messages;  // in the order shown
  std::vector<std::string> panes;     // Dest_bas while each message was shown
  bool ok = false;                    // what the pass returned: it ended with "COMPILE OK"

  bool operator==(const CompileRun&) const = default;
};

// Runs `pass` (the program's compile_command, or another pass over the same state) on a
// workbench, recording what it shows. `pass` returns whether it ended with "COMPILE OK".
template <typename PassFunction>
CompileRun run_pass(const std::string& source, const Definitions& definitions, bool check1,
                    bool check2, PassFunction pass) {
  Workbench wb = workbench_with(definitions);
  wb.Source_bas = source;
  wb.keep_comments = check1;
  wb.comments_unnumbered = check2;
  ScriptedUi ui;
  CompileRun run;
  ui.on_shown = [&](const Shown& shown) {
    run.messages.push_back(shown.text);
    run.panes.push_back(wb.Dest_bas);
  };
  run.ok = pass(wb, ui);
  run.output = wb.Dest_bas;
  return run;
}

// The program's pass, taking only the fast paths `paths` allows; adds the paths it took to
// `taken`, when given.
inline CompileRun compile(const std::string& source, const Definitions& definitions = {},
                          bool check1 = false, bool check2 = false, const FastPaths& paths = {},
                          PathCounts* taken = nullptr) {
  return run_pass(source, definitions, check1, check2, [&](Workbench& wb, Ui& ui) {
    const CompileOutcome outcome = compile_command(wb, ui, SourceMap(), paths);
    if (taken) *taken += outcome.paths;
    return outcome.ok;
  });
}

}  // namespace kestrel::testing
