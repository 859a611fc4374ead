#pragma once

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "files/memory_files.h"
#include "loader/open_command.h"
#include "support/scripted_ui.h"
#include "support/separator.h"
#include "text/ansi.h"
#include "workbench/workbench.h"

namespace kestrel::testing {

inline std::string cp(std::string_view utf8) { return ansi::from_utf8(utf8); }

// Each line followed by CR LF, as files are written and as Open leaves the pane.
inline std::string lines(const std::vector<std::string>& each) {
  std::string text;
  for (const std::string& line : each) text += line + "\r\n";
  return text;
}

// The pieces of `text` that a CR LF follows.
inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> result;
  for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
       start = end + 2)
    result.push_back(text.substr(start, end - start));
  return result;
}

// The folder that the files of a load are taken against, spelt as the program shows it: with the
// platform's separator.
inline const std::string kFolder = native("/work");

// An Open over files in memory, whose current folder is kFolder and is also the folder of
// includes, with the run log kept in memory.
struct Load {
  MemoryFiles files{kFolder};
  std::ostringstream log;
  Workbench wb;
  ScriptedUi ui;
  std::vector<std::string> panes_shown;  // Source_bas while each box was shown
  OpenOutcome outcome;

  // Opens `path` as typed into Text2.
  explicit Load(const std::string& path = "") {
    wb.run_log.open(log);
    wb.source_path = path;
    ui.on_shown = [this](const Shown&) { panes_shown.push_back(wb.Source_bas); };
  }
  Load& run() {
    outcome = open_command(wb, ui, files, {files.current_folder()});
    return *this;
  }
  // The run log's lines after the load.
  std::vector<std::string> log_lines() const { return lines_of(log.str()); }
};

}  // namespace kestrel::testing
