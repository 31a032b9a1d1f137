#include "runtime/datatypes/number-services.h"

#include "runtime/core/fire.h"
#include "runtime/evaluator/stack.h"

namespace kel::number_services {

namespace {
Services rows[TYPE_TOTAL];

const Services& filled(uint32_t type) {
    if (type >= TYPE_TOTAL) fire(ErrorId::internal_not_done);
    return rows[type];
}
}  // namespace

Services& row(uint32_t type) { return rows[type < TYPE_TOTAL ? type : 0]; }

void math_with_number(uint32_t type, int32_t op, bool number_left) {
    auto fn = filled(type).math_with_number;
    if (!fn) fire(ErrorId::internal_not_done);
    fn(op, number_left);
}

int32_t compare_number(const Cell& number, const Cell& value, int32_t op) {
    auto fn = filled(type_of(value)).compare_number;
    if (!fn) fire(ErrorId::internal_not_done);
    return fn(number, value, op);
}

int32_t to_integer(const Cell& value) {
    auto fn = filled(type_of(value)).to_integer;
    if (!fn) fire(ErrorId::internal_not_done);
    return fn(value);
}

double to_float(const Cell& value) {
    auto fn = filled(type_of(value)).to_float;
    if (!fn) fire(ErrorId::internal_not_done);
    return fn(value);
}

void hand_over(int32_t op) {
    Cell* frame = stack::arguments();
    Cell number = frame[0];
    frame[0] = frame[1];
    frame[1] = number;
    math_with_number(type_of(frame[0]), op, true);
}

}  // namespace kel::number_services
