#include "cli/options.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace kestrel::cli {

namespace {

// One option: its names, the name of its value (none for a switch), what it does, and how it is
// taken. Every form of an option, the help and the manual page's list come from this table.
struct Declaration {
  std::string_view short_name;  // "-o", or empty
  std::string_view long_name;   // "--output", or empty
  std::string_view value;       // "FILE", or empty for a switch
  std::string_view help;        // lines joined by '\n'
  void (*take)(Options&, const std::string& value);
  bool repeatable = false;
  bool value_optional = false;  // "--unnumber" and "--unnumber=compact" alike
};

constexpr std::string_view kRem = "--rem";
constexpr std::string_view kRemUnnumbered = "--rem-unnumbered";
constexpr std::string_view kUnnumber = "--unnumber";
constexpr std::string_view kCompact = "compact";

void set_error(Options& options, std::string error) {
  if (!options.error) options.error = std::move(error);
}

constexpr Declaration kDeclarations[] = {
    {"", kRem, "", "keep REM lines, numbered",
     [](Options& o, const std::string&) { o.rem = true; }},
    {"", kRemUnnumbered, "", "keep REM lines, without a line number",
     [](Options& o, const std::string&) { o.rem_unnumbered = true; }},
    {"", kUnnumber, kCompact,
     "convert SOURCE, a program with line numbers, into a source with labels\n"
     "whose compile gives the program back; =compact: numbered on from the\n"
     "first line, one after another, every reference kept. --rem or\n"
     "--rem-unnumbered: the comment option to convert for, else the one the\n"
     "program needs, which the source's first line names",
     [](Options& o, const std::string& v) {
       o.unnumber = true;
       if (v == kCompact)
         o.compact = true;
       else if (!v.empty())
         set_error(o, std::string(kUnnumber) + " takes no value but compact");
     },
     false, true},
    {"", "--names-from-comments", "",
     "with --unnumber, name each label after a comment on its line or the\n"
     "line before, instead of L and the line's number",
     [](Options& o, const std::string&) { o.names_from_comments = true; }},
    {"", "--keyword", "WORD",
     "with --unnumber, take a line number after WORD for a reference too,\n"
     "besides GOTO, GOSUB, THEN, ELSE, RESTORE, RUN and RESUME; may be\n"
     "given again",
     [](Options& o, const std::string& v) { o.keywords.push_back(v); }, true},
    {"-o", "--output", "OUTPUT",
     "write the result to OUTPUT (\"-\": standard output) when the run\n"
     "succeeds; an old OUTPUT is replaced only by a complete new one",
     [](Options& o, const std::string& v) { o.output = v; }},
    {"", "--map", "MAPFILE",
     "write a map of the result to MAPFILE, in UTF-8: for each output line\n"
     "its number, TAB, the file and TAB and the line it came from; then for\n"
     "each label \"label\", TAB, its text, TAB, its number",
     [](Options& o, const std::string& v) { o.map = v; }},
    {"-I", "", "DIR",
     "look include names up in DIR too, after the current directory and\n"
     "SOURCE's folder; may be given again, folders are searched in order",
     [](Options& o, const std::string& v) { o.include_dirs.push_back(v); }, true},
    {"", "--deps", "DEPFILE",
     "also write a make rule to DEPFILE: the output depends on SOURCE and\n"
     "on every file it includes, each of which gets an empty rule of its own",
     [](Options& o, const std::string& v) { o.deps = v; }},
    {"-M", "", "", "write the make rule to standard output and stop, compiling nothing",
     [](Options& o, const std::string&) { o.rule_only = true; }},
    {"-q", "--quiet", "", "print only problems: no COMPILE OK",
     [](Options& o, const std::string&) { o.quiet = true; }},
    {"", "--watch", "",
     "compile, then compile again whenever SOURCE or a file it includes\n"
     "changes, until interrupted; each run prints one line with the time",
     [](Options& o, const std::string&) { o.watch = true; }},
    {"", "--version", "", "show the program's name and version",
     [](Options& o, const std::string&) { o.version = true; }},
    {"", "--help", "", "show this help", [](Options& o, const std::string&) { o.help = true; }},
};

// Takes the option that `arg` begins, with its value from `arg` itself ("-oFILE", "--map=FILE")
// or from the next argument. Returns the index of the last argument used.
std::size_t take_option(Options& options, const std::vector<std::string>& args, std::size_t i,
                        std::vector<const Declaration*>& seen) {
  const std::string& arg = args[i];
  for (const Declaration& d : kDeclarations) {
    std::optional<std::string> attached;
    std::string_view name;
    if (!d.long_name.empty() && arg == d.long_name) {
      name = d.long_name;
    } else if (!d.short_name.empty() && arg == d.short_name) {
      name = d.short_name;
    } else if (!d.value.empty() && !d.long_name.empty() &&
               arg.starts_with(std::string(d.long_name) + "=")) {
      name = d.long_name;
      attached = arg.substr(d.long_name.size() + 1);
    } else if (!d.value.empty() && !d.short_name.empty() && arg.starts_with(d.short_name)) {
      name = d.short_name;
      attached = arg.substr(d.short_name.size());
    } else {
      continue;
    }
    if (!d.repeatable && std::ranges::find(seen, &d) != seen.end())
      set_error(options, std::string(name) + " given more than once");
    seen.push_back(&d);
    if (d.value.empty() || (d.value_optional && !attached)) {
      d.take(options, "");
      return i;
    }
    std::string value;
    if (attached) {
      value = *attached;
    } else if (i + 1 < args.size()) {
      value = args[++i];
    }
    if (value.empty()) {
      set_error(options, std::string(name) + " needs " +
                             (d.value == "DIR"    ? "a folder"
                              : d.value == "WORD" ? "a word"
                                                  : "a file name"));
    } else {
      d.take(options, value);
    }
    return i;
  }
  set_error(options, "unknown option " + arg);
  return i;
}

void take_source(Options& options, const std::string& arg) {
  if (arg.empty()) return set_error(options, "SOURCE is empty");
  if (options.source)
    return set_error(options, "more than one SOURCE: " + *options.source + ", " + arg);
  options.source = arg;
}

// An option's value as its help shows it: after `separator`, or as "[=VALUE]" when it may be left
// out.
std::string value_after(const Declaration& d, char separator) {
  if (d.value_optional) return "[=" + std::string(d.value) + ']';
  return d.value.empty() ? std::string() : separator + std::string(d.value);
}

}  // namespace

