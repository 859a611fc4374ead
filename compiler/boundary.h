#pragma once

#include <cstdint>
#include <string>

namespace kestrel {

// Whether a neighbour byte ends a name: control characters, the blank, the signs, the digit 0
// (while 1 to 9 are name characters, so "X0" stands alone) and the upper half before the Russian
// letters. The underscore, the at sign, the digits 1 to 9 and the letters are name characters.
bool is_boundary(unsigned char c);

// Whether the first character of `Sumbol` ends a name: 1 for a boundary, 0 for a name character.
// The empty string (a neighbour beyond the end of the line) is a boundary.
std::int16_t test_sumbol(const std::string& Sumbol);

}  // namespace kestrel
