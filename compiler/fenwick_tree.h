#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <vector>

namespace kestrel {

// A Fenwick tree (binary indexed tree) of sizes: adding to one value and the sum of the values
// before a place each cost the logarithm of their number. Sums are taken in the arithmetic of
// size_t, so adding the complement of an amount takes it away again, and every sum comes out
// right while the true values are none negative.
class FenwickTree {
 public:
  void assign(std::size_t size) { sums_.assign(size, 0); }
  void clear() { sums_.clear(); }
  bool empty() const { return sums_.empty(); }
  std::size_t size() const { return sums_.size(); }

  // Adds `by` to value i; nothing past the end.
  void add(std::size_t i, std::size_t by) {
    for (std::size_t j = i + 1; j <= sums_.size(); j += j & -j) sums_[j - 1] += by;
  }

  // The sum of the values before i, of all of them when i is past the end.
  std::size_t sum_before(std::size_t i) const {
    std::size_t sum = 0;
    for (std::size_t j = std::min(i, sums_.size()); j > 0; j -= j & -j) sum += sums_[j - 1];
    return sum;
  }

  // How many values, from the first, add up to less than `bound`.
  std::size_t count_below(std::size_t bound) const {
    std::size_t i = 0, sum = 0;
    for (std::size_t step = std::bit_floor(sums_.size()); step > 0; step /= 2) {
      if (i + step <= sums_.size() && sum + sums_[i + step - 1] < bound) {
        i += step;
        sum += sums_[i - 1];
      }
    }
    return i;
  }

 private:
  std::vector<std::size_t> sums_;
};

}  // namespace kestrel
