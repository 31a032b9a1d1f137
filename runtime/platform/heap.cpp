#include "runtime/platform/heap.h"

#include <cstdlib>
#include <cstring>

#include "runtime/core/system.h"

namespace kel::heap {

namespace {

// Header in front of the caller's memory; 32 bytes keep the caller's memory
// 16-byte aligned.
struct alignas(16) Block {
    Block* prev;
    Block* next;
    size_t size;
    size_t spare;
};

Block* first = nullptr;
Block* last = nullptr;
size_t count = 0;

void link(Block* b) {
    b->prev = last;
    b->next = nullptr;
    if (last)
        last->next = b;
    else
        first = b;
    last = b;
    ++count;
}

void unlink(Block* b) {
    if (b->prev)
        b->prev->next = b->next;
    else
        first = b->next;
    if (b->next)
        b->next->prev = b->prev;
    else
        last = b->prev;
    --count;
}

bool is_live(Block* b) {
    for (Block* p = first; p; p = p->next)
        if (p == b) return true;
    return false;
}

[[noreturn]] void out_of_memory(uint32_t location) { system_quit(exit_status::OUT_OF_MEMORY, location); }

}  // namespace

void* allocate(size_t size) {
    if (size > SIZE_MAX - sizeof(Block)) out_of_memory(caller_location());
    auto* b = static_cast<Block*>(std::malloc(sizeof(Block) + size));
    if (!b) out_of_memory(caller_location());
    b->size = size;
    b->spare = 0;
    link(b);
    return b + 1;
}

void* allocate_zeroed(size_t size) {
    void* m = allocate(size);
    std::memset(m, 0, size);
    return m;
}

void* resize(void* memory, size_t size) {
    if (!memory) return allocate(size);
    if (size == 0) {
        free(memory);
        return nullptr;
    }
    Block* b = static_cast<Block*>(memory) - 1;
    if (size > SIZE_MAX - sizeof(Block)) out_of_memory(caller_location());
    Block* prev = b->prev;
    Block* next = b->next;
    auto* nb = static_cast<Block*>(std::realloc(b, sizeof(Block) + size));
    if (!nb) out_of_memory(caller_location());
    nb->size = size;
    if (prev)
        prev->next = nb;
    else
        first = nb;
    if (next)
        next->prev = nb;
    else
        last = nb;
    return nb + 1;
}

void free(void* memory) {
    if (!memory) return;
    Block* b = static_cast<Block*>(memory) - 1;
    if (!is_live(b)) return;
    unlink(b);
    std::free(b);
}

void free_all() {
    Block* b = first;
    while (b) {
        Block* next = b->next;
        std::free(b);
        b = next;
    }
    first = last = nullptr;
    count = 0;
}

size_t live_blocks() { return count; }

size_t live_bytes() {
    size_t total = 0;
    for (Block* b = first; b; b = b->next) total += b->size + sizeof(Block);
    return total;
}

}  // namespace kel::heap
