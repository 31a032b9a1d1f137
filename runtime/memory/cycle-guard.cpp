#include "runtime/memory/cycle-guard.h"

#include <cstring>

#include "runtime/datatypes/string.h"
#include "runtime/core/fire.h"

namespace kel {

namespace cycle_guard {

namespace {
NodeId stack[CAPACITY];
int top = 0;
}  // namespace

void push(NodeId node) {
    stack[top++] = node;
    if (top == CAPACITY) {
        top = 0;
        fire(ErrorId::internal_too_deep);
    }
}

void pop() {
    if (top > 0) --top;
}

void pop_n(int n) { top = n >= top ? 0 : top - n; }

void reset() { top = 0; }

int depth() { return top; }

bool find(NodeId node) {
    for (int i = 0; i < top; ++i)
        if (stack[i] == node) return true;
    return false;
}

NodeId node_of(const Cell& value) {
    // An object! keeps its context node in payload word 1.
    return type_of(value) == TYPE_OBJECT ? value.data1 : cell_node(value);
}

bool detect(const Cell& value, const Cell& target, int64_t& budget, bool mold) {
    if (!find(node_of(value))) return false;
    const char* marker = "...";
    if (mold) {
        switch (type_of(value)) {
            case TYPE_BLOCK:
            case TYPE_HASH: marker = "[...]"; break;
            case TYPE_PAREN: marker = "(...)"; break;
            case TYPE_MAP: marker = "#[...]"; break;
            case TYPE_OBJECT: marker = "make object! [...]"; break;
            default: break;
        }
    }
    string::append_c_string(target, marker);
    budget -= int64_t(std::strlen(marker));
    return true;
}

}  // namespace cycle_guard

int64_t mold_indent(const Cell& target, int levels, int64_t budget) {
    // Eight levels per append. The target is copied first: the appends may
    // move buffers, and the caller's cell may lie in one.
    static const char spaces[] = "                                ";
    constexpr int per_append = int(sizeof spaces - 1) / 4;
    const Cell out = target;
    for (int left = levels; left > 0; left -= per_append)
        string::append_c_string_part(out, spaces, 4 * (left < per_append ? left : per_append));
    return budget - 4 * int64_t(levels);
}

uint8_t* replicate_bytes(uint8_t* buffer, uint64_t n, uint64_t count) {
    uint64_t total = n * count;
    if (total == 0) return buffer;
    uint64_t filled = n;
    while (filled > 0 && total - filled >= filled) {
        std::memcpy(buffer + filled, buffer, filled);
        filled *= 2;
    }
    if (filled < total) std::memcpy(buffer + filled, buffer, total - filled);
    return buffer + total;
}

}  // namespace kel
