#include "text/text_hash.h"

#include <cstddef>
#include <cstring>

namespace kestrel {

namespace {

constexpr std::uint64_t kPrime = (std::uint64_t{1} << 61) - 1;
// The point of evaluation: any number of the field but 0 and 1 serves.
constexpr std::uint64_t kPoint = 0x0AF1E3B35A7C9D2Bu % kPrime;
constexpr std::size_t kWord = 7;
// Four words are taken side by side, each lane stepping by k^4, so that the processor runs their
// multiplications together.
constexpr std::size_t kLanes = 4;

// 2^61 = 1 in the field: the bits from 61 up are added to those below.
constexpr std::uint64_t fold(std::uint64_t value) { return (value & kPrime) + (value >> 61); }

// a * b in the field, below 2^61 + 8 but not always fully reduced, for a below 2^63 and b below
// 2^61 + 8.
constexpr std::uint64_t multiply(std::uint64_t a, std::uint64_t b) {
#ifdef __SIZEOF_INT128__
  __extension__ using Wide = unsigned __int128;
  const Wide product = static_cast<Wide>(a) * b;
  const std::uint64_t low = static_cast<std::uint64_t>(product) & kPrime;
  const auto high = static_cast<std::uint64_t>(product >> 61);
#else
  const std::uint64_t a_low = a & 0xFFFFFFFFu, a_high = a >> 32;
  const std::uint64_t b_low = b & 0xFFFFFFFFu, b_high = b >> 32;
  const std::uint64_t cross = a_high * b_low + a_low * b_high;  // below 2^63
  const std::uint64_t bottom = a_low * b_low;
  const std::uint64_t top = a_high * b_high;  // below 2^60
  // product = top 2^64 + cross 2^32 + bottom, where 2^64 = 8.
  const std::uint64_t low = (bottom & kPrime) + ((cross << 32) & kPrime) + ((top << 3) & kPrime);
  const std::uint64_t high = (bottom >> 61) + (cross >> 29) + (top >> 58);
#endif
  return fold(low + high);
}

// k^4, the step of each lane.
constexpr std::uint64_t kPoint4 = multiply(multiply(kPoint, kPoint), multiply(kPoint, kPoint));

// A 7-byte word, below 2^56; `bytes` may be read for 8.
std::uint64_t word_at(const char* bytes) {
  std::uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word & ((std::uint64_t{1} << 56) - 1);
}

}  // namespace

std::uint64_t text_hash(std::string_view text) {
  const char* at = text.data();
  const char* const end = at + text.size();
  // Every value stays below 2^63 as it goes, and is reduced fully at the end.
  std::uint64_t hash = 0;
  // Whole stripes while a word's eighth byte can still be read. A short text, such as a label,
  // has none, and its lanes would all be 0.
  constexpr std::size_t kStripe = kLanes * kWord;
  if (text.size() > kStripe) {
    std::uint64_t lane0 = 0, lane1 = 0, lane2 = 0, lane3 = 0;
    for (; static_cast<std::size_t>(end - at) > kStripe; at += kStripe) {
      lane0 = multiply(lane0, kPoint4) + word_at(at);
      lane1 = multiply(lane1, kPoint4) + word_at(at + kWord);
      lane2 = multiply(lane2, kPoint4) + word_at(at + 2 * kWord);
      lane3 = multiply(lane3, kPoint4) + word_at(at + 3 * kWord);
    }
    hash = lane0;
    for (const std::uint64_t lane : {lane1, lane2, lane3}) hash = multiply(hash, kPoint) + lane;
  }
  for (; static_cast<std::size_t>(end - at) > kWord; at += kWord)
    hash = multiply(hash, kPoint) + word_at(at);
  // The last word, padded with zeros: the fingerprint's size tells the padding from the text.
  if (at != end) {
    char tail[kWord + 1] = {};
    std::memcpy(tail, at, static_cast<std::size_t>(end - at));
    hash = multiply(hash, kPoint) + word_at(tail);
  }
  // Once more by k, so that a text of one word is mixed too: a hash table takes its low bits.
  hash = fold(multiply(hash, kPoint));
  return hash >= kPrime ? hash - kPrime : hash;
}

}  // namespace kestrel
