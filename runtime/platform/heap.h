// Heap blocks: all scratch memory of the systems layer. Every block is on one
// list so that the process end can release them all. Failures end the process
// with status 94 "out of memory".
#pragma once
#include <cstddef>

namespace kel::heap {

void* allocate(size_t size);
void* allocate_zeroed(size_t size);
// null memory allocates; size 0 frees and returns null.
void* resize(void* memory, size_t size);
// Memory that is not a live block is left alone.
void free(void* memory);
void free_all();
// Number of live blocks (for tests and statistics).
size_t live_blocks();
// Bytes the live blocks take, each with its header (for memory statistics).
size_t live_bytes();

}  // namespace kel::heap
