// The pane writer on arbitrary pane text: the file holds the text, ended by CR LF unless empty.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "save/pane_writer.h"

namespace {

const std::string& scratch_file() {
  static const std::string path = [] {
    char pattern[] = "/tmp/kestrel-fuzz-pane-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd < 0) std::abort();
    close(fd);
    return std::string(pattern);
  }();
  return path;
}

std::string read_back(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string pane(reinterpret_cast<const char*>(data), size);
  kestrel::write_pane(scratch_file(), pane);
  const std::string written = read_back(scratch_file());
  const bool ends_with_crlf = pane.size() >= 2 && pane.ends_with("\r\n");
  const std::string expected = pane.empty() || ends_with_crlf ? pane : pane + "\r\n";
  if (written != expected) std::abort();
  return 0;
}
