#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "text/text_lines.h"
#include "workbench/help_text.h"
#include "workbench/run_log.h"
#include "workbench/source_map.h"

namespace kestrel {

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

// The window's state and the values of its controls, as plain data. Every command reads and
// changes it; the window copies it to and from its widgets around each command.
struct Workbench {
  // The panes, by their designer names.
  std::string Source_bas;
  std::string Dest_bas = help_text();
  // The options, which the window maps its controls onto: the path boxes Text1 and Text2, and the
  // check boxes Check1 ("Enable "REM" string") and Check2 ("Coment").
  std::string destination_path;      // Text1
  std::string source_path;           // Text2
  bool keep_comments = false;        // Check1: comment lines reach the output
  bool comments_unnumbered = false;  // Check2: kept comment lines carry no line number
  bool Command4_enabled = false;     // Compile

  // State shared by the commands.
  RunLog run_log;
  std::string file_name;
  std::string cur_line;
  std::string inc_file;
  std::string trim_line;
  DefinitionTable defs;
  int line_num = 0;
  std::int32_t bracket_pos = 0;
};

}  // namespace kestrel
