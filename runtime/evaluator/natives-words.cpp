#include "runtime/evaluator/natives-words.h"

#include "runtime/core/fire.h"
#include "runtime/core/type-classes.h"
#include "runtime/core/type-families.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/native.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/unset.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/interpreter-state.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/native-frame.h"
#include "runtime/evaluator/native-services.h"
#include "runtime/evaluator/natives-apply.h"
#include "runtime/evaluator/natives-iteration.h"

namespace kel::natives::word_natives {

namespace {

using frame::args;
using frame::result;
using frame::used;

using type_families::is_any_function;
using type_families::is_any_path;

// Evaluates the path in a[0]'s place as a get-path (get) or a set-path
// with a[0] as the value (set), its elements matched case-sensitively with
// /case; the path's result becomes the result.
uint32_t path_access(const Cell& path_cell, bool set, bool case_sensitive) {
    Cell* a = args();
    Cell* path = stack::push(path_cell);
    path->header = TYPE_PATH;
    int32_t index = 0;
    if (uint32_t s = interpreter::eval_path(*path, *path, index, !set, set, case_sensitive)) return s;
    result(*(stack::state.top - 1));
    (void)a;
    return 0;
}

// get (word, /any, /case).
uint32_t get_native(bool, const int32_t* r) {
    Cell* a = args();
    uint32_t t = type_of(a[0]);
    if (is_any_path(t)) return path_access(a[0], false, used(r, 1));
    if (t == TYPE_OBJECT) {
        actions::reflect(&a[0], &a[0], words::symbol(words::Sym::values));
        stack::state.top = a + 1;
        return 0;
    }
    Cell value = *context::get(a[0]);
    if (type_of(value) == TYPE_UNSET && !used(r, 0)) fire(ErrorId::script_no_value, {a[0]});
    result(value);
    return 0;
}

// set (word, value, /any, /case, /only, /some).
uint32_t set_native(bool, const int32_t* r) {
    Cell* a = args();
    bool any = used(r, 0), only = used(r, 2), some = used(r, 3);
    if (type_of(a[1]) == TYPE_UNSET && !any) fire(ErrorId::script_need_value, {a[0]});
    uint32_t t = type_of(a[0]);
    if (is_any_path(t)) {
        Cell path = a[0];
        a[0] = a[1];
        stack::state.top = a + 2;
        return path_access(path, true, used(r, 1));
    }
    if (t == TYPE_OBJECT) {
        object::set_many(a[0], a[1], any, only, some);
    } else if (t == TYPE_BLOCK) {
        stack::OpenFrame frame(words::word(words::Word::anon), stack::KIND_NATIVE);
        iteration::set_words(a[0], a[1], block::ks_length(a[0]), any, only, some);
    } else {
        context::set(a[0], a[1]);
    }
    result(a[1]);
    return 0;
}

// The context a bind or in argument names.
NodeId target_context(const Cell& v) {
    uint32_t t = type_of(v);
    if (word::is_any_word(t)) {
        // A word bound to no context names none to bind to.
        if (!v.data1) fire(ErrorId::script_not_in_context, {v});
        return v.data1;
    }
    return v.data1;  // function!, object!, error!, port!, routine!: their context
}

// bind (word, context, /copy).
uint32_t bind_native(bool, const int32_t* r) {
    Cell* a = args();
    NodeId ctx = target_context(a[1]);
    if (type_of(a[0]) == TYPE_BLOCK) {
        if (used(r, 0)) a[0] = *block::push_copy(a[0], true, true);
        context::bind(a[0], ctx, type_of(a[1]) == TYPE_OBJECT);
    } else {
        context::bind_word(ctx, a[0]);
    }
    stack::state.top = a + 1;
    return 0;
}

// The context `in` binds to: an object's, error's, port's, function's or
// routine's own; for a native! or action! (and an op! over one) the context
// made from its spec, kept in its more block only as a copy of its context!
// cell, so a node is made around that copy.
NodeId callee_context(const Cell& value) {
    uint32_t t = type_of(value);
    bool spec_context = t == TYPE_NATIVE || t == TYPE_ACTION ||
        (t == TYPE_OP && (native::wrapped_type(value) == TYPE_NATIVE || native::wrapped_type(value) == TYPE_ACTION));
    if (!spec_context) return value.data1;
    return context::make_around(memory::buffer_of(value.data3)->cells()[0], value);
}

// in (object, word).
uint32_t in_native(bool, const int32_t*) {
    Cell* a = args();
    NodeId ctx = callee_context(a[0]);
    Cell w = a[1];
    if (type_of(w) == TYPE_REFINEMENT)
        w.header = TYPE_WORD;
    else
        w.header = type_of(w);
    if (context::bind_word(ctx, w) < 0) {
        result(none_value);
        return 0;
    }
    result(w);
    return 0;
}

// construct (block, /with object, /only).
uint32_t construct_native(bool, const int32_t* r) {
    Cell* a = args();
    Cell out = make_none();
    object::construct(&out, a[0], used(r, 0) ? &a[r[0]] : nullptr, used(r, 1));
    result(out);
    return 0;
}

// value? (value).
uint32_t value_q_native(bool, const int32_t*) {
    Cell* a = args();
    uint32_t t = type_of(a[0]);
    bool has = true;
    if (t == TYPE_WORD || t == TYPE_SET_WORD || t == TYPE_GET_WORD || t == TYPE_LIT_WORD)
        has = a[0].data1 && type_of(*context::get(a[0])) != TYPE_UNSET;
    else
        has = t != TYPE_UNSET;
    result(logic::make_cell(has));
    return 0;
}

// extend (obj, spec, /case).
uint32_t extend_native(bool, const int32_t* r) {
    Cell* a = args();
    if (type_of(a[0]) != TYPE_MAP) fire(ErrorId::internal_not_done);
    if (type_of(a[1]) == TYPE_MAP) {
        // A map's pairs are first taken as a block of its live pairs.
        Cell* pairs = stack::push(make_none());
        map::to_block(pairs, a[1], map::Part::body);
        map::extend(a[0], *pairs, used(r, 0));
    } else {
        map::extend(a[0], a[1], used(r, 0));
    }
    stack::state.top = a + 1;
    return 0;
}

// unset (word).
uint32_t unset_native(bool, const int32_t*) {
    Cell* a = args();
    if (type_of(a[0]) == TYPE_WORD) {
        context::set(a[0], unset_value);
    } else {
        // Each word! of the block; the block may change under a change
        // handler, so its cells are read again for each.
        Cell* block = stack::push(a[0]);
        for (int32_t i = 0;; ++i) {
            SeriesBuffer* b = memory::buffer_of(cell_node(*block));
            int64_t at = int64_t(int32_t(block->data1)) + i;
            if (at < 0 || uint64_t(at) >= b->cell_count()) break;
            Cell w = b->cells()[at];
            if (type_of(w) == TYPE_WORD) context::set(w, unset_value);
        }
    }
    result(unset_value);
    return 0;
}

// context? (word).
uint32_t context_q_native(bool, const int32_t*) {
    Cell* a = args();
    // A word bound to no context has none.
    result(a[0].data1 ? *context::owner_of(a[0].data1) : none_value);
    return 0;
}

// apply (func, args, /all, /safer).
uint32_t apply_native(bool, const int32_t* r) {
    Cell* a = args();
    uint32_t t = type_of(a[0]);
    Cell fn = a[0];
    Cell name = words::word(words::Word::applied);
    const Cell* path = nullptr;
    if (word::is_any_word(t)) {
        fn = *context::get(a[0]);
        name = a[0];
        name.header = TYPE_WORD;
    } else if (is_any_path(t)) {
        NodeId node = cell_node(a[0]);
        int32_t head = int32_t(a[0].data1);
        if (head < 0 || head >= interpreter::code_tail(node)) fire(ErrorId::script_invalid_arg, {a[0]});
        Cell first = *interpreter::code_at(node, head);
        if (type_of(first) != TYPE_WORD) fire(ErrorId::script_invalid_arg, {a[0]});
        fn = *context::get(first);
        name = first;
        path = &a[0];
    }
    if (!is_any_function(type_of(fn))) fire(ErrorId::script_invalid_arg, {a[0]});
    if (type_of(fn) == TYPE_OP) fn = native::op_callee(fn);
    uint32_t mode = (used(r, 0) ? apply::MODE_ALL : apply::MODE_INLINE) | (used(r, 1) ? apply::MODE_SAFER : 0);
    stack::calls.frames[stack::calls.top - 1].kind |= stack::FRAME_INTERP;
    Cell* fn_cell = stack::push(fn);
    Cell* name_cell = stack::push(name);
    if (uint32_t s = apply::call(*fn_cell, a[1], *name_cell, path, mode)) return s;
    result(*(stack::state.top - 1));
    return 0;
}

}  // namespace

void register_natives(Entry* table) {
    table[GET] = {get_native, "get",
                  R"~("Returns the value a word refers to"
                     word [any-word! any-path! object!]
                     /any "If word has no value, return UNSET rather than causing an error"
                     /case "Use case-sensitive comparison (path only)"
                     return: [any-type!])~"};
    table[SET] = {set_native, "set",
                  R"~("Sets the value(s) one or more words refer to"
                     word [any-word! block! object! any-path!] "Word, object, map path or block of words to set"
                     value [any-type!] "Value or block of values to assign to words"
                     /any "Allow UNSET as a value rather than causing an error"
                     /case "Use case-sensitive comparison (path only)"
                     /only "Block or object value argument is set as a single value"
                     /some "None values in a block or object value argument, are not set"
                     return: [any-type!])~"};
    table[BIND] = {bind_native, "bind",
                   R"~("Bind words to a context; returns rebound words"
                      word [block! any-word!]
                      context [any-word! any-object! function!]
                      /copy "Deep copy blocks before binding"
                      return: [block! any-word!])~"};
    table[IN] = {in_native, "in",
                 R"~("Returns the given word bound to the object's context"
                    object [any-object! any-function!]
                    word [any-word! refinement!])~"};
    table[CONSTRUCT] = {construct_native, "construct",
                        R"~("Makes a new object from an unevaluated spec; standard logic words are evaluated"
                           block [block!]
                           /with "Use a prototype object"
                           object [object!] "Prototype object"
                           /only "Don't evaluate standard logic words")~"};
    table[VALUE_Q] = {value_q_native, "value?",
                      R"~("Returns TRUE if the word has a value"
                         value [word!]
                         return: [logic!])~"};
    table[EXTEND] = {extend_native, "extend",
                     R"~("Extend an object or map value with list of key and value pairs"
                        obj [object! map!]
                        spec [block! hash! map!]
                        /case "Use case-sensitive comparison")~"};
    table[UNSET] = {unset_native, "unset",
                    R"~("Unsets the value of a word in its current context"
                       word [word! block!] "Word or block of words")~"};
    table[CONTEXT_Q] = {context_q_native, "context?",
                        R"~("Returns the context to which a word is bound"
                           word [any-word!] "Word to check"
                           return: [object! function! none!])~"};
    table[APPLY] = {apply_native, "apply",
                    R"~("Apply a function to a reduced block of arguments"
                       func [word! path! any-function!] "Function to apply, with eventual refinements"
                       args [block!] "Block of args, reduced first"
                       /all "Provide every argument in the function spec, in order, tail-completed with false/none."
                       /safer "Forces single refinement arguments, skip them when inactive instead of evaluating")~"};
}

}  // namespace kel::natives::word_natives
