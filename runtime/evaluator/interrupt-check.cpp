#include "runtime/evaluator/interrupt-check.h"

#include "runtime/core/system.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/interpreter-state.h"

namespace kel::interpreter {

void take_interrupt() {
    interrupt::requested = 0;
    if (interrupt::armed <= 0) return;
    Cell value = word::make_global("halt-request");
    stack::find_catch(value);
    state.thrown_value = value;
    state.thrown_name = word::make_global("console");
    system_throw(thrown::THROW);
}

}  // namespace kel::interpreter
