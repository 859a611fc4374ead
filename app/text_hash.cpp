#include "app/text_hash.h"

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

// a * b mod 2^61 - 1, for a and b below it.
std::uint64_t multiply(std::uint64_t a, std::uint64_t b) {
#ifdef __SIZEOF_INT128__
  __extension__ using Wide = unsigned __int128;
  const Wide product = static_cast<Wide>(a) * b;
  const auto low = static_cast<std::uint64_t>(product) & kPrime;
  const auto high = static_cast<std::uint64_t>(product >> 61);
#else
  const std::uint64_t a_low = a & 0xFFFFFFFFu, a_high = a >> 32;
  const std::uint64_t b_low = b & 0xFFFFFFFFu, b_high = b >> 32;
  const std::uint64_t cross = a_high * b_low + a_low * b_high;  // below 2^62
  const std::uint64_t bottom = a_low * b_low;
  // product = a_high b_high 2^64 + cross 2^32 + bottom, and 2^61 = 1 in the field.
  const std::uint64_t low =
      (bottom & kPrime) + ((cross << 32) & kPrime) + (a_high * b_high << 3 & kPrime);
  const std::uint64_t high = (bottom >> 61) + (cross >> 29) + (a_high * b_high >> 58);
#endif
  std::uint64_t sum = low + high;
  sum = (sum & kPrime) + (sum >> 61);
  return sum >= kPrime ? sum - kPrime : sum;
}

std::uint64_t add(std::uint64_t a, std::uint64_t b) {
  const std::uint64_t sum = a + b;
  return sum >= kPrime ? sum - kPrime : sum;
}

// A 7-byte word, below 2^56 and so below the prime; `bytes` may be read for 8.
std::uint64_t word_at(const char* bytes) {
  std::uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word & ((std::uint64_t{1} << 56) - 1);
}

}  // namespace

std::uint64_t text_hash(std::string_view text) {
  const char* at = text.data();
  const char* const end = at + text.size();
  const std::uint64_t point2 = multiply(kPoint, kPoint);
  const std::uint64_t point4 = multiply(point2, point2);
  std::uint64_t lanes[kLanes] = {};
  // Whole stripes while a word's eighth byte can still be read.
  constexpr std::size_t kStripe = kLanes * kWord;
  for (; static_cast<std::size_t>(end - at) >= kStripe + 1; at += kStripe)
    for (std::size_t i = 0; i < kLanes; ++i)
      lanes[i] = add(multiply(lanes[i], point4), word_at(at + i * kWord));
  std::uint64_t hash = 0;
  for (const std::uint64_t lane : lanes) hash = add(multiply(hash, kPoint), lane);
  for (; static_cast<std::size_t>(end - at) >= kWord + 1; at += kWord)
    hash = add(multiply(hash, kPoint), word_at(at));
  // The last word, padded with zeros: the fingerprint's size tells the padding from the text.
  if (at == end) return hash;
  char tail[kWord + 1] = {};
  std::memcpy(tail, at, static_cast<std::size_t>(end - at));
  return add(multiply(hash, kPoint), word_at(tail));
}

}  // namespace kestrel