Options parse_options(const std::vector<std::string>& args) {
  Options options;
  std::vector<const Declaration*> seen;
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!options_ended && arg == "--") {
      options_ended = true;
    } else if (!options_ended && arg.size() > 1 && arg[0] == '-') {
      i = take_option(options, args, i, seen);
    } else {
      take_source(options, arg);
    }
  }
  if (!options.source) set_error(options, "SOURCE is missing");
  if (options.watch && options.source == "-")
    set_error(options, "--watch needs a SOURCE file: standard input cannot be watched");
  if (options.watch && options.rule_only) set_error(options, "--watch and -M exclude each other");
  if (options.unnumber && (options.watch || options.rule_only || options.deps))
    set_error(options, "--unnumber converts, and compiles nothing: no --watch, -M or --deps");
  if (!options.unnumber && (options.names_from_comments || !options.keywords.empty()))
    set_error(options, "--names-from-comments and --keyword need --unnumber");
  return options;
}

std::string conversion_note(bool rem, bool rem_unnumbered) {
  std::string line = "Made by kestrelc ";
  line += kUnnumber;
  line += "; compile with: kestrelc";
  if (rem_unnumbered) {
    line += ' ';
    line += kRemUnnumbered;
  } else if (rem) {
    line += ' ';
    line += kRem;
  }
  return line;
}

std::string help_text() {
  constexpr std::size_t kColumn = 24;
  constexpr std::size_t kUsageWidth = 80;
  const std::string indent(kColumn, ' ');
  std::string usage = "usage: kestrelc";
  std::string list;
  for (const Declaration& d : kDeclarations) {
    std::string line = "  ";
    if (!d.short_name.empty()) {
      line += d.short_name;
      line += value_after(d, ' ');
      if (!d.long_name.empty()) line += ", ";
    }
    if (!d.long_name.empty()) {
      line += d.long_name;
      line += value_after(d, '=');
    }
    if (d.long_name != "--help" && d.long_name != "--version") {
      std::string shown = "[";
      shown += d.short_name.empty() ? d.long_name : d.short_name;
      shown += value_after(d, ' ');
      shown += d.repeatable ? "]..." : "]";
      const std::size_t line_start = usage.rfind('\n') + 1;
      if (usage.size() - line_start + 1 + shown.size() > kUsageWidth) usage += "\n               ";
      usage += ' ';
      usage += shown;
    }
    if (line.size() + 2 <= kColumn) {
      line.append(kColumn - line.size(), ' ');
    } else {
      line += '\n';
      line += indent;
    }
    std::string_view help = d.help;
    for (std::size_t end; (end = help.find('\n')) != std::string_view::npos;) {
      line += help.substr(0, end);
      line += '\n';
      line += indent;
      help.remove_prefix(end + 1);
    }
    line += help;
    line += '\n';
    list += line;
  }
  usage += " [--] SOURCE\n";
  return usage +
         "\n"
         "Loads SOURCE (\"-\": standard input) as Open does, looking include names up in the\n"
         "current directory, then in SOURCE's folder, then in each -I folder; compiles it to\n"
         "numbered BASIC and writes the result to OUTPUT, or to standard output. Messages go\n"
         "to standard error, one line each: a message about a line as\n"
         "FILE:LINE:COLUMN: error: TEXT, any other problem as kestrelc: error: TEXT.\n"
         "An option's value may follow it, or be joined to it: -oFILE, --map=FILE.\n"
         "\n" +
         list +
         "  --                    end the options: a SOURCE after it may begin with \"-\"\n"
         "\n"
         "Exit status:\n"
         "  0  the compile ended with COMPILE OK and nothing else was reported\n"
         "  1  the compile ran, but something else was reported (OUTPUT is then left as it\n"
         "     was; the map and standard output show what the compile produced), or a\n"
         "     file could not be written\n"
         "  2  a usage error, SOURCE could not be loaded, or a file to write names a file\n"
         "     the source was read from (nothing is written)\n"
         "With --unnumber: 0 the program was converted (warnings say where the compiled\n"
         "program will differ from it), 1 a line was refused (nothing is written) or a\n"
         "file could not be written, 2 as above.\n";
}

}  // namespace kestrel::cli
