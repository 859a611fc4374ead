#include "files/pages.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace kestrel {
namespace {

// Whatever the range, within the buffer and across page boundaries or not, its bytes and those
// around it stay as they were.
TEST(PreparePages, LeavesEveryByteAsItWas) {
  std::string buffer(5 * 4096 + 100, '\0');
  for (std::size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<char>(i * 7 + 3);
  const std::string before = buffer;
  const struct {
    std::size_t offset, size;
  } ranges[] = {{0, 0}, {1, 1}, {0, buffer.size()}, {17, 4096}, {4095, 8194}, {100, 5 * 4096}};
  for (const auto& range : ranges) {
    prepare_pages(buffer.data() + range.offset, range.size);
    EXPECT_EQ(buffer, before) << range.offset << " " << range.size;
  }
}

}  // namespace
}  // namespace kestrel
