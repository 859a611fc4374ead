#include "cli/kestrelc.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/make_rule.h"
#include "cli/options.h"
#include "compiler/compile_pass.h"
#include "convert/unnumber.h"
#include "files/failure.h"
#include "files/file_reading.h"
#include "loader/open_command.h"
#include "save/pane_writer.h"
#include "text/ansi.h"
#include "text/text_lines.h"
#include "workbench/findings.h"
#include "workbench/messages.h"
#include "workbench/source_map.h"
#include "workbench/startup.h"
#include "workbench/ui.h"
#include "workbench/workbench.h"

namespace kestrel::cli {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kStandardStream = "-";
// Standard output, where a failure names the file it could not write.
const char* const kStandardOutput = "standard output";

// The files of a run whose SOURCE is standard input: "-" reads the stream, once, and everything
// else is the given files'.
class WithStandardInput : public Files {
 public:
  WithStandardInput(Files& files, std::istream& in) : files_(files), in_(in) {}

  std::vector<fs::path> list(const fs::path& folder) const override { return files_.list(folder); }
  EntryKind kind(const fs::path& path) const override {
    return is_stdin(path) ? EntryKind::file : files_.kind(path);
  }
  bool same_file(const fs::path& a, const fs::path& b) const override {
    return !is_stdin(a) && !is_stdin(b) && files_.same_file(a, b);
  }
  fs::path current_folder() const override { return files_.current_folder(); }

 protected:
  std::string read_file(const fs::path& path, std::size_t most) override {
    if (!is_stdin(path)) return files_.read(path, most);
    if (!bytes_) {
      if (in_.rdbuf() == nullptr) throw make_failure(FailureCode::bad_file_name_or_number);
      bytes_ = read_stream_bounded(*in_.rdbuf(), most);
    }
    if (bytes_->size() > most) throw make_failure(FailureCode::over_load_bound);
    return *bytes_;
  }
  std::optional<WriteFailure> write_files(std::span<const FileWrite> writes) override {
    return files_.write_all(writes);
  }

 private:
  static bool is_stdin(const fs::path& path) { return path == fs::path(kStandardStream); }

  Files& files_;
  std::istream& in_;
  std::optional<std::string> bytes_;
};

// Every message stays on its line, as an editor reads compiler output line by line: a line break
// inside it (CR LF as the panes hold them, a lone CR or LF) is shown by a sign that no character
// of the code page becomes.
constexpr std::string_view kShownLineBreak = "\u23CE";

std::string on_one_line(std::string_view utf8) {
  std::string text;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] != '\r' && utf8[i] != '\n') {
      text += utf8[i];
      continue;
    }
    text += kShownLineBreak;
    if (utf8.substr(i).starts_with(crlf)) ++i;
  }
  return text;
}

// A finding as an editor reads compiler output: "FILE:LINE:COLUMN: error: TEXT" for one about a
// line, "kestrelc: error: TEXT" for any other. A failure's text is its title, the file it names
// (`unnamed` when it names none) and its description.
std::string editor_line(const Finding& finding, const fs::path& unnamed = {}) {
  std::string text = ansi::to_utf8(finding.text);
  if (finding.kind == Finding::Kind::failure) {
    const fs::path& file = finding.file.empty() ? unnamed : finding.file;
    const std::string named = file.empty() ? "" : "  " + utf8_path(file);
    text = ansi::to_utf8(finding.title) + named + ": " + text;
  }
  if (!finding.location) return "kestrelc: error: " + on_one_line(text);
  const Location& at = *finding.location;
  return utf8_path(at.file) + ':' + std::to_string(at.line) + ':' +
         std::to_string(at.column > 0 ? at.column : 1) + ": error: " + on_one_line(text);
}

void report(std::ostream& err, const std::vector<Finding>& findings, const fs::path& unnamed = {}) {
  for (const Finding& finding : findings) err << editor_line(finding, unnamed) << '\n';
  err.flush();
}

// Says that reading or writing `file` failed.
void report_failure(std::ostream& err, const fs::path& file, const Failure& failure) {
  report(err, {{Finding::Kind::failure, failure_title(failure), failure.description(),
                failure.number(), file, std::nullopt}});
}

// Writes the result to standard output, unless -o names a file; a failure there is told at the end
// of the run. Returns false when it failed.
bool shown_on_standard_output(const Options& options, std::ostream& out, std::string_view result) {
  if (options.output && *options.output != kStandardStream) return true;
  try {
    write_pane(out, result);
  } catch (const Failure&) {
    return false;
  }
  return true;
}

