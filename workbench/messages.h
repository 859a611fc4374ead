#pragma once

#include <string>

namespace kestrel {

// The texts of the program's own messages. A message that names something ends with the text
// its name is appended to.
enum class MessageText {
  compile_ok,
  cancel,
  bad_definition,
  too_many_definitions,
  duplicate_definitions,
  looping_substitution,
  bad_line_number,
  duplicate_labels,
  undefined_labels,
  long_line,
  // The window's own, in English like its captions.
  source_file_kept,
  unsaved_source,
  lost_characters,
  definitions_next_open,
  line_not_in_output,
};

// The text in the code page.
const std::string& message_text(MessageText which);

}  // namespace kestrel
