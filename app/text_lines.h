#pragma once

#include <cstddef>
#include <string_view>

namespace kestrel {

// The line break of both panes and of every file the program writes.
inline constexpr std::string_view crlf = "\r\n";

// The lines of a file as loading reads them: a line ends at CR LF, at a lone CR or at a lone LF;
// the terminator is not part of the line, and a last line without one is read as well.
class FileLines {
 public:
  explicit FileLines(std::string_view bytes) : bytes_(bytes) {}

  bool at_end() const { return pos_ >= bytes_.size(); }
  std::string_view next();

 private:
  // The first CR or LF at or after pos_, or the end of the bytes when none is left.
  std::size_t line_end() const;

  std::string_view bytes_;
  std::size_t pos_ = 0;
};

// The lines of a pane's text: every piece that a CR LF follows, in order. The piece after the
// last CR LF is no line; a lone CR or LF stays inside its line.
class PaneLines {
 public:
  explicit PaneLines(std::string_view text) : rest_(text) {}

  // The next line, or false when no CR LF is left.
  bool next(std::string_view& line);
  // What follows the last line taken.
  std::string_view rest() const { return rest_; }

 private:
  std::string_view rest_;
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
