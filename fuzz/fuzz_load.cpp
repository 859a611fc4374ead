// Loading arbitrary bytes as a source with up to three include files, then compiling what loaded.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "compiler/compile_pass.h"
#include "files/memory_files.h"
#include "loader/open_command.h"
#include "workbench/ui.h"
#include "workbench/workbench.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  kestrel::MemoryFiles files;
  files.add_file("A.BAS", input.ConsumeRandomLengthString(512));
  files.add_file("b.bas", input.ConsumeRandomLengthString(512));
  files.add_file("C.BAS", input.ConsumeRandomLengthString(512));
  const bool check1 = input.ConsumeBool();
  const bool check2 = input.ConsumeBool();
  files.add_file("M.BAS", input.ConsumeRemainingBytesAsString());

  kestrel::Workbench wb;
  kestrel::SilentUi ui;
  wb.source_path = "M.BAS";
  const kestrel::OpenOutcome opened =
      kestrel::open_command(wb, ui, files, {files.current_folder()});
  if (opened.read_to_end) {
    wb.keep_comments = check1;
    wb.comments_unnumbered = check2;
    kestrel::compile_command(wb, ui, opened.source_map);
  }
  return 0;
}
