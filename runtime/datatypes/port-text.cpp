// form and mold of port!: "make port! [", the fields as object! molds them
// one level deeper, "]". form is mold at the top level, so both give the
// same text.
#include <cstring>

#include "runtime/datatypes/object.h"
#include "runtime/datatypes/port-internal.h"
#include "runtime/datatypes/series-repeat.h"
#include "runtime/datatypes/string.h"
#include "runtime/memory/cycle-guard.h"

namespace kel::port {

namespace {
constexpr const char* OPENING = "make port! [";
}

int64_t mold(Cell value, Cell buffer, const MoldOptions& options) {
    int64_t limit = options.limit;
    if (cycle_guard::detect(value, buffer, limit, true)) return limit;
    string::append_c_string(buffer, OPENING);
    MoldOptions fields = options;
    fields.limit = limit - int64_t(std::strlen(OPENING));
    limit = object::form_fields(value, buffer, fields, true, options.indent + 1, true);
    if (!options.flat && options.indent > 0) limit = mold_indent(buffer, options.indent, limit);
    string::append_c_string(buffer, "]");
    return limit - 1;
}

int64_t form(Cell value, Cell buffer, bool part, int64_t limit) {
    MoldOptions options;
    options.part = part;
    options.limit = limit;
    return mold(value, buffer, options);
}

}  // namespace kel::port
