// money! (type id 49, no parent): an exact decimal amount of 17 integer and
// 5 fraction digits with an optional currency, inside one cell. This header
// is what other modules call; the actions are in money-internal.h.
//
// Cell: header type 49, bit 14 (SIGN) set for a negative amount (the
// new-line marker bit is left alone); byte 4 (the low byte of word 1) the
// currency index, 0 for none, else the 1-based position of the code in
// system/locale/currencies/list; bytes 5-15 the 22 digits as packed decimal,
// most significant first, an odd digit in the high nibble. The bytes are
// read and written as bytes of the cell, so their order is the same on any
// host and the KELBIN codec writes them as they stand. All digits zero is
// zero whatever the sign bit says.
//
// Arithmetic runs on the amount as a 128-bit integer of hundred-thousandths
// (value x 10^5, below 10^22 in magnitude); see money-math.cpp.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::money {

inline constexpr uint32_t SIGN = 0x4000;
inline constexpr int32_t DIGITS = 22;
inline constexpr int32_t INTEGER_DIGITS = 17;
inline constexpr int32_t FRACTION_DIGITS = 5;
inline constexpr int32_t DIGIT_BYTES = 11;
// The largest fraction a block gives as an integer (hundred-thousandths).
inline constexpr int32_t LARGEST_FRACTION = 99999;

// An amount in hundred-thousandths.
using Scaled = __int128;
inline constexpr Scaled SCALE = 100000;
// 10^22: every amount's magnitude lies below it.
inline constexpr Scaled LIMIT = Scaled(10000000000LL) * Scaled(1000000000000LL);

// The amount of the cell, signed (zero for all digits zero).
Scaled amount(const Cell& money);
uint32_t currency_of(const Cell& money);
// A money! cell of the amount (|amount| < LIMIT) and currency index.
Cell make_cell(Scaled amount, uint32_t currency);
// -1, 0 or 1.
int32_t sign(const Cell& money);

// The 1-based position of the currency code in the list (letter case
// ignored), or -1 when absent, when the list is no block or the position
// does not fit the index byte (above 255).
int32_t currency_index(int32_t symbol);

// The lexer's maker from ASCII text: the sign, a 3-letter code or null,
// `start` the position before the first integer digit (never read), `point`
// the decimal mark or null, `end` past the last digit; `'` are skipped.
// At most 17 integer digits; fraction digits beyond the fifth are dropped.
// False (the cell untouched) when the code is not in the list.
bool from_text(Cell& cell, bool negative, const char* code, const char* start, const char* point, const char* end);
// The KELBIN maker: the sign, the currency index and the 11 digit bytes;
// valid_bytes first (every nibble 0-9, the index within the list).
Cell* from_bytes(Cell& cell, bool negative, uint32_t currency, const uint8_t digits[DIGIT_BYTES]);
bool valid_bytes(uint32_t currency, const uint8_t digits[DIGIT_BYTES]);

Cell from_integer(int32_t n);
// The integer part; script/type-limit with integer! when it does not fit.
int32_t to_integer(const Cell& money);
// Through the shortest decimal text of f: script/bad-make-arg (money!, f)
// for NaN, infinities, 0 < |f| < 1e-5, |f| >= 1e17 and, when strict, more
// than 5 fraction digits (else they are dropped).
Cell from_float(double f, bool strict);
double to_float(const Cell& money);

// `to money!` of a text: 1-, 2- or 4-byte units; false when the text is
// no amount (a character above 127, a bad grammar, more than 17 integer
// digits, an unknown currency).
bool from_string(Cell& out, const uint8_t* first, size_t count, uint32_t unit);

// Registers money! (id 49) and installs its services (number row, the sign
// and as-money natives).
void init();

}  // namespace kel::money
