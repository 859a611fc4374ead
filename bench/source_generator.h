#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// A source of a shape that stresses one part of the pass, by name, with what it is.
struct NamedInput {
  std::string_view name;
  std::string_view about;
  std::string (*make)(std::uint32_t seed);
};

// Every named input: "typical" and "limit" first, then the hard cases, each within the
// notation's limits (lines up to 32,767 characters, 4,097 definitions and labels).
const std::vector<NamedInput>& named_inputs();

// The named input of that name, or nullptr.
const NamedInput* find_named_input(std::string_view name);

}  // namespace kestrel::bench
