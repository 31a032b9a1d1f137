// function!: spec validation, construction, automatic locals,
// reflection, texts and comparison.
#include "runtime/datatypes/function.h"

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/native.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/arity-cache.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/cycle-guard.h"
#include "runtime/memory/roots.h"

namespace kel::function {

namespace {
uint32_t made_flags = 0;
}  // namespace

uint32_t set_made_flags(uint32_t flags) {
    uint32_t previous = made_flags;
    made_flags = flags;
    return previous;
}

namespace {

int32_t canonical(const Cell& c) { return symbol::resolve(int32_t(c.data2)); }
int32_t canonical_of(const char* name) { return symbol::resolve(symbol::make(name)); }

bool is_arg_word(uint32_t t) { return t == TYPE_WORD || t == TYPE_GET_WORD || t == TYPE_LIT_WORD; }

// The cells of a block from its head, copied out so that a check can run
// code (a type-block word's value) without holding a buffer address.
struct Cells {
    Cell blk;
    int32_t length;
    explicit Cells(const Cell& b) : blk(b), length(block::ks_length(b)) {
        if (length < 0) length = 0;
    }
    Cell at(int32_t i) const { return block::ks_abs_at(blk, int32_t(blk.data1) + i)[0]; }
};

[[noreturn]] void bad_def(const Cell& spec) { fire(ErrorId::script_bad_func_def, {spec}); }

void validate_type_block(const Cell& types) {
    Cells t(types);
    for (int32_t i = 0; i < t.length; ++i) {
        Cell v = t.at(i);
        if (type_of(v) == TYPE_WORD) {
            Cell value = *context::get(v);
            if (type_of(value) == TYPE_UNSET) fire(ErrorId::script_no_value, {v});
            v = value;
        }
        uint32_t vt = type_of(v);
        if (vt != TYPE_DATATYPE && vt != TYPE_TYPESET && vt != TYPE_WORD) fire(ErrorId::script_invalid_type_spec, {v});
    }
}

int64_t append_text(const Cell& buffer, const char* text, int64_t limit, int64_t units) {
    string::append_c_string(buffer, text);
    return limit - units;
}

int64_t form(Cell, Cell buffer, bool, int64_t limit) { return append_text(buffer, "?function?", limit, 10); }

Cell* more_cells(const Cell& f) { return memory::buffer_of(f.data3)->cells(); }

// The block holds a word of the symbol (any word type, ignoring case).
bool holds_name(const Cell& blk, int32_t canonical_symbol) {
    SeriesBuffer* b = block::buffer(blk);
    for (const Cell* c = b->cells(); c < b->cells_tail(); ++c)
        if (word::is_any_word(type_of(*c)) && canonical(*c) == canonical_symbol) return true;
    return false;
}

struct Collector {
    Cell* result;
    Cell* taken;
    void collect(const Cell& w) {
        if (holds_name(*taken, canonical(w))) return;
        Cell as_word = w;
        as_word.header = TYPE_WORD;
        block::append_cell(*result, as_word);
        block::append_cell(*taken, as_word);
    }
    void walk(const Cell& body) {
        NodeId node = cell_node(body);
        if (cycle_guard::find(node)) return;
        cycle_guard::Scope guard(node);
        int32_t foreach_sym = canonical_of("foreach");
        int32_t remove_each_sym = canonical_of("remove-each");
        int32_t repeat_sym = canonical_of("repeat");
        Cells cells(body);
        for (int32_t i = 0; i < cells.length; ++i) {
            Cell c = cells.at(i);
            uint32_t t = type_of(c);
            if (t == TYPE_SET_WORD) {
                collect(c);
            } else if (t == TYPE_WORD && i + 1 < cells.length) {
                int32_t s = canonical(c);
                Cell next = cells.at(i + 1);
                bool loop = s == foreach_sym || s == remove_each_sym;
                if (loop && type_of(next) == TYPE_BLOCK) {
                    Cells vars(next);
                    for (int32_t k = 0; k < vars.length; ++k)
                        if (is_arg_word(type_of(vars.at(k)))) collect(vars.at(k));
                } else if ((loop || s == repeat_sym) &&
                           (type_of(next) == TYPE_WORD || type_of(next) == TYPE_SET_WORD)) {
                    collect(next);
                }
            }
            if (t == TYPE_BLOCK || t == TYPE_PAREN) walk(c);
        }
    }
};

}  // namespace

uint32_t validate_spec(const Cell& spec_cell) {
    Cell spec = spec_cell;
    Rooted keep(spec);
    Cells cells(spec);
    uint32_t flags = 0;
    int32_t i = 0;
    if (cells.length > 0 && type_of(cells.at(0)) == TYPE_BLOCK) {
        Cells attributes(cells.at(0));
        for (int32_t k = 0; k < attributes.length; ++k) {
            Cell a = attributes.at(k);
            if (type_of(a) != TYPE_WORD) bad_def(spec);
            if (words::is(int32_t(a.data2), words::Sym::trace)) flags |= FLAG_TRACE;
            if (words::is(int32_t(a.data2), words::Sym::no_trace)) flags |= FLAG_NO_TRACE;
        }
        i = 1;
    }
    int32_t local_sym = symbol::resolve(int32_t(words::refinement(words::Ref::local).data2));
    bool in_locals = false;
    bool seen_return = false;
    for (; i < cells.length; ++i) {
        Cell c = cells.at(i);
        uint32_t t = type_of(c);
        bool has_next = i + 1 < cells.length;
        uint32_t next = has_next ? type_of(cells.at(i + 1)) : TYPE_UNSET;
        switch (t) {
        case TYPE_WORD:
        case TYPE_GET_WORD:
        case TYPE_LIT_WORD:
            if (in_locals && t != TYPE_WORD) bad_def(spec);
            if (seen_return && !in_locals) bad_def(spec);
            if (next == TYPE_STRING && i + 2 < cells.length && type_of(cells.at(i + 2)) == TYPE_BLOCK) bad_def(spec);
            if (next == TYPE_BLOCK) {
                validate_type_block(cells.at(i + 1));
                ++i;
            }
            break;
        case TYPE_SET_WORD:
            if (!words::is(int32_t(c.data2), words::Sym::return_) || seen_return || in_locals) bad_def(spec);
            if (next != TYPE_BLOCK) bad_def(spec);
            if (i + 2 < cells.length) {
                uint32_t after = type_of(cells.at(i + 2));
                if (after != TYPE_REFINEMENT && after != TYPE_STRING) bad_def(spec);
            }
            seen_return = true;
            ++i;
            break;
        case TYPE_REFINEMENT:
            if (canonical(c) == local_sym) {
                in_locals = true;
            } else if (in_locals || seen_return) {
                bad_def(spec);
            }
            if (has_next && !is_arg_word(next) && next != TYPE_REFINEMENT && next != TYPE_SET_WORD &&
                next != TYPE_STRING)
                bad_def(spec);
            break;
        case TYPE_STRING:
            break;
        default:
            bad_def(spec);
        }
    }
    // No two argument words or refinements may share a name.
    for (int32_t a = 0; a < cells.length; ++a) {
        Cell first = cells.at(a);
        if (!is_arg_word(type_of(first)) && type_of(first) != TYPE_REFINEMENT) continue;
        for (int32_t b = a + 1; b < cells.length; ++b) {
            Cell second = cells.at(b);
            if ((is_arg_word(type_of(second)) || type_of(second) == TYPE_REFINEMENT) &&
                canonical(second) == canonical(first))
                fire(ErrorId::script_dup_vars, {second});
        }
    }
    return flags;
}

NodeId push(const Cell& spec_cell, const Cell* body_cell, NodeId ctx, uint32_t flags) {
    Cell* saved_top = stack::top();
    Cell spec = spec_cell;
    Rooted keep_spec(spec);
    Cell body = body_cell ? *body_cell : make_none();
    Rooted keep_body(body);
    if (int32_t(spec.data1) != 0) spec = *block::push_copy(spec, false, false);
    Cell more = make_none();
    Rooted keep_more(more);
    block::make_at(more, 5);
    more.header = TYPE_BLOCK;
    bool made_here = ctx == 0;
    Cell holder{TYPE_WORD, ctx, 0, context::NO_INDEX};
    Rooted keep_ctx(holder);
    if (made_here) holder.data1 = ctx = context::make_from_block(spec, true, false, context::KIND_FUNCTION);
    Cell value{TYPE_FUNCTION | flags | made_flags, ctx, cell_node(spec), cell_node(more)};
    *context::owner_of(ctx) = value;
    Cell copy = body_cell ? *block::push_copy(body, true, true) : make_none();
    Rooted keep_copy(copy);
    block::append_cell(more, copy);
    for (int k = 0; k < 4; ++k) block::append_cell(more, make_unset());
    if (made_here && body_cell) context::bind(copy, ctx, false);
    // The arity cache is built now: the spec block is shared with
    // reflection (spec-of), and an edit made to it before the first call
    // must not make calls take other arguments than the context was made for.
    interpreter::build_arity_cache(value);
    stack::pop(uint32_t(stack::top() - (saved_top)));
    stack::push(value);
    return ctx;
}

Cell* add_auto_locals(Cell& spec, const Cell& body_cell) {
    Cell body = body_cell;
    Rooted keep_body(body);
    Cell* result = stack::push(make_none());
    block::make_at(*result, 8);
    result->header = TYPE_BLOCK;
    Cell* taken = block::push_copy(spec, false, false);

    int32_t extern_sym = canonical_of("extern");
    int32_t local_sym = canonical_of("local");
    bool has_extern = false;
    {
        Cells cells(spec);
        for (int32_t i = 0; i < cells.length; ++i) {
            Cell c = cells.at(i);
            if (!word::is_any_word(type_of(c)) || canonical(c) != extern_sym) continue;
            if (type_of(c) != TYPE_REFINEMENT) break;
            has_extern = true;
            int32_t k = i + 1;
            while (k < cells.length && type_of(cells.at(k)) == TYPE_WORD) ++k;
            if (k < cells.length && type_of(cells.at(k)) == TYPE_REFINEMENT && canonical(cells.at(k)) == local_sym) {
                for (++k; k < cells.length && type_of(cells.at(k)) == TYPE_WORD; ++k)
                    block::append_cell(*result, cells.at(k));
            }
            block::truncate_at(spec, int32_t(spec.data1) + i);
            break;
        }
    }
    {
        SeriesBuffer* b = block::buffer(*taken);
        for (Cell* c = b->cells(); c < b->cells_tail(); ++c) {
            uint32_t t = type_of(*c);
            if (t == TYPE_SET_WORD || t == TYPE_LIT_WORD || t == TYPE_GET_WORD || t == TYPE_REFINEMENT)
                set_type(*c, TYPE_WORD);
            else if (t != TYPE_WORD && t != TYPE_BLOCK && t != TYPE_STRING && has_extern)
                fire(ErrorId::script_bad_func_extern, {*c});
        }
    }
    Collector collector{result, taken};
    collector.walk(body);

    if (block::ks_length(*result) > 0) {
        if (count_locals(cell_node(spec), 0, true) == -1)
            block::append_cell(spec, words::refinement(words::Ref::local));
        Cell local_word = word::make(symbol::make("local"));
        block::remove_equal(*result, local_word, true);
        Cells added(*result);
        for (int32_t i = 0; i < added.length; ++i) block::append_cell(spec, added.at(i));
    }
    stack::pop(uint32_t(stack::top() - (result + 1)));
    return result;
}

int32_t count_locals(NodeId spec, int32_t start, bool ask) {
    SeriesBuffer* b = memory::buffer_of(spec);
    const Cell* c = b->cells() + start;
    const Cell* end = b->cells_tail();
    int32_t local_sym = symbol::resolve(int32_t(words::refinement(words::Ref::local).data2));
    for (; c < end; ++c)
        if (type_of(*c) == TYPE_REFINEMENT && canonical(*c) == local_sym) break;
    if (c >= end) return ask ? -1 : 0;
    int32_t n = 1;
    for (++c; c < end; ++c)
        if (type_of(*c) == TYPE_WORD) ++n;
    return n;
}

void push_locals(int32_t n) {
    if (n <= 0) return;
    stack::push(Cell{TYPE_LOGIC, 0, 0, 0});
    for (int32_t i = 1; i < n; ++i) stack::push(make_none());
}

static void make(Cell* out, Cell*, Cell* spec, uint32_t) {
    Cell given = *spec;
    Rooted keep(given);
    if (type_of(given) != TYPE_BLOCK || block::ks_length(given) < 2) bad_def(given);
    Cells cells(given);
    Cell fspec = cells.at(0);
    if (type_of(fspec) != TYPE_BLOCK) bad_def(given);
    uint32_t flags = validate_spec(fspec);
    Cell body = Cells(given).at(1);
    if (type_of(body) != TYPE_BLOCK) bad_def(given);
    Cell* saved = stack::top();
    push(fspec, &body, 0, flags);
    *out = stack::top()[-1];
    stack::pop(uint32_t(stack::top() - (saved)));
}

static void reflect(Cell* out, Cell* value, int32_t field) {
    const Cell f = *value;
    if (words::is(field, words::Sym::spec)) {
        *out = Cell{TYPE_BLOCK, 0, f.data2, 0};
    } else if (words::is(field, words::Sym::body)) {
        *out = more_cells(f)[0];
    } else if (words::is(field, words::Sym::words)) {
        NodeId ctx = f.data1;
        uint32_t n = context::word_count(ctx);
        Cell blk = make_none();
        Rooted keep(blk);
        block::make_at(blk, int32_t(n));
        blk.header = TYPE_BLOCK;
        for (uint32_t i = 0; i < n; ++i) {
            Cell w = *context::word_at(ctx, int32_t(i));
            w.header = type_of(w);
            w.data1 = ctx;
            block::append_cell(blk, w);
        }
        *out = blk;
    } else {
        fire(ErrorId::internal_not_done);
    }
}

// "func ", the spec and the body molded as blocks (" none" without a body).
static int64_t mold(Cell value, Cell buffer, const MoldOptions& options) {
    int64_t limit = append_text(buffer, "func ", options.limit, 5);
    limit = native::mold_spec(value.data2, buffer, limit);
    Cell body = more_cells(value)[0];
    if (type_of(body) == TYPE_BLOCK) return native::mold_spec(cell_node(body), buffer, limit);
    return append_text(buffer, " none", limit, 5);
}

// Two functions are the same when they share the more block (copies of one
// function value); the ordering ops cannot compare them.
static int32_t compare(const Cell& value1, const Cell& value2, int32_t op) {
    if (type_of(value2) != type_of(value1)) return COMP_NOT_COMPARABLE;
    switch (op) {
    case COMP_EQUAL:
    case COMP_NOT_EQUAL:
    case COMP_STRICT_EQUAL:
    case COMP_SORT:
    case COMP_CASE_SORT:
    case COMP_SAME:
    case COMP_FIND:
        return value1.data3 < value2.data3 ? -1 : value1.data3 > value2.data3 ? 1 : 0;
    default:
        return COMP_NOT_COMPARABLE;
    }
}

void init() {
    datatype::register_type(datatype::Record(TYPE_FUNCTION, TYPE_CONTEXT, "function!")
                                .own<ACTION_MAKE>(make)
                                .own<ACTION_REFLECT>(reflect)
                                .own<ACTION_FORM>(form)
                                .own<ACTION_MOLD>(mold)
                                .own<ACTION_COMPARE>(compare));
}

}  // namespace kel::function
