// The language server's message reader and dispatcher on arbitrary input: the bytes are read as
// a stream of framed messages after an initialize and an open document, over files in memory.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "files/memory_files.h"
#include "lsp/message_reader.h"
#include "lsp/server.h"

namespace {

// A message framed as the base protocol frames it.
std::string framed(const std::string& body) {
  return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Past this many messages an input says nothing new.
constexpr int kMessagesRead = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kestrel::MemoryFiles files("/work");
  files.add_file("/work/inc.bas", "[L]\r\n#define N EQU 1\r\n");
  std::istringstream in(
      framed(
          R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"rootUri":"file:///work"}})") +
      framed(
          R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":)"
          R"({"uri":"file:///work/m.bas","text":"#include inc.bas\r\nGOTO [L]:N\r\n10\r\n"}}})") +
      std::string(reinterpret_cast<const char*>(data), size));
  kestrel::lsp::Server server(files);
  kestrel::lsp::MessageReader reader(in);
  for (int n = 0; n < kMessagesRead && !server.exited(); ++n) {
    const kestrel::lsp::Frame frame = reader.next();
    if (frame.kind == kestrel::lsp::Frame::Kind::end) break;
    if (frame.kind == kestrel::lsp::Frame::Kind::body) server.handle(frame.body);
    server.settle();
  }
  return 0;
}
