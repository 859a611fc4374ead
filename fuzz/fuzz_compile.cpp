// The compile pass over arbitrary pane text and definition tables, with both options.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>

#include "app/source_map.h"
#include "app/ui.h"
#include "app/workbench.h"
#include "compiler/compile_pass.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  kestrel::Workbench wb;
  wb.Check1 = input.ConsumeBool();
  wb.Check2 = input.ConsumeBool();
  const int definitions = input.ConsumeIntegralInRange(0, 16);
  for (int i = 0; i < definitions; ++i) {
    wb.defs.def_name[i] = input.ConsumeRandomLengthString(12);
    wb.defs.def_value[i] = input.ConsumeRandomLengthString(24);
  }
  wb.defs.def_count = definitions;
  wb.Source_bas = input.ConsumeRemainingBytesAsString();
  kestrel::SilentUi ui;
  kestrel::compile_command(wb, ui, kestrel::SourceMap());
  return 0;
}
