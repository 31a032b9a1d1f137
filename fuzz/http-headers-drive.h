// What the HTTP header fuzz target does with one input, shared with the HTTP
// test program, which replays the committed corpus through it.
//
// The input is taken as the raw header text of a response. The parser must
// answer a map! whose values are strings, or blocks of strings for a name
// that came more than once, and raise nothing; any crash, sanitizer report
// or other answer is a fault.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/map.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/io/http-client.h"

namespace kel::fuzz {

inline bool header_value_ok(const Cell& value) {
    if (type_of(value) == TYPE_STRING) return true;
    if (type_of(value) != TYPE_BLOCK || block::ks_length(value) < 2) return false;
    SeriesBuffer* b = block::buffer(value);
    for (uint64_t i = 0; i < b->cell_count(); ++i)
        if (type_of(b->cells()[i]) != TYPE_STRING) return false;
    return true;
}

inline bool drive_headers(const uint8_t* data, size_t size) {
    Cell* saved = stack::state.top;
    bool ok = true;
    uint32_t code = protect(catch_level::ERRORS, [&] {
        Cell* out = stack::push(make_none());
        http_client::parse_headers(out, data, size);
        if (type_of(*out) != TYPE_MAP) {
            ok = false;
            return;
        }
        for (int32_t i = 0, n = 2 * map::key_count(*out); i < n; i += 2)
            if (!header_value_ok(map::item(*out, i + 1))) ok = false;
    });
    stack::state.top = saved;
    if (code) {
        handled();
        return false;
    }
    return ok;
}

}  // namespace kel::fuzz
