// The services that types beyond the plain numbers lend to the math,
// comparison and conversion slots of integer! and float!.
//
// integer! and float! decide what an operation with a value of another type
// means (which operations are refused, which operand goes first), and then
// hand the work to that type: pair!, tuple!, point2D!, point3D!, date!,
// money! and vector! fill their row of this table when they register. A row
// that is still empty raises internal/not-done, so the number modules never
// name those types' functions and need no change when they arrive.
//
// char!, percent! and time! need no row: their cells hold a code point or a
// double, which the number slots read directly.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::number_services {

struct Services {
    // The type's op core with a number. The dispatcher has put the value of
    // this type in the current frame's first cell and the number (integer!,
    // char!, float!, percent! or time!) in the second; `number_left` says the
    // number was the left operand (so subtract means number - value). The
    // result goes into the frame's first cell. Called only for ops the
    // dispatcher accepts (math op codes of datatype.h).
    void (*math_with_number)(int32_t op, bool number_left) = nullptr;
    // compare (number, value, op) for the compare slots of integer! and
    // float!: number is an integer!, float!, percent! or time!, value a value
    // of this type; the answer follows the compare contract.
    int32_t (*compare_number)(const Cell& number, const Cell& value, int32_t op) = nullptr;
    // `to integer!` of a value of this type: its value, or the type's own
    // error.
    int32_t (*to_integer)(const Cell& value) = nullptr;
    // `to float!` of a value of this type: its value as a double.
    double (*to_float)(const Cell& value) = nullptr;
};

// The row of a type (ids below TYPE_TOTAL). Types fill their row in their
// init function.
Services& row(uint32_t type);

// The calls: each raises internal/not-done when the type has not filled the
// service.
void math_with_number(uint32_t type, int32_t op, bool number_left);
int32_t compare_number(const Cell& number, const Cell& value, int32_t op);
int32_t to_integer(const Cell& value);
double to_float(const Cell& value);

// Hands the current frame's operation to the second operand's type: the
// two cells change places, so that its op core gets its own value first, and
// its math_with_number runs with the number on the left.
void hand_over(int32_t op);

}  // namespace kel::number_services
