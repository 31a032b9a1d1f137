// Output hooks. The print and prin natives hand the string they formed to the
// value hooks; the first of them, added by `hooks::init`, writes it to the
// console. The raw hooks see the byte strings and formatted numbers that the
// console layer writes. Either list can grow so that another output channel
// can be attached beside the console.
#pragma once
#include <cstddef>

#include "runtime/core/cell.h"

namespace kel {

namespace hooks {

// Takes a string value and whether a line end follows it.
using ValueHook = void (*)(const Cell& value, bool newline);
// Takes the text, its length in bytes and a flag (always 0).
using RawHook = void (*)(const void* text, size_t length, int flag);

// Both lists hold 5 entries at first and grow by 5.
inline constexpr size_t LIST_STEP = 5;

// Makes both lists afresh, the value list holding `print_string` alone.
void init();
// Appends each hook that is not null to its list.
void add(ValueHook value_hook, RawHook raw_hook);
// Calls every raw hook in the order of addition.
void run_raw(const void* text, size_t length, int flag);
// The default value hook: writes the string from its head to its tail in its
// own unit width, with a line end when asked.
void print_string(const Cell& value, bool newline);

size_t value_hook_count();
size_t value_hook_capacity();

}  // namespace hooks

// Calls every value hook in the order of addition.
void run_print_hooks(const Cell& value, bool newline);

}  // namespace kel
