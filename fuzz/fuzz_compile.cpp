// The compile pass over arbitrary pane text, definition tables and options, taking the fast paths
// the input allows, against the plain reference pass: both must show the same boxes, with the same
// output at each, and leave the same output. A run that the reference cuts short at its step cap
// must be one the pass reports as a loop by itself. With KESTREL_FUZZ_PATHS set, the count of each
// path taken is written to standard error at the end, to show that every one is reached.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "compiler/compile_run.h"
#include "tests/reference/reference_pass.h"
#include "workbench/messages.h"

namespace testing = kestrel::testing;

namespace {

// Far more definitions than a line's names take one walk for, so that lines crowded with names
// that end in one another, too many to list, are reached.
constexpr int kMostDefinitions = 64;

kestrel::FastPaths chosen_paths(FuzzedDataProvider& input) {
  kestrel::FastPaths paths;
  paths.apart_lines = input.ConsumeBool();
  paths.interleaved_walks = input.ConsumeBool();
  paths.closed_labels = input.ConsumeBool();
  if (input.ConsumeBool()) paths.most_moves = 0;
  if (input.ConsumeBool()) paths.walk_stretch = input.ConsumeIntegralInRange<std::size_t>(1, 256);
  return paths;
}

struct Report {
  kestrel::PathCounts taken;
  ~Report() {
    if (!std::getenv("KESTREL_FUZZ_PATHS")) return;
    std::fprintf(stderr,
                 "paths: apart %zu, crowded listed %zu, crowded unlisted %zu, interleaved %zu, "
                 "failure links %zu, closed labels %zu, spanning labels %zu\n",
                 taken.apart, taken.crowded_listed, taken.crowded_unlisted, taken.interleaved,
                 taken.failure_links, taken.closed_labels, taken.spanning_labels);
  }
};
Report report;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const bool check1 = input.ConsumeBool();
  const bool check2 = input.ConsumeBool();
  const kestrel::FastPaths paths = chosen_paths(input);
  testing::Definitions definitions(input.ConsumeIntegralInRange(0, kMostDefinitions));
  for (auto& [name, value] : definitions) {
    name = input.ConsumeRandomLengthString(12);
    value = input.ConsumeRandomLengthString(24);
  }
  const std::string source = input.ConsumeRemainingBytesAsString();

  const testing::CompileRun program =
      testing::compile(source, definitions, check1, check2, paths, &report.taken);
  bool capped = false;
  const testing::CompileRun reference = testing::run_pass(
      source, definitions, check1, check2, [&](kestrel::Workbench& wb, kestrel::Ui& ui) {
        const testing::ReferenceRun run = testing::reference_compile(wb, ui);
        capped = run.hit_step_cap;
        return run.ok;
      });
  if (program != reference) std::abort();
  const std::string loop = kestrel::message_text(kestrel::MessageText::looping_substitution);
  if (capped && (program.messages.empty() || !program.messages.back().starts_with(loop)))
    std::abort();
  return 0;
}
