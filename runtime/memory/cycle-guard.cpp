#include "runtime/memory/cycle-guard.h"

#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/datatypes/string.h"

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
    // object!, error! and port! keep their context node in payload word 1.
    uint32_t t = type_of(value);
    return t == TYPE_OBJECT || t == TYPE_ERROR || t == TYPE_PORT ? value.data1 : cell_node(value);
}

bool detect(const Cell& value, const Cell& target, int64_t& budget, bool mold) {
    if (!find(node_of(value))) return false;
    const char* marker = "...";
    if (mold) {
        switch (type_of(value)) {
        case TYPE_BLOCK:
        case TYPE_HASH:
            marker = "[...]";
            break;
        case TYPE_PAREN:
            marker = "(...)";
            break;
        case TYPE_MAP:
            marker = "#[...]";
            break;
        case TYPE_OBJECT:
            marker = "make object! [...]";
            break;
        default:
            break;
        }
    }
    string::append_c_string(target, marker);
    budget -= int64_t(std::strlen(marker));
    return true;
}

}  // namespace cycle_guard

}  // namespace kel
