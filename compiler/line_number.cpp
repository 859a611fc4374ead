#include "compiler/line_number.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace kestrel {

namespace {

// An exponent beyond this reads as this. Even so, '1E999999' gives a text of a million digits:
// large, but exact and harmless, and no integer can overflow while reading.
constexpr std::int64_t kExponentLimit = 1'000'000;

bool is_exponent_marker(char c) { return c == 'E' || c == 'e' || c == 'D' || c == 'd'; }

std::string without_leading_zeros(std::string_view digits) {
  const std::size_t first = digits.find_first_not_of('0');
  return first == std::string_view::npos ? "0" : std::string(digits.substr(first));
}

void add_one(std::string& digits) {
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (*it != '9') {
      ++*it;
      return;
    }
    *it = '0';
  }
  digits.insert(digits.begin(), '1');
}

// Whether a fraction (its digits after the point) rounds the integer part up; `odd` tells
// whether that integer part is odd, which decides an exact half.
bool rounds_up(std::string_view fraction, bool odd) {
  if (fraction.empty() || fraction[0] < '5') return false;
  if (fraction[0] > '5') return true;
  return fraction.find_first_not_of('0', 1) != std::string_view::npos || odd;
}

// The value digits x 10^exponent, rounded to an integer.
std::string rounded(std::string_view digits_read, std::int64_t exponent) {
  const std::string digits = without_leading_zeros(digits_read);
  if (exponent >= 0)
    return digits == "0" ? digits : digits + std::string(static_cast<std::size_t>(exponent), '0');
  const auto places = static_cast<std::uint64_t>(-exponent);
  // Below 0.1 the value rounds to 0.
  if (places > digits.size()) return "0";
  const std::size_t split = digits.size() - static_cast<std::size_t>(places);
  std::string whole = digits.substr(0, split);
  const bool odd = !whole.empty() && (whole.back() - '0') % 2 == 1;
  if (rounds_up(std::string_view(digits).substr(split), odd)) {
    if (whole.empty()) whole.push_back('0');
    add_one(whole);
  }
  return without_leading_zeros(whole);
}

}  // namespace

std::string read_line_number(std::string_view line) {
  // Blanks, tabs and line feeds are skipped wherever they stand, so they are dropped first.
  std::string text;
  std::copy_if(line.begin(), line.end(), std::back_inserter(text),
               [](char c) { return c != ' ' && c != '\t' && c != '\n'; });
  // Where the digits from `at` end.
  const auto digits_at = [&](std::size_t at) {
    while (at < text.size() && is_digit(text[at])) ++at;
    return at;
  };
  std::size_t pos = digits_at(0);
  std::string digits = text.substr(0, pos);
  std::int64_t exponent = 0;
  if (pos < text.size() && text[pos] == '.') {
    const std::size_t end = digits_at(pos + 1);
    digits += text.substr(pos + 1, end - pos - 1);
    exponent -= static_cast<std::int64_t>(end - pos - 1);
    pos = end;
  }
  if (pos < text.size() && is_exponent_marker(text[pos])) {
    // A marker that no digit follows, after its sign, ends the number before it: its exponent
    // reads as 0.
    std::size_t at = pos + 1;
    const bool negative = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    std::int64_t value = 0;
    for (const std::size_t end = digits_at(at); at < end; ++at)
      value = std::min(kExponentLimit, value * 10 + (text[at] - '0'));
    exponent += negative ? -value : value;
  }
  return rounded(digits, exponent);
}

std::optional<int> small_line_number(const std::string& digits) {
  if (digits.size() > 5) return std::nullopt;
  int value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  return value;
}

}  // namespace kestrel
