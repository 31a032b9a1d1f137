#include "runtime/platform/pages.h"

#include <sys/mman.h>

#include "runtime/core/system.h"

namespace kel::pages {

bool refuse_next_allocation = false;
bool refuse_next_release = false;

void* allocate(size_t size, bool executable) {
    if (refuse_next_allocation) {
        refuse_next_allocation = false;
        system_throw(thrown::PAGE_ALLOC);
    }
    int prot = PROT_READ | PROT_WRITE | (executable ? PROT_EXEC : 0);
    void* p = mmap(nullptr, size, prot, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) system_throw(thrown::PAGE_ALLOC);
    return p;
}

void release(void* address, size_t size) {
    if (refuse_next_release) {
        refuse_next_release = false;
        system_throw(thrown::PAGE_FREE);
    }
    if (munmap(address, size) != 0) system_throw(thrown::PAGE_FREE);
}

void* reserve(size_t size) {
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}

}  // namespace kel::pages
