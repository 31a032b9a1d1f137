// The path family and paren!: making, conversion, texts and registration.
#include "runtime/datatypes/path.h"

#include <cmath>

#include "runtime/core/fire.h"
#include "runtime/core/type-families.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/cycle-guard.h"
#include "runtime/memory/roots.h"

namespace kel::path {

namespace {

// A new series of the type holding copies of the spec's values from its head.
Cell copy_as(const Cell& spec, uint32_t type) {
    Cell* saved = stack::top();
    Cell copy = *block::push_copy(spec, false, false);
    stack::pop(uint32_t(stack::top() - saved));
    copy.header = type;
    return copy;
}

int64_t write(const Cell& value, const Cell& buffer, bool part, int64_t limit, bool mold, const MoldOptions* options) {
    if (cycle_guard::detect(value, buffer, limit, mold)) return limit;
    Cell p = value;
    Rooted keep(p);
    cycle_guard::Scope guard(cell_node(p));  // popped however the walk ends
    int32_t length = block::ks_length(p);
    for (int32_t i = 0; i < length; ++i) {
        Cell segment = block::ks_abs_at(p, int32_t(p.data1) + i)[0];
        if (mold) {
            MoldOptions o = *options;
            o.limit = limit;
            o.indent = 0;
            limit = actions::mold(segment, buffer, o);
        } else {
            limit = actions::form(segment, buffer, part, limit);
        }
        if (part && limit <= 0) return limit;
        if (i + 1 < length) {
            string::append_c_string(buffer, "/");
            --limit;
        }
    }
    return limit;
}

int64_t mold_with(const Cell& value, const Cell& buffer, const MoldOptions& options, const char* before,
                  const char* after) {
    int64_t limit = options.limit;
    if (*before) {
        string::append_c_string(buffer, before);
        --limit;
    }
    MoldOptions o = options;
    o.limit = limit;
    limit = write(value, buffer, options.part, limit, true, &o);
    if (*after) {
        string::append_c_string(buffer, after);
        --limit;
    }
    return limit;
}

int64_t lit_mold(Cell value, Cell buffer, const MoldOptions& options) {
    return mold_with(value, buffer, options, "'", "");
}
int64_t set_mold(Cell value, Cell buffer, const MoldOptions& options) {
    return mold_with(value, buffer, options, "", ":");
}
int64_t get_mold(Cell value, Cell buffer, const MoldOptions& options) {
    return mold_with(value, buffer, options, ":", "");
}

}  // namespace

// make of the four path types: a number gives an empty path with room for
// that many values (truncated; 0 gives 1; negative or NaN raises
// script/out-of-range); a block-like value gives a path of its values.
static void make(Cell* out, Cell* proto, Cell* spec, uint32_t type) {
    (void)proto;
    uint32_t t = type_of(*spec);
    if (t == TYPE_INTEGER || t == TYPE_FLOAT || t == TYPE_PERCENT) {
        int64_t n;
        if (t == TYPE_INTEGER) {
            n = cell_integer(*spec);
        } else {
            double d = cell_double(*spec);
            if (std::isnan(d) || d <= -1.0 || d >= 2147483648.0) fire(ErrorId::script_out_of_range, {*spec});
            n = int64_t(d);
        }
        if (n < 0) fire(ErrorId::script_out_of_range, {*spec});
        Cell p = make_none();
        block::make_at(p, int32_t(n == 0 ? 1 : n));
        p.header = type;
        *out = p;
        return;
    }
    if (!type_families::is_any_block(t)) fire(ErrorId::script_bad_make_arg, {datatype::make(type), *spec});
    *out = copy_as(*spec, type);
}

// to: object!, map! and typeset! give a one-segment path; everything else
// converts as to block! does, typed as the target (a block-like value gives
// its values, a string is loaded, a word or a number is the one segment).
static void to(Cell* out, Cell* proto, Cell* spec, uint32_t type) {
    uint32_t t = type_of(*spec);
    if (t == TYPE_OBJECT || t == TYPE_MAP || t == TYPE_TYPESET) {
        Cell v = *spec;
        Cell p = make_none();
        block::make_at(p, 1);
        p.header = TYPE_BLOCK;
        Rooted keep(p);
        block::append_cell(p, v);
        p.header = type;
        *out = p;
        return;
    }
    // Everything else converts as to block! does (a string is loaded, a
    // vector gives its elements, any other value is the one segment).
    actions::slot_for<ACTION_TO>(TYPE_BLOCK)(out, proto, spec, type);
}

static int64_t form(Cell value, Cell buffer, bool part, int64_t limit) {
    return write(value, buffer, part, limit, false, nullptr);
}

static int64_t mold(Cell value, Cell buffer, const MoldOptions& options) {
    return mold_with(value, buffer, options, "", "");
}

// "(", the values molded as a block's, ")"; with only? no parentheses.
static int64_t paren_mold(Cell value, Cell buffer, const MoldOptions& options) {
    int64_t limit = options.limit;
    if (!options.only) {
        string::append_c_string(buffer, "(");
        --limit;
    }
    MoldOptions o = options;
    o.only = true;
    o.limit = limit;
    Cell as_block = value;
    set_type(as_block, TYPE_BLOCK);
    limit = actions::mold(as_block, buffer, o);
    if (!options.only) {
        string::append_c_string(buffer, ")");
        --limit;
    }
    return limit;
}

void init() {
    using datatype::Record;
    // Everything block! has, except random, sort and trim (paths) or trim
    // (paren!); inheriting copies the parent's slots as they stand now.
    Record p(TYPE_PATH, TYPE_BLOCK, "path!");
    p.inherit_all<ACTION_REFLECT, ACTION_EVAL_PATH, ACTION_COMPARE, ACTION_APPEND, ACTION_AT, ACTION_BACK,
                  ACTION_CHANGE, ACTION_CLEAR, ACTION_COPY, ACTION_FIND, ACTION_HEAD, ACTION_HEAD_Q, ACTION_INDEX_Q,
                  ACTION_INSERT, ACTION_LENGTH_Q, ACTION_MOVE, ACTION_NEXT, ACTION_PICK, ACTION_POKE, ACTION_PUT,
                  ACTION_REMOVE, ACTION_REVERSE, ACTION_SELECT, ACTION_SKIP, ACTION_SWAP, ACTION_TAIL, ACTION_TAIL_Q,
                  ACTION_TAKE, ACTION_MODIFY>();
    p.own<ACTION_MAKE>(make).own<ACTION_TO>(to).own<ACTION_FORM>(form).own<ACTION_MOLD>(mold);
    datatype::register_type(p);
    struct Variant {
        uint32_t id;
        const char* name;
        ActionSlot<ACTION_MOLD>::type mold_fn;
    };
    for (const Variant& v :
         {Variant{TYPE_LIT_PATH, "lit-path!", lit_mold}, Variant{TYPE_SET_PATH, "set-path!", set_mold},
          Variant{TYPE_GET_PATH, "get-path!", get_mold}}) {
        Record r(v.id, TYPE_PATH, v.name);
        r.inherit_all<ACTION_MAKE, ACTION_TO, ACTION_FORM, ACTION_REFLECT, ACTION_EVAL_PATH, ACTION_COMPARE,
                      ACTION_APPEND, ACTION_AT, ACTION_BACK, ACTION_CHANGE, ACTION_CLEAR, ACTION_COPY, ACTION_FIND,
                      ACTION_HEAD, ACTION_HEAD_Q, ACTION_INDEX_Q, ACTION_INSERT, ACTION_LENGTH_Q, ACTION_MOVE,
                      ACTION_NEXT, ACTION_PICK, ACTION_POKE, ACTION_PUT, ACTION_REMOVE, ACTION_REVERSE, ACTION_SELECT,
                      ACTION_SKIP, ACTION_SWAP, ACTION_TAIL, ACTION_TAIL_Q, ACTION_TAKE, ACTION_MODIFY>();
        r.own<ACTION_MOLD>(v.mold_fn);
        datatype::register_type(r);
    }
    Record paren(TYPE_PAREN, TYPE_BLOCK, "paren!");
    paren.inherit_all<ACTION_MAKE, ACTION_RANDOM, ACTION_REFLECT, ACTION_TO, ACTION_FORM, ACTION_EVAL_PATH,
                      ACTION_COMPARE, ACTION_APPEND, ACTION_AT, ACTION_BACK, ACTION_CHANGE, ACTION_CLEAR, ACTION_COPY,
                      ACTION_FIND, ACTION_HEAD, ACTION_HEAD_Q, ACTION_INDEX_Q, ACTION_INSERT, ACTION_LENGTH_Q,
                      ACTION_MOVE, ACTION_NEXT, ACTION_PICK, ACTION_POKE, ACTION_PUT, ACTION_REMOVE, ACTION_REVERSE,
                      ACTION_SELECT, ACTION_SORT, ACTION_SKIP, ACTION_SWAP, ACTION_TAIL, ACTION_TAIL_Q, ACTION_TAKE,
                      ACTION_MODIFY>();
    paren.own<ACTION_MOLD>(paren_mold);
    datatype::register_type(paren);
}

}  // namespace kel::path
