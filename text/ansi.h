#pragma once

#include <string>
#include <string_view>

namespace kestrel::ansi {

// The program's ANSI code page is Windows-1251. Every byte has a Unicode character (0x98, which
// the code page leaves unassigned, maps to U+0098), so ANSI -> UTF-8 -> ANSI gives back the same
// bytes.
std::string to_utf8(std::string_view ansi);

// Whether the code page has a byte for the character: one that from_utf8 keeps.
bool holds(char32_t character);

// Characters the code page cannot represent, and bytes that are not valid UTF-8, become '?'.
std::string from_utf8(std::string_view utf8);

}  // namespace kestrel::ansi
