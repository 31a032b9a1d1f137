// object!: construction, copying, field access, comparison and registration;
// the text (form and mold) is in object-text.cpp, the change handlers in
// object-events.cpp.
#include "runtime/datatypes/object.h"

#include <algorithm>

#include "runtime/core/fire.h"
#include "runtime/core/type-families.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/object-internal.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"
#include "runtime/hashing/symbol-table.h"
#include "runtime/memory/cycle-guard.h"
#include "runtime/memory/ownership.h"
#include "runtime/memory/roots.h"

namespace kel::object {

using detail::canonical;
using detail::ctx_of;
using detail::is_copied_kind;
using detail::is_handler_symbol;
using detail::value_at;
using detail::word_at;
using type_families::is_any_block;
using type_families::is_any_string;

namespace {

EvaluatorServices evaluator;
int32_t class_counter = FIRST_CLASS_ID - 1;

void set_value_at(NodeId ctx, uint32_t i, const Cell& v) { context::values_of(*context::cell_of(ctx))[i] = v; }

// The narrower kinds a deep copy of an object copies.
bool is_deep_copied_kind(uint32_t t) { return (is_any_block(t) && t != TYPE_HASH) || is_any_string(t); }

// A deep copy of a series value (blocks with their nested blocks, text and
// byte series by their units), its position kept.
Cell copy_series(const Cell& value) {
    Cell v = value;
    Rooted keep(v);
    Cell* saved = stack::top();
    Cell result;
    if (is_any_block(type_of(v))) {
        Cell from_start = v;
        from_start.data1 = 0;
        result = *block::push_copy(from_start, true, true);
        result.header = v.header & ~CELL_NEW_LINE;
        result.data1 = v.data1;
        result.data3 = 0;
    } else {
        SeriesBuffer* b = memory::buffer_of(cell_node(v));
        NodeId node = memory::clone_series(b);
        result = Cell{v.header & ~CELL_NEW_LINE, v.data1, node, 0};
    }
    stack::pop(uint32_t(stack::top() - saved));
    return result;
}

// Binds a function field to an object: a copy of the function with its own
// context, its body bound to the object (self included) and then to that
// context, run interpreted.
void rebind_function(NodeId obj_ctx, uint32_t index) {
    Cell f = value_at(obj_ctx, index);
    Rooted keep_f(f);
    Cell body = memory::buffer_of(f.data3)->cells()[0];
    if (type_of(body) != TYPE_BLOCK) fire(ErrorId::script_bad_func_def, {f});
    Cell* saved = stack::top();
    Cell copy = *block::push_copy(body, true, true);
    NodeId fctx = memory::alloc_unset_cells(2);
    memory::buffer_of(fctx)->tail = 2 * sizeof(Cell);
    Cell holder{TYPE_WORD, fctx, 0, context::NO_INDEX};
    Rooted keep_ctx(holder);
    *context::cell_of(fctx) = *context::cell_of(f.data1);
    context::cell_of(fctx)->data2 = 0;  // no call running
    context::bind(copy, obj_ctx, true);
    context::bind(copy, fctx, false);
    Cell spec{TYPE_BLOCK, 0, f.data2, 0};
    function::push(spec, &copy, fctx, f.header & ~CELL_TYPE_MASK);
    Cell made = stack::top()[-1];
    stack::pop(uint32_t(stack::top() - saved));
    set_value_at(obj_ctx, index, made);
}

void copy_series_fields(NodeId from, NodeId to, bool copy_others) {
    uint32_t n = context::word_count(from);
    for (uint32_t i = 0; i < n; ++i) {
        Cell v = value_at(from, i);
        if (is_copied_kind(type_of(v))) {
            Cell c = copy_series(v);
            Rooted keep(c);
            if (is_any_block(type_of(c))) context::bind(c, to, true);
            set_value_at(to, i, c);
        } else if (copy_others) {
            set_value_at(to, i, v);
        }
    }
}

bool extend_from(NodeId target, NodeId source) {
    uint32_t before = context::word_count(target);
    uint32_t n = context::word_count(source);
    for (uint32_t i = 0; i < n; ++i)
        context::add_or_set(target, int32_t(word_at(source, i).data2), value_at(source, i));
    uint32_t total = context::word_count(target);
    for (uint32_t i = 0; i < total; ++i) {
        Cell v = value_at(target, i);
        if (is_copied_kind(type_of(v))) {
            Cell c = copy_series(v);
            set_value_at(target, i, c);
        } else if (type_of(v) == TYPE_FUNCTION) {
            rebind_function(target, i);
        }
    }
    return total > before;
}

void clear_new_lines(NodeId ctx) {
    uint32_t n = context::word_count(ctx);
    Cell* v = context::values_of(*context::cell_of(ctx));
    for (uint32_t i = 0; i < n; ++i) clear_new_line(v[i]);
}

[[noreturn]] void invalid_path(const Cell& path, const Cell& element) {
    fire(ErrorId::script_invalid_path, {path, element});
}

// The value of construct's spec word, converted unless only.
Cell construct_value(const Cell& v, bool only) {
    if (only || type_of(v) != TYPE_WORD) return v;
    int32_t s = int32_t(v.data2);
    using words::Sym;
    if (words::is(s, Sym::true_) || words::is(s, Sym::yes) || words::is(s, Sym::on)) return Cell{TYPE_LOGIC, 1, 0, 0};
    if (words::is(s, Sym::false_) || words::is(s, Sym::no) || words::is(s, Sym::off)) return Cell{TYPE_LOGIC, 0, 0, 0};
    if (words::is(s, Sym::none)) return make_none();
    return v;
}

bool construct_fields(NodeId ctx, const Cell& spec_cell, bool only) {
    Cell spec = spec_cell;
    Rooted keep(spec);
    uint32_t before = context::word_count(ctx);
    int32_t length = block::ks_length(spec);
    auto at = [&](int32_t i) { return block::ks_abs_at(spec, int32_t(spec.data1) + i)[0]; };
    for (int32_t i = 0; i < length; ++i) {
        Cell c = at(i);
        if (type_of(c) != TYPE_SET_WORD) continue;
        int32_t k = i;
        while (k < length && type_of(at(k)) == TYPE_SET_WORD) ++k;
        Cell value = k < length ? construct_value(at(k), only) : make_none();
        int32_t index = context::add_word(ctx, int32_t(c.data2));
        set_value_at(ctx, uint32_t(index), value);
    }
    return context::word_count(ctx) > before;
}

}  // namespace

EvaluatorServices& evaluator_services() { return evaluator; }

int32_t new_class_id() {
    if (class_counter == INT32_MAX) fire(ErrorId::internal_limit_hit, {make_integer(class_counter)});
    return ++class_counter;
}

Cell* make_at(Cell& cell, uint32_t size) {
    cell = make_unset();
    NodeId ctx = context::make(size, false, true, 0, context::KIND_OBJECT);
    cell = Cell{TYPE_OBJECT, ctx, 0, 0};
    store_owner(cell);
    return &cell;
}

void store_owner(const Cell& obj) { *context::owner_of(ctx_of(obj)) = obj; }

uint32_t field_count(const Cell& obj) { return context::word_count(ctx_of(obj)); }

int32_t find_field(const Cell& obj, int32_t symbol) { return context::find_word(ctx_of(obj), symbol, true); }

Cell field_value(const Cell& obj, int32_t symbol) {
    int32_t i = find_field(obj, symbol);
    return i < 0 ? make_none() : value_at(ctx_of(obj), uint32_t(i));
}

void clear_changed(NodeId ctx) {
    uint32_t n = context::word_count(ctx);
    for (uint32_t i = 0; i < n; ++i) context::word_at(ctx, int32_t(i))->header &= ~context::WORD_CHANGED;
}

namespace {

void assign_field(const Cell& obj, uint32_t i, const Cell& value) {
    NodeId ctx = ctx_of(obj);
    context::word_at(ctx, int32_t(i))->header |= context::WORD_CHANGED;
    if (!obj.data3) {
        set_value_at(ctx, i, value);
        return;
    }
    Cell w = word_at(ctx, i);
    int32_t s = canonical(int32_t(w.data2));
    if (is_handler_symbol(s)) return;
    Cell old = value_at(ctx, i);
    Cell v = value;
    w.header = TYPE_WORD;
    Rooted a(old), b(v), c(w);
    set_value_at(ctx, i, v);
    fire_on_change(obj, w, old, v);
}

}  // namespace

void set_many(const Cell& obj_cell, const Cell& value_cell, bool any, bool only, bool some) {
    Cell obj = obj_cell, value = value_cell;
    Rooted a(obj), b(value);
    uint32_t n = field_count(obj);
    uint32_t t = type_of(value);
    if (only || (t != TYPE_BLOCK && t != TYPE_OBJECT)) {
        for (uint32_t i = 0; i < n; ++i) assign_field(obj, i, value);
        return;
    }
    // The source value for field i, or false when the source has none.
    auto source = [&](uint32_t i, Cell* out) -> bool {
        if (t == TYPE_BLOCK) {
            if (int32_t(i) >= block::ks_length(value)) {
                *out = make_none();
                return true;
            }
            *out = block::ks_abs_at(value, int32_t(value.data1) + int32_t(i))[0];
            return true;
        }
        int32_t k = find_field(value, int32_t(word_at(ctx_of(obj), i).data2));
        if (k < 0) return false;
        *out = value_at(ctx_of(value), uint32_t(k));
        return true;
    };
    if (!some) {
        uint32_t limit = t == TYPE_BLOCK ? std::min<uint32_t>(n, uint32_t(std::max(0, block::ks_length(value)))) : n;
        for (uint32_t i = 0; i < limit; ++i) {
            Cell v;
            if (source(i, &v) && type_of(v) == TYPE_UNSET && !any)
                fire(ErrorId::script_need_value, {word_at(ctx_of(obj), i)});
        }
    }
    for (uint32_t i = 0; i < n; ++i) {
        Cell v;
        if (!source(i, &v)) continue;
        if (some && type_of(v) == TYPE_NONE) continue;
        assign_field(obj, i, v);
    }
}

void eval_path(Cell* out, const Cell& parent, Cell& element, const Cell* value, const Cell& path, bool get_path,
               bool last) {
    uint32_t et = type_of(element);
    if (et != TYPE_WORD && et != TYPE_SET_WORD && et != TYPE_GET_WORD && et != TYPE_LIT_WORD)
        invalid_path(path, element);
    Cell obj = parent;
    Rooted keep(obj);
    NodeId ctx = ctx_of(obj);
    if (element.data1 != ctx || int32_t(element.data3) < 0) {
        int32_t i = find_field(obj, int32_t(element.data2));
        element.data3 = uint32_t(i);
        if (i >= 0) element.data1 = ctx;
    }
    int32_t index = int32_t(element.data3);
    if (index < 0) {
        if (get_path && last && !value) {
            *out = make_unset();
            return;
        }
        if (last) invalid_path(path, element);
        fire(ErrorId::script_unset_path, {path, element});
    }
    if (value) {
        Cell v = *value;
        Rooted keep_v(v);
        Cell w = et == TYPE_WORD ? element : word_at(ctx, uint32_t(index));
        w.header = TYPE_WORD;
        w.data1 = ctx;
        w.data3 = uint32_t(index);
        Rooted keep_w(w);
        if (obj.data3) {
            Cell old = value_at(ctx, uint32_t(index));
            Rooted keep_old(old);
            context::set_in(w, v, ctx, false);
            fire_on_change(obj, w, old, v);
        } else {
            context::set_in(w, v, ctx, false);
        }
        *out = v;
        return;
    }
    Cell v = value_at(ctx, uint32_t(index));
    if (type_of(v) == TYPE_UNSET) {
        if (get_path && last) {
            *out = v;
            return;
        }
        if (last) invalid_path(path, element);
        fire(ErrorId::script_unset_path, {path, element});
    }
    *out = v;
}

void put(Cell* out, const Cell& obj, Cell& key, const Cell& value) {
    if (type_of(key) != TYPE_WORD) fire(ErrorId::script_invalid_key_type, {datatype::make(type_of(key))});
    eval_path(out, obj, key, &value, make_none(), false, true);
}

void make(Cell* out, Cell* proto, Cell* spec_cell, uint32_t) {
    Cell* saved = stack::top();
    Cell spec = *spec_cell;
    Rooted keep_spec(spec);
    bool has_proto = type_of(*proto) == TYPE_OBJECT;
    Cell prototype = has_proto ? *proto : make_none();
    Rooted keep_proto(prototype);
    Cell* obj = stack::push(make_unset());
    if (type_of(spec) != TYPE_OBJECT && type_of(spec) != TYPE_BLOCK) fire(ErrorId::syntax_malconstruct, {spec});
    if (has_proto)
        clone(obj, prototype, true, nullptr, false);
    else
        make_at(*obj, 4);
    bool added;
    if (type_of(spec) == TYPE_OBJECT) {
        added = extend_from(ctx_of(*obj), ctx_of(spec));
    } else {
        added = context::collect_set_words(ctx_of(*obj), spec);
        context::bind(spec, ctx_of(*obj), true);
        if (has_proto) copy_series_fields(ctx_of(prototype), ctx_of(*obj), false);
        if (evaluator.evaluate) evaluator.evaluate(spec);
        clear_changed(ctx_of(*obj));
        clear_new_lines(ctx_of(*obj));
    }
    obj->data2 = uint32_t(added || !has_proto ? new_class_id() : int32_t(prototype.data2));
    set_events(*obj);
    *out = *obj;
    stack::pop(uint32_t(stack::top() - saved));
}

void clone(Cell* out, const Cell& source, bool deep, const Cell* types, bool fresh_events) {
    Cell obj = source;
    Rooted keep(obj);
    Cell kind = types ? *types : make_none();
    Rooted keep_kind(kind);
    *out = make_unset();
    // A deep copy by type walks nested values: an object met again is a cycle.
    int depth = cycle_guard::depth();
    if (types && deep) {
        if (cycle_guard::find(ctx_of(obj))) {
            cycle_guard::reset();
            fire(ErrorId::internal_no_cycle);
        }
        cycle_guard::push(ctx_of(obj));
    }
    struct Leave {
        int depth;
        ~Leave() {
            if (cycle_guard::depth() > depth) cycle_guard::pop_n(cycle_guard::depth() - depth);
        }
    } leave{depth};
    uint32_t n = field_count(obj);
    NodeId ctx = context::make(n, false, true, ctx_of(obj), context::KIND_OBJECT);
    Cell result{type_of(obj), ctx, obj.data2, fresh_events ? 0 : obj.data3};
    Rooted keep_result(result);
    store_owner(result);
    if (n > 0) {
        SeriesBuffer* wb = hashtable::get_ctx_words(*context::cell_of(ctx));
        for (Cell* w = wb->cells(); w < wb->cells_tail(); ++w) w->data1 = ctx;
        SeriesBuffer* vb = memory::buffer_of(context::cell_of(ctx)->data2);
        std::memcpy(vb->data(), context::values_of(*context::cell_of(ctx_of(obj))), n * sizeof(Cell));
        vb->tail = uint64_t(n) * sizeof(Cell);
        for (uint32_t i = 0; i < n; ++i) {
            Cell v = value_at(ctx, i);
            if (deep && !types && is_deep_copied_kind(type_of(v)))
                set_value_at(ctx, i, copy_series(v));
            else if (type_of(v) == TYPE_FUNCTION)
                rebind_function(ctx, i);
        }
        if (types) block::copy_nested(context::cell_of(ctx)->data2, 0, int32_t(n), 1, deep, kind);
        if (fresh_events) set_events(result);
    }
    *out = result;
}

void copy(Cell* out, const Cell& obj, const Cell* part, bool deep, const Cell* types) {
    if (part) fire(ErrorId::script_invalid_refine_arg, {word::make(symbol::make("part")), *part});
    clone(out, obj, deep, types, true);
}

void construct(Cell* out, const Cell& spec_cell, const Cell* prototype, bool only) {
    Cell spec = spec_cell;
    Rooted keep(spec);
    Cell* saved = stack::top();
    Cell* obj = stack::push(make_unset());
    if (prototype) {
        copy(obj, *prototype, nullptr, true);
    } else {
        make_at(*obj, 4);
        obj->data2 = uint32_t(new_class_id());
        store_owner(*obj);
    }
    construct_fields(ctx_of(*obj), spec, only);
    *out = *obj;
    stack::pop(uint32_t(stack::top() - saved));
}

void reflect(Cell* out, Cell* value, int32_t field) {
    Cell obj = *value;
    Rooted keep(obj);
    NodeId ctx = ctx_of(obj);
    uint32_t n = field_count(obj);
    using words::Sym;
    if (words::is(field, Sym::class_)) {
        *out = make_integer(int32_t(obj.data2));
        return;
    }
    if (words::is(field, Sym::events_q)) {
        *out = Cell{TYPE_LOGIC, obj.data3 ? 1u : 0u, 0, 0};
        return;
    }
    if (words::is(field, Sym::owner)) {
        *out = Cell{TYPE_LOGIC, (context::cell_of(ctx)->header & ownership::OWNER_FLAG) ? 1u : 0u, 0, 0};
        return;
    }
    bool changed = canonical(field) == canonical(words::changed_symbol());
    if (!words::is(field, Sym::words) && !words::is(field, Sym::values) && !words::is(field, Sym::body) && !changed)
        fire(ErrorId::internal_not_done);
    Cell blk = make_none();
    Rooted keep_blk(blk);
    block::make_at(blk, int32_t(n * (words::is(field, Sym::body) ? 2 : 1)));
    blk.header = TYPE_BLOCK;
    for (uint32_t i = 0; i < n; ++i) {
        Cell w = word_at(ctx, i);
        bool was_changed = (w.header & context::WORD_CHANGED) != 0;
        w.header = TYPE_WORD;
        w.data1 = ctx;
        if (changed) {
            if (was_changed) block::append_cell(blk, w);
        } else if (words::is(field, Sym::words)) {
            block::append_cell(blk, w);
        } else if (words::is(field, Sym::values)) {
            block::append_cell(blk, value_at(ctx, i));
        } else {
            w.header = TYPE_SET_WORD | CELL_NEW_LINE;
            block::append_cell(blk, w);
            Cell v = value_at(ctx, i);
            if (type_of(v) == TYPE_WORD)
                set_type(v, TYPE_LIT_WORD);
            else if (type_of(v) == TYPE_PATH)
                set_type(v, TYPE_LIT_PATH);
            block::append_cell(blk, v);
        }
    }
    *out = blk;
}

void select(Cell* out, Cell* obj, Cell* value, const FindOptions&) {
    uint32_t t = type_of(*value);
    if (t != TYPE_WORD && t != TYPE_SET_WORD && t != TYPE_GET_WORD && t != TYPE_LIT_WORD)
        fire(ErrorId::script_invalid_type, {datatype::make(t)});
    *out = field_value(*obj, int32_t(value->data2));
}

void modify(Cell* out, Cell* value, Cell* field, Cell* new_value, bool) {
    Cell obj = *value;
    Cell v = *new_value;
    Rooted a(obj), b(v);
    if (word::is_any_word(type_of(*field))) {
        int32_t s = int32_t(field->data2);
        if (canonical(s) == canonical(words::changed_symbol())) {
            if (type_of(v) != TYPE_NONE) fire(ErrorId::script_invalid_arg, {v});
            clear_changed(ctx_of(obj));
        } else if (words::is(s, words::Sym::owner)) {
            uint32_t n = field_count(obj);
            for (uint32_t i = 0; i < n; ++i) ownership::bind(value_at(ctx_of(obj), i), obj, word_at(ctx_of(obj), i));
            context::cell_of(ctx_of(obj))->header |= ownership::OWNER_FLAG;
        } else if (words::is(s, words::Sym::owned)) {
            if (type_of(v) == TYPE_NONE) {
                ownership::unbind(obj);
            } else if (type_of(v) == TYPE_BLOCK && block::ks_length(v) >= 2) {
                Cell owner = block::ks_abs_at(v, int32_t(v.data1))[0];
                Cell fw = block::ks_abs_at(v, int32_t(v.data1))[1];
                ownership::set(obj, owner, fw);
            }
        }
    }
    *out = v;
}

int32_t compare(const Cell& value1, const Cell& value2, int32_t op) {
    if (type_of(value2) != TYPE_OBJECT) return COMP_NOT_COMPARABLE;
    return compare_fields(value1, value2, op);
}

int32_t compare_fields(const Cell& value1, const Cell& value2, int32_t op) {
    NodeId c1 = ctx_of(value1);
    NodeId c2 = ctx_of(value2);
    if (c1 == c2) return 0;
    if (op == COMP_SAME) return -1;
    if (cycle_guard::find(c1)) return cycle_guard::find(c2) ? 0 : -1;
    uint32_t n1 = context::word_count(c1);
    uint32_t n2 = context::word_count(c2);
    if (n1 != n2) return n1 < n2 ? -1 : 1;
    if (n1 == 0) return 0;
    cycle_guard::Scope guard1(c1);
    cycle_guard::Scope guard2(c2);
    int32_t result = 0;
    for (uint32_t i = 0; i < n1 && result == 0; ++i) {
        int32_t s1 = canonical(int32_t(word_at(c1, i).data2));
        int32_t s2 = canonical(int32_t(word_at(c2, i).data2));
        if (s1 != s2) {
            result = s1 < s2 ? -1 : 1;
            break;
        }
        Cell a = value_at(c1, i);
        Cell b = value_at(c2, i);
        uint32_t ta = type_of(a), tb = type_of(b);
        bool numbers = (ta == TYPE_INTEGER || ta == TYPE_FLOAT || ta == TYPE_PERCENT) &&
            (tb == TYPE_INTEGER || tb == TYPE_FLOAT || tb == TYPE_PERCENT);
        if (ta == tb || (word::is_any_word(ta) && word::is_any_word(tb)) || numbers) {
            int32_t r = actions::compare_values(a, b, op);
            result = r == COMP_NOT_COMPARABLE ? 1 : r;
        } else {
            result = ta < tb ? -1 : 1;
        }
    }
    return result;
}

namespace {

void eval_path_slot(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step) {
    eval_path(out, *parent, *element, value, step.path ? *step.path : make_none(), step.get, step.last);
}
void copy_slot(Cell* out, Cell* obj, const CopyOptions& options) {
    copy(out, *obj, options.part, options.deep, options.types);
}
void put_slot(Cell* out, Cell* obj, Cell* key, Cell* value, bool) { put(out, *obj, *key, *value); }

}  // namespace

void init() {
    datatype::register_type(datatype::Record(TYPE_OBJECT, 0, "object!")
                                .own<ACTION_MAKE>(make)
                                .own<ACTION_REFLECT>(reflect)
                                .own<ACTION_FORM>(form)
                                .own<ACTION_MOLD>(mold)
                                .own<ACTION_COMPARE>(compare)
                                .own<ACTION_SELECT>(select)
                                .own<ACTION_MODIFY>(modify)
                                .own<ACTION_EVAL_PATH>(eval_path_slot)
                                .own<ACTION_COPY>(copy_slot)
                                .own<ACTION_PUT>(put_slot));
    context::install_on_change([](const Cell& owner, const Cell& word, const Cell& old_value, const Cell& new_value) {
        fire_on_change(owner, word, old_value, new_value);
    });
    ownership::install_deep_change(fire_on_deep_change);
    block::services().object_body = [](Cell* out, const Cell& object) {
        Cell value = object;
        reflect(out, &value, words::symbol(words::Sym::body));
    };
}

}  // namespace kel::object
