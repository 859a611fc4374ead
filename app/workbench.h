#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/help_text.h"
#include "app/run_log.h"
#include "app/source_map.h"

namespace kestrel {

// The line break of both panes and of every file the program writes.
inline constexpr std::string_view crlf = "\r\n";

inline constexpr int kDefinitionSlots = 4097;
// Definitions past this count are still recorded, but their lines are refused with a message.
inline constexpr int kDefinitionSoftLimit = 4050;

// Where a definition was read, and its pane line: none when the line was refused.
struct DefinitionSource {
  SourceOrigin origin;
  std::optional<int> pane_line;
};

// Names and values in reading order; slots 0 .. def_count - 1 are valid. The slots are never
// cleared, so those at and above def_count may hold an earlier load's strings.
struct DefinitionTable {
  std::vector<std::string> def_name = std::vector<std::string>(kDefinitionSlots);
  std::vector<std::string> def_value = std::vector<std::string>(kDefinitionSlots);
  std::vector<DefinitionSource> def_source = std::vector<DefinitionSource>(kDefinitionSlots);
  int def_count = 0;
};

// One line of Dest_bas as the compile pass wrote it: the pane line (0-based) that produced it,
// and whether it carries a line number (an unnumbered comment does not).
struct OutputLine {
  int source_line = 0;
  bool numbered = true;
};

// What the last compile pass produced besides the text: every output line's source and every
// label with its number, in source order.
struct CompileRecord {
  std::vector<OutputLine> output_lines;
  std::vector<std::pair<std::string, int>> labels;
};

// The window's state and the values of its controls, as plain data. Every command reads and
// changes it; the window copies it to and from its widgets around each command.
struct Workbench {
  // Controls, by their designer names.
  std::string Source_bas;
  std::string Dest_bas = help_text();
  std::string Text1;              // destination path
  std::string Text2;              // source path
  bool Check1 = false;            // "Enable "REM" string"
  bool Check2 = false;            // "Coment"
  bool Command4_enabled = false;  // Compile

  // State shared by the commands.
  RunLog run_log;
  std::string file_name;
  std::string cur_line;
  std::string inc_file;
  std::string trim_line;
  DefinitionTable defs;
  int line_num = 0;
  std::string near_char;
  std::int32_t bracket_pos = 0;

  SourceMap source_map;
  CompileRecord compile_record;
};

}  // namespace kestrel
