#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::cli {

// What the command line asks for.
struct Options {
  bool help = false;
  bool version = false;
  bool rem = false;
  bool rem_unnumbered = false;
  bool quiet = false;
  bool rule_only = false;  // -M
  bool watch = false;
  bool unnumber = false;
  bool compact = false;  // --unnumber=compact
  bool names_from_comments = false;
  std::vector<std::string> keywords;
  std::optional<std::string> output;  // "-" is standard output
  std::optional<std::string> map;
  std::optional<std::string> deps;
  std::vector<std::string> include_dirs;
  std::optional<std::string> source;  // "-" is standard input
  std::optional<std::string> error;   // the first usage error met
};

// Reads the arguments after the program's name. "--" ends the options; a lone "-" is standard
// input as SOURCE, or standard output as -o's value.
Options parse_options(const std::vector<std::string>& args);

// The note on a converted source's first line: what made it, and the command line that compiles
// it with its comment options.
std::string conversion_note(bool rem, bool rem_unnumbered);

// The help: the usage line and every option, made from the same declarations the parser reads.
std::string help_text();

}  // namespace kestrel::cli
