// Loading arbitrary bytes as a source with up to three include files, then compiling what loaded.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/workbench.h"
#include "compiler/compile_pass.h"
#include "fuzz/fuzz_ui.h"
#include "loader/open_command.h"

namespace {

void write_file(const char* name, const std::string& bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Every run works in one private folder, so that include lines name files the input wrote.
void enter_private_folder() {
  static const bool entered = [] {
    char pattern[] = "/tmp/kestrel-fuzz-XXXXXX";
    const char* folder = mkdtemp(pattern);
    if (folder == nullptr) std::abort();
    std::filesystem::current_path(folder);
    return true;
  }();
  (void)entered;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  enter_private_folder();
  FuzzedDataProvider input(data, size);
  write_file("A.BAS", input.ConsumeRandomLengthString(512));
  write_file("b.bas", input.ConsumeRandomLengthString(512));
  write_file("C.BAS", input.ConsumeRandomLengthString(512));
  const bool check1 = input.ConsumeBool();
  const bool check2 = input.ConsumeBool();
  write_file("M.BAS", input.ConsumeRemainingBytesAsString());

  kestrel::Workbench wb;
  kestrel::fuzz::SilentUi ui;
  wb.Text2 = "M.BAS";
  kestrel::open_command(wb, ui);
  if (wb.Command4_enabled) {
    wb.Check1 = check1;
    wb.Check2 = check2;
    kestrel::compile_command(wb, ui);
  }
  return 0;
}
