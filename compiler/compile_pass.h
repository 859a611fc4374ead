#pragma once

#include <cstddef>
#include <vector>

#include "compiler/compile_record.h"
#include "compiler/fast_paths.h"
#include "workbench/findings.h"
#include "workbench/source_map.h"
#include "workbench/ui.h"
#include "workbench/workbench.h"

namespace kestrel {

// The limits of the pass: the highest number a directive sets, the highest line number it writes
// (numbering stops before it would pass the largest 16-bit line number), and the longest output
// line it lets pass in a source with labels.
inline constexpr int kHighestDirective = 2048;
inline constexpr int kHighestLineNumber = 32767;
inline constexpr std::size_t kLongestOutputLine = 69;

// What a Compile did.
struct CompileOutcome {
  bool ok = false;  // it ended with "COMPILE OK"
  // The problem that stopped it (a left-over label shows two boxes); none when it ended well.
  std::vector<Finding> findings;
  CompileRecord record;
  PathCounts paths;  // which fast paths it took, and how often
};

// Whether the pass stops at the first problem, as the window and kestrelc show it, or goes on past
// every problem it can go on from and reports each, for an editor that lists them all. Going on,
// a left-over label is one finding with the output excerpt as its detail.
enum class CompileMode { first_problem, every_problem };

// Command4, "Compile": turns Source_bas into numbered lines in Dest_bas and reports the first
// problem it meets, or "COMPILE OK". `source_map` is the last Open's: while the pane is as Open
// left it, findings name the file and line each source line was loaded from.
CompileOutcome compile_command(Workbench& wb, Ui& ui, const SourceMap& source_map,
                               CompileMode mode = CompileMode::first_problem);

// The same, taking only the fast paths `paths` allows: the output and messages are the same
// whichever it allows.
CompileOutcome compile_command(Workbench& wb, Ui& ui, const SourceMap& source_map,
                               const FastPaths& paths);

}  // namespace kestrel
