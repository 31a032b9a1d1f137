// Reading contexts and their owners, for both forms: words bound to an
// object's or a function's context, object!, function! and error!. Each
// value is made by its own module's constructor (so a file cannot make
// what the language could not), appended to its parent before its fields
// are read, and checked against what the file recorded.
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/error.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/native.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/kelbin/reader.h"
#include "runtime/io/kelbin/writer-rules.h"
#include "runtime/memory/roots.h"

namespace kel::kelbin {
namespace {

// Runs a module's constructor; false when it raised a language error (the
// argument stack put back), so that the reader refuses the record instead.
template <class Fn>
bool checked(Fn&& fn) {
    Cell* top = stack::top();
    uint32_t code = protect(catch_level::ERRORS, fn);
    if (code == 0) return true;
    stack::pop(uint32_t(stack::top() - top));
    if (code != thrown::ERROR) system_throw(code);
    handled();
    return false;
}

// The context a bound word's reference names: that of a word, an object!,
// an error!, a function!, or the function an op! wraps; 0 for anything else.
NodeId context_named_by(const Cell& c) {
    uint32_t t = type_of(c);
    if (word_record(t) || t == TYPE_OBJECT || t == TYPE_ERROR || t == TYPE_FUNCTION) return c.data1;
    if (t == TYPE_OP && native::wrapped_type(c) == TYPE_FUNCTION) return c.data1;
    return 0;
}

Cell* cell_at(const Cell& blk, int64_t i) { return block::buffer(blk)->cells() + i; }

}  // namespace

bool RecordCursor::owner_record(uint32_t t, bool events, bool ref, uint32_t new_line, const Cell& parent) {
    switch (t) {
    case TYPE_OBJECT:
        ref ? owner_reference(t, new_line, parent) : object_contents(events, {parent, new_line});
        return true;
    case TYPE_FUNCTION:
        ref ? owner_reference(t, new_line, parent) : function_contents({parent, new_line});
        return true;
    case TYPE_ERROR:
        if (ref) bad();
        error_contents(new_line, parent);
        return true;
    default:
        return false;
    }
}

void RecordCursor::check_binding(NodeId ctx, int32_t symbol, int32_t index) const {
    if (ctx == 0) bad();
    if (index == -1) {
        // `self` in an object's code is bound with index -1: it reads the owner.
        if (!(context::cell_of(ctx)->header & context::SELF) || !words::is(symbol, words::Sym::self)) bad();
        return;
    }
    if (index < 0 || uint32_t(index) >= context::word_count(ctx)) bad();
    int32_t named = int32_t(context::word_at(ctx, index)->data2);
    if (symbol::resolve(named) != symbol::resolve(symbol)) bad();
}

int64_t RecordCursor::settle(const Place& place, const Cell& owner) {
    if (place.word < 0) {
        Cell c = owner;
        c.header = (c.header & ~CELL_NEW_LINE) | place.new_line;
        block::append_cell(place.parent, c);
        return int64_t(block::buffer(place.parent)->cell_count()) - 1;
    }
    check_binding(owner.data1, place.symbol, place.index);
    Cell* w = cell_at(place.parent, place.word);
    w->data1 = owner.data1;
    w->data3 = uint32_t(place.index);
    return -1;
}

Cell RecordCursor::block_record(const Cell& holder) {
    read_value(holder);
    Cell c = block::buffer(holder)->cells()[block::buffer(holder)->cell_count() - 1];
    if (type_of(c) != TYPE_BLOCK) bad();
    return c;
}

void RecordCursor::bound_word_reference(uint32_t header, int32_t symbol, int32_t index, const Cell& parent) {
    Cell c;
    read_reference(c);
    NodeId ctx = context_named_by(c);
    check_binding(ctx, symbol, index);
    block::append_cell(parent, Cell{header, ctx, uint32_t(symbol), uint32_t(index)});
}

void RecordCursor::bound_word_owner(uint32_t header, int32_t symbol, int32_t index, const Cell& parent) {
    // The word comes first, unbound until its owner is made: the owner's
    // fields may refer to the owner through it.
    block::append_cell(parent, Cell{header, 0, uint32_t(symbol), context::NO_INDEX});
    Place place{parent, 0, int64_t(block::buffer(parent)->cell_count()) - 1, symbol, index};
    bool events = false;
    uint32_t t = read_owner_head(events);
    if (t == TYPE_OBJECT)
        object_contents(events, place);
    else if (t == TYPE_FUNCTION)
        function_contents(place);
    else
        bad();
}

void RecordCursor::owner_reference(uint32_t type, uint32_t new_line, const Cell& parent) {
    Cell c;
    read_reference(c);
    NodeId ctx = context_named_by(c);
    if (ctx == 0) bad();
    Cell owner = *context::owner_of(ctx);
    if (type_of(owner) != type) bad();
    owner.header = (owner.header & ~CELL_NEW_LINE) | new_line;
    block::append_cell(parent, owner);
}

void RecordCursor::object_contents(bool events, const Place& place) {
    // Objects of the boot image keep their recorded class id; objects a
    // codec decodes get -1 (no class of this process matches them). Change
    // handlers are found again from the fields: the file's handler
    // positions are read and dropped.
    int32_t class_id = read_signed();
    if (events) {
        read_signed();
        read_signed();
    }
    uint32_t flags;
    uint32_t n = read_context_head(flags);
    if ((flags & (CONTEXT_KIND | CONTEXT_ON_STACK)) != context::KIND_OBJECT) bad();
    Cell obj{};
    Rooted keep(obj);
    object::make_at(obj, n);
    obj.data2 = uint32_t(boot_ ? class_id : -1);
    object::store_owner(obj);
    NodeId ctx = obj.data1;
    for (uint32_t i = 0; i < n; ++i) {
        // A name given twice would leave a value without its word.
        if (context::add_word(ctx, read_symbol()) != int32_t(i)) bad();
    }
    int64_t at = settle(place, obj);
    if (flags & CONTEXT_VALUES) {
        Cell values{TYPE_BLOCK, 0, context::cell_of(ctx)->data2, 0};
        Rooted keep_values(values);
        block::truncate_at(values, 0);
        for (uint32_t i = 0; i < n; ++i) read_value(values);
    }
    if (!checked([&] { object::set_events(obj); })) bad();
    if (at >= 0) *cell_at(place.parent, at) = Cell{obj.header | place.new_line, obj.data1, obj.data2, obj.data3};
}

void RecordCursor::function_contents(const Place& place) {
    read_count(1);  // spec and body sizes: their own records give them again
    read_count(1);
    uint32_t flags;
    uint32_t n = read_context_head(flags);
    if (flags != (context::KIND_FUNCTION | CONTEXT_ON_STACK)) bad();
    std::vector<int32_t> names(n);
    for (int32_t& s : names) s = read_symbol();
    Cell holder{};
    Rooted keep_holder(holder);
    block::make_at(holder, 2);
    holder.header = TYPE_BLOCK;
    Cell spec = block_record(holder);
    spec.data1 = 0;
    // Made as `make function!` makes it: the spec checked, the context made
    // from it; the recorded words must be the spec's.
    Cell fn{};
    Rooted keep_fn(fn);
    bool made = checked([&] {
        Cell empty{};
        Rooted keep_empty(empty);
        block::make_at(empty, 1);
        empty.header = TYPE_BLOCK;
        uint32_t trace = function::validate_spec(spec);
        Cell* top = stack::top();
        function::push(spec, &empty, 0, trace);
        fn = *top;
        stack::pop(uint32_t(stack::top() - top));
    });
    if (!made || type_of(fn) != TYPE_FUNCTION) bad();
    NodeId ctx = fn.data1;
    if (context::word_count(ctx) != n) bad();
    for (uint32_t i = 0; i < n; ++i) {
        if (int32_t(context::word_at(ctx, int32_t(i))->data2) != names[i]) bad();
    }
    settle(place, fn);
    Cell body = block_record(holder);
    body.data1 = 0;
    memory::buffer_of(fn.data3)->cells()[0] = Cell{TYPE_BLOCK, 0, body.data2, 0};
}

void RecordCursor::error_contents(uint32_t new_line, const Cell& parent) {
    // Made from its code as `make error!` makes it; the code's catalog
    // entry gives type and id, the six recorded fields follow.
    Cell code = make_integer(int32_t(read_count(0)));
    Cell err{};
    Rooted keep(err);
    bool made = checked([&] {
        Cell* top = stack::top();
        Cell* out = stack::push(make_none());
        actions::slot_for<ACTION_MAKE>(TYPE_ERROR)(out, nullptr, &code, TYPE_ERROR);
        err = *out;
        stack::pop(uint32_t(stack::top() - top));
    });
    if (!made) bad();
    err.header |= new_line;
    block::append_cell(parent, err);
    Cell holder{};
    Rooted keep_holder(holder);
    block::make_at(holder, 6);
    holder.header = TYPE_BLOCK;
    for (uint32_t f = error::ARG1; f <= error::STACK; ++f) {
        read_value(holder);
        SeriesBuffer* b = block::buffer(holder);
        error::set_field(err, error::Field(f), b->cells()[b->cell_count() - 1]);
    }
}

}  // namespace kel::kelbin
