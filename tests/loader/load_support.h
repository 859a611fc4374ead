#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/ansi.h"
#include "app/workbench.h"
#include "loader/open_command.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace kestrel::testing {

inline std::string cp(std::string_view utf8) { return ansi::from_utf8(utf8); }

// Each line followed by CR LF, as files are written and as Open leaves the pane.
inline std::string lines(const std::vector<std::string>& each) {
  std::string text;
  for (const std::string& line : each) text += line + "\r\n";
  return text;
}

// The run log's lines after the load.
inline std::vector<std::string> log_lines(const TempDir& dir) {
  const std::string text = read_file(dir.path() / "Editor.log");
  std::vector<std::string> result;
  for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
       start = end + 2)
    result.push_back(text.substr(start, end - start));
  return result;
}

struct Load {
  Workbench wb;
  ScriptedUi ui;
  std::vector<std::string> panes_shown;  // Source_bas while each box was shown

  // Opens `path` as typed into Text2, with the run log in the current directory.
  explicit Load(const std::string& path = "") {
    wb.run_log.open("Editor.log");
    wb.Text2 = path;
    ui.on_shown = [this](const Shown&) { panes_shown.push_back(wb.Source_bas); };
  }
  Load& run() {
    open_command(wb, ui);
    return *this;
  }
};

}  // namespace kestrel::testing
