// The `transcode` native's front end: its refinements mapped onto the scan
// entry points, and its results.
#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/string.h"
#include "runtime/io/lexer.h"
#include "runtime/memory/roots.h"

namespace kel::lexer {

namespace {

bool is_text(uint32_t t) {
    return t == TYPE_STRING || t == TYPE_FILE || t == TYPE_URL || t == TYPE_TAG || t == TYPE_EMAIL || t == TYPE_REF;
}

// Units from the source's index to its tail.
int64_t units_left(const Cell& source) {
    SeriesBuffer* b = memory::buffer_of(cell_node(source));
    int64_t total = int64_t(b->used() / b->unit());
    int64_t head = int32_t(source.data1);
    if (head < 0) head = 0;
    return head > total ? 0 : total - head;
}

}  // namespace

void transcode(Cell* out, const Cell& source_in, const TranscodeOptions& o) {
    Cell source = source_in;
    Rooted keep_source(source);
    uint32_t st = type_of(source);
    if (!is_text(st) && st != TYPE_BINARY) fire(ErrorId::script_invalid_arg, {source});
    if (st == TYPE_BINARY && units_left(source) >= 3) {
        SeriesBuffer* b = memory::buffer_of(cell_node(source));
        const uint8_t* p = b->head_ptr() + int32_t(source.data1);
        if (p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) source.data1 += 3;
    }
    int64_t length = units_left(source);
    if (o.part) {
        int64_t n;
        if (type_of(*o.part) == TYPE_INTEGER) {
            n = int32_t(o.part->data2);
        } else if (type_of(*o.part) == st && cell_node(*o.part) == cell_node(source)) {
            n = int64_t(int32_t(o.part->data1)) - int64_t(int32_t(source.data1));
        } else {
            fire(ErrorId::script_not_same_type);
        }
        if (n < 0) n = 0;
        if (n < length) length = n;
    }
    Options options;
    options.one = o.next || o.one || o.scan;
    options.prescan = o.prescan;
    options.scan = o.scan;
    options.callback = o.trace;
    options.into = o.into;
    Cell value = make_none();
    Rooted keep_value(value);
    Result r = is_text(st) ? scan_string(&value, source, int32_t(length), options)
                           : scan_binary(&value, source, length, options);
    if (o.scan || o.prescan) {
        if (length == 0 || r.type == 0)
            value = make_none();
        else
            value = datatype::make(uint32_t(r.type < 0 ? int32_t(TYPE_ERROR) : r.type));
    } else if ((o.one || o.next) && r.values == 0) {
        block::make_at(value, 1);  // nothing left to read
    }
    if (o.next && !(o.one && !o.scan)) {
        Cell rest = source;
        rest.data1 = uint32_t(int32_t(source.data1) + int32_t(r.consumed));
        Cell pair{};
        block::make_at(pair, 2);
        block::append_cell(pair, value);
        block::append_cell(pair, rest);
        *out = pair;
        return;
    }
    *out = value;
}

}  // namespace kel::lexer
