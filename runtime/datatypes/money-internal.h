// money! inside its module: the arithmetic on amounts and the action slots
// registered by money::init.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/money.h"

namespace kel::money {

// Number of significant digits of the magnitude (at least 1).
int32_t significant_digits(Scaled magnitude);
// The operation (MATH_ADD .. MATH_REMAINDER) on two amounts, with the
// guards and errors of money arithmetic (script/type-limit money! for
// overflow and underflow, math/zero-divide).
Scaled do_op(Scaled a, Scaled b, int32_t op);
// The operation on the two operands (at least one money!), a the first;
// the result (money!, or float! for money / money) into *out.
void do_math(Cell* out, const Cell& a, const Cell& b, int32_t op);
// The number row's math: the frame holds the money! and the number, which
// was the left operand when `number_left`.
void math_with_number(int32_t op, bool number_left);

// system/locale/currencies/list, read at every use (none! when missing).
Cell currency_list();
// The code word of a currency index (none! for 0 or a position the list
// lacks).
Cell currency_word(uint32_t index);

// The fraction digits that form and mold show: system/options/money-digits
// (2 when not an integer!, 5 at most, 0 for 0 or less).
int32_t shown_fraction_digits();
// Appends the text; returns the limit less the characters written.
int64_t form_text(const Cell& money, Cell buffer, int64_t limit, bool all, bool grouping);

// Actions.
void make(Cell* out, Cell* proto, Cell* spec, uint32_t type);
void to(Cell* out, Cell* proto, Cell* spec, uint32_t type);
void random(Cell* out, Cell* value, const RandomOptions& options);
int64_t form(Cell value, Cell buffer, bool part, int64_t limit);
int64_t mold(Cell value, Cell buffer, const MoldOptions& options);
void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step);
int32_t compare(const Cell& value1, const Cell& value2, int32_t op);
void absolute();
void negate(Cell* out, Cell* value);
void add();
void subtract();
void multiply();
void divide();
void remainder();
void round(Cell* out, Cell* value, const RoundOptions& options);
bool even(const Cell& value);
bool odd(const Cell& value);
void pick(Cell* out, Cell* value, int32_t index, Cell* index_cell);

}  // namespace kel::money
