#pragma once

#include <string_view>

namespace kestrel {

// The notation's words, as a source spells them: the two directives that Open reads, the word
// that separates a definition's name from its value, and the word that begins a comment line.
inline constexpr std::string_view kDefine = "#define";
inline constexpr std::string_view kInclude = "#include";
inline constexpr std::string_view kEqu = "EQU";
inline constexpr std::string_view kComment = "REM";

}  // namespace kestrel