// Writes the files of a run all or none, each replacing an old one only when complete. Returns
// false, after saying so, when none was written.
bool all_written(Files& files, std::ostream& err, const std::vector<FileWrite>& writes) {
  const std::optional<WriteFailure> failed = files.write_all(writes);
  if (failed) report_failure(err, writes[failed->index].path, failed->failure);
  return !failed;
}

// The number an output line carries as written: the digits before its first blank.
std::string written_number(std::string_view line, const OutputLine& source) {
  return source.numbered ? std::string(line.substr(0, line.find(' '))) : std::string();
}

// The map of the pass, in UTF-8 with LF line ends.
std::string map_text(const Workbench& wb, const SourceMap& source_map,
                     const CompileRecord& record) {
  const Locator where(source_map, wb.Source_bas);
  const std::vector<OutputLine>& sources = record.output_lines;
  std::string text;
  PaneLines lines(wb.Dest_bas);
  for (std::size_t i = 0; i < sources.size(); ++i) {
    std::string_view line;
    if (!lines.next(line)) {
      // A label that ends in a CR can take the CR LF of the last line with it.
      line = lines.rest();
      if (line.empty()) break;
      lines = PaneLines(std::string_view());
    }
    const Location at = where.at(sources[i].source_line);
    text += ansi::to_utf8(written_number(line, sources[i])) + '\t' + utf8_path(at.file) + '\t' +
            std::to_string(at.line) + '\n';
  }
  for (const auto& [label, number] : record.labels)
    text += "label\t" + ansi::to_utf8(label) + '\t' + std::to_string(number) + '\n';
  return text;
}

// A file the run is to write, by the option that names it.
struct Target {
  const char* option;
  fs::path path;
};

// The files the options name to be written; standard output is none.
std::vector<Target> targets_of(const Options& options) {
  std::vector<Target> targets;
  if (options.output && *options.output != kStandardStream)
    targets.push_back({"-o", path_from_utf8(*options.output)});
  if (options.map) targets.push_back({"--map", path_from_utf8(*options.map)});
  if (options.deps) targets.push_back({"--deps", path_from_utf8(*options.deps)});
  return targets;
}

// A usage error when a file the run is to write is one the load read (whatever its spelling), or
// when two options name the same file: writing it would destroy an input, or another result.
std::optional<std::string> overwritten_input(const Files& files, const std::vector<Target>& targets,
                                             const std::vector<fs::path>& inputs) {
  for (const Target& target : targets) {
    for (const fs::path& input : inputs) {
      if (files.same_file(target.path, input))
        return std::string(target.option) +
               " names a file the source was read from: " + utf8_path(target.path);
    }
  }
  for (std::size_t i = 0; i < targets.size(); ++i) {
    for (std::size_t j = i + 1; j < targets.size(); ++j) {
      if (files.same_target(targets[i].path, targets[j].path))
        return std::string(targets[i].option) + " and " + targets[j].option +
               " name the same file: " + utf8_path(targets[i].path);
    }
  }
  return std::nullopt;
}

// A usage error when a file named in the map or the make rule holds a tab or a line break: make
// takes no such name, and the map's lines and columns would be broken by it.
std::optional<std::string> unlisted_name(const Options& options, const std::vector<Target>& targets,
                                         const OpenOutcome& opened,
                                         const std::vector<fs::path>& inputs) {
  std::vector<std::pair<const char*, fs::path>> named;
  const char* rule_option = options.rule_only ? "-M" : options.deps ? "--deps" : nullptr;
  if (options.map) {
    for (const fs::path& file : opened.source_map.files) named.emplace_back("--map", file);
  }
  if (rule_option) {
    for (const fs::path& file : inputs) named.emplace_back(rule_option, file);
    if (!targets.empty() && targets.front().option == std::string_view("-o"))
      named.emplace_back(rule_option, targets.front().path);
  }
  for (const auto& [option, path] : named) {
    if (utf8_path(path).find_first_of("\t\n\r") != std::string::npos)
      return std::string(option) +
             " cannot list a file whose name holds a tab or a line break: " + utf8_path(path);
  }
  return std::nullopt;
}

// A path in a make rule, in UTF-8: make takes a backslash for an escape, so folders are joined by
// "/" on every platform.
std::string make_path(const fs::path& path) {
  const std::u8string generic = path.generic_u8string();
  return std::string(generic.begin(), generic.end());
}

