#include "runtime/evaluator/natives-convert.h"

#include <cmath>
#include <string>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/file.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/point.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/url.h"
#include "runtime/encoding/base-encodings.h"
#include "runtime/evaluator/native-frame.h"
#include "runtime/evaluator/native-services.h"
#include "runtime/io/simple-io.h"
#include "runtime/memory/roots.h"
#include "runtime/numbers/float-to-integer.h"
#include "runtime/numbers/float32.h"

namespace kel::natives::convert {

namespace {

using frame::args;
using frame::keep_first;
using frame::result;
using frame::used;

// Percent coding ------------------------------------------------------------------

uint32_t dehex_native(bool, const int32_t*) {
    Cell out = make_none();
    url::dehex(&out, args()[0]);
    result(out);
    return 0;
}

uint32_t enhex_native(bool, const int32_t*) {
    Cell out = make_none();
    url::enhex(&out, args()[0]);
    result(out);
    return 0;
}

// Base coding ---------------------------------------------------------------------

encoding::Base base_arg(const int32_t* r) {
    return used(r, 0) ? encoding::base_of(args()[r[0]]) : encoding::Base::base64;
}

uint32_t debase_native(bool, const int32_t* r) {
    Cell* a = args();
    encoding::Base base = base_arg(r);
    NodeId bytes = encoding::debase(base, a[0]);
    // The new series is held by the result before anything else allocates.
    result(bytes ? Cell{TYPE_BINARY, 0, bytes, 0} : none_value);
    return 0;
}

uint32_t enbase_native(bool, const int32_t* r) {
    encoding::Base base = base_arg(r);
    Cell text = make_none();
    encoding::enbase(base, args()[0], text);
    result(text);
    return 0;
}

// Case ------------------------------------------------------------------------------

template <bool Upper>
uint32_t case_native(bool, const int32_t* r) {
    Cell* a = args();
    string::change_case(&a[0], used(r, 0) ? &a[r[0]] : nullptr, Upper);
    keep_first();
    return 0;
}

// Coordinates and money -------------------------------------------------------------

// x or y of a pair!: an integer! as it is, a float! truncated toward zero;
// NaN, an infinity or a float outside the 32-bit range is script/invalid-arg
// with the value (never a wrapped or undefined conversion).
int32_t pair_component(const Cell& v) {
    if (type_of(v) == TYPE_INTEGER) return cell_integer(v);
    numbers::Int32Conversion c = numbers::trunc_to_int32(cell_double(v));
    if (!c.ok) fire(ErrorId::script_invalid_arg, {v});
    return c.value;
}

float point_axis(const Cell& v) {
    return type_of(v) == TYPE_INTEGER ? numbers::to_float32(double(cell_integer(v)))
                                      : numbers::to_float32(cell_double(v));
}

uint32_t as_pair_native(bool, const int32_t*) {
    Cell* a = args();
    int32_t x = pair_component(a[0]);
    int32_t y = pair_component(a[1]);
    result(pair::make_cell(x, y));
    return 0;
}

uint32_t as_point2d_native(bool, const int32_t*) {
    Cell* a = args();
    result(point::make2(point_axis(a[0]), point_axis(a[1])));
    return 0;
}

uint32_t as_point3d_native(bool, const int32_t*) {
    Cell* a = args();
    result(point::make3(point_axis(a[0]), point_axis(a[1]), point_axis(a[2])));
    return 0;
}

uint32_t as_money_native(bool, const int32_t*) {
    Cell* a = args();
    Cell out = make_none();
    need(services().make_money)(&out, a[0], a[1]);
    result(out);
    return 0;
}

// Files ---------------------------------------------------------------------------------

uint32_t to_local_file_native(bool, const int32_t* r) {
    Cell out = make_none();
    file::to_local_file(&out, args()[0], used(r, 0));
    result(out);
    return 0;
}

// The size from stat(): integer! when it fits 32 bits, float! above; none
// for a directory, a missing file, or a path the system cannot take.
uint32_t size_q_native(bool, const int32_t*) {
    Cell* a = args();
    Cell out = make_none();
    simple_io::size(&out, a[0]);
    result(out);
    return 0;
}

// New-line markers ------------------------------------------------------------------------

uint32_t new_line_native(bool, const int32_t* r) {
    Cell* a = args();
    bool value = a[1].data1 != 0;
    int32_t step = 0;  // 0: the cell at the position only; 1: every cell
    if (used(r, 0)) step = 1;
    if (used(r, 1)) {
        const Cell& size = a[r[1]];
        if (cell_integer(size) <= 0) fire(ErrorId::script_out_of_range, {size});
        step = cell_integer(size);
    }
    SeriesBuffer* b = memory::buffer_of(cell_node(a[0]));
    int64_t at = int32_t(a[0].data1);
    int64_t count = int64_t(b->cell_count());
    for (int64_t i = at, k = 0; i < count; ++i, ++k) {
        bool mark = step == 0 ? value : (k % step == 0) == value;
        Cell& c = b->cells()[i];
        if (mark)
            c.header |= CELL_NEW_LINE;
        else
            c.header &= ~CELL_NEW_LINE;
        if (step == 0) break;
    }
    keep_first();
    return 0;
}

uint32_t new_line_q_native(bool, const int32_t*) {
    const Cell& p = args()[0];
    SeriesBuffer* b = memory::buffer_of(cell_node(p));
    int64_t at = int32_t(p.data1);
    bool marked = at >= 0 && uint64_t(at) < b->cell_count() && (b->cells()[at].header & CELL_NEW_LINE);
    result(logic::make_cell(marked));
    return 0;
}

// as -------------------------------------------------------------------------------------

int type_family(uint32_t t) {
    switch (t) {
    case TYPE_BLOCK:
    case TYPE_PAREN:
    case TYPE_PATH:
    case TYPE_LIT_PATH:
    case TYPE_SET_PATH:
    case TYPE_GET_PATH:
        return 1;
    case TYPE_STRING:
    case TYPE_FILE:
    case TYPE_URL:
    case TYPE_TAG:
    case TYPE_EMAIL:
    case TYPE_REF:
        return 2;
    default:
        return 0;
    }
}

uint32_t as_native(bool, const int32_t*) {
    Cell* a = args();
    uint32_t target = type_of(a[0]) == TYPE_DATATYPE ? datatype::type_of_value(a[0]) : type_of(a[0]);
    uint32_t from = type_of(a[1]);
    int family = type_family(target);
    if (family == 0 || family != type_family(from))
        fire(ErrorId::script_not_same_class, {datatype::make(from), datatype::make(target)});
    Cell v = a[1];
    set_type(v, target);
    clear_new_line(v);
    result(v);
    return 0;
}

}  // namespace

void register_natives(Entry* table) {
    table[DEHEX] = {dehex_native, "dehex",
                    R"spec("Converts URL-style hex encoded (%xx) strings"
                       value [any-string!] return: [string!] "Always return a string")spec"};
    table[ENHEX] = {enhex_native, "enhex",
                    R"spec("Encode URL-style hex encoded (%xx) strings"
                       value [any-string!] return: [string!] "Always return a string")spec"};
    table[DEBASE] = {debase_native, "debase",
                     R"spec("Decodes binary-coded string (BASE-64 default) to binary value"
                        value [string!] "The string to decode"
                        /base "Binary base to use"
                        base-value [integer!] "The base to convert from: 64, 58, 16, or 2")spec"};
    table[ENBASE] = {enbase_native, "enbase",
                     R"spec("Encodes a string into a binary-coded string (BASE-64 default)"
                        value [binary! string!] "If string, will be UTF8 encoded"
                        /base "Binary base to use"
                        base-value [integer!] "The base to convert from: 64, 58, 16, or 2")spec"};
    table[UPPERCASE] = {case_native<true>, "uppercase",
                        R"spec("Converts string of characters to uppercase"
                           string [any-string! char!] "Value to convert (modified when series)"
                           /part "Limits to a given length or position" limit [number! any-string!])spec"};
    table[LOWERCASE] = {case_native<false>, "lowercase",
                        R"spec("Converts string of characters to lowercase"
                           string [any-string! char!] "Value to convert (modified when series)"
                           /part "Limits to a given length or position" limit [number! any-string!])spec"};
    table[AS_PAIR] = {as_pair_native, "as-pair",
                      R"spec("Combine X and Y values into a pair" x [integer! float!] y [integer! float!])spec"};
    table[AS_POINT2D] = {as_point2d_native, "as-point2D",
                         R"spec("Combine X and Y values into a 2D point" x [integer! float!] y [integer! float!])spec"};
    table[AS_POINT3D] = {as_point3d_native, "as-point3D",
                         R"spec("Combine X, Y and Z values into a 3D point"
                            x [integer! float!] y [integer! float!] z [integer! float!])spec"};
    table[AS_MONEY] = {as_money_native, "as-money",
                       R"spec("Combine currency code and amount into a monetary value"
                          currency [word!] amount [integer! float!])spec"};
    table[TO_LOCAL_FILE] = {to_local_file_native, "to-local-file",
                            R"spec("Converts a Kel file path to the local system file path"
                               path [file! string!]
                               /full "Prepends current dir for full path (for relative paths only)")spec"};
    table[SIZE_Q] = {size_q_native, "size?", R"spec("Returns the size of a file content" file [file!])spec"};
    table[NEW_LINE] = {new_line_native, "new-line",
                       R"spec("Sets or clears the new-line marker within a list series"
                          position [any-list!] "Position to change marker (modified)"
                          value [logic!] "Set TRUE for newline"
                          /all "Set/clear marker to end of series"
                          /skip "Set/clear marker periodically to the end of the series" size [integer!])spec"};
    table[NEW_LINE_Q] = {new_line_q_native, "new-line?",
                         R"spec("Returns the state of the new-line marker within a list series"
                            position [any-list!] "Position to check marker")spec"};
    table[AS] = {as_native, "as",
                 R"spec("Coerce a series into a compatible datatype without copying it"
                    type [datatype! block! paren! any-path! any-string!] "The datatype or example value"
                    spec [block! paren! any-path! any-string!] "The series to coerce")spec"};
}

}  // namespace kel::natives::convert
