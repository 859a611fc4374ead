#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrel {

// A line of the pass is at most this long.
inline constexpr std::size_t kLongestLine = 32767;

// The characters of a loop watch's saved copy, by place in the line, with the copy each was
// written for: working space kept from one watch to the next.
struct Copies {
  std::vector<std::uint64_t> copy;
  std::vector<char> saved;
  std::uint64_t last = 0;
};

// Tells a definition whose replacements on one line never end, without stopping any that end.
//
// Every replacement by one definition changes the line's length by the same amount,
// |value| - |name|:
// - A shorter value shrinks the line each time, so the replacements end by themselves.
// - A longer value grows it by at least one character each time. After more than kLongestLine
//   characters of growth the line could only end longer than any line the pass is built for, so
//   this is a loop (X EQU X+1). It is reached after at most kLongestLine replacements.
// - A value of the name's length keeps the length, so the line runs through finitely many texts
//   of that length: it either ends or comes back to a text it held before, and then repeats for
//   ever. Brent's cycle detection finds the repeat with one saved copy of the line, taken again
//   whenever the steps since the last copy reach a power of two; X EQU X repeats at the first
//   replacement. No run that ends within the pass's limits is ever reported.
//   The copy is kept as the characters that the replacements since it was taken wrote over, and
//   compared with the line through the count of places where they differ, which a replacement
//   changes only where it writes. So a definition that replaces once costs no copy of the line.
class LoopWatch {
 public:
  LoopWatch(std::size_t line_size, const std::string& name, const std::string& value,
            Copies& copies)
      : start_size_(line_size), name_(name), value_(value), copies_(copies) {
    if (value.size() == name.size()) take_copy();
  }

  // Called once the name at `pos` has become the value, the line now `line_size` long.
  bool loops(std::size_t line_size, std::size_t pos) {
    if (value_.size() != name_.size()) return line_size > start_size_ + kLongestLine;
    for (std::size_t i = 0; i < name_.size(); ++i) {
      // Where nothing was written since the copy was taken, it held what was just written over.
      if (copies_.copy[pos + i] != copies_.last) {
        copies_.copy[pos + i] = copies_.last;
        copies_.saved[pos + i] = name_[i];
      }
      const char saved = copies_.saved[pos + i];
      differences_ -= saved != name_[i];
      differences_ += saved != value_[i];
    }
    if (differences_ == 0) return true;
    if (++steps_ == power_) {
      take_copy();
      differences_ = 0;
      power_ *= 2;
      steps_ = 0;
    }
    return false;
  }

 private:
  void take_copy() {
    ++copies_.last;
    if (copies_.copy.size() < start_size_) {
      copies_.copy.resize(start_size_);
      copies_.saved.resize(start_size_);
    }
  }

  std::size_t start_size_;
  const std::string& name_;
  const std::string& value_;
  Copies& copies_;
  std::size_t differences_ = 0;
  std::size_t power_ = 1;
  std::size_t steps_ = 0;
};

}  // namespace kestrel
