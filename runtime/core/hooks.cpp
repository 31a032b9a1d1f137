#include "runtime/core/hooks.h"

#include <cstdio>
#include <cstring>

#include "runtime/core/print.h"
#include "runtime/memory/memory.h"
#include "runtime/platform/console.h"
#include "runtime/platform/gui-hooks.h"
#include "runtime/platform/heap.h"

namespace kel {

namespace hooks {

namespace {

template <class Hook>
struct HookList {
    Hook* entries = nullptr;
    size_t count = 0;
    size_t capacity = 0;

    void reset() {
        heap::free(entries);
        entries = static_cast<Hook*>(heap::allocate(LIST_STEP * sizeof(Hook)));
        count = 0;
        capacity = LIST_STEP;
    }

    void append(Hook hook) {
        if (count == capacity) {
            auto* grown = static_cast<Hook*>(heap::allocate((capacity + LIST_STEP) * sizeof(Hook)));
            if (count) std::memcpy(grown, entries, count * sizeof(Hook));
            heap::free(entries);
            entries = grown;
            capacity += LIST_STEP;
        }
        entries[count++] = hook;
    }
};

HookList<ValueHook> value_hooks;
HookList<RawHook> raw_hooks;

}  // namespace

void init() {
    value_hooks.reset();
    raw_hooks.reset();
    value_hooks.append(&print_string);
}

void add(ValueHook value_hook, RawHook raw_hook) {
    if (value_hook) value_hooks.append(value_hook);
    if (raw_hook) raw_hooks.append(raw_hook);
}

// The entries are read again at every step: a hook may add another one, which
// can move the array.
void run_raw(const void* text, size_t length, int flag) {
    for (size_t i = 0; i < raw_hooks.count; ++i) raw_hooks.entries[i](text, length, flag);
}

void print_string(const Cell& value, bool newline) {
    gui::before_output();
    SeriesBuffer* buffer = memory::buffer_of(cell_node(value));
    uint32_t unit = buffer->unit();
    // A head past the tail leaves nothing to print.
    uint64_t skip = uint64_t(cell_head(value)) * unit;
    uint64_t used = buffer->used();
    const uint8_t* text = buffer->head_ptr() + (skip < used ? skip : used);
    size_t size = skip < used ? size_t(used - skip) : 0;
    switch (unit) {
    case 1:
        newline ? console::print_line_latin1(text, size) : console::print_latin1(text, size);
        break;
    case 2:
        newline ? console::print_line_ucs2(text, size) : console::print_ucs2(text, size);
        break;
    case 4:
        newline ? console::print_line_ucs4(text, size) : console::print_ucs4(text, size);
        break;
    default:
        print_line({PrintItem::text("Error: unknown string encoding: "), PrintItem::integer(int32_t(unit))});
    }
    std::fflush(nullptr);
    gui::after_output();
}

size_t value_hook_count() { return value_hooks.count; }
size_t value_hook_capacity() { return value_hooks.capacity; }

}  // namespace hooks

void run_print_hooks(const Cell& value, bool newline) {
    for (size_t i = 0; i < hooks::value_hooks.count; ++i) hooks::value_hooks.entries[i](value, newline);
}

}  // namespace kel
