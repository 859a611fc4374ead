#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace kestrel {

// A line being substituted, kept as a gap buffer with the gap at the place of the last
// replacement: the text after the gap moves only when a replacement or a search is elsewhere, and
// by the distance between the two places. So replacements along the line move it about once, and
// replacements at one place (a value holding the next definition's name) move nothing but the
// value. The line holds its whole text again once this is gone.
class GapLine {
 public:
  explicit GapLine(std::string& line)
      : line_(line), gap_start_(line.size()), gap_end_(line.size()) {}
  GapLine(const GapLine&) = delete;
  GapLine& operator=(const GapLine&) = delete;
  ~GapLine() {
    move_gap(size());
    line_.resize(gap_start_);
  }

  std::size_t size() const { return line_.size() - (gap_end_ - gap_start_); }
  unsigned char at(std::size_t pos) const {
    return static_cast<unsigned char>(line_[pos < gap_start_ ? pos : pos + gap_end_ - gap_start_]);
  }

  // The text from `first` to `end` (or to the end, if shorter), valid until the next change.
  std::string_view view(std::size_t first, std::size_t end) {
    end = std::min(end, size());
    if (first >= end) return {};
    if (first < gap_start_ && end > gap_start_)
      move_gap(gap_start_ - first <= end - gap_start_ ? first : end);
    const std::size_t at = first < gap_start_ ? first : first + gap_end_ - gap_start_;
    return std::string_view(line_).substr(at, end - first);
  }

  void replace(std::size_t pos, std::size_t length, const std::string& value) {
    move_gap(pos + length);
    gap_start_ = pos;
    if (gap_end_ - gap_start_ < value.size()) {
      // Room for this value and half the line more, so that a line grown by many replacements
      // is moved a number of times that grows with the logarithm of its growth.
      const std::size_t more = value.size() + size() / 2 + 64;
      line_.insert(gap_end_, more, '\0');
      gap_end_ += more;
    }
    line_.replace(gap_start_, value.size(), value);
    gap_start_ += value.size();
  }

 private:
  void move_gap(std::size_t pos) {
    char* const text = line_.data();
    if (pos < gap_start_) {
      const std::size_t moved = gap_start_ - pos;
      std::memmove(text + gap_end_ - moved, text + pos, moved);
      gap_start_ -= moved;
      gap_end_ -= moved;
    } else if (pos > gap_start_) {
      const std::size_t moved = pos - gap_start_;
      std::memmove(text + gap_start_, text + gap_end_, moved);
      gap_start_ += moved;
      gap_end_ += moved;
    }
  }

  std::string& line_;
  std::size_t gap_start_;
  std::size_t gap_end_;
};

}  // namespace kestrel
