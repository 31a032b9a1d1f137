// block! find, select, put and path access.
#include "runtime/core/fire.h"
#include "runtime/datatypes/block-internal.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/series-edit.h"
#include "runtime/datatypes/series.h"
#include "runtime/evaluator/actions.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/memory/roots.h"

namespace kel::block {

namespace {

enum class Search { by_type, by_typeset, sequence, single };

// What a candidate is matched against: a datatype, a typeset, the cells of a
// block in sequence, or one value.
struct Matcher {
    Search kind;
    const Cell& value;
    int32_t op;
    int64_t length;  // cells a match covers

    bool at(const Cell* cells, int64_t p) const {
        const Cell& c = cells[p];
        switch (kind) {
        case Search::by_type:
            return type_of(c) == datatype::type_of_value(value);
        case Search::by_typeset:
            return detail::typeset_has(value, type_of(c));
        case Search::single:
            return detail::equal(c, value, op);
        case Search::sequence: {
            const Cell* wanted = buffer(value)->cells() + detail::head_of(value);
            for (int64_t k = 0; k < length; ++k)
                if (!detail::equal(cells[p + k], wanted[k], op)) return false;
            return true;
        }
        }
        return false;
    }
};

// The comparison op of find: strict with /case, identity with /same.
int32_t find_op(const FindOptions& options) {
    return options.same ? COMP_SAME : options.case_sensitive ? COMP_STRICT_EQUAL : COMP_FIND;
}

}  // namespace

namespace detail {

Found find_position(const Cell& series, const Cell& value, const FindOptions& options) {
    constexpr Found absent{-1, 1, -1};
    SeriesBuffer* b = buffer(series);
    int64_t total = int64_t(b->cell_count());
    int64_t begin = int32_t(series.data1);
    if (begin < 0) begin = 0;
    if (total == 0 || (!options.reverse && begin >= total)) return absent;
    if (begin > total) begin = total;

    int64_t step = 1;
    if (options.skip) {
        if (type_of(*options.skip) != TYPE_INTEGER) series::fire_invalid_refine_arg(words::Ref::skip, *options.skip);
        step = cell_integer(*options.skip);
        if (step < 1) fire(ErrorId::script_out_of_range, {*options.skip});
    }
    // limit: the last cell the search may use.
    int64_t limit = total - 1;
    bool part = options.part != nullptr;
    if (part) {
        const Cell& p = *options.part;
        if (type_of(p) == TYPE_INTEGER) {
            if (cell_integer(p) < 1) return absent;
            limit = begin + cell_integer(p) - 1;
        } else if (type_of(p) == type_of(series) && cell_node(p) == cell_node(series)) {
            limit = int64_t(int32_t(p.data1)) - 1;
        } else {
            series::fire_invalid_refine_arg(words::Ref::part, p);
        }
        if (limit >= total) limit = total - 1;
    }

    Search kind = Search::single;
    int64_t length = 1;
    uint32_t vt = type_of(value);
    if (!options.only && vt == TYPE_DATATYPE)
        kind = Search::by_type;
    else if (!options.only && vt == TYPE_TYPESET)
        kind = Search::by_typeset;
    else if (!options.only && series::is_block_type(vt)) {
        kind = Search::sequence;
        length = detail::length_of(value);
        if (length <= 0) return absent;
    }
    int32_t op = find_op(options);

    NodeId table = series::edit::table_of(series);
    bool hashed = table && kind == Search::single && !options.match && (vt != TYPE_OBJECT || options.same);
    if (hashed) {
        Cell* found = hashtable::find(table, value, int32_t(begin), int32_t(step), op, options.last, options.reverse);
        if (!found) return absent;
        int64_t p = found - buffer(series)->cells();
        return p > limit ? absent : Found{p, 1, p + 1};
    }

    // Candidates run forward from begin, backward from the last one (/last)
    // or from before begin (/reverse), step cells apart; a sequence must fit
    // before the forward end bound.
    int64_t end = limit + 1;
    int64_t p, direction;
    if (options.last) {
        p = part ? limit : total - length;
        direction = -step;
    } else if (options.reverse) {
        p = part ? limit : begin - length;
        if (p < 0) return absent;
        direction = -step;
    } else {
        p = begin;
        direction = step;
    }
    Matcher matcher{kind, value, op, length};
    // Compare functions never allocate: the buffer stays where it is.
    const Cell* cells = buffer(series)->cells();
    for (; direction > 0 ? p < end : p >= 0; p += direction) {
        if (p + length <= end && matcher.at(cells, p)) {
            // /tail answers the cell after a sequence, or the next candidate
            // (forward) or the next cell (backward) after a value.
            int64_t after = kind == Search::sequence ? p + length : direction > 0 ? p + step : p + 1;
            return Found{p, length, after};
        }
        if (options.match) break;
    }
    return absent;
}

}  // namespace detail

void find(Cell* out, Cell* series, Cell* value, const FindOptions& options) {
    Cell s = *series;
    detail::Found found = detail::find_position(s, *value, options);
    if (found.at < 0) {
        *out = none_value;
        return;
    }
    s.data1 = uint32_t(int32_t(options.tail ? found.after : found.at));
    *out = s;
}

void select(Cell* out, Cell* series, Cell* value, const FindOptions& options) {
    FindOptions o = options;
    o.tail = o.match = false;
    detail::Found found = detail::find_position(*series, *value, o);
    int64_t next = found.at + found.matched;
    *out = found.at >= 0 && next < int64_t(buffer(*series)->cell_count()) ? buffer(*series)->cells()[next] : none_value;
}

void put(Cell* out, Cell* series, Cell* key, Cell* value, bool case_sensitive) {
    Cell s = *series;
    Rooted keep_series(s);
    Cell k = *key;
    Rooted keep_key(k);
    Cell v = *value;
    Rooted keep_value(v);
    FindOptions options;
    options.case_sensitive = case_sensitive;
    detail::Found found = detail::find_position(s, k, options);
    int64_t p = found.at;
    int64_t total = int64_t(buffer(s)->cell_count());
    int64_t at = p < 0 ? total : p + found.matched;  // the cell that gets the value
    bool told = series::check(s, series::Change::put, &v, int32_t(at), p < 0 ? 2 : 1) != 0;
    total = int64_t(buffer(s)->cell_count());  // the owner's handler may have changed it
    if (p >= 0 && at < total) {
        Cell* cell = buffer(s)->cells() + at;
        if (!detail::equal(*cell, v, COMP_FIND)) {
            NodeId table = series::edit::table_of(s);
            if (table) hashtable::delete_at(table, cell);
            *cell = v;
            series::edit::enter(s, at, 1, false);
        }
    } else {
        // Absent (the key and the value go at the tail), or a key in the last
        // cell (the value goes after it).
        // append_cell enters the new cells in a hash!'s table.
        at = total;
        if (p < 0) append_cell(s, k);
        append_cell(s, v);
    }
    if (told) series::check(s, series::Change::put_ed, &v, int32_t(at), 1);
    *out = v;
}

void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step) {
    if (type_of(*element) == TYPE_INTEGER) {
        int32_t index = cell_integer(*element);
        if (value)
            series::poke(out, parent, index, value, element);
        else
            series::pick(out, parent, index, element);
        return;
    }
    FindOptions options;
    options.case_sensitive = step.case_sensitive;
    if (value) {
        Cell v = *value;
        Rooted keep_value(v);
        Cell found = none_value;
        Rooted keep_found(found);
        find(&found, parent, element, options);
        if (type_of(found) == TYPE_NONE)
            fire(ErrorId::script_bad_path_set, {step.path ? *step.path : none_value, *element});
        Cell poked;
        series::poke(&poked, &found, 2, &v, nullptr);
        *out = v;
        return;
    }
    if (type_of(*element) == TYPE_WORD && type_of(*parent) != TYPE_HASH) {
        Cell blk = *parent;
        Cell answer = *value_after_word(blk, *element, step.case_sensitive);
        *out = answer;
        return;
    }
    options.only = true;
    select(out, parent, element, options);
}

}  // namespace kel::block
