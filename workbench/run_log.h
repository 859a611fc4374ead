#pragma once

#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <utility>

#include "files/failure.h"

namespace kestrel {

// "Editor.log": opened for appending at start-up and kept open for the whole run. The log serves
// the user and never fails a command: a log that cannot be opened or written is reported once,
// by whoever takes its failure, and takes every later line silently.
class RunLog {
 public:
  // A log that was never opened takes its lines silently: the command-line compiler keeps none.
  RunLog() = default;

  // Opens (creating when missing) the file for appending. Throws the failure when it cannot; the
  // log then takes its lines silently.
  void open(const std::filesystem::path& path);
  // Keeps the lines in a stream instead of a file.
  void open(std::ostream& stream) {
    stream_ = &stream;
    state_ = State::open;
  }

  // Writes `text` followed by CR LF, and flushes. A write that fails is kept for take_failure and
  // ends the log's writing.
  void write_line(const std::string& text);

  // The failure of the first write that failed, once; nothing after that.
  std::optional<Failure> take_failure() { return std::exchange(failure_, std::nullopt); }
  const std::filesystem::path& path() const { return path_; }

 private:
  enum class State { silent, open };
  State state_ = State::silent;
  std::filesystem::path path_;
  std::ofstream file_;
  std::ostream* stream_ = nullptr;  // the stream the lines go to, when not the file
  std::optional<Failure> failure_;
};

}  // namespace kestrel
