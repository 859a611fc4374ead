#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kestrel {

// The line break of both panes and of every file the program writes.
inline constexpr std::string_view crlf = "\r\n";

// Where the bytes equal to `A` or `B` stand, found a block of 64 bytes at a time: a block's finds
// are kept as a mask, so that every byte is looked at once however short the lines between the
// finds.
template <char A, char B>
class ByteFinder {
 public:
  explicit ByteFinder(std::string_view bytes) : bytes_(bytes) { marks_ = block_marks(0); }

  // The position of the first byte sought at or after `from`, or the size of the bytes when none
  // is left. Each call's `from` lies at or after the previous call's.
  std::size_t find(std::size_t from) {
    if (from - block_ < kBlock) {
      const std::uint64_t ahead = marks_ & (~std::uint64_t{0} << (from - block_));
      if (ahead != 0) return block_ + static_cast<std::size_t>(std::countr_zero(ahead));
    }
    return find_in_later_blocks(from);
  }

 private:
  static constexpr std::size_t kBlock = 64;

  std::size_t find_in_later_blocks(std::size_t from);
  // Bit i: the byte at `block` + i is one sought.
  std::uint64_t block_marks(std::size_t block) const;

  std::string_view bytes_;
  std::size_t block_ = 0;
  std::uint64_t marks_ = 0;  // block_marks(block_)
};

extern template class ByteFinder<'\r', '\n'>;
extern template class ByteFinder<crlf[0], crlf[0]>;

// From `from`, where a line begins, the lines that CR LF ends and whose first byte is neither `A`
// nor `B` (an empty line has none), one after another, found a block of bytes at a time: where
// the last of them ends, past its CR LF, and how many there are. They stop before a line that
// begins with `A` or `B`, one that a lone CR or LF ends, and one that no line end ends.
struct CrlfRun {
  std::size_t end;
  std::size_t lines;
};
template <char A, char B>
CrlfRun crlf_run(std::string_view bytes, std::size_t from);
extern template CrlfRun crlf_run<'#', ' '>(std::string_view bytes, std::size_t from);

// The lines of a file as loading reads them: a line ends at CR LF, at a lone CR or at a lone LF;
// the terminator is not part of the line, and a last line without one is read as well.
class FileLines {
 public:
  explicit FileLines(std::string_view bytes) : bytes_(bytes), ends_(bytes) {}

  bool at_end() const { return pos_ >= bytes_.size(); }
  // Where the next line begins.
  std::size_t position() const { return pos_; }
  // Passes over the lines before `pos`, where a line begins.
  void skip_to(std::size_t pos) { pos_ = pos; }
  std::string_view next() {
    const std::size_t end = ends_.find(pos_);
    const std::string_view line = bytes_.substr(pos_, end - pos_);
    pos_ = end + 1;
    if (pos_ < bytes_.size() && bytes_[end] == '\r' && bytes_[pos_] == '\n') ++pos_;
    pos_ = std::min(pos_, bytes_.size());
    return line;
  }

 private:
  std::string_view bytes_;
  ByteFinder<'\r', '\n'> ends_;
  std::size_t pos_ = 0;
};

// The lines of a pane's text: every piece that a CR LF follows, in order. The piece after the
// last CR LF is no line; a lone CR or LF stays inside its line.
class PaneLines {
 public:
  explicit PaneLines(std::string_view text) : text_(text), returns_(text) {}

  // The next line, or false when no CR LF is left.
  bool next(std::string_view& line) {
    for (std::size_t from = pos_;;) {
      const std::size_t cr = returns_.find(from);
      if (cr + 1 >= text_.size()) return false;
      if (text_[cr + 1] == crlf[1]) {
        line = text_.substr(pos_, cr - pos_);
        pos_ = cr + crlf.size();
        return true;
      }
      from = cr + 1;
    }
  }
  // What follows the last line taken.
  std::string_view rest() const { return text_.substr(pos_); }

 private:
  std::string_view text_;
  ByteFinder<crlf[0], crlf[0]> returns_;
  std::size_t pos_ = 0;
};

// Calls `visit` with every line of a pane's text, in order, until it returns false. Returns
// whether every line was visited.
template <typename Visit>
bool for_each_pane_line(std::string_view text, Visit visit) {
  PaneLines lines(text);
  for (std::string_view line; lines.next(line);)
    if (!visit(line)) return false;
  return true;
}

}  // namespace kestrel
