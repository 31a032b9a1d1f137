// object! change handlers: the on-change* and on-deep-change* fields found
// when an object is made or copied, their records, and the calls that tell
// them of a field assignment or of a change to a series a field owns.
#include <cstdint>

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/object-internal.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/series.h"
#include "runtime/memory/ownership.h"
#include "runtime/memory/roots.h"

namespace kel::object {

using detail::canonical;
using detail::ctx_of;
using detail::is_copied_kind;
using detail::value_at;
using detail::word_at;

namespace detail {

int32_t handler_symbol(bool deep) {
    return canonical(int32_t(words::word(deep ? words::Word::on_deep_change_s : words::Word::on_change_s).data2));
}

}  // namespace detail

using detail::handler_symbol;

namespace {

// A record of the handler records' block: word 1 the field index, word 2
// the spec node, word 3 the /local group size.
Cell record(int32_t index, NodeId spec, int32_t locals) {
    return Cell{TYPE_BLOCK, uint32_t(index), spec, uint32_t(locals)};
}

NodeId find_events(NodeId ctx) {
    int32_t found[2] = {-1, -1};
    uint32_t n = context::word_count(ctx);
    for (uint32_t i = 0; i < n; ++i) {
        int32_t s = canonical(int32_t(word_at(ctx, i).data2));
        for (int k = 0; k < 2; ++k)
            if (s == handler_symbol(k == 1)) found[k] = int32_t(i);
    }
    if (found[0] < 0 && found[1] < 0) return 0;
    Cell records[2];
    for (int k = 0; k < 2; ++k) {
        if (found[k] < 0) {
            records[k] = record(-1, 0, 0);
            continue;
        }
        Cell handler = value_at(ctx, uint32_t(found[k]));
        if (type_of(handler) != TYPE_FUNCTION && type_of(handler) != TYPE_ROUTINE)
            fire(ErrorId::script_bad_field_set, {word_at(ctx, uint32_t(found[k])), datatype::make(type_of(handler))});
        records[k] = record(found[k], handler.data2, function::count_locals(handler.data2, 0, false));
    }
    Cell info = make_none();
    Rooted keep(info);
    block::make_at(info, 2);
    info.header = TYPE_BLOCK;
    block::append_cell(info, records[0]);
    block::append_cell(info, records[1]);
    return cell_node(info);
}

// The handler's record, its cached group size refreshed; null when absent.
Cell* handler_record(const Cell& obj, bool deep) {
    if (!obj.data3) return nullptr;
    Cell* r = memory::buffer_of(obj.data3)->cells() + (deep ? 1 : 0);
    return int32_t(r->data1) < 0 ? nullptr : r;
}

void refresh(Cell* r, const Cell& handler) {
    if (r->data2 != handler.data2) {
        r->data2 = handler.data2;
        r->data3 = uint32_t(function::count_locals(handler.data2, 0, false));
    }
}

void check_owner_service() {
    series::Services& sv = series::services();
    sv.owned_symbol = canonical(words::symbol(words::Sym::owned));
    sv.check_owner = [](const Cell& value, series::Change change, const Cell* new_value, int32_t index,
                        int32_t part) -> int {
        using series::Change;
        const Cell* w = &words::word(words::Word::random);
        switch (change) {
        case Change::random:
            w = &words::word(words::Word::random);
            break;
        case Change::randomized:
            w = &words::word(words::Word::randomized);
            break;
        case Change::clear:
            w = &words::word(words::Word::clear);
            break;
        case Change::cleared:
            w = &words::word(words::Word::cleared);
            break;
        case Change::poke:
            w = &words::word(words::Word::poke);
            break;
        case Change::poked:
            w = &words::word(words::Word::poked);
            break;
        case Change::append:
            w = &words::word(words::Word::append);
            break;
        case Change::appended:
            w = &words::word(words::Word::appended);
            break;
        case Change::insert:
            w = &words::word(words::SymWord::insert);
            break;
        case Change::inserted:
            w = &words::word(words::Word::inserted);
            break;
        case Change::change:
            w = &words::word(words::Word::change);
            break;
        case Change::changed:
            w = &words::word(words::Word::changed);
            break;
        case Change::swap:
            w = &words::word(words::Word::swap);
            break;
        case Change::swaped:
            w = &words::word(words::Word::swaped);
            break;
        case Change::trim:
            w = &words::word(words::Word::trim);
            break;
        case Change::trimmed:
            w = &words::word(words::Word::trimmed);
            break;
        case Change::put:
            w = &words::word(words::Word::put);
            break;
        case Change::put_ed:
            w = &words::word(words::Word::put_ed);
            break;
        case Change::move:
            w = &words::word(words::Word::move);
            break;
        case Change::moved:
            w = &words::word(words::Word::moved);
            break;
        case Change::remove:
            w = &words::word(words::SymWord::remove);
            break;
        case Change::removed:
            w = &words::word(words::Word::removed);
            break;
        case Change::reverse:
            w = &words::word(words::Word::reverse);
            break;
        case Change::reversed:
            w = &words::word(words::Word::reversed);
            break;
        case Change::take:
            w = &words::word(words::Word::take);
            break;
        case Change::taken:
            w = &words::word(words::Word::taken);
            break;
        case Change::sort:
            w = &words::word(words::Word::sort);
            break;
        case Change::sorted:
            w = &words::word(words::Word::sorted);
            break;
        case Change::set_path:
            w = &words::word(words::Word::set_path);
            break;
        case Change::uppercase:
            w = &words::word(words::Word::uppercase);
            break;
        case Change::lowercase:
            w = &words::word(words::Word::lowercase);
            break;
        }
        return ownership::check(value, *w, new_value, index, part) ? 1 : 0;
    };
}

}  // namespace

void set_events(Cell& obj) {
    NodeId info = find_events(ctx_of(obj));
    obj.data3 = info;
    store_owner(obj);
    Cell* deep = handler_record(obj, true);
    if (deep) {
        uint32_t n = field_count(obj);
        for (uint32_t i = 0; i < n; ++i) {
            Cell v = value_at(ctx_of(obj), i);
            if (is_copied_kind(type_of(v)) || type_of(v) == TYPE_BITSET || is_object_like(type_of(v)))
                ownership::bind(v, obj, word_at(ctx_of(obj), i));
        }
    }
}

void fire_on_change(const Cell& obj_cell, const Cell& word_cell, const Cell& old_cell, const Cell& new_cell) {
    Cell obj = obj_cell, word = word_cell, old_value = old_cell, new_value = new_cell;
    Rooted a(obj), b(word), c(old_value), d(new_value);
    Cell* r = handler_record(obj, false);
    if (!r) return;
    Cell handler = value_at(ctx_of(obj), r->data1);
    if (type_of(handler) != TYPE_FUNCTION) fire(ErrorId::script_invalid_obj_evt, {handler});
    refresh(r, handler);
    int32_t locals = int32_t(r->data3);
    if (word.data1 != ctx_of(obj)) context::bind_word(ctx_of(obj), word);
    if (!evaluator_services().call_handler) return;
    Cell args[3] = {word, old_value, new_value};
    Rooted e(args[0]), f(args[1]), g(args[2]);
    evaluator_services().call_handler(handler, args, 3, locals, 8);
}

void fire_on_deep_change(const Cell& owner_cell, const Cell& word_cell, const Cell& target, const Cell& action,
                         const Cell* new_value, int32_t index, int32_t part) {
    Cell owner = owner_cell;
    Rooted keep(owner);
    if (!owner.data3) fire(ErrorId::script_invalid_obj_evt, {owner});
    Cell* r = handler_record(owner, true);
    if (!r) return;
    Cell handler = value_at(ctx_of(owner), r->data1);
    if (type_of(handler) != TYPE_FUNCTION) return;
    refresh(r, handler);
    int32_t locals = int32_t(r->data3);
    if (!evaluator_services().call_handler) return;
    Cell args[7] = {owner,
                    word_cell,
                    target,
                    action,
                    new_value ? *new_value : make_none(),
                    make_integer(index),
                    make_integer(part)};
    Rooted k0(args[0]), k1(args[1]), k2(args[2]), k3(args[3]), k4(args[4]);
    evaluator_services().call_handler(handler, args, 7, locals, 16);
}

// Wired once the runtime word table exists (start-up calls it after build).
void wire_services() { check_owner_service(); }

}  // namespace kel::object
