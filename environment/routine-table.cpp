#include "environment/routine-table.h"

#include <cstring>

#include "runtime/datatypes/function.h"
#include "runtime/datatypes/none.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/lexer.h"

namespace kel::library {

Cell* push_routine(const RoutineDef& def) {
    Cell* spec = stack::push(make_none());
    lexer::scan(spec, reinterpret_cast<const uint8_t*>(def.spec), int64_t(std::strlen(def.spec)), lexer::Options{});
    int32_t index = routines::add(def.fn);
    Cell* r = routine::push(*spec, nullptr, index, def.result_type, false);
    *spec = *r;
    stack::pop(uint32_t(stack::top() - spec - 1));
    return spec;
}

}  // namespace kel::library
