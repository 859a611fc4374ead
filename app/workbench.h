#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/help_text.h"
#include "app/run_log.h"

namespace kestrel {

// The line break of both panes and of every file the program writes.
inline constexpr std::string_view crlf = "\r\n";

inline constexpr int kDefinitionSlots = 4097;
// Definitions past this count are still recorded, but their lines are refused with a message.
inline constexpr int kDefinitionSoftLimit = 4050;

// Names and values in reading order; slots 0 .. def_count - 1 are valid. The slots are never
// cleared, so those at and above def_count may hold an earlier load's strings.
struct DefinitionTable {
  std::vector<std::string> def_name = std::vector<std::string>(kDefinitionSlots);
  std::vector<std::string> def_value = std::vector<std::string>(kDefinitionSlots);
  int def_count = 0;
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
};

}  // namespace kestrel
