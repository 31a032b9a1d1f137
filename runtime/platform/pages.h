// Page allocation under the memory manager: anonymous private mappings.
#pragma once
#include <cstddef>

namespace kel::pages {

// Committed read-write memory (read-write-execute with the flag). A refusal
// throws the page-allocation code, which the memory layer turns into a
// language error.
void* allocate(size_t size, bool executable);
// Releases pages from `allocate`; a refusal throws the page-release code.
void release(void* address, size_t size);

// Reserves address space that is committed as it is touched (the node table).
void* reserve(size_t size);

// A test seam: when set, the next allocation (or release) is refused.
extern bool refuse_next_allocation;
extern bool refuse_next_release;

}  // namespace kel::pages
