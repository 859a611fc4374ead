// The pane writer on arbitrary pane text: the file holds the text, ended by CR LF unless empty.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "files/memory_files.h"
#include "save/pane_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string pane(reinterpret_cast<const char*>(data), size);
  kestrel::MemoryFiles files;
  kestrel::write_pane(files, "out.bas", pane);
  const bool ends_with_crlf = pane.size() >= 2 && pane.ends_with("\r\n");
  const std::string expected = pane.empty() || ends_with_crlf ? pane : pane + "\r\n";
  if (files.content("out.bas") != expected) std::abort();
  return 0;
}
