#include "text/text_lines.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define KESTREL_SSE2 1
#endif

namespace kestrel {

namespace {

template <char A, char B>
std::uint64_t marks_of(const char* bytes, std::size_t count) {
  std::uint64_t marks = 0;
  for (std::size_t i = 0; i < count; ++i)
    if (bytes[i] == A || bytes[i] == B) marks |= std::uint64_t{1} << i;
  return marks;
}

#ifdef KESTREL_SSE2
constexpr std::size_t kLane = 16;

template <char A, char B>
std::uint64_t full_block_marks(const char* bytes, std::size_t size) {
  const __m128i all_a = _mm_set1_epi8(A);
  const __m128i all_b = _mm_set1_epi8(B);
  std::uint64_t marks = 0;
  for (std::size_t at = 0; at < size; at += kLane) {
    const __m128i lane = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at));
    __m128i found = _mm_cmpeq_epi8(lane, all_a);
    if constexpr (A != B) found = _mm_or_si128(found, _mm_cmpeq_epi8(lane, all_b));
    marks |= static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(found))) << at;
  }
  return marks;
}
#else
template <char A, char B>
std::uint64_t full_block_marks(const char* bytes, std::size_t size) {
  return marks_of<A, B>(bytes, size);
}
#endif

constexpr std::size_t kBlockBytes = 64;

template <char A, char B>
std::uint64_t marks_at(std::string_view bytes, std::size_t block, std::size_t count) {
  return count == kBlockBytes ? full_block_marks<A, B>(bytes.data() + block, count)
                              : marks_of<A, B>(bytes.data() + block, count);
}

}  // namespace

// A block's line starts are the bytes after its LFs, and after one that ended the block before;
// a CR must be followed by an LF, in the block or at the start of the next, and an LF preceded by
// a CR. The run ends at the last LF before the first byte that breaks it.
template <char A, char B>
CrlfRun crlf_run(std::string_view bytes, std::size_t from) {
  CrlfRun run{from, 0};
  std::uint64_t after_lf = 1;  // `from` begins a line
  std::uint64_t after_cr = 0;
  for (std::size_t block = from; block < bytes.size(); block += kBlockBytes) {
    const std::size_t count = std::min(kBlockBytes, bytes.size() - block);
    const std::uint64_t cr = marks_at<'\r', '\r'>(bytes, block, count);
    const std::uint64_t lf = marks_at<'\n', '\n'>(bytes, block, count);
    const std::uint64_t first = marks_at<A, B>(bytes, block, count);
    const std::uint64_t lf_next =
        block + count < bytes.size() && bytes[block + count] == '\n' ? std::uint64_t{1} << 63 : 0;
    const std::uint64_t starts = lf << 1 | after_lf;
    const std::uint64_t breaks =
        (starts & first) | (lf & ~(cr << 1 | after_cr)) | (cr & ~(lf >> 1 | lf_next));
    const std::uint64_t in_run = breaks != 0 ? (breaks & (~breaks + 1)) - 1 : ~std::uint64_t{0};
    const std::uint64_t ends = lf & in_run;
    if (ends != 0) {
      run.end = block + static_cast<std::size_t>(std::bit_width(ends));
      run.lines += static_cast<std::size_t>(std::popcount(ends));
    }
    if (breaks != 0) break;
    after_lf = lf >> (kBlockBytes - 1);
    after_cr = cr >> (kBlockBytes - 1);
  }
  return run;
}

template <char A, char B>
std::uint64_t ByteFinder<A, B>::block_marks(std::size_t block) const {
  static_assert(kBlock == kBlockBytes);
  return marks_at<A, B>(bytes_, block, std::min(kBlock, bytes_.size() - block));
}

template <char A, char B>
std::size_t ByteFinder<A, B>::find_in_later_blocks(std::size_t from) {
  for (from = std::max(from, block_ + kBlock); from < bytes_.size(); from = block_ + kBlock) {
    block_ = from - from % kBlock;
    marks_ = block_marks(block_);
    const std::uint64_t ahead = marks_ & (~std::uint64_t{0} << (from - block_));
    if (ahead != 0) return block_ + static_cast<std::size_t>(std::countr_zero(ahead));
  }
  return bytes_.size();
}

template class ByteFinder<'\r', '\n'>;
template class ByteFinder<crlf[0], crlf[0]>;
template CrlfRun crlf_run<'#', ' '>(std::string_view bytes, std::size_t from);

}  // namespace kestrel
