#pragma once

#include <atomic>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/kestrelc.h"
#include "cli/watch.h"
#include "files/memory_files.h"

namespace kestrel::testing {

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

// A run over files in memory, with `input` on standard input.
inline Outcome kestrelc(MemoryFiles& files, const std::vector<std::string>& args,
                        const std::string& input = "") {
  std::ostringstream out;
  std::ostringstream err;
  std::istringstream in(input);
  const std::unique_ptr<cli::ChangeWatcher> watcher = cli::polling_watcher();
  const std::atomic<bool> interrupted{true};
  const int status = cli::run(args, out, err, {files, in, *watcher, interrupted});
  return {status, out.str(), err.str()};
}

}  // namespace kestrel::testing
