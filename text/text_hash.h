#pragma once

#include <cstdint>
#include <string_view>

namespace kestrel {

// The polynomial hash of a text over the prime field of 2^61 - 1 (Karp and Rabin's, the
// Carter-Wegman polynomial family): the text, cut into 7-byte words w1 .. wm (the last padded with
// zeros), is the polynomial w1 k^m + ... + wm k, evaluated at a fixed point k. Two different
// texts of one size are two different polynomials of degree at most m, which agree at no more
// than m points: for texts not chosen knowing k, they share a hash with a chance of at most
// m / 2^61, under 2^-40 for a text of 2 MB.
std::uint64_t text_hash(std::string_view text);

}  // namespace kestrel
