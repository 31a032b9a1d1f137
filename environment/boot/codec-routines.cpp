// The routines of the JSON and CSV contexts: unescape, the JSON reader and
// writer (_decode, _encode) and the CSV reader and writer (_csv). Each hands
// the work to its runtime/io module and keeps the context's fields as the
// Kel code in environment/library/json.kel and csv.kel reads them.
#include <cstring>

#include "environment/boot/object-field.h"
#include "environment/boot/routine-table.h"
#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/csv-read.h"
#include "runtime/io/csv-write.h"
#include "runtime/io/json-read.h"
#include "runtime/io/json-unescape.h"
#include "runtime/io/json-write.h"

namespace kel::library {

namespace {

using routines::Arg;
using routines::Result;

bool truthy(const Cell& v) { return !(type_of(v) == TYPE_NONE || (type_of(v) == TYPE_LOGIC && !v.data1)); }

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
        Cell out = *field_slot(ctx, "_out");
        if (type_of(out) != TYPE_BLOCK) internal_fault();
        block::insert_cell(out, *value, false, true);
    } else {
        Cell at = input;
        at.data1 = uint32_t(place.mark);
        *field_slot(ctx, "mark") = at;
        at.data1 = uint32_t(place.last_lf);
        *field_slot(ctx, "last-lf") = at;
        *field_slot(ctx, "line-ct") = make_integer(place.line_ct);
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

// load: the text read by the CSV rules (flags: header 1, as-columns 2,
// as-records 4, flat 8, trim 16); save: the data written, or none when the
// writer leaves its shape to the Kel functions. Both read the context's
// settings now.
Result csv_io(const Arg* a, int32_t) {
    Cell* out = a[0].cell;  // the result slot
    bool load = type_of(*a[0].cell) == TYPE_WORD &&
        symbol::resolve(int32_t(a[0].cell->data2)) == symbol::resolve(symbol::make("load"));
    const Cell& ctx = *a[4].cell;
    Cell* result = stack::push(make_none());
    if (load) {
        int32_t flags = cell_integer(*a[3].cell);
        csv::ReadOptions o;
        o.delimiter = a[2].cell;
        o.quote = field_slot(ctx, "quote-char")->data2;
        o.header = flags & 1;
        o.as_columns = flags & 2;
        o.as_records = flags & 4;
        o.flat = flags & 8;
        o.trim = flags & 16;
        o.strict = truthy(*field_slot(ctx, "strict?"));
        o.ignore_empty = truthy(*field_slot(ctx, "ignore-empty?"));
        Cell* message = stack::push(*field_slot(ctx, "non-aligned"));
        o.non_aligned = message;
        csv::read(*a[1].cell, result, o);
    } else {
        Cell* settings = stack::push(*field_slot(ctx, "quote-char"));
        stack::push(*field_slot(ctx, "double-quote"));
        stack::push(*field_slot(ctx, "quotable-chars"));
        stack::push(*field_slot(ctx, "non-aligned"));
        csv::WriteOptions o;
        o.delimiter = a[2].cell;
        o.quote = settings;
        o.double_quote = settings + 1;
        o.quotable = settings + 2;
        o.non_aligned = settings + 3;
        o.strict = truthy(*field_slot(ctx, "strict?"));
        o.skip = type_of(*a[3].cell) == TYPE_INTEGER;
        o.size = o.skip ? cell_integer(*a[3].cell) : 0;
        if (!csv::write(*a[1].cell, result, o)) *result = make_none();
    }
    *out = *result;
    stack::pop(uint32_t(stack::top() - result));
    return {};
}

const RoutineDef CODECS[] = {
    {"unescape", "str [string!] return: [string!]", -1, unescape},
    {"_decode", "input [string!] ctx [object!] return: [logic!]", TYPE_LOGIC, decode},
    {"_encode", "output [string!] data [any-type!] indent [any-type!] ascii [logic!] return: [string!]", -1, encode},
    {"_csv", "mode [word!] data [any-type!] delimiter [any-type!] extra [any-type!] ctx [object!]", -1, csv_io},
};

}  // namespace

std::span<const RoutineDef> codec_routines() { return CODECS; }

}  // namespace kel::library
