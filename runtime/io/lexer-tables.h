// The lexer's tables: constant data, built at compile time.
//
// - The class table maps each byte to one of 40 classes (low 8 bits) and the
//   token flags the byte contributes (upper bits).
// - The transition table has 65 rows (states 0-64) of 40 columns (classes):
//   row[state][class] is the next state. A state above 65 is terminal (66-101)
//   and names the kind of token found; 65 is never produced.
// - The type table (104 entries, by state) gives the datatype a state stands
//   for; the skip table (by state), the line and path-end tables (by class),
//   the point-character table (by byte) and the Unicode blank set complete
//   them.
//
// Each transition row is written as the target most of its columns share plus
// the exceptions, in the order the machine's description lists them; the
// builder expands them and refuses (at compile time) a row that names a class
// twice or a target outside 0-101.
#pragma once
#include <array>
#include <cstdint>
#include <initializer_list>

#include "runtime/core/types.h"

namespace kel::lexer {

// Byte classes.
enum Class : uint8_t {
    C_BLANK = 0,    // TAB, CR, space
    C_LINE,         // LF
    C_DIGIT,        // 1-9
    C_ZERO,         // 0
    C_BLOCK_OPEN,   // [
    C_BLOCK_CLOSE,  // ]
    C_PAREN_OPEN,   // (
    C_PAREN_CLOSE,  // )
    C_BRACE_OPEN,   // {
    C_BRACE_CLOSE,  // }
    C_QUOTE,        // "
    C_HASH,         // #
    C_APOSTROPHE,   // '
    C_COLON,        // :
    C_X,            // x X
    C_T,            // T
    C_H,            // h
    C_E,            // e
    C_E_UPPER,      // E
    C_HEX_LOWER,    // a b c d f
    C_HEX_UPPER,    // A B C D F
    C_SLASH,        // /
    C_BACKSLASH,    // backslash
    C_LESS,         // <
    C_GREATER,      // >
    C_EQUAL,        // =
    C_PERCENT,      // %
    C_COMMA,        // ,
    C_SEMICOLON,    // ;
    C_AT,           // @
    C_DOT,          // .
    C_DOLLAR,       // $
    C_PLUS,         // +
    C_MINUS,        // -
    C_CARET,        // ^
    C_CONTROL,      // 1-8, 11, 12, 14-31
    C_CONTINUATION, // DEL and 128-191
    C_WORD,         // other printable ASCII and UTF-8 lead bytes 194-247
    C_ILLEGAL,      // 192, 193, 248-255
    C_END,          // NUL, and once when the input runs out
};
inline constexpr int CLASS_COUNT = 40;
inline constexpr int STATE_COUNT = 65;       // rows 0-64
inline constexpr int FIRST_TERMINAL = 66;
inline constexpr int LAST_TERMINAL = 101;
inline constexpr int TYPE_TABLE_SIZE = 104;

// Token flags, OR-ed over the bytes of a token and the byte that ends it.
namespace flag {
inline constexpr uint32_t PERCENT = 0x00040000;
inline constexpr uint32_t GREATER = 0x00080000;
inline constexpr uint32_t LESS = 0x00100000;
inline constexpr uint32_t SIGN = 0x00200000;
inline constexpr uint32_t NUL = 0x00400000;
inline constexpr uint32_t HASH = 0x00800000;
inline constexpr uint32_t EXPONENT = 0x01000000;
inline constexpr uint32_t QUOTE = 0x02000000;
inline constexpr uint32_t COLON = 0x04000000;
inline constexpr uint32_t COMMA = 0x08000000;
inline constexpr uint32_t DOT = 0x10000000;
inline constexpr uint32_t CARET = 0x20000000;
inline constexpr uint32_t UTF8_2_3 = 0x40000000;  // lead bytes 194-239
inline constexpr uint32_t UTF8_4 = 0x80000000;    // lead bytes 240-247
// Not a byte's flag: set in a braced string's collected flags when a line
// break came before its `{`.
inline constexpr uint32_t BRACE_NEW_LINE = 0x00020000;
}  // namespace flag

// The unit a string-like token needs: 1 without a UTF-8 lead flag, 2 with a
// two- or three-byte sequence, 4 with a four-byte one.
constexpr uint32_t unit_of_flags(uint32_t flags) {
    uint32_t shift = flags >> 30;
    uint32_t unit = 1u << shift;
    return unit > 4 ? 4 : unit;
}

namespace detail {

constexpr std::array<uint32_t, 256> build_classes() {
    std::array<uint32_t, 256> t{};
    for (int b = 0; b < 256; b++) t[b] = C_WORD;
    t[0] = C_END | flag::NUL;
    for (int b = 1; b < 32; b++) t[b] = C_CONTROL;
    t['\t'] = C_BLANK;
    t['\r'] = C_BLANK;
    t[' '] = C_BLANK;
    t['\n'] = C_LINE;
    for (int b = '1'; b <= '9'; b++) t[b] = C_DIGIT;
    t['0'] = C_ZERO;
    t['['] = C_BLOCK_OPEN;
    t[']'] = C_BLOCK_CLOSE;
    t['('] = C_PAREN_OPEN;
    t[')'] = C_PAREN_CLOSE;
    t['{'] = C_BRACE_OPEN;
    t['}'] = C_BRACE_CLOSE;
    t['"'] = C_QUOTE;
    t['#'] = C_HASH | flag::HASH;
    t['\''] = C_APOSTROPHE | flag::QUOTE;
    t[':'] = C_COLON | flag::COLON;
    t['x'] = C_X;
    t['X'] = C_X;
    t['T'] = C_T;
    t['h'] = C_H;
    t['e'] = C_E | flag::EXPONENT;
    t['E'] = C_E_UPPER | flag::EXPONENT;
    for (char c : {'a', 'b', 'c', 'd', 'f'}) t[uint8_t(c)] = C_HEX_LOWER;
    for (char c : {'A', 'B', 'C', 'D', 'F'}) t[uint8_t(c)] = C_HEX_UPPER;
    t['/'] = C_SLASH;
    t['\\'] = C_BACKSLASH;
    t['<'] = C_LESS | flag::LESS;
    t['>'] = C_GREATER | flag::GREATER;
    t['='] = C_EQUAL;
    t['%'] = C_PERCENT | flag::PERCENT;
    t[','] = C_COMMA | flag::COMMA;
    t[';'] = C_SEMICOLON;
    t['@'] = C_AT;
    t['.'] = C_DOT | flag::DOT;
    t['$'] = C_DOLLAR;
    t['+'] = C_PLUS | flag::SIGN;
    t['-'] = C_MINUS | flag::SIGN;
    t['^'] = C_CARET | flag::CARET;
    for (int b = 127; b < 192; b++) t[b] = C_CONTINUATION;
    t[192] = C_ILLEGAL;
    t[193] = C_ILLEGAL;
    for (int b = 194; b < 240; b++) t[b] = C_WORD | flag::UTF8_2_3;
    for (int b = 240; b < 248; b++) t[b] = C_WORD | flag::UTF8_4;
    for (int b = 248; b < 256; b++) t[b] = C_ILLEGAL;
    return t;
}

// One exception of a row: the classes that go to `target`.
struct Exception {
    uint8_t target;
    std::initializer_list<Class> classes;
};

struct Row {
    uint8_t common;
    std::initializer_list<Exception> exceptions;
};

using Rows = std::array<std::array<uint8_t, CLASS_COUNT>, STATE_COUNT>;

constexpr std::array<uint8_t, CLASS_COUNT> expand(const Row& row) {
    std::array<uint8_t, CLASS_COUNT> out{};
    std::array<bool, CLASS_COUNT> seen{};
    if (row.common > LAST_TERMINAL || row.common == 65) throw "a row's common target is no state";
    for (auto& c : out) c = row.common;
    for (const Exception& e : row.exceptions) {
        if (e.target > LAST_TERMINAL || e.target == 65) throw "an exception's target is no state";
        for (Class c : e.classes) {
            if (seen[c]) throw "a row names a class twice";
            seen[c] = true;
            out[c] = e.target;
        }
    }
    return out;
}

// The machine, row by row.
constexpr Rows build_transitions() {
    Rows t{};
    // 0 start
    t[0] = expand({52, {{0, {C_BLANK, C_LINE, C_CONTROL}}, {1, {C_SEMICOLON}}, {2, {C_QUOTE}}, {6, {C_PERCENT}},
                        {13, {C_SLASH}}, {16, {C_HASH}}, {23, {C_DIGIT, C_ZERO}}, {36, {C_DOLLAR}},
                        {40, {C_E_UPPER, C_HEX_UPPER}}, {43, {C_LESS}}, {47, {C_PLUS, C_MINUS}}, {49, {C_DOT}},
                        {51, {C_APOSTROPHE, C_COLON}}, {57, {C_AT}}, {58, {C_EQUAL}}, {66, {C_END}},
                        {67, {C_BRACE_CLOSE, C_BACKSLASH, C_CONTINUATION, C_ILLEGAL}}, {68, {C_BLOCK_OPEN}},
                        {69, {C_BLOCK_CLOSE}}, {70, {C_PAREN_OPEN}}, {71, {C_PAREN_CLOSE}}, {72, {C_BRACE_OPEN}},
                        {78, {C_COMMA}}}});
    // 1 line comment
    t[1] = expand({1, {{67, {C_ILLEGAL}}, {77, {C_LINE, C_END}}}});
    // 2 string
    t[2] = expand({2, {{3, {C_CARET}}, {67, {C_LINE, C_ILLEGAL, C_END}}, {79, {C_QUOTE}}}});
    // 3 string escape
    t[3] = expand({2, {{67, {C_ILLEGAL, C_END}}}});
    // 4 braced string
    t[4] = expand({4, {{5, {C_CARET}}, {67, {C_ILLEGAL, C_END}}, {72, {C_BRACE_OPEN}}, {73, {C_BRACE_CLOSE}}}});
    // 5 braced string escape
    t[5] = expand({4, {{67, {C_ILLEGAL, C_END}}}});
    // 6 after %
    t[6] = expand({7, {{8, {C_QUOTE}}, {9, {C_PERCENT}}, {10, {C_BRACE_OPEN}}, {54, {C_COLON}}, {67, {C_ILLEGAL}},
                       {80, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_CLOSE,
                             C_SEMICOLON, C_AT, C_CONTROL, C_END}}}});
    // 7 file
    t[7] = expand({7, {{67, {C_QUOTE, C_ILLEGAL}},
                       {85, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                             C_BRACE_CLOSE, C_COLON, C_SEMICOLON, C_AT, C_END}}}});
    // 8 quoted file
    t[8] = expand({8, {{67, {C_LINE, C_ILLEGAL, C_END}}, {85, {C_QUOTE}}}});
    // 9 after %%
    t[9] = expand({7, {{9, {C_PERCENT}}, {10, {C_BRACE_OPEN}}, {67, {C_ILLEGAL}},
                       {80, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_CLOSE,
                             C_QUOTE, C_BACKSLASH, C_SEMICOLON, C_CONTROL, C_END}}}});
    // 10 raw string
    t[10] = expand({10, {{11, {C_BRACE_CLOSE}}, {67, {C_ILLEGAL, C_END}}}});
    // 11 raw string after }
    t[11] = expand({10, {{11, {C_BRACE_CLOSE}}, {12, {C_PERCENT}}, {67, {C_ILLEGAL, C_END}}}});
    // 12 raw string after } and %
    t[12] = expand({67, {{12, {C_PERCENT}},
                         {100, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                                C_QUOTE, C_LESS, C_SEMICOLON, C_CONTROL, C_END}}}});
    // 13 after /
    t[13] = expand({14, {{15, {C_SLASH}}, {53, {C_COLON}}, {67, {C_COMMA, C_ILLEGAL}},
                         {80, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_HASH, C_SEMICOLON, C_AT, C_CONTROL, C_END}}}});
    // 14 refinement
    t[14] = expand({14, {{67, {C_COLON, C_COMMA, C_ILLEGAL}},
                         {83, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_SLASH, C_SEMICOLON, C_AT, C_CONTROL, C_END}}}});
    // 15 after //
    t[15] = expand({52, {{15, {C_SLASH}}, {67, {C_PERCENT, C_COMMA, C_DOLLAR, C_ILLEGAL}},
                         {80, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_HASH, C_SEMICOLON, C_AT, C_CONTROL, C_END}}}});
    // 16 after #
    t[16] = expand({22, {{17, {C_BRACE_OPEN}}, {19, {C_QUOTE}}, {21, {C_PAREN_OPEN}},
                         {67, {C_BLANK, C_LINE, C_BLOCK_CLOSE, C_PAREN_CLOSE, C_BRACE_CLOSE, C_COLON, C_LESS, C_GREATER,
                               C_COMMA, C_ILLEGAL}},
                         {74, {C_BLOCK_OPEN}}, {81, {C_SEMICOLON, C_AT, C_CONTROL, C_END}}}});
    // 17 binary
    t[17] = expand({67, {{17, {C_BLANK, C_LINE, C_DIGIT, C_ZERO, C_X, C_T, C_H, C_E, C_E_UPPER, C_HEX_LOWER,
                               C_HEX_UPPER, C_SLASH, C_EQUAL, C_PLUS, C_WORD}},
                         {18, {C_SEMICOLON}}, {86, {C_BRACE_CLOSE}}}});
    // 18 binary comment
    t[18] = expand({18, {{17, {C_LINE}}, {67, {C_ILLEGAL, C_END}}}});
    // 19 char
    t[19] = expand({19, {{20, {C_CARET}}, {67, {C_ILLEGAL, C_END}}, {84, {C_QUOTE}}}});
    // 20 char escape
    t[20] = expand({19, {{67, {C_ILLEGAL, C_END}}}});
    // 21 construction
    t[21] = expand({21, {{67, {C_ILLEGAL, C_END}}, {76, {C_PAREN_CLOSE}}}});
    // 22 issue
    t[22] = expand({22, {{67, {C_COLON, C_SLASH, C_ILLEGAL}},
                         {81, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_SEMICOLON, C_AT, C_CONTROL, C_END}}}});
    // 23 integer
    t[23] = expand({82, {{16, {C_HASH}}, {23, {C_DIGIT, C_ZERO, C_APOSTROPHE}}, {24, {C_DOT}}, {26, {C_E}},
                         {27, {C_E_UPPER}}, {30, {C_T, C_SLASH, C_MINUS}}, {31, {C_COLON}}, {33, {C_X}},
                         {39, {C_HEX_UPPER}}, {42, {C_H}}, {56, {C_AT}},
                         {67, {C_HEX_LOWER, C_BACKSLASH, C_GREATER, C_EQUAL, C_DOLLAR, C_PLUS, C_CARET, C_CONTINUATION,
                               C_WORD, C_ILLEGAL}},
                         {87, {C_PERCENT}}}});
    // 24 decimal point
    t[24] = expand({67, {{25, {C_DIGIT, C_ZERO, C_APOSTROPHE}}, {26, {C_E, C_E_UPPER}}, {28, {C_HASH}}, {33, {C_X}},
                         {87, {C_PERCENT}},
                         {88, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_SLASH, C_LESS, C_COMMA, C_SEMICOLON, C_CONTROL, C_END}}}});
    // 25 decimal fraction
    t[25] = expand({88, {{25, {C_DIGIT, C_ZERO, C_APOSTROPHE}}, {26, {C_E, C_E_UPPER}}, {29, {C_DOT}}, {33, {C_X}},
                         {56, {C_AT}},
                         {67, {C_HASH, C_T, C_H, C_HEX_LOWER, C_HEX_UPPER, C_BACKSLASH, C_GREATER, C_EQUAL, C_DOLLAR,
                               C_PLUS, C_MINUS, C_CARET, C_CONTINUATION, C_WORD, C_ILLEGAL}},
                         {87, {C_PERCENT}}}});
    // 26 exponent
    t[26] = expand({67, {{26, {C_DIGIT, C_ZERO, C_PLUS, C_MINUS}}, {56, {C_AT}},
                         {88, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_COLON, C_SLASH, C_LESS, C_COMMA, C_SEMICOLON, C_CONTROL,
                               C_END}}}});
    // 27 digits then E
    t[27] = expand({67, {{26, {C_PLUS, C_MINUS}}, {27, {C_DIGIT, C_ZERO}}, {29, {C_DOT}}, {40, {C_E_UPPER, C_HEX_UPPER}},
                         {42, {C_H}}, {56, {C_AT}}, {87, {C_PERCENT}},
                         {88, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_COLON, C_SLASH, C_LESS, C_COMMA, C_CONTROL, C_END}}}});
    // 28 after 1.#
    t[28] = expand({89, {{28, {C_X, C_T, C_H, C_E, C_E_UPPER, C_HEX_LOWER, C_HEX_UPPER, C_GREATER, C_EQUAL, C_DOT,
                               C_PLUS, C_MINUS, C_CONTINUATION, C_WORD}},
                         {67, {C_HASH, C_APOSTROPHE, C_COLON, C_PERCENT, C_AT, C_DOLLAR, C_CARET, C_ILLEGAL}},
                         {88, {C_DIGIT}}}});
    // 29 tuple
    t[29] = expand({67, {{29, {C_DIGIT, C_ZERO, C_DOT}},
                         {90, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_COLON, C_SLASH, C_LESS, C_SEMICOLON, C_CONTROL, C_END}}}});
    // 30 date
    t[30] = expand({30, {{67, {C_PERCENT, C_COMMA, C_AT, C_CARET, C_CONTINUATION, C_ILLEGAL}},
                         {91, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_LESS, C_SEMICOLON, C_DOLLAR, C_CONTROL, C_END}}}});
    // 31 time after :
    t[31] = expand({67, {{32, {C_DIGIT, C_ZERO}}}});
    // 32 time
    t[32] = expand({67, {{32, {C_DIGIT, C_ZERO, C_COLON, C_DOT}},
                         {94, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_SLASH, C_LESS, C_SEMICOLON, C_CONTROL, C_END}}}});
    // 33 pair after x
    t[33] = expand({67, {{34, {C_DIGIT, C_ZERO, C_PLUS, C_MINUS}}, {56, {C_AT}}}});
    // 34 pair second part
    t[34] = expand({67, {{34, {C_DIGIT, C_ZERO, C_E, C_E_UPPER, C_DOT}}, {56, {C_AT}},
                         {92, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_COLON, C_SLASH, C_LESS, C_SEMICOLON, C_CONTROL, C_END}}}});
    // 35 point
    t[35] = expand({67, {{35, {C_BLANK, C_DIGIT, C_ZERO, C_BLOCK_CLOSE, C_HASH, C_E, C_E_UPPER, C_HEX_LOWER,
                               C_HEX_UPPER, C_COMMA, C_DOT, C_PLUS, C_MINUS, C_WORD}},
                         {93, {C_PAREN_CLOSE}}}});
    // 36 money after $
    t[36] = expand({67, {{37, {C_DIGIT, C_ZERO}}}});
    // 37 money integer part
    t[37] = expand({67, {{37, {C_DIGIT, C_ZERO, C_APOSTROPHE}}, {38, {C_DOT}},
                         {95, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_HASH, C_COLON, C_SLASH, C_LESS, C_SEMICOLON, C_CONTROL,
                               C_END}}}});
    // 38 money fraction
    t[38] = expand({67, {{38, {C_DIGIT, C_ZERO, C_APOSTROPHE}},
                         {95, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_HASH, C_COLON, C_SLASH, C_LESS, C_SEMICOLON, C_CONTROL,
                               C_END}}}});
    // 39 hex digits
    t[39] = expand({67, {{39, {C_DIGIT, C_ZERO, C_E_UPPER, C_HEX_UPPER}}, {41, {C_H}}, {56, {C_AT}}}});
    // 40 leading hex letter
    t[40] = expand({52, {{37, {C_DOLLAR}}, {40, {C_DIGIT, C_ZERO, C_E_UPPER, C_HEX_UPPER}}, {41, {C_H}}, {53, {C_COLON}},
                         {56, {C_AT}}, {67, {C_PERCENT, C_COMMA, C_ILLEGAL}}, {75, {C_SLASH}},
                         {80, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_HASH, C_BACKSLASH, C_SEMICOLON, C_CONTROL, C_END}}}});
    // 41 hex then h
    t[41] = expand({52, {{37, {C_DOLLAR}}, {53, {C_COLON}}, {56, {C_AT}}, {67, {C_HASH, C_PERCENT, C_COMMA, C_ILLEGAL}},
                         {75, {C_SLASH}},
                         {99, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_BACKSLASH, C_SEMICOLON, C_CONTROL, C_END}}}});
    // 42 digits then h
    t[42] = expand({67, {{37, {C_DOLLAR}}, {56, {C_AT}}, {75, {C_SLASH}},
                         {99, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_BACKSLASH, C_LESS, C_SEMICOLON, C_CONTROL, C_END}}}});
    // 43 after <
    t[43] = expand({44, {{43, {C_LESS}}, {46, {C_APOSTROPHE}}, {52, {C_GREATER, C_EQUAL, C_MINUS}}, {53, {C_COLON}},
                         {67, {C_ILLEGAL}},
                         {80, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_SEMICOLON, C_CONTROL, C_END}}}});
    // 44 tag
    t[44] = expand({44, {{45, {C_QUOTE}}, {46, {C_APOSTROPHE}}, {67, {C_ILLEGAL, C_END}}, {96, {C_GREATER}}}});
    // 45 tag, double-quoted part
    t[45] = expand({45, {{44, {C_QUOTE}}, {67, {C_ILLEGAL, C_END}}}});
    // 46 tag, single-quoted part
    t[46] = expand({46, {{44, {C_APOSTROPHE}}, {67, {C_ILLEGAL, C_END}}}});
    // 47 after sign
    t[47] = expand({52, {{23, {C_DIGIT, C_ZERO}}, {37, {C_DOLLAR}}, {49, {C_DOT}},
                         {67, {C_APOSTROPHE, C_PERCENT, C_CARET, C_ILLEGAL}}, {75, {C_SLASH}},
                         {80, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_HASH, C_BACKSLASH, C_SEMICOLON, C_CONTROL, C_END}}}});
    // 48 prefix then sign
    t[48] = expand({52, {{67, {C_APOSTROPHE, C_PERCENT, C_DOLLAR, C_CARET, C_ILLEGAL}}, {75, {C_SLASH}},
                         {80, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_HASH, C_BACKSLASH, C_SEMICOLON, C_CONTROL, C_END}}}});
    // 49 after leading .
    t[49] = expand({52, {{50, {C_DIGIT, C_ZERO, C_PLUS, C_MINUS}}, {53, {C_COLON}}, {56, {C_AT}},
                         {67, {C_PERCENT, C_COMMA, C_DOLLAR, C_ILLEGAL}}, {75, {C_SLASH}},
                         {80, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_HASH, C_BACKSLASH, C_SEMICOLON, C_CONTROL, C_END}}}});
    // 50 leading-dot decimal
    t[50] = expand({67, {{33, {C_X}}, {50, {C_DIGIT, C_ZERO, C_E, C_E_UPPER, C_PLUS, C_MINUS}}, {56, {C_AT}},
                         {87, {C_PERCENT}},
                         {88, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_COLON, C_SLASH, C_LESS, C_CONTROL, C_END}}}});
    // 51 after ' or :
    t[51] = expand({67, {{13, {C_SLASH}}, {43, {C_LESS}}, {48, {C_PLUS, C_MINUS}},
                         {52, {C_X, C_T, C_H, C_E, C_E_UPPER, C_HEX_LOWER, C_HEX_UPPER, C_GREATER, C_DOT, C_CARET,
                               C_CONTINUATION, C_WORD}},
                         {54, {C_PERCENT}}, {58, {C_EQUAL}}}});
    // 52 word
    t[52] = expand({52, {{36, {C_DOLLAR}}, {53, {C_COLON}}, {56, {C_AT}}, {67, {C_PERCENT, C_COMMA, C_ILLEGAL}},
                         {75, {C_SLASH}},
                         {80, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_HASH, C_BACKSLASH, C_LESS, C_SEMICOLON, C_CONTROL, C_END}}}});
    // 53 word then :
    t[53] = expand({55, {{67, {C_LESS, C_ILLEGAL}},
                         {80, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_BACKSLASH, C_SEMICOLON, C_CONTROL, C_END}}}});
    // 54 prefixed % word
    t[54] = expand({67, {{54, {C_PERCENT}},
                         {80, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_BACKSLASH, C_SEMICOLON, C_CONTROL, C_END}}}});
    // 55 url
    t[55] = expand({55, {{67, {C_GREATER, C_CARET, C_ILLEGAL}},
                         {97, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_BACKSLASH, C_LESS, C_SEMICOLON, C_CONTROL, C_END}}}});
    // 56 email
    t[56] = expand({56, {{67, {C_HASH, C_APOSTROPHE, C_COLON, C_GREATER, C_EQUAL, C_COMMA, C_AT, C_DOLLAR, C_CARET,
                               C_ILLEGAL}},
                         {98, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_SLASH, C_BACKSLASH, C_LESS, C_SEMICOLON, C_CONTROL, C_END}}}});
    // 57 ref
    t[57] = expand({57, {{67, {C_HASH, C_APOSTROPHE, C_BACKSLASH, C_GREATER, C_EQUAL, C_COMMA, C_AT, C_DOLLAR, C_CARET,
                               C_ILLEGAL}},
                         {101, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                                C_BRACE_CLOSE, C_QUOTE, C_LESS, C_SEMICOLON, C_CONTROL, C_END}}}});
    // 58 after =
    t[58] = expand({52, {{67, {C_HASH, C_PERCENT, C_COMMA, C_AT, C_DOLLAR, C_ILLEGAL}}, {75, {C_SLASH}},
                         {80, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_COLON, C_BACKSLASH, C_SEMICOLON, C_CONTROL, C_END}}}});
    // 59 path element
    t[59] = expand({67, {{2, {C_QUOTE}}, {36, {C_DOLLAR}}, {43, {C_LESS}}, {57, {C_AT}}, {60, {C_DIGIT, C_ZERO}},
                         {61, {C_APOSTROPHE, C_COLON}},
                         {62, {C_X, C_T, C_H, C_E, C_E_UPPER, C_HEX_LOWER, C_HEX_UPPER, C_GREATER, C_EQUAL, C_DOT,
                               C_CONTINUATION, C_WORD}},
                         {63, {C_HASH}}, {64, {C_PLUS, C_MINUS}}, {70, {C_PAREN_OPEN}}, {71, {C_PAREN_CLOSE}}}});
    // 60 path integer
    t[60] = expand({67, {{24, {C_DOT}}, {26, {C_E, C_E_UPPER}}, {33, {C_X}}, {56, {C_AT}}, {60, {C_DIGIT, C_ZERO, C_APOSTROPHE}},
                         {82, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_COLON, C_SLASH, C_LESS, C_SEMICOLON, C_CONTROL, C_END}},
                         {87, {C_PERCENT}}}});
    // 61 path prefix
    t[61] = expand({67, {{62, {C_X, C_T, C_H, C_E, C_E_UPPER, C_HEX_LOWER, C_HEX_UPPER, C_LESS, C_GREATER, C_EQUAL,
                               C_DOT, C_PLUS, C_MINUS, C_CONTINUATION, C_WORD}}}});
    // 62 path word
    t[62] = expand({62, {{36, {C_DOLLAR}}, {56, {C_AT}}, {67, {C_HASH, C_PERCENT, C_COMMA, C_ILLEGAL}},
                         {80, {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_COLON, C_SLASH, C_BACKSLASH, C_SEMICOLON, C_CONTROL, C_END}}}});
    // 63 path issue
    t[63] = expand({22, {{19, {C_QUOTE}}, {21, {C_BLOCK_OPEN}},
                         {67, {C_BLANK, C_LINE, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN, C_BRACE_CLOSE,
                               C_COLON, C_SLASH, C_LESS, C_GREATER, C_EQUAL, C_COMMA, C_SEMICOLON, C_AT, C_CONTROL,
                               C_ILLEGAL, C_END}}}});
    // 64 path sign
    t[64] = expand({80, {{36, {C_DOLLAR}}, {56, {C_AT}}, {60, {C_DIGIT, C_ZERO}},
                         {62, {C_X, C_T, C_H, C_E, C_E_UPPER, C_HEX_LOWER, C_HEX_UPPER, C_GREATER, C_EQUAL, C_DOT,
                               C_CONTINUATION, C_WORD}},
                         {64, {C_PLUS, C_MINUS}},
                         {67, {C_HASH, C_APOSTROPHE, C_LESS, C_PERCENT, C_COMMA, C_CARET, C_ILLEGAL}}}});
    return t;
}

