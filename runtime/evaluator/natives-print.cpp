#include "runtime/evaluator/natives-print.h"

#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/core/hooks.h"
#include "runtime/core/type-families.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/unset.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/fast-ops.h"
#include "runtime/evaluator/interpreter-state.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/native-frame.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/ownership.h"

namespace kel::natives::print {

namespace {

using frame::args;
using frame::used;

// The print buffer: a cell of the root block, which never moves.
Cell* print_buffer = nullptr;
inline constexpr int32_t PRINT_BUFFER_CELLS = 32;

// The cells of a block from its head to its tail, now.
inline int32_t tail_of(const Cell& b) { return interpreter::code_tail(cell_node(b)); }

// Where reduce and compose put values: at the target's tail, or at its
// position, which advances past each.
struct Target {
    Cell* cell;  // on the argument stack
    bool insert;

    void add(const Cell& value) {
        if (insert)
            block::insert_cell(*cell, value, true, false);
        else
            block::append_cell(*cell, value);
    }
};

// The target of reduce or compose, pushed: a copy of the /into block (at its
// tail it is appended to, else inserted into at its position), or a new
// block with room for the source's values.
Target push_target(const Cell& source, const Cell* into) {
    if (into) {
        Cell* out = stack::push(*into);
        return Target{out, int32_t(out->data1) < tail_of(*out)};
    }
    int32_t n = block::ks_length(source);
    return Target{block::push_only(n > 0 ? n : 1), false};
}

// The source of reduce or compose, pushed. A block reduced or composed into
// itself is read as it was when the call began: the values it takes would
// otherwise come round to be read again, without end.
Cell* push_source(const Cell& block, const Cell* into) {
    if (into && cell_node(*into) == cell_node(block)) return block::push_copy(block, false, false);
    return stack::push(block);
}

// Evaluates one expression made of the value alone into *out.
uint32_t eval_single(const Cell& value, Cell* out) {
    if (type_families::is_any_function(type_of(value))) {
        *out = value;
        return 0;
    }
    if (uint32_t s = interpreter::eval_value(value)) return s;
    *out = *(stack::state.top - 1);
    return 0;
}

// Copies n values from the argument stack to the tail of the block in one
// step. The values lie below the stack's top, so they stay marked while the
// block grows.
void append_values(const Cell& block, const Cell* values, int32_t n) {
    uint64_t bytes = uint64_t(n) * sizeof(Cell);
    uint8_t* tail = alloc_tail_bytes(memory::buffer_of(cell_node(block)), bytes);
    std::memcpy(tail, values, bytes);
}

// Values a reduce into a plain block keeps on the stack before it copies
// them to the block: bounded, so a long block cannot fill the stack.
inline constexpr int32_t REDUCE_BATCH = 64;

// Reduces the block into the target (a stack cell): each expression's
// value, new-line marker cleared, appended at its tail or inserted at its
// position. With a null target a new block is made. The target at its
// resulting position is pushed.
uint32_t reduce_block(const Cell& block, const Cell* into) {
    Cell* source = push_source(block, into);
    Target target = push_target(block, into);
    Cell* out = target.cell;
    bool insert = target.insert;
    // A plain block at its tail takes the values in batches; a hash! enters
    // each in its table and an insertion moves the position, one at a time.
    bool batched = !insert && type_of(*out) != TYPE_HASH;
    int32_t start = int32_t(out->data1);
    int32_t added = 0;
    {
        stack::OpenFrame frame(words::word(words::Word::body), stack::KIND_NATIVE);
        Cell* values = stack::state.arguments;
        int32_t pending = 0;
        int32_t index = int32_t(source->data1);
        while (index < tail_of(*source)) {
            stack::state.top = values + pending;
            // An expression that needs no call is taken whole, as a block's
            // expressions are; anything else goes through the evaluator.
            if (!interpreter::state.tracing && interpreter::fast::push_inline(cell_node(*source), index)) {
            } else if (uint32_t s = interpreter::eval_expression(*source, index, false, false)) {
                return s;
            }
            // The value is where it was pushed; a copy onto itself would
            // stall on the expression's partial stores.
            Cell* pushed = stack::state.top - 1;
            if (pushed != values + pending) values[pending] = *pushed;
            clear_new_line(values[pending]);
            ++added;
            if (!batched) {
                target.add(values[0]);
            } else if (++pending == REDUCE_BATCH) {
                stack::state.top = values + pending;
                append_values(*out, values, pending);
                pending = 0;
            }
        }
        stack::state.top = values + pending;
        if (pending) append_values(*out, values, pending);
        frame.reset();
    }
    // The owners of the target hear of the values added, as one insertion.
    if (into && added > 0) ownership::check(*out, words::word(words::SymWord::insert), nullptr, start, added);
    Cell result = *out;
    stack::state.top = source;
    stack::push(result);
    return 0;
}

// compose of the block into the target, recursively for /deep; the
// target's cell is pushed.
uint32_t compose_block(const Cell& block, bool deep, bool only, const Cell* into, int32_t level) {
    if (level > block::DEEP_COPY_LEVELS) fire(ErrorId::internal_too_deep);
    Cell* source = push_source(block, into);
    Target target = push_target(block, into);
    Cell* out = target.cell;
    for (int32_t i = int32_t(source->data1); i < tail_of(*source); ++i) {
        Cell v = *interpreter::code_at(cell_node(*source), i);
        switch (type_of(v)) {
        case TYPE_BLOCK:
            if (deep) {
                if (uint32_t s = compose_block(v, true, only, nullptr, level + 1)) return s;
                Cell composed = *(stack::state.top - 1);
                target.add(composed);
                stack::state.top = out + 1;
            } else {
                target.add(v);
            }
            break;
        case TYPE_PAREN: {
            if (block::ks_length(v) <= 0) break;
            if (uint32_t s = interpreter::eval(v, false)) return s;
            Cell* result = stack::state.top - 1;
            if (type_of(*result) == TYPE_UNSET) {
            } else if (type_of(*result) == TYPE_BLOCK && !only) {
                for (int32_t k = int32_t(result->data1); k < tail_of(*result); ++k)
                    target.add(*interpreter::code_at(cell_node(*result), k));
            } else {
                target.add(*result);
            }
            stack::state.top = out + 1;
            break;
        }
        default:
            target.add(v);
            break;
        }
    }
    Cell result = *out;
    stack::state.top = source;
    stack::push(result);
    return 0;
}

bool last_line_feed = false;

// print and prin: a block is reduced into the print buffer first; anything
// but a string is formed.
uint32_t print_value(bool new_line) {
    Cell* a = args();
    struct Buffer {
        int32_t head = -1;  // the outer calls' head, while this call uses the buffer
        ~Buffer() {
            if (head < 0) return;
            block::ks_clear(*print_buffer);
            print_buffer->data1 = uint32_t(head);
        }
    } buffer;
    if (type_of(a[0]) == TYPE_BLOCK) {
        buffer.head = int32_t(print_buffer->data1);
        print_buffer->data1 = uint32_t(tail_of(*print_buffer));
        Cell* into = stack::push(*print_buffer);
        if (uint32_t s = reduce_block(a[0], into)) return s;
        a[0] = *print_buffer;
    }
    if (type_of(a[0]) == TYPE_STRING) {
        int32_t length =
            int32_t(memory::buffer_of(cell_node(a[0]))->used() / memory::buffer_of(cell_node(a[0]))->unit());
        if (int32_t(a[0].data1) > length) a[0].data1 = uint32_t(length);
    } else {
        Cell* text = stack::push(make_none());
        string::ks_make_at(*text, 16);
        actions::form(a[0], *text, false, INT32_MAX);
        a[0] = *text;
    }
    last_line_feed = new_line;
    run_print_hooks(a[0], new_line);
    a[0] = unset_value;
    stack::state.top = a + 1;
    return 0;
}

uint32_t print_native(bool, const int32_t*) { return print_value(true); }
uint32_t prin_native(bool, const int32_t*) { return print_value(false); }

// reduce (value, /into out).
uint32_t reduce_native(bool, const int32_t* r) {
    Cell* a = args();
    const Cell* into = used(r, 0) ? &a[r[0]] : nullptr;
    if (type_of(a[0]) == TYPE_BLOCK) {
        if (uint32_t s = reduce_block(a[0], into)) return s;
        a[0] = *(stack::state.top - 1);
        stack::state.top = a + 1;
        return 0;
    }
    Cell* value = stack::push(make_none());
    if (uint32_t s = eval_single(a[0], value)) return s;
    if (into) {
        Cell* out = stack::push(*into);
        bool insert = int32_t(out->data1) < tail_of(*out);
        Cell v = *value;
        clear_new_line(v);
        int32_t start = int32_t(out->data1);
        Target{out, insert}.add(v);
        ownership::check(*out, words::word(words::SymWord::insert), nullptr, start, 1);
        a[0] = *out;
    } else {
        a[0] = *value;
    }
    stack::state.top = a + 1;
    return 0;
}

// compose (value, /deep, /only, /into out).
uint32_t compose_native(bool, const int32_t* r) {
    Cell* a = args();
    if (type_of(a[0]) != TYPE_BLOCK)
        fire(ErrorId::script_expect_val, {datatype::make(TYPE_BLOCK), datatype::make(type_of(a[0]))});
    if (uint32_t s = compose_block(a[0], used(r, 0), used(r, 1), used(r, 2) ? &a[r[2]] : nullptr, 0)) return s;
    a[0] = *(stack::state.top - 1);
    stack::state.top = a + 1;
    return 0;
}

}  // namespace

bool last_lf() { return last_line_feed; }

void register_natives(Entry* table) {
    if (!print_buffer) print_buffer = block::make_in(nullptr, PRINT_BUFFER_CELLS);
    table[PRINT] = {print_native, "print", R"~("Outputs a value followed by a newline" value [any-type!])~"};
    table[PRIN] = {prin_native, "prin", R"~("Outputs a value" value [any-type!])~"};
    table[REDUCE] = {reduce_native, "reduce",
                     R"~("Returns a copy of a block, evaluating all expressions"
                        value [any-type!]
                        /into "Put results in out block, instead of creating a new block"
                        out [any-block!] "Target block for results, when /into is used")~"};
    table[COMPOSE] = {compose_native, "compose",
                      R"~("Returns a copy of a block, evaluating only parens"
                         value [block!]
                         /deep "Compose nested blocks"
                         /only "Compose nested blocks as blocks containing their values"
                         /into "Put results in out block, instead of creating a new block"
                         out [any-block!] "Target block for results, when /into is used")~"};
}

}  // namespace kel::natives::print
