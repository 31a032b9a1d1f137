// series! move: units from one series' head to another's, or to another
// position of the same series.
#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/datatypes/series-edit.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/memory/roots.h"

namespace kel::series {

namespace {

bool holds_bytes(uint32_t type) { return type == TYPE_BINARY || type == TYPE_VECTOR; }

[[noreturn]] void fire_move_bad(const Cell& origin, const Cell& target) {
    fire(ErrorId::script_move_bad, {datatype::make(type_of(origin)), datatype::make(type_of(target))});
}

// Whether units of these two series can move between them: block types only
// among themselves; equal units otherwise, except code points between two
// strings of different widths.
void check_kinds(const Cell& origin, const Cell& target) {
    uint32_t ot = type_of(origin), tt = type_of(target);
    if (is_block_type(ot) != is_block_type(tt)) fire_move_bad(origin, target);
    if (buffer(origin)->unit() == buffer(target)->unit()) return;
    if (holds_bytes(ot) || holds_bytes(tt) || !is_string_type(ot) || !is_string_type(tt)) fire_move_bad(origin, target);
}

// Moves count units from origin's head to the target's head (another series).
void move_between(const Cell& origin, const Cell& target, int64_t count) {
    int64_t ounits = total_units(buffer(origin));
    int64_t from = head_inside(origin, ounits);
    check(origin, Change::move, nullptr, int32_t(from), int32_t(count));
    // The owner's handler may have changed either series.
    ounits = total_units(buffer(origin));
    from = head_inside(origin, ounits);
    count = std::min(count, ounits - from);
    int64_t to = head_inside(target, total_units(buffer(target)));
    if (count > 0) {
        check_kinds(origin, target);
        uint32_t unit = buffer(origin)->unit();
        if (unit == buffer(target)->unit()) {
            bool rebuild = edit::open_gap(target, to, count, true);
            uint32_t shift = shift_of(unit);
            std::memcpy(buffer(target)->head_ptr() + (uint64_t(to) << shift),
                        buffer(origin)->head_ptr() + (uint64_t(from) << shift), uint64_t(count) << shift);
            edit::cut(origin, from, count);
            edit::enter(target, to, count, rebuild);
        } else {
            // Code points between strings of different widths: the target
            // widens as they arrive.
            Cell source = origin, destination = target;
            set_head(source, int32_t(from));
            set_head(destination, int32_t(to));
            string::move_chars(source, destination, int32_t(count << shift_of(unit)));
        }
    }
    int32_t moved = int32_t(std::max<int64_t>(count, 0));
    check(target, Change::moved, nullptr, int32_t(to), moved);
    check(origin, Change::moved, nullptr, int32_t(from), 0);
}

// Whether moving count units from `from` to `to` inside a series of `units`
// units changes anything: the target must lie outside the moved range, and a
// target after it must leave room for them (unless it is the tail).
bool moves(int64_t units, int64_t from, int64_t count, int64_t to) {
    if (count <= 0 || from >= units) return false;
    if (to >= from && to < from + count) return false;
    return !(to > from && to != units && units - to < count);
}

// Moves count units inside one series: forward, the units between close up
// and the moved ones start at the target's position (end at the tail when the
// target is the tail); backward, the units between move up and the moved ones
// start at the target's position.
void move_within(const Cell& origin, const Cell& target, int64_t count) {
    int64_t units = total_units(buffer(origin));
    int64_t from = head_inside(origin, units);
    int64_t to = head_inside(target, units);
    if (!moves(units, from, count, to)) return;
    check(origin, Change::move, nullptr, int32_t(from), int32_t(count));
    units = total_units(buffer(origin));
    from = head_inside(origin, units);
    to = head_inside(target, units);
    count = std::min(count, units - from);
    if (!moves(units, from, count, to)) return;

    SeriesBuffer* b = buffer(origin);
    uint32_t shift = shift_of(b->unit());
    auto at = [&](int64_t p) { return b->head_ptr() + (uint64_t(p) << shift); };
    uint64_t bytes = uint64_t(count) << shift;
    std::vector<uint8_t> saved(at(from), at(from) + bytes);
    int64_t start, destination;
    if (to > from) {
        start = to == units ? units - count : to;
        std::memmove(at(from), at(from + count), uint64_t(start - from) << shift);
        destination = start + count;  // the table counts a forward move by its end
    } else {
        start = to;
        std::memmove(at(to + count), at(to), uint64_t(from - to) << shift);
        destination = to;
    }
    std::memcpy(at(start), saved.data(), bytes);
    if (NodeId table = edit::table_of(origin))
        hashtable::move_positions(table, int32_t(destination), int32_t(from), int32_t(count));
    check(target, Change::moved, nullptr, int32_t(start), int32_t(count));
}

}  // namespace

void move(Cell* out, Cell* o, Cell* t, Cell* part) {
    Cell origin = *o;
    Rooted keep_origin(origin);
    Cell target = *t;
    Rooted keep_target(target);
    if (!is_series_type(type_of(target))) actions::fire_expect_arg(ACTION_MOVE, type_of(target));
    int64_t units = total_units(buffer(origin));
    int64_t from = head_inside(origin, units);
    int64_t count = part ? part_count(origin, *part) : 1;
    count = std::min(count, units - from);
    if (count >= 1) {
        if (cell_node(origin) == cell_node(target)) {
            move_within(origin, target, count);
        } else {
            check_kinds(origin, target);
            move_between(origin, target, count);
        }
    }
    *out = target;
}

}  // namespace kel::series
