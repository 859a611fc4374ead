// The name-boundary test on arbitrary strings, against the classes of byte values written out.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "compiler/substitution.h"

namespace {

bool is_name_byte(unsigned char c) {
  return (c >= '1' && c <= '9') || c == '@' || (c >= 'A' && c <= 'Z') || c == '_' ||
         (c >= 'a' && c <= 'z') || c >= 192;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string sumbol(reinterpret_cast<const char*>(data), size);
  const std::int16_t expected = size == 0 || !is_name_byte(data[0]) ? 1 : 0;
  if (kestrel::test_sumbol(sumbol) != expected) std::abort();
  return 0;
}
