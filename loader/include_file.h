#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "loader/loading.h"

namespace kestrel {

// Includes nested deeper than this fail, so that a nest of distinct files cannot exhaust the stack.
inline constexpr int kIncludeDepthLimit = 64;
// An include that cannot repeat what an earlier include of its file added expands the file again:
// a nest that fans out to a definition or a refused include at its bottom would do so once for
// each of its 2^depth paths. A load expands this many at most, in about a second, and the next one
// ends it as "Too many files".
inline constexpr std::size_t kMostExpansions = std::size_t{1} << 16;

// Reads the file that an include line names, from the first of the load's folders that holds it,
// into Source_bas at the place of the include line, following its own include lines. An include
// of a file that is already being read, the file itself or one that includes it, is refused as
// "Too many files": it would never end. Each distinct file is read once per load. Reports its own
// failures, titled with the include's path, and returns; the caller goes on with its next line
// either way, except after a failure that ends the whole load (over its bound, out of memory, too
// many expansions), when it throws LoadEnded.
void Include_file(Loading& load, const std::string& inc_name);

// Reads the file at `path` whole, counting its bytes against the load's bound (over the load
// bound past it), and runs `load_lines` over it while the file stands last in the load's chain.
// `shown` is the path as composed, which the origins of its lines record. Returns whether the
// file held at least one line.
bool load_file(Loading& load, const std::filesystem::path& path,
               const std::filesystem::path& shown);

// The loading loop shared by Open and Include_file: include lines are expanded in place, and
// definition lines go to Parse_define (through wb.cur_line); every other line reaches Source_bas
// as Parse_define would append it, without passing through it. `path` is the file's name as
// composed, which the origins of its lines record. Returns whether the file held at least one line.
bool load_lines(Loading& load, std::string_view bytes, const std::filesystem::path& path);

}  // namespace kestrel
