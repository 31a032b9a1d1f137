// What both writers decide the same way: which values are written as a
// series record, which words are written plain, and how the symbol table is
// gathered.
#pragma once
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "runtime/core/cell.h"
#include "runtime/core/type-classes.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/io/kelbin/references.h"

namespace kel::kelbin {

// A value written as a series record: a block-family value, a string-family
// value or binary! (hash! has a record of its own).
inline bool series_record(uint32_t t) {
    using type_classes::Series;
    Series s = type_classes::of(t).series;
    return t != TYPE_HASH && (s == Series::cells || s == Series::code_points || s == Series::bytes);
}

inline bool word_record(uint32_t t) { return t >= TYPE_WORD && t <= TYPE_REFINEMENT; }

// A word of the global context, of no context, or of a context without an
// object or function owner: the reader binds it by name in the global
// context, so every word of such a context is written plain.
inline bool plain_word(const Cell& w) {
    NodeId ctx = w.data1;
    if (ctx == 0 || ctx == context::global()) return true;
    uint32_t owner = type_of(*context::owner_of(ctx));
    return owner == TYPE_NONE || owner == TYPE_UNSET || owner == TYPE_BLOCK;
}

// What a context record says of a context: its kind, where its values
// live, the self flag, whether values follow (heap values, one of them
// set) and its word count.
struct ContextShape {
    uint32_t kind;
    bool on_stack;
    bool self;
    bool values;
    uint32_t count;
};
ContextShape context_shape(NodeId ctx);

// The body block of a function (refused with no-codec when it has none).
Cell function_body(const Cell& fn);

// Writes a function's spec (a block over its series) at position 0 and its
// body at position 1 below the function, through the writer's value().
template <class Writer>
void write_spec_and_body(Writer& w, int32_t& counter, const Cell& fn, const Cell& body) {
    int32_t saved = counter;
    counter = 0;
    w.value(Cell{TYPE_BLOCK, 0, fn.data2, 0});
    counter = 1;
    w.value(body);
    counter = saved;
}

// Writes the callable an op! wraps, through the writer's value(); it shares
// the op's position. A path reads an op as a function: entry 0 its spec,
// entry 1 a function's body. A function's context is recorded at the op's
// position and its spec and body below it (write_spec_and_body); a native's
// or action's spec is written one step below, at entry 0.
template <class Writer>
void write_op_callee(Writer& w, PathBook& book, const Cell& inner) {
    if (type_of(inner) == TYPE_FUNCTION) {
        w.value(inner);
        book.counter--;
        return;
    }
    book.step_in();
    w.value(inner);
    book.leave();
}

// The code of an error (refused with no-codec when it is not a code).
int32_t error_code(const Cell& err);

// The pixels of an image, null when it has none; a released image is
// refused with no-codec.
const uint8_t* image_pixels(const Cell& img);

// The symbols a writer has used, in order of first use: each name's offset
// into the strings area, and the area (each name and a NUL, then zeros up to
// a multiple of align).
class SymbolNames {
public:
    std::vector<uint32_t> offsets;
    std::vector<uint8_t> strings;

    explicit SymbolNames(size_t align) : align_(align) {}
    bool empty() const { return offsets.empty(); }
    // The table index of symbol id, its name added on first use.
    uint32_t index(int32_t id) {
        auto [it, added] = index_.try_emplace(id, uint32_t(offsets.size()));
        if (added) {
            offsets.push_back(uint32_t(strings.size()));
            uint32_t n = 0;
            const uint8_t* name = symbol::spelling(id, &n);
            strings.insert(strings.end(), name, name + n);
            strings.push_back(0);
            while (strings.size() % align_) strings.push_back(0);
        }
        return it->second;
    }

private:
    size_t align_;
    std::unordered_map<int32_t, uint32_t> index_;
};

}  // namespace kel::kelbin
