#include "runtime/datatypes/percent.h"

#include <cstring>
#include <string>

#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/memory.h"

namespace kel::percent {

Cell* box(double d) {
    *stack::arguments() = make_cell(d);
    return stack::arguments();
}

Cell* push(double d) { return stack::push(make_cell(d)); }

Cell* make_in(const Cell& block, uint32_t high, uint32_t low) {
    Cell* c = alloc_block_tail(block);
    *c = Cell{TYPE_PERCENT, 0, low, high};
    return c;
}

// The value times 100 in the percent text of float! ("50%", "12.5%").
static int64_t form(Cell value, Cell buffer, bool, int64_t limit) {
    float_::Text t = float_::to_text(get(value) * 100, float_::TEXT_PERCENT);
    string::append_c_string_part(buffer, t.chars, int32_t(t.length));
    return limit - t.length;
}

// The friendly text of form, unless the lexer would refuse it (an exponent:
// 1e-6%) or mold/all asks for the value itself: then the shortest text that
// reads back as exactly this percent!, without an exponent.
static int64_t mold(Cell value, Cell buffer, const MoldOptions& options) {
    double x = get(value);
    float_::Text t = float_::to_text(x * 100, float_::TEXT_PERCENT);
    bool loads = std::memchr(t.chars, 'e', t.length) == nullptr;
    if (loads && !options.all) {
        string::append_c_string_part(buffer, t.chars, int32_t(t.length));
        return options.limit - t.length;
    }
    std::string exact = float_::exact_text(x, true, false);
    string::append_c_string_part(buffer, exact.data(), int32_t(exact.size()));
    return options.limit - int64_t(exact.size());
}

void init() {
    datatype::register_type(
        datatype::Record(TYPE_PERCENT, TYPE_FLOAT, "percent!")
            .own<ACTION_FORM>(form)
            .own<ACTION_MOLD>(mold)
            .inherit_all<ACTION_MAKE, ACTION_RANDOM, ACTION_TO, ACTION_COMPARE, ACTION_ABSOLUTE, ACTION_ADD,
                         ACTION_DIVIDE, ACTION_MULTIPLY, ACTION_NEGATE, ACTION_POWER, ACTION_REMAINDER, ACTION_ROUND,
                         ACTION_SUBTRACT, ACTION_EVEN_Q, ACTION_ODD_Q>());
}

}  // namespace kel::percent
