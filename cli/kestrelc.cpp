#include "cli/kestrelc.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/ansi.h"
#include "app/failure.h"
#include "app/files.h"
#include "app/findings.h"
#include "app/source_map.h"
#include "app/text_lines.h"
#include "app/ui.h"
#include "app/workbench.h"
#include "compiler/compile_pass.h"
#include "loader/open_command.h"
#include "save/pane_writer.h"

namespace kestrel::cli {

namespace {

constexpr std::string_view kHelp =
    "usage: kestrelc [--rem] [--rem-unnumbered] [-o OUTPUT] [--map MAPFILE] [--] SOURCE\n"
    "\n"
    "Loads SOURCE as Open does (include files from the current directory, else from\n"
    "SOURCE's folder), compiles it to numbered BASIC and writes the result to OUTPUT, or to\n"
    "standard output without -o. Every message is written to standard error, one line\n"
    "each; a message about a line begins with FILE:LINE: where FILE is the file as loaded\n"
    "and LINE its line there.\n"
    "\n"
    "  --rem             keep REM lines, numbered\n"
    "  --rem-unnumbered  keep REM lines, without a line number\n"
    "  -o OUTPUT         write the result to OUTPUT when the run succeeds; an old OUTPUT\n"
    "                    is replaced only by a complete new one\n"
    "  --map MAPFILE     write a map of the result to MAPFILE, in UTF-8: for each output\n"
    "                    line its number, TAB, the file and TAB and the line it came from;\n"
    "                    then for each label \"label\", TAB, its text, TAB, its number\n"
    "  --help            show this help\n"
    "  --                end the options: a SOURCE after it may begin with \"-\"\n"
    "\n"
    "Exit status:\n"
    "  0  the compile ended with COMPILE OK and nothing else was reported\n"
    "  1  the compile ran, but something else was reported (OUTPUT is then left as it\n"
    "     was; the map and standard output show what the compile produced), or the\n"
    "     result or the map could not be written\n"
    "  2  a usage error, SOURCE could not be loaded, or OUTPUT or MAPFILE names a file\n"
    "     the source was read from (nothing is written)\n";

struct Options {
  bool help = false;
  bool rem = false;
  bool rem_unnumbered = false;
  std::optional<std::string> output;
  std::optional<std::string> map;
  std::optional<std::string> source;
  std::optional<std::string> error;  // the first usage error met
};

void set_error(Options& options, std::string error) {
  if (!options.error) options.error = std::move(error);
}

void take_source(Options& options, const std::string& arg) {
  if (arg.empty()) return set_error(options, "SOURCE is empty");
  if (options.source)
    return set_error(options, "more than one SOURCE: " + *options.source + ", " + arg);
  options.source = arg;
}

// An option followed by a file name: `args[i]` is the option. Returns the index of the name.
std::size_t take_file_option(Options& options, std::optional<std::string>& file,
                             const std::vector<std::string>& args, std::size_t i) {
  const std::string& option = args[i];
  if (i + 1 == args.size() || args[i + 1].empty()) {
    set_error(options, option + " needs a file name");
  } else if (file) {
    set_error(options, option + " given more than once");
  } else {
    file = args[i + 1];
  }
  return i + 1;
}

// Returns the index of the last argument used.
std::size_t take_option(Options& options, const std::vector<std::string>& args, std::size_t i) {
  const std::string& arg = args[i];
  if (arg == "--help") {
    options.help = true;
  } else if (arg == "--rem") {
    options.rem = true;
  } else if (arg == "--rem-unnumbered") {
    options.rem_unnumbered = true;
  } else if (arg == "-o") {
    return take_file_option(options, options.output, args, i);
  } else if (arg == "--map") {
    return take_file_option(options, options.map, args, i);
  } else {
    set_error(options, "unknown option " + arg);
  }
  return i;
}

// "--" ends the options, so that a SOURCE may begin with "-"; a lone "-" is a file name.
Options parse(const std::vector<std::string>& args) {
  Options options;
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!options_ended && arg == "--") {
      options_ended = true;
    } else if (!options_ended && arg.size() > 1 && arg[0] == '-') {
      i = take_option(options, args, i);
    } else {
      take_source(options, arg);
    }
  }
  if (!options.source) set_error(options, "SOURCE is missing");
  return options;
}

// A message's line breaks, CR LF as the panes hold them, become the stream's own.
std::string with_newlines(std::string_view utf8) {
  std::string text;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] != '\r') {
      text += utf8[i];
    } else if (i + 1 < utf8.size() && utf8[i + 1] == '\n') {
      continue;
    } else {
      text += '\n';
    }
  }
  return text;
}

// Every box the window would show becomes one line on the error stream, in UTF-8. No dialog can
// be answered: a dialog gives back no name.
class StreamUi : public Ui {
 public:
  explicit StreamUi(std::ostream& err) : err_(err) {}

