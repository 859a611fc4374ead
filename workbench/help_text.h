#pragma once

#include <string>

namespace kestrel {

// The output pane's text at start: a short help on the notation, 33 lines each ended by CR LF,
// in the code page.
const std::string& help_text();

}  // namespace kestrel
