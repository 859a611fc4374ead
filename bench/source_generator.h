#pragma once

#include <cstdint>
#include <string>

namespace kestrel::bench {

struct SourceShape {
  int lines;        // every line of the file, definition and label lines included
  int definitions;  // "#define" lines, at the top of the file
  int labels;       // label lines, spread over the body
};

inline constexpr SourceShape kTypical = {2000, 200, 200};
// The largest source the pass is built for: the definition table's accepted count, a full
// label table, and line numbers well inside 16 bits.
inline constexpr SourceShape kLimit = {32000, 4050, 4097};

// A source file's bytes, CR LF after every line, the same for the same shape and seed on every
// platform. Body lines are 30 to 60 characters long; most hold two defined names, every third
// refers to a label, and the source compiles cleanly.
std::string generate_source(const SourceShape& shape, std::uint32_t seed);

}  // namespace kestrel::bench