  void message(const std::string& text) override { show(ansi::to_utf8(text)); }
  void failure(const std::string& title, const std::string& description,
               const std::filesystem::path& file) override {
    show(failure_text(title, description, file));
  }
  void message_at(const std::string& text, const Location& where) override {
    show(prefix(where) + ansi::to_utf8(text));
  }
  void failure_at(const std::string& title, const std::string& description,
                  const std::filesystem::path& file, const Location& where) override {
    show(prefix(where) + failure_text(title, description, file));
  }
  std::string open_dialog(const std::string&) override { return {}; }
  std::string save_dialog(const std::string&) override { return {}; }

 private:
  // Open has just loaded the pane, so a location always names a file.
  static std::string prefix(const Location& where) {
    return utf8_path(where.file) + ':' + std::to_string(where.line) + ": ";
  }

  static std::string failure_text(const std::string& title, const std::string& description,
                                  const std::filesystem::path& file) {
    const std::string named = file.empty() ? "" : "  " + utf8_path(file);
    return ansi::to_utf8(title) + named + ": " + ansi::to_utf8(description);
  }

  void show(const std::string& utf8) {
    err_ << with_newlines(utf8) << '\n';
    err_.flush();
  }

  std::ostream& err_;
};

// Writes the result to standard output. Returns false, after saying so, when it did not get there.
bool write_to_standard_output(const std::string& pane, std::ostream& out, Ui& ui) {
  Findings findings(ui);
  try {
    write_pane(out, pane);
  } catch (const Failure& failure) {
    findings.failure(failure, "standard output");
    return false;
  }
  return true;
}

// Writes a file through the file layer, which replaces an old file only with a complete new one.
// Returns false, after saying so, when the file did not get written.
bool write_file(Files& files, const std::filesystem::path& path, std::string_view bytes, Ui& ui) {
  Findings findings(ui);
  try {
    files.write(path, bytes);
  } catch (const Failure& failure) {
    findings.failure(failure, path);
    return false;
  }
  return true;
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

// The files the run is to write, by the options that name them.
struct Target {
  const char* option;
  std::filesystem::path path;
};

// A usage error when a file the run is to write is one the load read (whatever its spelling),
// or when both name the same file: writing it would destroy an input, or one result.
std::optional<std::string> overwritten_input(const Files& files, const std::vector<Target>& targets,
                                             const OpenOutcome& opened) {
  for (const Target& target : targets) {
    for (const LoadedFile& input : opened.files) {
      if (input.result != LoadedFile::Result::failed &&
          files.same_file(target.path, input.resolved))
        return std::string(target.option) +
               " names a file the source was read from: " + utf8_path(target.path);
    }
  }
  if (targets.size() == 2 &&
      (targets[0].path == targets[1].path || files.same_file(targets[0].path, targets[1].path)))
    return "-o and --map name the same file: " + utf8_path(targets[0].path);
  return std::nullopt;
}

int compile(const Options& options, std::ostream& out, std::ostream& err, Files& files) {
  Workbench wb;
  wb.Text2 = *options.source;
  wb.Check1 = options.rem || options.rem_unnumbered;
  wb.Check2 = options.rem_unnumbered;
  StreamUi ui(err);
  std::vector<Target> targets;
  try {
    if (options.output) targets.push_back({"-o", path_from_utf8(*options.output)});
    if (options.map) targets.push_back({"--map", path_from_utf8(*options.map)});
  } catch (const Failure& failure) {
    Findings(ui).failure(failure);
    return 2;
  }
  const OpenOutcome opened = open_command(wb, ui, files, {files.current_folder()});
  if (!opened.read_to_end) return 2;
  if (const std::optional<std::string> refused = overwritten_input(files, targets, opened)) {
    err << "kestrelc: " << *refused << '\n';
    return 2;
  }
  const CompileOutcome compiled = compile_command(wb, ui, opened.source_map);
  const bool succeeded = opened.findings.empty() && compiled.ok;
  // An output file is a finished product, so that make never takes a failed run's for up to date;
  // standard output shows whatever the pass left.
  bool written = true;
  if (!options.output) {
    written = write_to_standard_output(wb.Dest_bas, out, ui);
  } else if (succeeded) {
    written = write_file(files, targets.front().path, pane_file_bytes(wb.Dest_bas), ui);
  }
  if (options.map)
    written = write_file(files, targets.back().path,
                         map_text(wb, opened.source_map, compiled.record), ui) &&
              written;
  if (!written) return 1;
  return succeeded ? 0 : 1;
}

}  // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  DiskFiles files;
  return run(args, out, err, files);
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, Files& files) {
  const Options options = parse(args);
  if (options.help) {
    out << kHelp;
    return 0;
  }
  if (options.error) {
    err << "kestrelc: " << *options.error << " (see kestrelc --help)\n";
    return 2;
  }
  return compile(options, out, err, files);
}

}  // namespace kestrel::cli
