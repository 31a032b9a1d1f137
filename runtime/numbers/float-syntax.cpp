// The float syntax as a state machine: each byte selects a column, each state
// a row; the end column of the last state decides.
#include "runtime/numbers/float-syntax.h"

#include <cstdint>

namespace kel::numbers {

namespace {

enum Column : uint8_t { OTHER, SIGN, DIGIT, EXPONENT, POINT, QUOTE, END, COLUMNS };

// States 0-8; REJECT keeps itself; ACCEPT appears only in the end column.
//   0 start                  1 integer part          2 after `'` in the integer part
//   3 fraction               4 after `'` in the fraction, or a leading `.`
//   5 after `.`              6 after the exponent mark
//   7 exponent sign          8 exponent digits
constexpr uint8_t R = 9;  // reject
constexpr uint8_t A = 10;  // accept
constexpr uint8_t TRANSITIONS[9][COLUMNS] = {
    //     other sign digit exp  .   '  end
    /*0*/ {R, 0, 1, R, 4, R, R},
    /*1*/ {R, R, 1, 6, 5, 2, A},
    /*2*/ {R, R, 1, R, R, R, A},
    /*3*/ {R, R, 3, 6, R, 4, A},
    /*4*/ {R, R, 3, R, R, R, A},
    /*5*/ {R, R, 3, R, R, R, A},
    /*6*/ {R, 7, 8, R, R, R, R},
    /*7*/ {R, R, 8, R, R, R, R},
    /*8*/ {R, R, 8, R, R, R, A},
};

Column column_of(unsigned char c) {
    if (c >= '0' && c <= '9') return DIGIT;
    switch (c) {
    case '+':
    case '-':
        return SIGN;
    case 'e':
    case 'E':
        return EXPONENT;
    case '.':
        return POINT;
    case '\'':
        return QUOTE;
    default:
        return OTHER;
    }
}

}  // namespace

bool float_syntax(std::string_view text) {
    if (text.size() > FLOAT_TEXT_LIMIT) return false;
    uint8_t state = 0;
    for (char c : text) {
        state = TRANSITIONS[state][column_of(static_cast<unsigned char>(c))];
        if (state == R) return false;
    }
    return TRANSITIONS[state][END] == A;
}

}  // namespace kel::numbers