// The make rule of the run: the output depends on the source and on every file it includes, each
// by the name it has on disk. An output on standard output stands as the source's name with ".out"
// for its extension.
std::string dependency_rule(const Options& options, const std::vector<fs::path>& inputs) {
  std::string target;
  if (options.output && *options.output != kStandardStream) {
    target = make_path(path_from_utf8(*options.output));
  } else {
    target = make_path(path_from_utf8(*options.source).replace_extension(".out"));
  }
  std::vector<std::string> prerequisites;
  for (const fs::path& file : inputs) {
    if (file != fs::path(kStandardStream)) prerequisites.push_back(make_path(file));
  }
  return make_rule(target, prerequisites);
}

// One run of the options; `read` gets every file the load read or tried to read.
int compile_once(const Options& options, std::ostream& out, std::ostream& err, Files& files,
                 std::vector<fs::path>& read) {
  std::vector<Target> targets;
  try {
    targets = targets_of(options);
  } catch (const Failure& failure) {
    err << "kestrelc: error: " << failure.description() << '\n';
    return 2;
  }
  Workbench wb;
  wb.source_path = *options.source;
  wb.keep_comments = options.rem || options.rem_unnumbered;
  wb.comments_unnumbered = options.rem_unnumbered;
  SilentUi ui;
  std::vector<fs::path> more;
  for (const std::string& folder : options.include_dirs) more.push_back(path_from_utf8(folder));
  const OpenOutcome opened = open_command(wb, ui, files, {files.current_folder(), more});
  for (const LoadedFile& file : opened.files) {
    read.push_back(file.composed);
    if (file.resolved != file.composed) read.push_back(file.resolved);
  }
  read.insert(read.end(), opened.passed_over.begin(), opened.passed_over.end());
  // A failure that names no file while opening is about SOURCE itself.
  report(err, opened.findings, path_from_utf8(*options.source));
  if (!opened.read_to_end) return 2;
  const std::vector<fs::path> inputs = files_read(opened);
  std::optional<std::string> refused = overwritten_input(files, targets, inputs);
  if (!refused) refused = unlisted_name(options, targets, opened, inputs);
  if (refused) {
    err << "kestrelc: error: " << *refused << '\n';
    return 2;
  }
  if (options.rule_only) {
    out << dependency_rule(options, inputs);
    return opened.findings.empty() ? 0 : 1;
  }
  const CompileOutcome compiled = compile_command(wb, ui, opened.source_map);
  report(err, compiled.findings);
  const bool succeeded = opened.findings.empty() && compiled.ok;
  if (compiled.ok && !options.quiet) err << message_text(MessageText::compile_ok) << '\n';
  // An output file is a finished product, so that make never takes a failed run's for up to
  // date; standard output shows whatever the pass left.
  const bool shown = shown_on_standard_output(options, out, wb.Dest_bas);
  std::string completed_output;
  std::string map_bytes;
  std::string rule_bytes;
  std::vector<FileWrite> writes;
  for (const Target& target : targets) {
    const std::string_view option = target.option;
    if (option == "-o" && !succeeded) continue;
    std::string_view bytes;
    if (option == "-o") {
      bytes = pane_file_view(wb.Dest_bas, completed_output);
    } else if (option == "--map") {
      bytes = map_bytes = map_text(wb, opened.source_map, compiled.record);
    } else {
      bytes = rule_bytes = dependency_rule(options, inputs);
    }
    writes.push_back({target.path, bytes});
  }
  if (!all_written(files, err, writes) || !shown) return 1;
  return succeeded ? 0 : 1;
}

// The map of a conversion, in UTF-8 with LF line ends: for each line of the program the number
// the compile of the source gives it, the source and the line there, and its old number.
std::string unnumber_map(const UnnumberResult& result, const std::string& source) {
  std::string text;
  for (const UnnumberedLine& line : result.lines) {
    text += line.new_number ? written_line_number(*line.new_number) : std::string();
    text += '\t' + source + '\t' + std::to_string(line.source_line) + '\t' +
            (line.old_number ? std::to_string(*line.old_number) : std::string()) + '\n';
  }
  for (const auto& [label, number] : result.labels)
    text += "label\t" + ansi::to_utf8(label) + '\t' + std::to_string(number) + '\n';
  return text;
}

UnnumberSettings unnumber_settings(const Options& options) {
  UnnumberSettings settings;
  settings.renumbering = options.compact ? Renumbering::compact : Renumbering::keep;
  settings.names_from_comments = options.names_from_comments;
  if (options.rem_unnumbered)
    settings.comments = CommentOptions::rem_unnumbered;
  else if (options.rem)
    settings.comments = CommentOptions::rem;
  for (const std::string& word : options.keywords)
    settings.keywords.push_back(ansi::from_utf8(word));
  settings.note = [](CommentOptions comments) {
    return ansi::from_utf8(conversion_note(comments != CommentOptions::none,
                                           comments == CommentOptions::rem_unnumbered));
  };
  return settings;
}

