#include "compiler/line_number.h"

#include <algorithm>
#include <cstdint>

namespace kestrel {

namespace {

// An exponent beyond this reads as this. Even so, '1E999999' gives a text of a million digits:
// large, but exact and harmless, and no integer can overflow while reading.
constexpr std::int64_t kExponentLimit = 1'000'000;

bool is_exponent_marker(char c) { return c == 'E' || c == 'e' || c == 'D' || c == 'd'; }

// value = digits x 10^exponent
struct Decimal {
  std::string digits;
  std::int64_t exponent = 0;
};

class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  Decimal read() {
    Decimal number;
    while (at_digit()) number.digits += take();
    if (at('.')) {
      take();
      while (at_digit()) {
        number.digits += take();
        --number.exponent;
      }
    }
    number.exponent += read_exponent();
    return number;
  }

 private:
  void skip_blanks() {
    while (pos_ < text_.size() &&
           (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n'))
      ++pos_;
  }
  bool at(char c) {
    skip_blanks();
    return pos_ < text_.size() && text_[pos_] == c;
  }
  bool at_digit() {
    skip_blanks();
    return pos_ < text_.size() && is_digit(text_[pos_]);
  }
  char take() { return text_[pos_++]; }

  std::int64_t read_exponent() {
    skip_blanks();
    if (pos_ >= text_.size() || !is_exponent_marker(text_[pos_])) return 0;
    const std::size_t marker = pos_;
    take();
    std::int64_t sign = 1;
    if (at('+') || at('-')) sign = take() == '-' ? -1 : 1;
    if (!at_digit()) {
      pos_ = marker;
      return 0;
    }
    std::int64_t value = 0;
    while (at_digit()) value = std::min(kExponentLimit, value * 10 + (take() - '0'));
    return sign * value;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

std::string without_leading_zeros(std::string digits) {
  const std::size_t first = digits.find_first_not_of('0');
  return first == std::string::npos ? "0" : digits.substr(first);
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
  const bool more = fraction.find_first_not_of('0', 1) != std::string_view::npos;
  return more || odd;
}

std::string rounded(const Decimal& number) {
  const std::string digits = without_leading_zeros(number.digits);
  if (number.exponent >= 0) {
    return digits == "0" ? digits
                         : digits + std::string(static_cast<std::size_t>(number.exponent), '0');
  }
  const auto places = static_cast<std::uint64_t>(-number.exponent);
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

std::string read_line_number(std::string_view line) { return rounded(Scanner(line).read()); }

std::optional<int> small_line_number(const std::string& digits) {
  if (digits.size() > 5) return std::nullopt;
  int value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  return value;
}

}  // namespace kestrel