constexpr std::array<uint8_t, TYPE_TABLE_SIZE> build_types() {
    std::array<uint8_t, TYPE_TABLE_SIZE> t{};
    auto set = [&t](int from, int to, uint32_t type) {
        for (int s = from; s <= to; s++) t[s] = uint8_t(type);
    };
    // Non-terminal states (0, 1, 18, 21 and 39 stand for no type).
    set(2, 5, TYPE_STRING);
    set(6, 9, TYPE_FILE);
    set(10, 12, TYPE_STRING);
    set(13, 13, TYPE_WORD);
    set(14, 14, TYPE_REFINEMENT);
    set(15, 15, TYPE_WORD);
    set(16, 16, TYPE_ISSUE);
    set(17, 17, TYPE_BINARY);
    set(19, 20, TYPE_CHAR);
    set(22, 22, TYPE_ISSUE);
    set(23, 23, TYPE_INTEGER);
    set(24, 28, TYPE_FLOAT);
    set(29, 29, TYPE_TUPLE);
    set(30, 30, TYPE_DATE);
    set(31, 32, TYPE_TIME);
    set(33, 34, TYPE_PAIR);
    set(35, 35, TYPE_POINT2D);
    set(36, 38, TYPE_MONEY);
    set(40, 40, TYPE_INTEGER);
    set(41, 41, TYPE_WORD);
    set(42, 42, TYPE_INTEGER);
    set(43, 46, TYPE_TAG);
    set(47, 52, TYPE_WORD);
    set(53, 53, TYPE_SET_WORD);
    set(54, 54, TYPE_WORD);
    set(55, 55, TYPE_URL);
    set(56, 56, TYPE_EMAIL);
    set(57, 57, TYPE_REF);
    set(58, 58, TYPE_WORD);
    set(59, 59, TYPE_PATH);
    set(60, 60, TYPE_INTEGER);
    set(61, 62, TYPE_WORD);
    set(63, 63, TYPE_ISSUE);
    set(64, 64, TYPE_WORD);
    // Terminal states (the structural ones stand for no type).
    set(67, 67, TYPE_ERROR);
    set(73, 73, TYPE_STRING);
    set(79, 79, TYPE_STRING);
    set(80, 80, TYPE_WORD);
    set(81, 81, TYPE_ISSUE);
    set(82, 82, TYPE_INTEGER);
    set(83, 83, TYPE_REFINEMENT);
    set(84, 84, TYPE_CHAR);
    set(85, 85, TYPE_FILE);
    set(86, 86, TYPE_BINARY);
    set(87, 87, TYPE_PERCENT);
    set(88, 89, TYPE_FLOAT);
    set(90, 90, TYPE_TUPLE);
    set(91, 91, TYPE_DATE);
    set(92, 92, TYPE_PAIR);
    set(93, 93, TYPE_POINT2D);
    set(94, 94, TYPE_TIME);
    set(95, 95, TYPE_MONEY);
    set(96, 96, TYPE_TAG);
    set(97, 97, TYPE_URL);
    set(98, 98, TYPE_EMAIL);
    set(99, 99, TYPE_INTEGER);
    set(100, 100, TYPE_STRING);
    set(101, 101, TYPE_REF);
    return t;
}