// --unnumber: converts SOURCE, a numbered program, into a source with labels.
int unnumber_once(const Options& options, std::ostream& out, std::ostream& err, Files& files) {
  const fs::path input = path_from_utf8(*options.source);
  std::vector<Target> targets;
  std::string program;
  try {
    targets = targets_of(options);
    program = files.read(input);
  } catch (const Failure& failure) {
    report_failure(err, input, failure);
    return 2;
  }
  if (const std::optional<std::string> refused = overwritten_input(files, targets, {input})) {
    err << "kestrelc: error: " << *refused << '\n';
    return 2;
  }
  const UnnumberResult result = unnumber(program, unnumber_settings(options));
  for (const UnnumberFinding& finding : result.findings)
    err << utf8_path(input) << ':' << finding.line << ':' << finding.column
        << (finding.refusal ? ": error: " : ": warning: ") << ansi::to_utf8(finding.text) << '\n';
  err.flush();
  if (!result.converted) return 1;
  const bool shown = shown_on_standard_output(options, out, result.source);
  std::string completed_output;
  std::string map_bytes;
  std::vector<FileWrite> writes;
  if (options.output && *options.output != kStandardStream)
    writes.push_back({targets.front().path, pane_file_view(result.source, completed_output)});
  if (options.map) {
    const std::string source = options.output ? *options.output : std::string(kStandardStream);
    map_bytes = unnumber_map(result, source);
    writes.push_back({path_from_utf8(*options.map), map_bytes});
  }
  return all_written(files, err, writes) && shown ? 0 : 1;
}

// "HH:MM:SS" of the local time now.
std::string time_of_day() {
  const std::tm local = local_time(std::chrono::system_clock::now());
  char text[16];
  std::strftime(text, sizeof text, "%H:%M:%S", &local);
  return text;
}

// Compiles, then again after every change of a file the last run read or tried to read, until
// interrupted. Each run ends with one line: the time, SOURCE and how the run went.
int watch(const Options& options, std::ostream& out, std::ostream& err,
          const Surroundings& surroundings) {
  for (;;) {
    std::vector<fs::path> read;
    const int status = compile_once(options, out, err, surroundings.files, read);
    err << "kestrelc: " << time_of_day() << ' ' << *options.source << ": "
        << (status == 0 ? "compiled" : "failed, exit status " + std::to_string(status))
        << "; watching " << read.size() << (read.size() == 1 ? " file" : " files") << '\n';
    err.flush();
    if (read.empty()) read.push_back(path_from_utf8(*options.source));
    if (!surroundings.watcher.wait(read, surroundings.interrupted)) return 0;
  }
}

// Set by Ctrl+C while a watch runs: a signal handler can reach nothing else.
std::atomic<bool> interrupted{false};

extern "C" void on_interrupt(int) { interrupted = true; }

}  // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  DiskFiles files;
  const std::unique_ptr<ChangeWatcher> watcher = system_watcher();
  // Ctrl+C ends a watch cleanly; anything else it ends at once, as the system does.
  if (parse_options(args).watch) std::signal(SIGINT, on_interrupt);
  StandardInput standard_input;
  std::istream in(&standard_input);
  return run(args, out, err, {files, in, *watcher, interrupted});
}

namespace {

// The run as its options ask, without the last look at its streams.
int run_options(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                const Surroundings& surroundings) {
  const Options options = parse_options(args);
  if (options.help) {
    out << help_text();
    return 0;
  }
  if (options.version) {
    out << "kestrelc " << KESTREL_VERSION << '\n';
    return 0;
  }
  if (options.error) {
    err << "kestrelc: error: " << *options.error << " (see kestrelc --help)\n";
    return 2;
  }
  WithStandardInput files(surroundings.files, surroundings.in);
  if (options.unnumber) return unnumber_once(options, out, err, files);
  if (options.watch)
    return watch(options, out, err,
                 {files, surroundings.in, surroundings.watcher, surroundings.interrupted});
  std::vector<fs::path> read;
  return compile_once(options, out, err, files, read);
}

}  // namespace

// A run whose output or messages did not all reach their streams has not succeeded: standard
// output's failure is told on standard error; standard error's can be told nowhere but in the
// exit status.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const Surroundings& surroundings) {
  int status = run_options(args, out, err, surroundings);
  errno = 0;
  out.flush();
  if (!out) {
    report_failure(err, kStandardOutput, failure_from_os_error(errno));
    status = std::max(status, 1);
  }
  err.flush();
  if (!err) status = std::max(status, 1);
  return status;
}

}  // namespace kestrel::cli
