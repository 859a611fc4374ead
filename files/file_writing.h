#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>

#include "files/failure.h"

namespace kestrel {

// One file to write and the bytes it is to hold.
struct FileWrite {
  std::filesystem::path path;
  std::string_view bytes;
};

// Which of several writes could not be made, and why.
struct WriteFailure {
  std::size_t index;
  Failure failure;
};

// Where a new file waits while it is written: where the system allows, in a file without a name,
// which nothing is left of whatever ends the process; else in a named temporary beside the target,
// removed when the process is interrupted or terminated.
enum class Temporary { unnamed_where_possible, named };

// Writes every one of `writes` to the machine's disk, or, when any of them cannot be written, none:
// returns the first that could not. A link is followed to the file it names, which is created when
// it is missing. An old file is replaced by a complete new one, renamed over it, when the new one
// can be the same file to its users: a regular file with one link, whose owner, group and mode the
// new file takes, in a folder where a file can be made and renamed. Any other file (more links,
// another user's file, a read-only or sticky folder, a mount point, a device, a terminal, a pipe,
// anything under /proc) is written in place, its old content kept aside to be put back should the
// write fail. A path that names a descriptor of this process (/dev/stdout, /dev/fd/N,
// /proc/self/fd/N) writes to that descriptor, as it stands.
std::optional<WriteFailure> write_disk_files(
    std::span<const FileWrite> writes, Temporary temporary = Temporary::unnamed_where_possible);

}  // namespace kestrel