constexpr std::array<uint8_t, CLASS_COUNT> build_path_ends() {
    std::array<uint8_t, CLASS_COUNT> t{};
    for (Class c : {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN, C_QUOTE,
                    C_COLON, C_LESS, C_SEMICOLON, C_WORD, C_ILLEGAL, C_END})
        t[c] = 1;
    return t;
}

constexpr std::array<uint8_t, 256> build_point_chars() {
    std::array<uint8_t, 256> t{};
    for (char c : {'\t', ' ', '#', '+', '-', '.', 'A', 'E', 'F', 'I', 'N', 'a', 'e', 'f', 'i', 'n'}) t[uint8_t(c)] = 1;
    for (int c = '0'; c <= '9'; c++) t[c] = 1;
    return t;
}

}  // namespace detail

inline constexpr std::array<uint32_t, 256> class_table = detail::build_classes();
inline constexpr detail::Rows transitions = detail::build_transitions();
inline constexpr std::array<uint8_t, TYPE_TABLE_SIZE> type_table = detail::build_types();
inline constexpr std::array<uint8_t, CLASS_COUNT> path_end_table = detail::build_path_ends();
inline constexpr std::array<uint8_t, 256> point_char_table = detail::build_point_chars();

constexpr uint8_t class_of(uint8_t byte) { return uint8_t(class_table[byte] & 0xFF); }

