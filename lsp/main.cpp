#include <cstdio>
#include <iostream>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#include "app/files.h"
#include "lsp/message_reader.h"
#include "lsp/server.h"

// kestrel-lsp: the language server, over standard input and output.
int main() {
#if defined(_WIN32)
  // The base protocol counts bytes: no CR may be added before a LF.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::ios::sync_with_stdio(false);
  kestrel::DiskFiles disk;
  kestrel::lsp::Server server(disk);
  kestrel::lsp::MessageReader reader(std::cin);
  const auto send = [](const kestrel::lsp::Json& message) {
    kestrel::lsp::write_message(
        std::cout, message.dump(-1, ' ', false, kestrel::lsp::Json::error_handler_t::replace));
  };
  for (;;) {
    const kestrel::lsp::Frame frame = reader.next();
    if (frame.kind == kestrel::lsp::Frame::Kind::end) return 1;
    if (frame.kind == kestrel::lsp::Frame::Kind::bad_header) {
      send(kestrel::lsp::Server::bad_header());
      continue;
    }
    for (const kestrel::lsp::Json& message : server.handle(frame.body)) send(message);
    if (server.exited()) return server.exit_status();
    if (!reader.more_waiting())
      for (const kestrel::lsp::Json& message : server.settle()) send(message);
    if (!std::cout) return 1;
  }
}
