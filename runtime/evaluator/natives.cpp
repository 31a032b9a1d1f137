#include "runtime/evaluator/natives.h"

#include "runtime/core/fire.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/evaluator/argument-checks.h"
#include "runtime/evaluator/natives-control.h"

namespace kel::natives {

namespace detail {
Native table[TABLE_SIZE + 1] = {};
}  // namespace detail

using detail::table;

void init() {
    if (table[IF]) return;
    control::register_natives(table);
}

Native entry(int32_t index) {
    if (index < 1 || index > TABLE_SIZE) return nullptr;
    return table[index];
}

uint32_t call(int32_t index, bool check, const int32_t* refinements) {
    Native fn = entry(index);
    if (!fn) [[unlikely]] fire(ErrorId::internal_not_done);
    if (check) arguments::check_native_frame(index, refinements);
    return fn(check, refinements);
}

}  // namespace kel::natives
