#include "files/pages.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <string>

#ifdef __GLIBC__
#include <malloc.h>
#endif

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

// The sanitizers' allocator keeps no such count.
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
// Bytes of the blocks the heap has mapped on their own, which go back to the system when freed.
std::size_t mapped_bytes() { return mallinfo2().hblkhd; }

// Left to itself, the C library maps a large block on its own only while it is larger than every
// such block freed before; with the size fixed, blocks from that size on are mapped whatever was
// freed before.
TEST(FixMappedBlockSize, BlocksFromTheSizeOnAreMappedWhateverWasFreedBefore) {
  fix_mapped_block_size(std::size_t{1} << 20);
  // Through a volatile pointer, so that the compiler keeps every allocation.
  void* volatile large = std::malloc(std::size_t{16} << 20);
  std::free(large);
  const std::size_t before = mapped_bytes();
  void* volatile block = std::malloc(std::size_t{2} << 20);
  EXPECT_GE(mapped_bytes(), before + (std::size_t{2} << 20));
  std::free(block);
}
#endif

}  // namespace
}  // namespace kestrel
