#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "files/files.h"
#include "files/overlay_files.h"
#include "lsp/program.h"
#include "lsp/text.h"

namespace kestrel::lsp {

using Json = nlohmann::json;

// The server runs with blocks from this size on mapped on its own (fix_mapped_block_size): the
// largest buffers of a compile, such as the names' table of moves, go back to the system when
// freed, and the heap does not grow with every edit. Any size from 2 to 32 MiB held the limit
// source's peak over 1,000 edits to 7.2 to 7.4 times its size, against 8.8 left to the library.
inline constexpr std::size_t kMappedBlockSize = std::size_t{4} << 20;

// The server's state between messages, and its answers: each message in, the messages out. It
// reads and writes no stream itself.
class Server {
 public:
  explicit Server(Files& disk) : files_(disk) {}

  // Handles one message's body; returns the messages to send, in order.
  std::vector<Json> handle(std::string_view body);
  // The answer to a message whose header could not be read.
  static Json bad_header();
  // Sends the diagnostics that changes since the last call have made due; kept back while more
  // input waits, so that a burst of changes is compiled once.
  std::vector<Json> settle();

  bool exited() const { return exited_; }
  // After "exit": 0 when "shutdown" came first.
  int exit_status() const { return shut_down_ ? 0 : 1; }

 private:
  struct Document {
    std::string uri;
    std::string text;  // UTF-8
  };
  struct Site {
    const Program* program = nullptr;
    std::filesystem::path file;
    int line = 0;    // in the file, 0-based
    int column = 0;  // the code point
    std::optional<int> pane_line;
  };

  std::optional<Json> dispatch(const std::string& method, const Json& params, bool request);
  Json initialize(const Json& params);
  void read_settings(const Json& settings);
  void open(const Json& params);
  void change(const Json& params);
  void close(const Json& params);

  const std::vector<std::unique_ptr<Program>>& programs();
  const Program* program_for(const std::filesystem::path& file);
  std::pair<std::filesystem::path, const Program*> document(const Json& params);
  std::optional<Site> site(const Json& params);

  Json definition(const Json& params);
  Json references(const Json& params, bool with_declaration);
  Json rename(const Json& params);
  bool same_output(const Program& program,
                   const std::map<std::filesystem::path, std::set<std::pair<int, int>>>& edits,
                   int size, const std::string& text);
  Json hover(const Json& params);
  Json document_symbols(const Json& params);
  Json workspace_symbols(const Json& params);
  Json completion(const Json& params);
  Json semantic_tokens(const Json& params);
  Json inlay_hints(const Json& params);
  Json execute_command(const Json& params);
  Json unnumbered(const std::filesystem::path& file, const Json& options);

  std::vector<Json> diagnostics();
  Json diagnostics_of(const std::filesystem::path& file);

  // The UTF-8 lines of a file as the editor holds it.
  const std::vector<std::string_view>& lines_of(const std::filesystem::path& file);
  std::string line_bytes(const std::filesystem::path& file, int line);
  Json position(const std::filesystem::path& file, int line, int point);
  Json range(const std::filesystem::path& file, int line, int first, int end);
  Json location(const std::filesystem::path& file, int line, int first, int end);
  std::optional<Json> span_location(const Program& program, const Span& span);
  std::filesystem::path absolute(const std::filesystem::path& path) const;
  std::optional<std::filesystem::path> file_of(std::string_view uri) const;
  std::string shown(const std::filesystem::path& file) const;
  std::string uri_of(const std::filesystem::path& file) const;

  OverlayFiles files_;
  std::map<std::filesystem::path, Document> documents_;
  Settings settings_;
  std::filesystem::path root_;
  Encoding encoding_ = Encoding::utf16;
  bool initialized_ = false;
  bool shut_down_ = false;
  bool exited_ = false;
  bool stale_ = true;  // the programs need compiling again
  bool diagnostics_due_ = false;
  std::vector<std::unique_ptr<Program>> programs_;
  // A file's text in UTF-8 (none for an open document, whose own text is viewed) and its lines.
  struct FileText {
    std::string text;
    std::vector<std::string_view> lines;
  };
  std::map<std::filesystem::path, FileText> lines_;
  std::set<std::string> published_;
};

}  // namespace kestrel::lsp
