// The compile pass over arbitrary pane text and definition tables, with both options, against the
// plain reference pass: both must show the same boxes, with the same output at each, and leave
// the same output. A run that the reference cuts short at its step cap must be one the pass
// reports as a loop by itself.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/messages.h"
#include "compiler/compile_run.h"
#include "compiler/reference_pass.h"

namespace testing = kestrel::testing;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const bool check1 = input.ConsumeBool();
  const bool check2 = input.ConsumeBool();
  testing::Definitions definitions(input.ConsumeIntegralInRange(0, 16));
  for (auto& [name, value] : definitions) {
    name = input.ConsumeRandomLengthString(12);
    value = input.ConsumeRandomLengthString(24);
  }
  const std::string source = input.ConsumeRemainingBytesAsString();

  const testing::CompileRun program = testing::compile(source, definitions, check1, check2);
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
