#pragma once

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

namespace kestrel {

// "Editor.log": opened for appending at start-up and kept open for the whole run.
class RunLog {
 public:
  // A log that was never opened takes its lines silently: the command-line compiler keeps none.
  RunLog() = default;

  // Opens (creating when missing) the file for appending. On failure the log stays broken: every
  // later line fails as a write to a file that is not open would.
  void open(const std::filesystem::path& path);
  // Keeps the lines in a stream instead of a file.
  void open(std::ostream& stream) {
    stream_ = &stream;
    state_ = State::open;
  }

  // Writes `text` followed by CR LF, and flushes, so that a failing write fails its command.
  void write_line(const std::string& text);

 private:
  enum class State { unused, open, broken };
  State state_ = State::unused;
  std::ofstream file_;
  std::ostream* stream_ = nullptr;  // the stream the lines go to, when not the file
};

}  // namespace kestrel
