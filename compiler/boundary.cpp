#include "compiler/boundary.h"

namespace kestrel {

namespace {

// The code page's "А": from here on the bytes are the Russian alphabet, name characters all.
constexpr unsigned char kFirstRussianLetter = 0xC0;

}  // namespace

bool is_boundary(unsigned char c) {
  if (c <= '0') return true;
  if (c == '_') return false;
  if (c >= ':' && c <= '?') return true;
  if (c >= '[' && c <= '`') return true;
  return c >= '{' && c < kFirstRussianLetter;
}

std::int16_t test_sumbol(const std::string& Sumbol) {
  return Sumbol.empty() || is_boundary(static_cast<unsigned char>(Sumbol[0])) ? 1 : 0;
}

}  // namespace kestrel
