// The routines of the JSON and CSV contexts: unescape, the JSON reader and
// writer (_decode, _encode) and the CSV reader and writer (_csv). Each hands
// the work to its runtime/io module and keeps the context's fields as the
// Kel code in environment/library/json.kel and csv.kel reads them.
#include <cstring>

#include "environment/boot/routine-table.h"
#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/json-read.h"
#include "runtime/io/json-unescape.h"
#include "runtime/io/json-write.h"

namespace kel::library {

namespace {

using routines::Arg;
using routines::Result;

// The slot of a field of a library context (re-read after any allocation);
// a missing field is a fault of the library.
Cell* field(const Cell& obj, const char* name) {
    int32_t index = object::find_field(obj, symbol::make(name));
    if (index < 0) internal_fault();
    return context::values_of(*context::cell_of(obj.data1)) + index;
}

Result unescape(const Arg* a, int32_t) {
    json::unescape(*a[0].cell);
    return {};
}

// The text from its position: true and the value inserted at the head of
// the context's _out block; or false with mark, line-ct and last-lf set
// where the grammar left them.
Result decode(const Arg* a, int32_t) {
    const Cell& input = *a[0].cell;
    const Cell& ctx = *a[1].cell;
    Cell* value = stack::push(make_none());
    json::ReadPlace place;
    bool ok = json::read(input, value, place);
    if (ok) {
        Cell out = *field(ctx, "_out");
        if (type_of(out) != TYPE_BLOCK) internal_fault();
        block::insert_cell(out, *value, false, true);
    } else {
        Cell at = input;
        at.data1 = uint32_t(place.mark);
        *field(ctx, "mark") = at;
        at.data1 = uint32_t(place.last_lf);
        *field(ctx, "last-lf") = at;
        *field(ctx, "line-ct") = make_integer(place.line_ct);
    }
    stack::pop(1);
    return {.integer = ok ? 1 : 0};
}

// Appends the JSON text of data to output, which is the result.
Result encode(const Arg* a, int32_t) {
    const Cell* indent = a[2].cell;
    json::write(*a[0].cell, *a[1].cell, type_of(*indent) == TYPE_STRING ? indent : nullptr, a[3].integer != 0);
    return {};
}

const RoutineDef JSON[] = {
    {"unescape", "str [string!] return: [string!]", -1, unescape},
    {"_decode", "input [string!] ctx [object!] return: [logic!]", TYPE_LOGIC, decode},
    {"_encode", "output [string!] data [any-type!] indent [any-type!] ascii [logic!] return: [string!]", -1,
     encode},
};

}  // namespace

std::span<const RoutineDef> json_routines() { return JSON; }

}  // namespace kel::library
