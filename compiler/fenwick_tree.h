#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace kestrel {

// A Fenwick tree (binary indexed tree) of sizes: adding to one value and the sum of the values
// before a place each cost the logarithm of their number.
class FenwickTree {
 public:
  void assign(std::size_t size) { sums_.assign(size, 0); }
  void clear() { sums_.clear(); }
  bool empty() const { return sums_.empty(); }

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

 private:
  std::vector<std::size_t> sums_;
};

}  // namespace kestrel
