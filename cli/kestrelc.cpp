#include "cli/kestrelc.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "app/ansi.h"
#include "app/failure.h"
#include "app/ui.h"
#include "app/workbench.h"
#include "compiler/compile_pass.h"
#include "loader/open_command.h"
#include "save/pane_writer.h"

namespace kestrel::cli {

namespace {

constexpr std::string_view kHelp =
    "usage: kestrelc [--rem] [--rem-unnumbered] [-o OUTPUT] SOURCE\n"
    "\n"
    "Loads SOURCE as Open does (include files from the current directory), compiles it to\n"
    "numbered BASIC and writes the result to OUTPUT, or to standard output without -o.\n"
    "Every message is written to standard error, one line each.\n"
    "\n"
    "  --rem             keep REM lines, numbered\n"
    "  --rem-unnumbered  keep REM lines, without a line number\n"
    "  -o OUTPUT         write the result to OUTPUT (created, or replaced)\n"
    "  --help            show this help\n"
    "\n"
    "Exit status:\n"
    "  0  the compile ended with COMPILE OK and nothing else was reported\n"
    "  1  the compile ran, but something else was reported, or the result could not be\n"
    "     written (the result is written even when the compile stopped at a problem)\n"
    "  2  a usage error, or SOURCE could not be loaded (nothing is written)\n";

struct Options {
  bool help = false;
  bool rem = false;
  bool rem_unnumbered = false;
  std::optional<std::string> output;
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
    if (i + 1 == args.size() || args[i + 1].empty()) {
      set_error(options, "-o needs a file name");
    } else if (options.output) {
      set_error(options, "-o given more than once");
    } else {
      options.output = args[i + 1];
    }
    return i + 1;
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

  void message(const std::string& text) override {
    only_compile_ok_ = shown_ == 0 && text == "COMPILE OK";
    show(text);
  }
  void failure(const std::string& title, const std::string& description) override {
    only_compile_ok_ = false;
    show(title + ": " + description);
  }
  std::string open_dialog(const std::string&) override { return {}; }
  std::string save_dialog(const std::string&) override { return {}; }

  bool only_compile_ok() const { return only_compile_ok_; }

 private:
  void show(const std::string& line) {
    ++shown_;
    err_ << with_newlines(ansi::to_utf8(line)) << '\n';
    err_.flush();
  }

  std::ostream& err_;
  int shown_ = 0;
  bool only_compile_ok_ = false;
};

// Returns false when the result did not get written; the failure names where it was going.
bool write_result(const std::string& pane, const std::optional<std::string>& output,
                  std::ostream& out, Ui& ui) {
  const std::string target = output ? ansi::from_utf8(*output) : "standard output";
  try {
    if (output) {
      write_pane(target, pane);
    } else {
      write_pane(out, pane);
    }
  } catch (const Failure& failure) {
    report_failure(ui, failure, "  " + target);
    return false;
  }
  return true;
}

int compile(const Options& options, std::ostream& out, std::ostream& err) {
  Workbench wb;
  wb.Text2 = ansi::from_utf8(*options.source);
  wb.Check1 = options.rem || options.rem_unnumbered;
  wb.Check2 = options.rem_unnumbered;
  StreamUi ui(err);
  open_command(wb, ui);
  if (!wb.Command4_enabled) return 2;
  compile_command(wb, ui);
  if (!write_result(wb.Dest_bas, options.output, out, ui)) return 1;
  return ui.only_compile_ok() ? 0 : 1;
}

}  // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const Options options = parse(args);
  if (options.help) {
    out << kHelp;
    return 0;
  }
  if (options.error) {
    err << "kestrelc: " << *options.error << " (see kestrelc --help)\n";
    return 2;
  }
  return compile(options, out, err);
}

}  // namespace kestrel::cli
