#pragma once

#include <cstddef>

namespace kestrel {

// Asks the system, in one request, for the memory pages of a buffer about to be filled:
// [data, data + size), which must lie in one allocation. Otherwise the first write to each page
// stops the program while the system supplies it, which costs about as much as the request's
// work for that page again. Only whole pages in the range are asked for, and the bytes stay as
// they are. Where the system has no such request, nothing is done.
void prepare_pages(void* data, std::size_t size);

// For a run that holds a few large buffers one after another (the file's bytes, the pane, the
// tables of the names, the result): freed memory is kept in the heap rather than given back to the
// system, so that the pages one buffer has touched serve the next, which saves the system clearing
// fresh ones. Where the C library has no such setting, nothing is done.
void keep_freed_memory();

// For a process that lives long and builds large buffers again and again (a server that compiles
// on every edit): the size from which a block is mapped on its own, and given back to the system
// when freed, stays fixed at `size`. Left to itself the C library raises that size each time such
// a block is freed, and the heap then grows to hold blocks it had given back. Where the C library
// has no such setting, nothing is done.
void fix_mapped_block_size(std::size_t size);

}  // namespace kestrel
