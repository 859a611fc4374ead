#pragma once

#include <atomic>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "cli/watch.h"
#include "files/files.h"

namespace kestrel::cli {

// The whole command-line compiler: `args` are the arguments after the program's name. Returns
// the exit status. Reads standard input for a SOURCE of "-", and ends a watch on Ctrl+C.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// What a run reaches besides its arguments and its two output streams.
struct Surroundings {
  Files& files;      // relative paths and include names are taken against its current folder
  std::istream& in;  // standard input
  ChangeWatcher& watcher;
  const std::atomic<bool>& interrupted;  // ends a watch
};

// The same, over the given surroundings.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const Surroundings& surroundings);

}  // namespace kestrel::cli
