#include "text/pieces.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <string>

namespace kestrel {
namespace {

// Every length a piece may have, short or long, with its end at every distance from the end of
// what may be read. The source is the end of an allocation of its own, so that a read past
// `readable` is one past the allocation, which the sanitizer run reports. The piece arrives
// whole, and nothing is written beyond the room after it.
TEST(CopyPiece, CopiesThePieceAndKeepsWithinItsRoom) {
  constexpr std::size_t kRoom = kPieceBlock - 1;
  constexpr char kUntouched = '#';
  for (std::size_t size = 0; size <= 5 * kPieceBlock; ++size) {
    for (std::size_t after : {std::size_t{0}, std::size_t{1}, kRoom, kPieceBlock, 40 * kRoom}) {
      const std::size_t readable = size + after;
      const auto source = std::make_unique<char[]>(readable);
      for (std::size_t i = 0; i < readable; ++i) source[i] = static_cast<char>('a' + i % 26);
      std::string out(size + kRoom + 8, kUntouched);
      char* const end =
          copy_piece(source.get(), source.get() + size, source.get() + readable, out.data());
      ASSERT_EQ(end, out.data() + size) << size << " " << after;
      EXPECT_EQ(out.substr(0, size), std::string(source.get(), size)) << size << " " << after;
      EXPECT_EQ(out.substr(size + kRoom), std::string(8, kUntouched)) << size << " " << after;
    }
  }
}

}  // namespace
}  // namespace kestrel