// The transition table indexed by byte instead of class (derived from the
// two tables above): the main loop's next state costs one dependent load.
namespace detail {
constexpr std::array<std::array<uint8_t, 256>, STATE_COUNT> build_byte_transitions() {
    std::array<std::array<uint8_t, 256>, STATE_COUNT> t{};
    for (int s = 0; s < STATE_COUNT; s++)
        for (int b = 0; b < 256; b++) t[s][b] = transitions[s][class_table[b] & 0xFF];
    return t;
}
}  // namespace detail
inline constexpr std::array<std::array<uint8_t, 256>, STATE_COUNT> byte_transitions =
    detail::build_byte_transitions();
// 1 for state 0 only: the bytes that keep the machine there are skipped.
constexpr int skip_of(int state) { return state == 0 ? 1 : 0; }
// 1 for the newline class only.
constexpr int lines_of(int cls) { return cls == C_LINE ? 1 : 0; }

// The code points the machine reads as word characters and the lexer treats
// as separators (21 of them).
inline constexpr uint32_t unicode_blanks[] = {0x0085, 0x00A0, 0x1680, 0x2000, 0x2001, 0x2002, 0x2003,
                                              0x2004, 0x2005, 0x2006, 0x2007, 0x2008, 0x2009, 0x200A,
                                              0x2028, 0x2029, 0x202F, 0x205F, 0x3000, 0x180E, 0x200B};
// The set as a bitset: byte cp >> 3, mask 0x80 >> (cp & 7).
inline constexpr int UNICODE_BLANK_BYTES = 8290;
namespace detail {
constexpr std::array<uint8_t, UNICODE_BLANK_BYTES> build_unicode_blanks() {
    std::array<uint8_t, UNICODE_BLANK_BYTES> t{};
    for (uint32_t cp : unicode_blanks) t[cp >> 3] |= uint8_t(0x80 >> (cp & 7));
    return t;
}
}  // namespace detail
inline constexpr std::array<uint8_t, UNICODE_BLANK_BYTES> unicode_blank_set = detail::build_unicode_blanks();
constexpr bool is_unicode_blank(uint32_t cp) {
    return (cp >> 3) < uint32_t(UNICODE_BLANK_BYTES) && (unicode_blank_set[cp >> 3] & (0x80 >> (cp & 7))) != 0;
}

}  // namespace kel::lexer
