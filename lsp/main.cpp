#include <cstdio>
#include <iostream>
#include <string_view>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#include "files/files.h"
#include "files/pages.h"
#include "lsp/message_reader.h"
#include "lsp/server.h"

namespace {

namespace lsp = kestrel::lsp;

constexpr std::string_view kUsage =
    "Usage: kestrel-lsp\n"
    "The Kestrel language server: an editor starts it and speaks the Language Server\n"
    "Protocol with it on standard input and output.\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n";
constexpr int kWrongCommandLine = 2;

int serve() {
#if defined(_WIN32)
  // The base protocol counts bytes: no CR may be added before a LF.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::ios::sync_with_stdio(false);
  kestrel::fix_mapped_block_size(lsp::kMappedBlockSize);
  // Like the window, the server reads regular files only: a pipe or a device named by an include
  // could hold it.
  kestrel::DiskFiles disk(kestrel::ReadPolicy::regular_files_only);
  lsp::Server server(disk);
  lsp::MessageReader reader(std::cin);
  const auto send = [](const lsp::Json& message) {
    lsp::write_message(std::cout,
                       message.dump(-1, ' ', false, lsp::Json::error_handler_t::replace));
  };
  for (;;) {
    const lsp::Frame frame = reader.next();
    if (frame.kind == lsp::Frame::Kind::end) return 1;
    if (frame.kind == lsp::Frame::Kind::bad_header) {
      send(lsp::Server::bad_header());
      continue;
    }
    for (const lsp::Json& message : server.handle(frame.body)) send(message);
    if (server.exited()) return server.exit_status();
    if (!reader.more_waiting())
      for (const lsp::Json& message : server.settle()) send(message);
    if (!std::cout) return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 1) return serve();
  const std::string_view option = argv[1];
  if (argc == 2 && option == "--help") {
    std::cout << kUsage;
    return std::cout.flush() ? 0 : 1;
  }
  if (argc == 2 && option == "--version") {
    std::cout << "kestrel-lsp " << KESTREL_VERSION << '\n';
    return std::cout.flush() ? 0 : 1;
  }
  std::cerr << kUsage;
  return kWrongCommandLine;
}
