#include "lsp/server.h"

#include <algorithm>
#include <functional>
#include <tuple>
#include <utility>

#include "compiler/substitution.h"
#include "convert/unnumber.h"
#include "files/failure.h"
#include "text/ansi.h"
#include "text/blanks.h"
#include "text/text_lines.h"

namespace kestrel::lsp {

namespace fs = std::filesystem;

namespace {

// The error codes of JSON-RPC and of the protocol.
enum ErrorCode {
  parse_error = -32700,
  invalid_request = -32600,
  method_not_found = -32601,
  invalid_params = -32602,
  server_not_initialized = -32002,
  request_failed = -32803,
};

constexpr const char* kOutputCommand = "kestrel.output";
constexpr const char* kSourceOfLineCommand = "kestrel.sourceOfLine";
constexpr const char* kUnnumberCommand = "kestrel.unnumber";
constexpr const char* kSettingsSection = "kestrel";
constexpr const char* kLostCharacter =
    "This character is not in the code page Windows-1251: it would be saved as \"?\"";
constexpr const char* kServerName = "kestrel-lsp";
constexpr std::size_t kTypingRoom = 4096;

enum DiagnosticSeverity { error = 1, warning = 2 };
enum SymbolKind { file_symbol = 1, function_symbol = 12, constant_symbol = 14 };
enum CompletionKind { constant_item = 21, reference_item = 18 };

// The semantic token types, in the legend's order, and the one modifier.
const std::vector<std::string> kTokenTypes = {"macro", "namespace", "label", "comment", "number"};
const std::vector<std::string> kTokenModifiers = {"declaration"};
constexpr int kDeclaration = 1;

int token_type(LineClass line_class) {
  switch (line_class) {
    case LineClass::definition:
      return 0;
    case LineClass::include:
      return 1;
    case LineClass::label:
      return 2;
    case LineClass::comment:
      return 3;
    case LineClass::line_number:
      return 4;
    case LineClass::plain:
      break;
  }
  return -1;
}

Json error_response(const Json& id, int code, const std::string& message) {
  return {{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}};
}

Json result_response(const Json& id, Json result) {
  return {{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}};
}

Json notification(const std::string& method, Json params) {
  return {{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}};
}

// A request's parameter error, thrown from deep in a handler and answered at its top.
struct BadParams {
  int code = invalid_params;
  std::string message;
};

const Json& field(const Json& object, const char* name) {
  static const Json none;
  if (!object.is_object()) return none;
  const auto found = object.find(name);
  return found == object.end() ? none : *found;
}

std::string string_field(const Json& object, const char* name) {
  const Json& value = field(object, name);
  if (!value.is_string()) throw BadParams{invalid_params, std::string("missing ") + name};
  return value.get<std::string>();
}

int int_field(const Json& object, const char* name) {
  const Json& value = field(object, name);
  if (!value.is_number_integer()) throw BadParams{invalid_params, std::string("missing ") + name};
  return value.get<int>();
}

std::string document_uri(const Json& params) {
  return string_field(field(params, "textDocument"), "uri");
}

bool contains(const Span& span, int pane_line, int column) {
  return span.pane_line == pane_line && column >= span.column &&
         column <= span.column + span.length;
}

// The inner name of a label's text, which a rename replaces: the text without its "[" and, when
// it ends so, its "]".
std::pair<int, int> label_inner(std::string_view text) {
  const int first = text.starts_with('[') ? 1 : 0;
  const int end = static_cast<int>(text.size()) - (text.ends_with(']') && text.size() > 1 ? 1 : 0);
  return {first, std::max(first, end)};
}

}  // namespace

Json Server::bad_header() {
  return error_response(nullptr, parse_error, "The message's header has no usable Content-Length");
}

std::vector<Json> Server::handle(std::string_view body) {
  const Json message = Json::parse(body, nullptr, false);
  if (message.is_discarded()) return {error_response(nullptr, parse_error, "Broken JSON")};
  const Json& method = field(message, "method");
  const bool request = message.is_object() && message.contains("id");
  const Json id = request ? message["id"] : Json();
  if (!method.is_string()) {
    // A response to a request of ours, which the server never makes, is dropped.
    if (message.is_object() && (message.contains("result") || message.contains("error"))) return {};
    return {error_response(id, invalid_request, "A message needs a method")};
  }
  const std::string name = method.get<std::string>();
  if (!initialized_ && name != "initialize" && name != "exit") {
    if (!request) return {};
    return {error_response(id, server_not_initialized, "The server is not initialized")};
  }
  if (shut_down_ && name != "exit" && request)
    return {error_response(id, invalid_request, "The server is shut down")};
  // The diagnostics of the changes before a request go first: its answer reflects them.
  std::vector<Json> out = request ? settle() : std::vector<Json>();
  try {
    std::optional<Json> result = dispatch(name, field(message, "params"), request);
    if (!request) return {};
    if (!result)
      out.push_back(error_response(id, method_not_found, "Unknown method " + name));
    else
      out.push_back(result_response(id, std::move(*result)));
    return out;
  } catch (const BadParams& bad) {
    if (request) out.push_back(error_response(id, bad.code, bad.message));
  } catch (const Json::exception& bad) {
    if (request) out.push_back(error_response(id, invalid_params, bad.what()));
  }
  return out;
}

std::optional<Json> Server::dispatch(const std::string& method, const Json& params, bool request) {
  using Handler = std::function<Json(Server&, const Json&)>;
  static const std::map<std::string, Handler> requests = {
      {"initialize", &Server::initialize},
      {"shutdown",
       [](Server& server, const Json&) {
         server.shut_down_ = true;
         return Json();
       }},
      {"textDocument/definition", &Server::definition},
      {"textDocument/references",
       [](Server& server, const Json& p) {
         return server.references(p, field(field(p, "context"), "includeDeclaration") == true);
       }},
      {"textDocument/rename", &Server::rename},
      {"textDocument/hover", &Server::hover},
      {"textDocument/documentSymbol", &Server::document_symbols},
      {"workspace/symbol", &Server::workspace_symbols},
      {"textDocument/completion", &Server::completion},
      {"textDocument/semanticTokens/full", &Server::semantic_tokens},
      {"textDocument/inlayHint", &Server::inlay_hints},
      {"workspace/executeCommand", &Server::execute_command},
  };
  if (request) {
    const auto found = requests.find(method);
    if (found == requests.end()) return std::nullopt;
    return found->second(*this, params);
  }
  if (method == "initialized") {
    diagnostics_due_ = true;
  } else if (method == "exit") {
    exited_ = true;
  } else if (method == "textDocument/didOpen") {
    open(params);
  } else if (method == "textDocument/didChange") {
    change(params);
  } else if (method == "textDocument/didClose") {
    close(params);
  } else if (method == "workspace/didChangeConfiguration") {
    read_settings(field(field(params, "settings"), kSettingsSection));
  }
  // Saves and the files changed on disk: what the editor holds is compiled again.
  if (method != "exit") {
    stale_ = true;
    diagnostics_due_ = true;
  }
  return Json();
}

Json Server::initialize(const Json& params) {
  initialized_ = true;
  const Json& root = field(params, "rootUri");
  if (root.is_string())
    if (const std::optional<fs::path> path = file_of(root.get<std::string>())) root_ = *path;
  if (root_.empty()) root_ = files_.current_folder();
  const Json& options = field(params, "initializationOptions");
  read_settings(field(options, kSettingsSection).is_object() ? field(options, kSettingsSection)
                                                             : options);
  const Json& offered = field(field(field(params, "capabilities"), "general"), "positionEncodings");
  if (offered.is_array() && std::ranges::find(offered, Json("utf-8")) != offered.end())
    encoding_ = Encoding::utf8;
  return {{"serverInfo", {{"name", kServerName}}},
          {"capabilities",
           {{"positionEncoding", encoding_ == Encoding::utf8 ? "utf-8" : "utf-16"},
            {"textDocumentSync",
             {{"openClose", true}, {"change", 2}, {"save", {{"includeText", false}}}}},
            {"definitionProvider", true},
            {"referencesProvider", true},
            {"renameProvider", true},
            {"hoverProvider", true},
            {"documentSymbolProvider", true},
            {"workspaceSymbolProvider", true},
            {"completionProvider", {{"triggerCharacters", {"["}}}},
            {"semanticTokensProvider",
             {{"legend", {{"tokenTypes", kTokenTypes}, {"tokenModifiers", kTokenModifiers}}},
              {"full", true}}},
            {"inlayHintProvider", true},
            {"executeCommandProvider",
             {{"commands", {kOutputCommand, kSourceOfLineCommand, kUnnumberCommand}}}}}}};
}

// Settings come as {"mainFiles": [...], ...}, or with every name prefixed by "kestrel.". A setting
// left out keeps its value, as a client may send only those that changed.
void Server::read_settings(const Json& settings) {
  if (!settings.is_object()) return;
  const auto setting = [&](const char* name) -> const Json& {
    const Json& plain = field(settings, name);
    return plain.is_null() ? field(settings, (std::string(kSettingsSection) + "." + name).c_str())
                           : plain;
  };
  const auto read_paths = [&](const char* name, std::vector<fs::path>& list) {
    const Json& value = setting(name);
    if (value.is_null()) return;
    list.clear();
    if (!value.is_array()) return;
    for (const Json& item : value)
      if (item.is_string()) list.push_back(absolute(path_from_utf8(item.get<std::string>())));
  };
  const auto read_flag = [&](const char* name, bool& flag) {
    if (const Json& value = setting(name); !value.is_null()) flag = value == true;
  };
  read_paths("mainFiles", settings_.main_files);
  read_paths("includeDirs", settings_.include_dirs);
  read_flag("rem", settings_.rem);
  read_flag("remUnnumbered", settings_.rem_unnumbered);
  stale_ = true;
  diagnostics_due_ = true;
}

fs::path Server::absolute(const fs::path& path) const { return (root_ / path).lexically_normal(); }

// A path from the client is absolute; on Windows one without a drive takes the current one.
std::optional<fs::path> Server::file_of(std::string_view uri) const {
  const std::optional<fs::path> path = path_of_uri(uri);
  if (!path) return std::nullopt;
  return (files_.current_folder() / *path).lexically_normal();
}

// A file as the user reads it: below the workspace's root, from there, with "/" between names.
std::string Server::shown(const fs::path& file) const {
  const fs::path relative = file.lexically_relative(root_);
  const bool below = !relative.empty() && *relative.begin() != "..";
  std::string text = utf8_path(below ? relative : file);
  std::ranges::replace(text, '\\', '/');
  return text;
}

std::string Server::uri_of(const fs::path& file) const {
  for (const auto& [path, document] : documents_)
    if (path == file) return document.uri;
  return uri_of_path(file);
}

void Server::open(const Json& params) {
  const Json& item = field(params, "textDocument");
  const std::string uri = string_field(item, "uri");
  const std::optional<fs::path> path = file_of(uri);
  if (!path) throw BadParams{invalid_params, "Not a file: " + uri};
  lines_.clear();
  Document& document = documents_[*path];
  document.uri = uri;
  document.text = string_field(item, "text");
  files_.put(*path, ansi::from_utf8(document.text));
}

// Applies each change in turn: a range replaced by text, or the whole text.
void Server::change(const Json& params) {
  const std::optional<fs::path> path = file_of(document_uri(params));
  if (!path) return;
  const auto found = documents_.find(*path);
  if (found == documents_.end()) return;
  // What the old text made goes first: a large program is held once, not twice, while it changes.
  programs_.clear();
  lines_.clear();
  files_.drop(*path);
  std::string& text = found->second.text;
  for (const Json& change : field(params, "contentChanges")) {
    const Json& where = field(change, "range");
    const std::string replacement = string_field(change, "text");
    if (!where.is_object()) {
      text = replacement;
      continue;
    }
    const auto offset = [&](const Json& at) {
      const int line = int_field(at, "line");
      std::size_t begin = 0;
      for (int n = 0; n < line; ++n) {
        const std::size_t end = text.find_first_of("\r\n", begin);
        if (end == std::string::npos) return text.size();
        begin = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
      }
      const std::string_view chosen =
          std::string_view(text).substr(begin, text.find_first_of("\r\n", begin) - begin);
      return begin + utf8_offset(chosen, point_of(chosen, int_field(at, "character"), encoding_));
    };
    const std::size_t first = offset(field(where, "start"));
    const std::size_t end = std::max(first, offset(field(where, "end")));
    // Typing grows the text a little at a time: a little room, not the double a string takes
    // when it grows itself.
    if (text.size() + replacement.size() > text.capacity()) {
      std::string grown;
      grown.reserve(text.size() + replacement.size() + kTypingRoom);
      grown.append(text, 0, first).append(replacement).append(text, end);
      text = std::move(grown);
    } else {
      text.replace(first, end - first, replacement);
    }
  }
  files_.put(*path, ansi::from_utf8(text));
}

void Server::close(const Json& params) {
  const std::optional<fs::path> path = file_of(document_uri(params));
  if (!path) return;
  lines_.clear();
  documents_.erase(*path);
  files_.drop(*path);
}

// The programs: each main file the settings name, then each open document that none of them and
// no other open document reads, as a main file of its own.
const std::vector<std::unique_ptr<Program>>& Server::programs() {
  if (!stale_) return programs_;
  programs_.clear();
  lines_.clear();
  for (const fs::path& main : settings_.main_files)
    if (files_.kind(main) == EntryKind::file)
      programs_.push_back(std::make_unique<Program>(files_, main, settings_));
  const std::size_t configured = programs_.size();
  for (const auto& document : documents_) {
    const fs::path& path = document.first;
    const bool read = std::ranges::any_of(programs_.begin(), programs_.begin() + configured,
                                          [&](const auto& p) { return p->reads(path); });
    if (!read) programs_.push_back(std::make_unique<Program>(files_, path, settings_));
  }
  // A document that another open document includes is seen as that one sees it.
  std::vector<bool> included(programs_.size(), false);
  for (std::size_t n = configured; n < programs_.size(); ++n) {
    const fs::path& main = programs_[n]->main_file();
    included[n] = std::ranges::any_of(
        programs_, [&](const auto& p) { return p->main_file() != main && p->reads(main); });
  }
  std::vector<std::unique_ptr<Program>> kept;
  for (std::size_t n = 0; n < programs_.size(); ++n)
    if (!included[n]) kept.push_back(std::move(programs_[n]));
  programs_ = std::move(kept);
  stale_ = false;
  return programs_;
}

const Program* Server::program_for(const fs::path& file) {
  const auto& all = programs();
  for (const auto& program : all)
    if (program->main_file() == file) return program.get();
  for (const auto& program : all)
    if (program->reads(file)) return program.get();
  return nullptr;
}

const std::vector<std::string_view>& Server::lines_of(const fs::path& file) {
  const auto cached = lines_.find(file);
  if (cached != lines_.end()) return cached->second.lines;
  FileText& entry = lines_[file];
  if (const auto open = documents_.find(file); open != documents_.end()) {
    entry.lines = split_lines(open->second.text);
    return entry.lines;
  }
  try {
    entry.text = ansi::to_utf8(files_.read(file));
  } catch (const Failure&) {
  }
  entry.lines = split_lines(entry.text);
  return entry.lines;
}

std::string Server::line_bytes(const fs::path& file, int line) {
  const std::vector<std::string_view>& lines = lines_of(file);
  if (line < 0 || line >= static_cast<int>(lines.size())) return {};
  return ansi::from_utf8(lines[static_cast<std::size_t>(line)]);
}

Json Server::position(const fs::path& file, int line, int point) {
  const std::vector<std::string_view>& lines = lines_of(file);
  const std::string_view text = line >= 0 && line < static_cast<int>(lines.size())
                                    ? lines[static_cast<std::size_t>(line)]
                                    : std::string_view();
  return {{"line", line}, {"character", column_of(text, point, encoding_)}};
}

Json Server::range(const fs::path& file, int line, int first, int end) {
  return {{"start", position(file, line, first)}, {"end", position(file, line, end)}};
}

Json Server::location(const fs::path& file, int line, int first, int end) {
  return {{"uri", uri_of(file)}, {"range", range(file, line, first, end)}};
}

std::optional<Json> Server::span_location(const Program& program, const Span& span) {
  const std::optional<FileLine> at = program.origin(span.pane_line);
  if (!at) return std::nullopt;
  return location(at->file, at->line, span.column, span.column + span.length);
}

// The file a request's document names, and the program it belongs to: none for a URI that names
// no file.
std::pair<fs::path, const Program*> Server::document(const Json& params) {
  const std::optional<fs::path> path = file_of(document_uri(params));
  if (!path) return {};
  return {*path, program_for(*path)};
}

std::optional<Server::Site> Server::site(const Json& params) {
  const auto [file, program] = document(params);
  if (!program) return std::nullopt;
  const Json& at = field(params, "position");
  Site site{program, file, int_field(at, "line"), 0, std::nullopt};
  const std::vector<std::string_view>& lines = lines_of(file);
  if (site.line >= 0 && site.line < static_cast<int>(lines.size()))
    site.column =
        point_of(lines[static_cast<std::size_t>(site.line)], int_field(at, "character"), encoding_);
  site.pane_line = program->pane_line({file, site.line});
  return site;
}

namespace {

// What stands at a place in a program: a label (by its index), a definition (by its slot) or an
// include line (by its index among the load's include lines).
struct Target {
  enum class Kind { label, definition, include };
  Kind kind;
  int index = 0;
};

std::optional<Target> target_at(const Program& program, std::optional<int> pane_line,
                                const fs::path& file, int line, int column) {
  const Symbols& symbols = program.symbols();
  if (pane_line) {
    for (std::size_t n = 0; n < symbols.labels.size(); ++n)
      if (contains(symbols.labels[n].at, *pane_line, column))
        return Target{Target::Kind::label, static_cast<int>(n)};
    for (const Symbols::Reference& reference : symbols.references)
      if (contains(reference.at, *pane_line, column))
        return Target{Target::Kind::label, reference.label};
    for (const auto* sites : {&symbols.definitions, &symbols.uses})
      for (const Symbols::NameSite& site : *sites)
        if (contains(site.at, *pane_line, column))
          return Target{Target::Kind::definition, site.definition};
  }
  const OpenOutcome& opened = program.opened();
  for (std::size_t n = 0; n < opened.includes.size(); ++n) {
    const IncludeLine& include = opened.includes[n];
    if (program.line_of(include.at) != FileLine{file, line}) continue;
    const int first = include.column - 1;
    if (column >= first && column <= first + static_cast<int>(include.name.size()))
      return Target{Target::Kind::include, static_cast<int>(n)};
  }
  return std::nullopt;
}

// Every place of a label or a definition: its own line's first.
std::vector<Span> occurrences(const Program& program, const Target& target) {
  const Symbols& symbols = program.symbols();
  std::vector<Span> spans;
  if (target.kind == Target::Kind::label) {
    spans.push_back(symbols.labels[static_cast<std::size_t>(target.index)].at);
    for (const Symbols::Reference& reference : symbols.references)
      if (reference.label == target.index) spans.push_back(reference.at);
  } else if (target.kind == Target::Kind::definition) {
    for (const auto* sites : {&symbols.definitions, &symbols.uses})
      for (const Symbols::NameSite& site : *sites)
        if (site.definition == target.index) spans.push_back(site.at);
  }
  return spans;
}

std::string label_text(const Program& program, int label) {
  return program.compiled().record.labels[static_cast<std::size_t>(label)].first;
}

}  // namespace

Json Server::definition(const Json& params) {
  const std::optional<Site> at = site(params);
  if (!at) return nullptr;
  const std::optional<Target> target =
      target_at(*at->program, at->pane_line, at->file, at->line, at->column);
  if (!target) return nullptr;
  const Program& program = *at->program;
  if (target->kind == Target::Kind::include) {
    const IncludeLine& include = program.opened().includes[static_cast<std::size_t>(target->index)];
    const LoadedFile& loaded = program.opened().files[include.file];
    if (loaded.result == LoadedFile::Result::failed) return nullptr;
    return location(program.included(include), 0, 0, 0);
  }
  const std::vector<Span> spans = occurrences(program, *target);
  if (spans.empty()) return nullptr;
  return span_location(program, spans.front()).value_or(Json());
}

Json Server::references(const Json& params, bool with_declaration) {
  Json list = Json::array();
  const std::optional<Site> at = site(params);
  if (!at) return list;
  const std::optional<Target> target =
      target_at(*at->program, at->pane_line, at->file, at->line, at->column);
  if (!target) return list;
  std::vector<Span> spans = occurrences(*at->program, *target);
  if (!with_declaration && !spans.empty()) spans.erase(spans.begin());
  for (const Span& span : spans)
    if (const std::optional<Json> place = span_location(*at->program, span))
      if (std::ranges::find(list, *place) == list.end()) list.push_back(*place);
  return list;
}

// Renames a label's inner name or a defined name everywhere the program reads it. A new name
// that the program's text already holds anywhere is refused: the output would change.
Json Server::rename(const Json& params) {
  const std::optional<Site> at = site(params);
  const std::string new_name = ansi::from_utf8(string_field(params, "newName"));
  if (!at) return nullptr;
  const Program& program = *at->program;
  const std::optional<Target> target =
      target_at(program, at->pane_line, at->file, at->line, at->column);
  if (!target || target->kind == Target::Kind::include)
    throw BadParams{request_failed, "Only a label or a defined name can be renamed here"};
  const bool label = target->kind == Target::Kind::label;
  const std::string old_text =
      label ? label_text(program, target->index) : program.workbench().defs.def_name[target->index];
  const auto [first, end] =
      label ? label_inner(old_text) : std::pair<int, int>(0, static_cast<int>(old_text.size()));
  const std::string new_text = old_text.substr(0, static_cast<std::size_t>(first)) + new_name +
                               old_text.substr(static_cast<std::size_t>(end));
  const bool valid =
      label ? !new_name.empty() && new_name.find_first_of("[]\r\n") == std::string::npos
            : is_whole_name(new_name);
  if (!valid) throw BadParams{request_failed, "Not a name that can stand here: " + new_name};
  const DefinitionTable& defs = program.workbench().defs;
  const auto& labels = program.compiled().record.labels;
  const bool taken =
      label
          ? std::ranges::any_of(labels, [&](const auto& l) { return l.first == new_text; })
          : std::ranges::find(defs.def_name.begin(), defs.def_name.begin() + definition_count(defs),
                              new_text) != defs.def_name.begin() + definition_count(defs);
  if (taken && new_text != old_text)
    throw BadParams{request_failed, "The program already has " + ansi::to_utf8(new_text)};
  std::map<fs::path, std::set<std::pair<int, int>>> edits;  // file -> line, column
  for (const Span& span : occurrences(program, *target))
    if (const std::optional<FileLine> place = program.origin(span.pane_line))
      edits[place->file].insert({place->line, span.column + first});
  if (!same_output(program, edits, end - first, new_name))
    throw BadParams{request_failed, "Renamed so, the program would compile differently"};
  Json changes = Json::object();
  for (const auto& [file, places] : edits)
    for (const auto& [line, column] : places)
      changes[uri_of(file)].push_back({{"range", range(file, line, column, column + end - first)},
                                       {"newText", ansi::to_utf8(new_name)}});
  return {{"changes", changes}};
}

// Whether replacing `size` bytes at each place by `text` leaves the program's output as it is.
bool Server::same_output(const Program& program,
                         const std::map<fs::path, std::set<std::pair<int, int>>>& edits, int size,
                         const std::string& text) {
  OverlayFiles renamed(files_);
  for (const auto& [file, places] : edits) {
    std::string bytes = files_.read(file);
    const std::vector<std::string_view> lines = split_lines(bytes);
    std::vector<std::size_t> starts;
    for (const std::string_view line : lines)
      starts.push_back(static_cast<std::size_t>(line.data() - bytes.data()));
    for (auto place = places.rbegin(); place != places.rend(); ++place) {
      const auto line = static_cast<std::size_t>(place->first);
      if (line >= starts.size()) return false;
      bytes.replace(starts[line] + static_cast<std::size_t>(place->second),
                    static_cast<std::size_t>(size), text);
    }
    renamed.put(file, std::move(bytes));
  }
  const Program after(renamed, program.main_file(), settings_);
  return after.workbench().Dest_bas == program.workbench().Dest_bas &&
         after.compiled().ok == program.compiled().ok;
}

namespace {

// A defined name's value, and the values of the names it holds, each once.
void describe_value(const Program& program, int slot, std::string& text, std::set<int>& seen) {
  if (!seen.insert(slot).second) return;
  const DefinitionTable& defs = program.workbench().defs;
  text += ansi::to_utf8(defs.def_name[slot]) + " = " + ansi::to_utf8(defs.def_value[slot]) + "\n";
  const std::optional<int> line = defs.def_source[slot].pane_line;
  if (!line) return;
  for (const Symbols::NameSite& use : program.symbols().uses)
    if (use.at.pane_line == *line) describe_value(program, use.definition, text, seen);
}

// The pane line numbered `index` (0-based), read no further than it; none past the text's end.
std::optional<std::string_view> pane_line_at(std::string_view text, int index) {
  std::optional<std::string_view> found;
  for_each_pane_line(text, [&](std::string_view line) {
    if (index-- == 0) found = line;
    return !found;
  });
  return found;
}

}  // namespace

Json Server::hover(const Json& params) {
  const std::optional<Site> at = site(params);
  if (!at) return nullptr;
  const Program& program = *at->program;
  std::string text;
  if (const std::optional<Target> target =
          target_at(program, at->pane_line, at->file, at->line, at->column)) {
    if (target->kind == Target::Kind::label) {
      const auto& [label, number] =
          program.compiled().record.labels[static_cast<std::size_t>(target->index)];
      text += ansi::to_utf8(label) + " is line " + std::to_string(number) + "\n";
    } else if (target->kind == Target::Kind::definition) {
      std::set<int> seen;
      describe_value(program, target->index, text, seen);
    } else {
      const IncludeLine& include =
          program.opened().includes[static_cast<std::size_t>(target->index)];
      text += shown(program.included(include)) + "\n";
    }
  }
  if (const std::optional<int> output =
          at->pane_line ? program.output_of(*at->pane_line) : std::nullopt) {
    if (const std::optional<std::string_view> line =
            pane_line_at(program.workbench().Dest_bas, *output))
      text += ansi::to_utf8(*line) + "\n";
  }
  if (text.empty()) return nullptr;
  text.pop_back();
  return {{"contents", {{"kind", "plaintext"}, {"value", text}}}};
}

Json Server::document_symbols(const Json& params) {
  Json list = Json::array();
  // Named variables rather than bindings: the lambda below captures them.
  const auto found = document(params);
  const fs::path& file = found.first;
  const Program* program = found.second;
  if (!program) return list;
  const auto add = [&](const std::string& name, int kind, const std::string& detail, int line,
                       int first, int end) {
    const Json where = range(file, line, first, end);
    const Json whole = range(file, line, 0, static_cast<int>(line_bytes(file, line).size()));
    list.push_back({{"name", name},
                    {"kind", kind},
                    {"detail", detail},
                    {"range", whole},
                    {"selectionRange", where}});
  };
  const Symbols& symbols = program->symbols();
  const DefinitionTable& defs = program->workbench().defs;
  std::set<int> lines;
  for (std::size_t n = 0; n < symbols.labels.size(); ++n) {
    const Span& span = symbols.labels[n].at;
    const std::optional<FileLine> at = program->origin(span.pane_line);
    if (!at || at->file != file || !lines.insert(at->line).second) continue;
    add(ansi::to_utf8(label_text(*program, static_cast<int>(n))), function_symbol,
        "line " + std::to_string(symbols.labels[n].number), at->line, span.column,
        span.column + span.length);
  }
  for (const Symbols::NameSite& site : symbols.definitions) {
    const std::optional<FileLine> at = program->origin(site.at.pane_line);
    if (!at || at->file != file || !lines.insert(at->line).second) continue;
    add(ansi::to_utf8(defs.def_name[site.definition]), constant_symbol,
        ansi::to_utf8(defs.def_value[site.definition]), at->line, site.at.column,
        site.at.column + site.at.length);
  }
  const OpenOutcome& opened = program->opened();
  for (const IncludeLine& include : opened.includes) {
    const std::optional<FileLine> at = program->line_of(include.at);
    if (!at || at->file != file || !lines.insert(at->line).second) continue;
    add(ansi::to_utf8(include.name), file_symbol, shown(program->included(include)), at->line,
        include.column - 1, include.column - 1 + static_cast<int>(include.name.size()));
  }
  std::sort(list.begin(), list.end(), [](const Json& a, const Json& b) {
    return a["range"]["start"]["line"].get<int>() < b["range"]["start"]["line"].get<int>();
  });
  return list;
}

Json Server::workspace_symbols(const Json& params) {
  Json list = Json::array();
  const std::string query =
      field(params, "query").is_string() ? params["query"].get<std::string>() : std::string();
  const auto add = [&](const Program& program, const std::string& name, int kind,
                       const Span& span) {
    if (name.find(query) == std::string::npos) return;
    const std::optional<Json> place = span_location(program, span);
    if (!place) return;
    const Json symbol = {{"name", name}, {"kind", kind}, {"location", *place}};
    if (std::ranges::find(list, symbol) == list.end()) list.push_back(symbol);
  };
  for (const auto& program : programs()) {
    const Symbols& symbols = program->symbols();
    for (std::size_t n = 0; n < symbols.labels.size(); ++n)
      add(*program, ansi::to_utf8(label_text(*program, static_cast<int>(n))), function_symbol,
          symbols.labels[n].at);
    for (const Symbols::NameSite& site : symbols.definitions)
      add(*program, ansi::to_utf8(program->workbench().defs.def_name[site.definition]),
          constant_symbol, site.at);
  }
  return list;
}

// After an unclosed "[" the labels, elsewhere the defined names.
Json Server::completion(const Json& params) {
  Json items = Json::array();
  const std::optional<Site> at = site(params);
  if (!at) return items;
  const Program& program = *at->program;
  const std::string before = line_bytes(at->file, at->line).substr(0, at->column);
  const std::size_t open = before.rfind('[');
  if (open != std::string::npos && before.find(']', open) == std::string::npos) {
    for (const auto& [text, number] : program.compiled().record.labels)
      items.push_back({{"label", ansi::to_utf8(text)},
                       {"kind", reference_item},
                       {"detail", "line " + std::to_string(number)},
                       {"insertText", ansi::to_utf8(text.substr(1))}});
    return items;
  }
  const DefinitionTable& defs = program.workbench().defs;
  for (int k = 0; k < definition_count(defs); ++k)
    items.push_back({{"label", ansi::to_utf8(defs.def_name[k])},
                     {"kind", constant_item},
                     {"detail", ansi::to_utf8(defs.def_value[k])}});
  return items;
}

// Each line of a class of its own is one token; in plain lines, each label reference.
Json Server::semantic_tokens(const Json& params) {
  std::vector<int> data;
  const auto [file, program] = document(params);
  if (file.empty()) return {{"data", data}};
  const std::vector<std::string_view>& lines = lines_of(file);
  std::multimap<int, Span> references;  // by the file's line
  if (program)
    for (const Symbols::Reference& reference : program->symbols().references)
      if (const std::optional<FileLine> at = program->origin(reference.at.pane_line))
        if (at->file == file) references.emplace(at->line, reference.at);
  int last_line = 0, last_start = 0;
  const auto token = [&](int line, int first, int end, int type, int modifiers) {
    const std::string_view text = lines[static_cast<std::size_t>(line)];
    const int start = column_of(text, first, encoding_);
    const int length = column_of(text, end, encoding_) - start;
    if (length <= 0) return;
    data.insert(data.end(), {line - last_line, line == last_line ? start - last_start : start,
                             length, type, modifiers});
    last_line = line;
    last_start = start;
  };
  for (int line = 0; line < static_cast<int>(lines.size()); ++line) {
    const std::string bytes = ansi::from_utf8(lines[static_cast<std::size_t>(line)]);
    const LineClass line_class = classify_line(bytes);
    if (line_class != LineClass::plain) {
      const int first = static_cast<int>(bytes.size() - trim_left_blanks(bytes).size());
      token(line, first, static_cast<int>(bytes.size()), token_type(line_class),
            line_class == LineClass::label ? kDeclaration : 0);
      continue;
    }
    const auto [from, to] = references.equal_range(line);
    std::vector<Span> spans;
    for (auto it = from; it != to; ++it) spans.push_back(it->second);
    std::ranges::sort(spans, {}, &Span::column);
    for (const Span& span : spans)
      token(line, span.column, span.column + span.length, token_type(LineClass::label), 0);
  }
  return {{"data", data}};
}

Json Server::inlay_hints(const Json& params) {
  Json hints = Json::array();
  const auto [file, program] = document(params);
  if (!program) return hints;
  const Json& where = field(params, "range");
  const int first = int_field(field(where, "start"), "line");
  const int last = int_field(field(where, "end"), "line");
  const std::vector<int>& numbers = program->symbols().output_numbers;
  for (int line = first; line <= last; ++line) {
    const std::optional<int> pane_line = program->pane_line({file, line});
    const std::optional<int> output = pane_line ? program->output_of(*pane_line) : std::nullopt;
    if (!output || *output >= static_cast<int>(numbers.size()) || numbers[*output] < 0) continue;
    hints.push_back({{"position", position(file, line, 0)},
                     {"label", std::to_string(numbers[*output]) + ":"},
                     {"paddingRight", true}});
  }
  return hints;
}

Json Server::execute_command(const Json& params) {
  const std::string command = string_field(params, "command");
  const Json& arguments = field(params, "arguments");
  if (!arguments.is_array() || arguments.empty() || !arguments[0].is_string())
    throw BadParams{invalid_params, "The first argument is the document's URI"};
  const std::optional<fs::path> path = file_of(arguments[0].get<std::string>());
  if (command == kUnnumberCommand)
    return path ? unnumbered(*path, arguments.size() > 1 ? arguments[1] : Json()) : Json();
  const Program* program = path ? program_for(*path) : nullptr;
  if (command != kOutputCommand && command != kSourceOfLineCommand)
    throw BadParams{invalid_params, "Unknown command " + command};
  if (!program) return nullptr;
  const std::vector<OutputLine>& outputs = program->compiled().record.output_lines;
  const std::vector<int>& numbers = program->symbols().output_numbers;
  const auto source_of = [&](std::size_t n) -> Json {
    const std::optional<FileLine> at = program->origin(outputs[n].source_line);
    if (!at) return nullptr;
    const int end = static_cast<int>(line_bytes(at->file, at->line).size());
    return location(at->file, at->line, 0, end);
  };
  if (command == kOutputCommand) {
    Json map = Json::array();
    for (std::size_t n = 0; n < outputs.size() && n < numbers.size(); ++n)
      map.push_back({{"outputLine", n},
                     {"number", numbers[n] < 0 ? Json() : Json(numbers[n])},
                     {"source", source_of(n)}});
    return {{"output", ansi::to_utf8(program->workbench().Dest_bas)}, {"map", map}};
  }
  if (arguments.size() < 2 || !arguments[1].is_number_integer())
    throw BadParams{invalid_params, "The second argument is a BASIC line number"};
  const int wanted = arguments[1].get<int>();
  for (std::size_t n = 0; n < outputs.size() && n < numbers.size(); ++n)
    if (numbers[n] == wanted) return source_of(n);
  return nullptr;
}

// A numbered program, as the editor holds it, turned into a source with labels, as kestrelc
// --unnumber turns it: with the server's comment settings, and `options` {"compact": true} and
// {"namesFromComments": true} as --unnumber=compact and --names-from-comments. The first line holds
// its number alone, without kestrelc's note on how to compile the source: the answer names the
// comment options instead.
Json Server::unnumbered(const fs::path& file, const Json& options) {
  std::string program;
  try {
    program = files_.read(file);
  } catch (const Failure&) {
    return nullptr;
  }
  UnnumberSettings settings;
  settings.renumbering =
      field(options, "compact") == true ? Renumbering::compact : Renumbering::keep;
  settings.names_from_comments = field(options, "namesFromComments") == true;
  if (settings_.rem_unnumbered)
    settings.comments = CommentOptions::rem_unnumbered;
  else if (settings_.rem)
    settings.comments = CommentOptions::rem;
  const UnnumberResult result = unnumber(program, settings);
  Json findings = Json::array();
  for (const UnnumberFinding& finding : result.findings)
    findings.push_back(
        {{"location", location(file, finding.line - 1, finding.column - 1, finding.column - 1)},
         {"severity", finding.refusal ? 1 : 2},
         {"message", ansi::to_utf8(finding.text)}});
  const char* const comments[] = {"none", "rem", "remUnnumbered"};
  return {{"converted", result.converted},
          {"source", ansi::to_utf8(result.source)},
          {"comments", comments[static_cast<int>(result.comments)]},
          {"findings", findings}};
}

namespace {

struct Place {
  fs::path file;
  int line = 0;
  int first = 0;
  int end = 0;
};

// The stretch of a line a finding is about: the name or the label at its column, or else from
// there (or the first character that is no blank) to the line's end.
Place stretch(const Program& program, std::optional<int> pane_line, Place place,
              const std::string& bytes, int column) {
  place.first =
      column > 0 ? column - 1 : static_cast<int>(bytes.size() - trim_left_blanks(bytes).size());
  place.end = static_cast<int>(trim_right_blanks(bytes).size());
  if (!pane_line) return place;
  const Symbols& symbols = program.symbols();
  std::vector<Span> spans;
  for (const auto& label : symbols.labels) spans.push_back(label.at);
  for (const auto& site : symbols.definitions) spans.push_back(site.at);
  if (column > 0) {
    for (const auto& reference : symbols.references) spans.push_back(reference.at);
    for (const auto& use : symbols.uses) spans.push_back(use.at);
  }
  for (const Span& span : spans)
    if (span.pane_line == *pane_line && (column == 0 || contains(span, *pane_line, column - 1)))
      return {place.file, place.line, span.column, span.column + span.length};
  return place;
}

}  // namespace

Json Server::diagnostics_of(const fs::path& file) {
  Json list = Json::array();
  if (const auto open = documents_.find(file); open != documents_.end())
    for (const Lost& lost : lost_characters(open->second.text))
      list.push_back({{"range", range(file, lost.line, lost.point, lost.point + 1)},
                      {"severity", warning},
                      {"source", kServerName},
                      {"message", kLostCharacter}});
  const Program* program = program_for(file);
  if (!program) return list;
  const auto place_of = [&](const Finding& finding) -> Place {
    if (!finding.location) return {program->main_file(), 0, 0, 0};
    const Location& where = *finding.location;
    if (where.pane_line)
      if (const std::optional<FileLine> at = program->origin(*where.pane_line))
        if (at->line == where.line - 1)
          return stretch(*program, where.pane_line, {at->file, at->line, 0, 0},
                         line_bytes(at->file, at->line), where.column);
    Place place{program->absolute(where.file), where.line - 1, 0, 0};
    for (const IncludeLine& include : program->opened().includes) {
      if (program->line_of(include.at) == FileLine{place.file, place.line})
        return {place.file, place.line, include.column - 1,
                include.column - 1 + static_cast<int>(include.name.size())};
    }
    return stretch(*program, std::nullopt, place, line_bytes(place.file, place.line), where.column);
  };
  for (const auto* findings : {&program->opened().findings, &program->compiled().findings}) {
    for (const Finding& finding : *findings) {
      const Place place = place_of(finding);
      if (place.file != file) continue;
      Json diagnostic = {{"range", range(file, place.line, place.first, place.end)},
                         {"severity", error},
                         {"source", kServerName},
                         {"message", ansi::to_utf8(finding.text)}};
      if (finding.kind == Finding::Kind::failure) diagnostic["code"] = finding.number;
      if (!finding.detail.empty())
        diagnostic["relatedInformation"] = {
            {{"location", location(file, place.line, place.first, place.end)},
             {"message", ansi::to_utf8(finding.detail)}}};
      list.push_back(std::move(diagnostic));
    }
  }
  return list;
}

std::vector<Json> Server::diagnostics() {
  std::set<fs::path> files;
  for (const auto& [path, document] : documents_) files.insert(path);
  for (const auto& program : programs())
    for (const auto* findings : {&program->opened().findings, &program->compiled().findings})
      for (const Finding& finding : *findings)
        files.insert(finding.location ? program->absolute(finding.location->file)
                                      : program->main_file());
  std::vector<Json> messages;
  std::set<std::string> published;
  for (const fs::path& file : files) {
    Json list = diagnostics_of(file);
    const std::string uri = uri_of(file);
    if (list.empty() && !published_.contains(uri) && !documents_.contains(file)) continue;
    if (!list.empty()) published.insert(uri);
    messages.push_back(notification("textDocument/publishDiagnostics",
                                    {{"uri", uri}, {"diagnostics", std::move(list)}}));
  }
  for (const std::string& uri : published_)
    if (!published.contains(uri) &&
        std::ranges::none_of(messages, [&](const Json& m) { return m["params"]["uri"] == uri; }))
      messages.push_back(notification("textDocument/publishDiagnostics",
                                      {{"uri", uri}, {"diagnostics", Json::array()}}));
  published_ = std::move(published);
  return messages;
}

std::vector<Json> Server::settle() {
  if (!diagnostics_due_ || !initialized_ || shut_down_) return {};
  diagnostics_due_ = false;
  return diagnostics();
}

}  // namespace kestrel::lsp
