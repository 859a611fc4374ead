#pragma once

#include <cstddef>

namespace kestrel {

// The fast paths of the compile pass and their thresholds (docs/compile-pass.md tells each one's
// precondition, fallback and measurement). The program takes every path that applies; the
// differential tests switch each off alone to hold the others against the reference pass, and
// compile_bench switches them off and sweeps the thresholds to measure what each buys.
struct FastPaths {
  // The largest table of moves (row per automaton node, column per byte class) the names'
  // Aho-Corasick automaton builds; above it, and with 0, a step follows the failure links.
  static constexpr std::size_t kMostMoves = std::size_t{1} << 21;
  // The bytes the interleaved walks take at once, unless a line needs more.
  static constexpr std::size_t kWalkStretch = std::size_t{1} << 13;
  // The occurrences listed for a line, per byte of it (and 64 more): a line with more, where many
  // names end in one another, goes turn by turn, its names found stretch by stretch.
  static constexpr std::size_t kListedPerByte = 2;

  // A line whose names stand apart is rebuilt in one walk along it.
  bool apart_lines = true;
  // The pane is walked ahead of the lines in four interleaved walks.
  bool interleaved_walks = true;
  // Where every label is a closed "[...]", the labels are replaced in one walk along the output.
  bool closed_labels = true;
  std::size_t most_moves = kMostMoves;
  std::size_t walk_stretch = kWalkStretch;
  std::size_t listed_per_byte = kListedPerByte;
};

// Every fast path, and a switch that takes none of them away.
enum class FastPath { none, apart_lines, interleaved_walks, table_of_moves, closed_labels };
inline constexpr int kFastPathCount = 5;

// Every fast path but `path`.
inline FastPaths without(FastPath path) {
  FastPaths paths;
  paths.apart_lines = path != FastPath::apart_lines;
  paths.interleaved_walks = path != FastPath::interleaved_walks;
  paths.closed_labels = path != FastPath::closed_labels;
  if (path == FastPath::table_of_moves) paths.most_moves = 0;
  return paths;
}

// How many lines (or label resolutions) each path took, for the tests to show that each is reached.
struct PathCounts {
  std::size_t apart = 0;             // lines rebuilt in one walk
  std::size_t crowded_listed = 0;    // lines taken turn by turn, their occurrences listed
  std::size_t crowded_unlisted = 0;  // the same, with more occurrences than are worth listing
  std::size_t interleaved = 0;       // lines whose names the interleaved walks found
  std::size_t failure_links = 0;     // lines walked without the table of moves
  std::size_t closed_labels = 0;     // label replacements in one walk
  std::size_t spanning_labels = 0;   // label replacements piece by piece

  PathCounts& operator+=(const PathCounts& more) {
    apart += more.apart;
    crowded_listed += more.crowded_listed;
    crowded_unlisted += more.crowded_unlisted;
    interleaved += more.interleaved;
    failure_links += more.failure_links;
    closed_labels += more.closed_labels;
    spanning_labels += more.spanning_labels;
    return *this;
  }
};

}  // namespace kestrel
