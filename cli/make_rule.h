#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrel::cli {

// A path as make reads it in a rule: blanks and '#' escaped with a backslash, '$' doubled.
std::string make_escaped(std::string_view path);

// A make rule by which `target` depends on every one of `prerequisites` (each once, in order),
// followed by an empty rule for each prerequisite after the first, so that make goes on when an
// include file has been removed. Paths in UTF-8.
std::string make_rule(const std::string& target, const std::vector<std::string>& prerequisites);

}  // namespace kestrel::cli
