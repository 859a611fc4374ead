#pragma once

#include <cstddef>
#include <filesystem>
#include <streambuf>
#include <string>

namespace kestrel {

// The bytes one load may read, and hold in its pane, in all. A legal source stays far below it;
// a runaway nest of includes or a device that never ends reaches it, and fails as
// "over the load bound" instead of taking the machine's memory.
inline constexpr std::size_t kLoadedBytesLimit = std::size_t{256} << 20;

// What a read takes. The window reads only regular files, so that a pipe without a writer or a
// device cannot hold it; the command line reads whatever it is given, as other tools do.
enum class ReadPolicy { any_file, regular_files_only };

// The whole content of the file at `path`, at most `most` bytes of it: a larger file fails as
// over the load bound, checked from its size before any room is taken, and again while it is read,
// for a file that grows or has no size (a device, a pipe). A file that is not regular fails as a
// path/file access error under regular_files_only, before anything is read. An allocation that
// fails is "Out of memory".
std::string read_file_bounded(const std::filesystem::path& path, std::size_t most,
                              ReadPolicy policy);

// The rest of a stream, at most `most` bytes, with the same bound. A buffer that fails throws
// (StandardInput does), and its failure is passed on.
std::string read_stream_bounded(std::streambuf& in, std::size_t most);

// The process's standard input as a stream buffer, read as bytes (never as text), whose failing
// read throws the failure of the system's error: a closed descriptor, a folder or an unreadable
// device given as standard input fails as a file would.
class StandardInput : public std::streambuf {
 protected:
  int_type underflow() override;

 private:
  char buffer_[1 << 16];
};

}  // namespace kestrel
