#include "runtime/memory/externals-registry.h"

#include "runtime/platform/heap.h"

namespace kel::externals {

Registry registry;

namespace {

void thread_free(int32_t from, int32_t to) {
    for (int32_t i = from; i < to; ++i) registry.entries[i] = Entry{ENTRY_FREE, 0, i + 1 < to ? i + 1 : -1};
}

void finalize(const Entry& e) {
    uint32_t kind = e.flags & KIND_MASK;
    if (kind >= 1 && int(kind) <= registry.kind_count && registry.kinds[kind - 1].finalizer)
        registry.kinds[kind - 1].finalizer(e.object);
}

void make_free(int32_t i) {
    registry.entries[i] = Entry{ENTRY_FREE, 0, registry.free_head};
    registry.free_head = i;
}

}  // namespace

void init() {
    if (registry.entries) heap::free(registry.entries);
    registry = Registry{};
    registry.capacity = INITIAL_CAPACITY;
    registry.entries = static_cast<Entry*>(heap::allocate(sizeof(Entry) * size_t(registry.capacity)));
    thread_free(0, registry.capacity);
    registry.free_head = 0;
}

int register_kind(uint32_t id, Finalizer finalizer) {
    if (registry.kind_count == MAX_KINDS) return 0;
    registry.kinds[registry.kind_count] = {id, finalizer};
    return ++registry.kind_count;
}

int32_t add(int kind, uintptr_t object) {
    int32_t f = registry.free_head;
    if (registry.entries[f].next == -1) {
        // Taking the last free entry: double the array first.
        int32_t old = registry.capacity;
        registry.capacity = old * 2;
        registry.entries =
            static_cast<Entry*>(heap::resize(registry.entries, sizeof(Entry) * size_t(registry.capacity)));
        thread_free(old, registry.capacity);
        registry.entries[f].next = old;
    }
    registry.free_head = registry.entries[f].next;
    registry.entries[f] = Entry{uint32_t(kind) & KIND_MASK, object, registry.used_head};
    registry.used_head = f;
    return f;
}

int32_t remove(int32_t index, bool do_finalize) {
    if (do_finalize) finalize(registry.entries[index]);
    int32_t prev = -1;
    for (int32_t i = registry.used_head; i != -1; i = registry.entries[i].next) {
        if (i == index) {
            if (prev == -1)
                registry.used_head = registry.entries[i].next;
            else
                registry.entries[prev].next = registry.entries[i].next;
            make_free(i);
            break;
        }
        prev = i;
    }
    return -1;
}

int mark(int32_t index, uintptr_t object) {
    Entry& e = registry.entries[index];
    if (object) e.object = object;
    if (e.flags & ENTRY_MARK) return 0;
    e.flags |= ENTRY_MARK;
    return 1;
}

uintptr_t object(int32_t index) {
    if (!registry.entries || index < 0 || index >= registry.capacity) return 0;
    return registry.entries[index].object;
}

void mark_entry(int32_t index) {
    if (registry.entries && index >= 0 && index < registry.capacity) mark(index, 0);
}

void sweep() {
    if (!registry.entries) return;
    int32_t prev = -1;
    int32_t i = registry.used_head;
    while (i != -1) {
        Entry& e = registry.entries[i];
        int32_t next = e.next;
        if (e.flags & ENTRY_MARK) {
            e.flags &= ~ENTRY_MARK;
            prev = i;
        } else {
            finalize(e);
            if (prev == -1)
                registry.used_head = next;
            else
                registry.entries[prev].next = next;
            make_free(i);
        }
        i = next;
    }
}

}  // namespace kel::externals
