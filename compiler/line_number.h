#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrel {

// The decimal digits 0 to 9 only, whatever the locale.
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The value of the decimal number at the start of a line-number directive, rounded to the nearest
// integer with halves going to the even neighbour, as decimal digits without leading zeros.
//
// Reading takes digits, at most one point with the digits after it, and an exponent (E or D in
// either case, an optional sign, digits); blanks, tabs and line feeds are skipped wherever they
// stand, and reading stops at the first character that cannot continue the number. A marker that
// no exponent digit follows ends the number before it. The arithmetic is exact decimal, so the
// text holds every digit of values far beyond any machine integer ('1E400').
std::string read_line_number(std::string_view line);

// The value of a text from read_line_number when it has at most five digits.
std::optional<int> small_line_number(const std::string& digits);

}  // namespace kestrel
