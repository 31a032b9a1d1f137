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
    C_BLANK = 0,  // TAB, CR, space
    C_LINE,  // LF
    C_DIGIT,  // 1-9
    C_ZERO,  // 0
    C_BLOCK_OPEN,  // [
    C_BLOCK_CLOSE,  // ]
    C_PAREN_OPEN,  // (
    C_PAREN_CLOSE,  // )
    C_BRACE_OPEN,  // {
    C_BRACE_CLOSE,  // }
    C_QUOTE,  // "
    C_HASH,  // #
    C_APOSTROPHE,  // '
    C_COLON,  // :
    C_X,  // x X
    C_T,  // T
    C_H,  // h
    C_E,  // e
    C_E_UPPER,  // E
    C_HEX_LOWER,  // a b c d f
    C_HEX_UPPER,  // A B C D F
    C_SLASH,  // /
    C_BACKSLASH,  // backslash
    C_LESS,  // <
    C_GREATER,  // >
    C_EQUAL,  // =
    C_PERCENT,  // %
    C_COMMA,  // ,
    C_SEMICOLON,  // ;
    C_AT,  // @
    C_DOT,  // .
    C_DOLLAR,  // $
    C_PLUS,  // +
    C_MINUS,  // -
    C_CARET,  // ^
    C_CONTROL,  // 1-8, 11, 12, 14-31
    C_CONTINUATION,  // DEL and 128-191
    C_WORD,  // other printable ASCII and UTF-8 lead bytes 194-247
    C_ILLEGAL,  // 192, 193, 248-255
    C_END,  // NUL, and once when the input runs out
};
inline constexpr int CLASS_COUNT = 40;

// The machine's states. A token passes through the rows (0-64, one row of
// the transition table each) and ends in a terminal state (66-101), which
// names the kind of token found; handler pair k of the lexer's handler tables
// belongs to terminal state 65 + k. 65 is never produced.
enum StateId : uint8_t {
    S_START = 0,  // start
    S_LINE_COMMENT,  // line comment
    S_STRING,  // string
    S_STRING_ESCAPE,  // string escape
    S_BRACED,  // braced string
    S_BRACED_ESCAPE,  // braced string escape
    S_PERCENT,  // after %
    S_FILE,  // file
    S_QUOTED_FILE,  // quoted file
    S_PERCENTS,  // after %%
    S_RAW,  // raw string
    S_RAW_BRACE,  // raw string after }
    S_RAW_BRACE_PERCENT,  // raw string after } and %
    S_SLASH,  // after /
    S_REFINEMENT,  // refinement
    S_SLASHES,  // after //
    S_HASH,  // after #
    S_BINARY,  // binary
    S_BINARY_COMMENT,  // binary comment
    S_CHAR,  // char
    S_CHAR_ESCAPE,  // char escape
    S_CONSTRUCT,  // construction
    S_ISSUE,  // issue
    S_INTEGER,  // integer
    S_POINT_DOT,  // decimal point
    S_FRACTION,  // decimal fraction
    S_EXPONENT,  // exponent
    S_DIGITS_E,  // digits then E
    S_FLOAT_SPECIAL,  // after 1.#
    S_TUPLE,  // tuple
    S_DATE,  // date
    S_TIME_COLON,  // time after :
    S_TIME,  // time
    S_PAIR_X,  // pair after x
    S_PAIR,  // pair second part
    S_POINT,  // point
    S_MONEY_DOLLAR,  // money after $
    S_MONEY,  // money integer part
    S_MONEY_FRACTION,  // money fraction
    S_HEX,  // hex digits
    S_HEX_LETTER,  // leading hex letter
    S_HEX_H,  // hex then h
    S_DIGITS_H,  // digits then h
    S_LESS,  // after <
    S_TAG,  // tag
    S_TAG_DOUBLE,  // tag, double-quoted part
    S_TAG_SINGLE,  // tag, single-quoted part
    S_SIGN,  // after sign
    S_PREFIX_SIGN,  // prefix then sign
    S_DOT,  // after leading .
    S_DOT_DECIMAL,  // leading-dot decimal
    S_PREFIX,  // after ' or :
    S_WORD,  // word
    S_WORD_COLON,  // word then :
    S_PERCENT_WORD,  // prefixed % word
    S_URL,  // url
    S_EMAIL,  // email
    S_REF,  // ref
    S_EQUAL,  // after =
    S_PATH,  // path element
    S_PATH_INTEGER,  // path integer
    S_PATH_PREFIX,  // path prefix
    S_PATH_WORD,  // path word
    S_PATH_ISSUE,  // path issue
    S_PATH_SIGN,  // path sign
    // Terminal states.
    T_EOF = 66,
    T_ERROR,
    T_BLOCK_OPEN,
    T_BLOCK_CLOSE,
    T_PAREN_OPEN,
    T_PAREN_CLOSE,
    T_BRACE_OPEN,
    T_BRACE_CLOSE,
    T_MAP_OPEN,
    T_PATH,
    T_CONSTRUCT,
    T_COMMENT,
    T_COMMA,
    T_STRING,
    T_WORD,
    T_ISSUE,
    T_INTEGER,
    T_REFINEMENT,
    T_CHAR,
    T_FILE,
    T_BINARY,
    T_PERCENT,
    T_FLOAT,
    T_FLOAT_SPECIAL,
    T_TUPLE,
    T_DATE,
    T_PAIR,
    T_POINT,
    T_TIME,
    T_MONEY,
    T_TAG,
    T_URL,
    T_EMAIL,
    T_HEX,
    T_RAW_STRING,
    T_REF,
};
inline constexpr int STATE_COUNT = S_PATH_SIGN + 1;  // rows 0-64
inline constexpr int FIRST_TERMINAL = T_EOF;
inline constexpr int LAST_TERMINAL = T_REF;
// The position (1-36) of a terminal state among the handler pairs and the
// exit states.
constexpr int pair_of(int terminal) { return terminal - FIRST_TERMINAL + 1; }
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
inline constexpr uint32_t UTF8_4 = 0x80000000;  // lead bytes 240-247
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
    if (row.common > LAST_TERMINAL || row.common == STATE_COUNT) throw "a row's common target is no state";
    for (auto& c : out) c = row.common;
    for (const Exception& e : row.exceptions) {
        if (e.target > LAST_TERMINAL || e.target == STATE_COUNT) throw "an exception's target is no state";
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
    // start
    t[S_START] = expand({S_WORD,
                         {{S_START, {C_BLANK, C_LINE, C_CONTROL}},
                          {S_LINE_COMMENT, {C_SEMICOLON}},
                          {S_STRING, {C_QUOTE}},
                          {S_PERCENT, {C_PERCENT}},
                          {S_SLASH, {C_SLASH}},
                          {S_HASH, {C_HASH}},
                          {S_INTEGER, {C_DIGIT, C_ZERO}},
                          {S_MONEY_DOLLAR, {C_DOLLAR}},
                          {S_HEX_LETTER, {C_E_UPPER, C_HEX_UPPER}},
                          {S_LESS, {C_LESS}},
                          {S_SIGN, {C_PLUS, C_MINUS}},
                          {S_DOT, {C_DOT}},
                          {S_PREFIX, {C_APOSTROPHE, C_COLON}},
                          {S_REF, {C_AT}},
                          {S_EQUAL, {C_EQUAL}},
                          {T_EOF, {C_END}},
                          {T_ERROR, {C_BRACE_CLOSE, C_BACKSLASH, C_CONTINUATION, C_ILLEGAL}},
                          {T_BLOCK_OPEN, {C_BLOCK_OPEN}},
                          {T_BLOCK_CLOSE, {C_BLOCK_CLOSE}},
                          {T_PAREN_OPEN, {C_PAREN_OPEN}},
                          {T_PAREN_CLOSE, {C_PAREN_CLOSE}},
                          {T_BRACE_OPEN, {C_BRACE_OPEN}},
                          {T_COMMA, {C_COMMA}}}});
    // line comment
    t[S_LINE_COMMENT] = expand({S_LINE_COMMENT, {{T_ERROR, {C_ILLEGAL}}, {T_COMMENT, {C_LINE, C_END}}}});
    // string
    t[S_STRING] = expand(
        {S_STRING, {{S_STRING_ESCAPE, {C_CARET}}, {T_ERROR, {C_LINE, C_ILLEGAL, C_END}}, {T_STRING, {C_QUOTE}}}});
    // string escape
    t[S_STRING_ESCAPE] = expand({S_STRING, {{T_ERROR, {C_ILLEGAL, C_END}}}});
    // braced string
    t[S_BRACED] = expand({S_BRACED,
                          {{S_BRACED_ESCAPE, {C_CARET}},
                           {T_ERROR, {C_ILLEGAL, C_END}},
                           {T_BRACE_OPEN, {C_BRACE_OPEN}},
                           {T_BRACE_CLOSE, {C_BRACE_CLOSE}}}});
    // braced string escape
    t[S_BRACED_ESCAPE] = expand({S_BRACED, {{T_ERROR, {C_ILLEGAL, C_END}}}});
    // after %
    t[S_PERCENT] = expand({S_FILE,
                           {{S_QUOTED_FILE, {C_QUOTE}},
                            {S_PERCENTS, {C_PERCENT}},
                            {S_RAW, {C_BRACE_OPEN}},
                            {S_PERCENT_WORD, {C_COLON}},
                            {T_ERROR, {C_ILLEGAL}},
                            {T_WORD,
                             {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_CLOSE,
                              C_SEMICOLON, C_AT, C_CONTROL, C_END}}}});
    // file
    t[S_FILE] = expand({S_FILE,
                        {{T_ERROR, {C_QUOTE, C_ILLEGAL}},
                         {T_FILE,
                          {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                           C_BRACE_CLOSE, C_COLON, C_SEMICOLON, C_AT, C_END}}}});
    // quoted file
    t[S_QUOTED_FILE] = expand({S_QUOTED_FILE, {{T_ERROR, {C_LINE, C_ILLEGAL, C_END}}, {T_FILE, {C_QUOTE}}}});
    // after %%
    t[S_PERCENTS] = expand({S_FILE,
                            {{S_PERCENTS, {C_PERCENT}},
                             {S_RAW, {C_BRACE_OPEN}},
                             {T_ERROR, {C_ILLEGAL}},
                             {T_WORD,
                              {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_CLOSE,
                               C_QUOTE, C_BACKSLASH, C_SEMICOLON, C_CONTROL, C_END}}}});
    // raw string
    t[S_RAW] = expand({S_RAW, {{S_RAW_BRACE, {C_BRACE_CLOSE}}, {T_ERROR, {C_ILLEGAL, C_END}}}});
    // raw string after }
    t[S_RAW_BRACE] = expand(
        {S_RAW, {{S_RAW_BRACE, {C_BRACE_CLOSE}}, {S_RAW_BRACE_PERCENT, {C_PERCENT}}, {T_ERROR, {C_ILLEGAL, C_END}}}});
    // raw string after } and %
    t[S_RAW_BRACE_PERCENT] = expand({T_ERROR,
                                     {{S_RAW_BRACE_PERCENT, {C_PERCENT}},
                                      {T_RAW_STRING,
                                       {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE,
                                        C_BRACE_OPEN, C_QUOTE, C_LESS, C_SEMICOLON, C_CONTROL, C_END}}}});
    // after /
    t[S_SLASH] = expand({S_REFINEMENT,
                         {{S_SLASHES, {C_SLASH}},
                          {S_WORD_COLON, {C_COLON}},
                          {T_ERROR, {C_COMMA, C_ILLEGAL}},
                          {T_WORD,
                           {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                            C_BRACE_CLOSE, C_QUOTE, C_HASH, C_SEMICOLON, C_AT, C_CONTROL, C_END}}}});
    // refinement
    t[S_REFINEMENT] =
        expand({S_REFINEMENT,
                {{T_ERROR, {C_COLON, C_COMMA, C_ILLEGAL}},
                 {T_REFINEMENT,
                  {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                   C_BRACE_CLOSE, C_QUOTE, C_SLASH, C_SEMICOLON, C_AT, C_CONTROL, C_END}}}});
    // after //
    t[S_SLASHES] = expand({S_WORD,
                           {{S_SLASHES, {C_SLASH}},
                            {T_ERROR, {C_PERCENT, C_COMMA, C_DOLLAR, C_ILLEGAL}},
                            {T_WORD,
                             {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                              C_BRACE_CLOSE, C_QUOTE, C_HASH, C_SEMICOLON, C_AT, C_CONTROL, C_END}}}});
    // after #
    t[S_HASH] = expand({S_ISSUE,
                        {{S_BINARY, {C_BRACE_OPEN}},
                         {S_CHAR, {C_QUOTE}},
                         {S_CONSTRUCT, {C_PAREN_OPEN}},
                         {T_ERROR,
                          {C_BLANK, C_LINE, C_BLOCK_CLOSE, C_PAREN_CLOSE, C_BRACE_CLOSE, C_COLON, C_LESS, C_GREATER,
                           C_COMMA, C_ILLEGAL}},
                         {T_MAP_OPEN, {C_BLOCK_OPEN}},
                         {T_ISSUE, {C_SEMICOLON, C_AT, C_CONTROL, C_END}}}});
    // binary
    t[S_BINARY] = expand({T_ERROR,
                          {{S_BINARY,
                            {C_BLANK, C_LINE, C_DIGIT, C_ZERO, C_X, C_T, C_H, C_E, C_E_UPPER, C_HEX_LOWER, C_HEX_UPPER,
                             C_SLASH, C_EQUAL, C_PLUS, C_WORD}},
                           {S_BINARY_COMMENT, {C_SEMICOLON}},
                           {T_BINARY, {C_BRACE_CLOSE}}}});
    // binary comment
    t[S_BINARY_COMMENT] = expand({S_BINARY_COMMENT, {{S_BINARY, {C_LINE}}, {T_ERROR, {C_ILLEGAL, C_END}}}});
    // char
    t[S_CHAR] = expand({S_CHAR, {{S_CHAR_ESCAPE, {C_CARET}}, {T_ERROR, {C_ILLEGAL, C_END}}, {T_CHAR, {C_QUOTE}}}});
    // char escape
    t[S_CHAR_ESCAPE] = expand({S_CHAR, {{T_ERROR, {C_ILLEGAL, C_END}}}});
    // construction
    t[S_CONSTRUCT] = expand({S_CONSTRUCT, {{T_ERROR, {C_ILLEGAL, C_END}}, {T_CONSTRUCT, {C_PAREN_CLOSE}}}});
    // issue
    t[S_ISSUE] = expand({S_ISSUE,
                         {{T_ERROR, {C_COLON, C_SLASH, C_ILLEGAL}},
                          {T_ISSUE,
                           {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                            C_BRACE_CLOSE, C_QUOTE, C_SEMICOLON, C_AT, C_CONTROL, C_END}}}});
    // integer
    t[S_INTEGER] = expand({T_INTEGER,
                           {{S_HASH, {C_HASH}},
                            {S_INTEGER, {C_DIGIT, C_ZERO, C_APOSTROPHE}},
                            {S_POINT_DOT, {C_DOT}},
                            {S_EXPONENT, {C_E}},
                            {S_DIGITS_E, {C_E_UPPER}},
                            {S_DATE, {C_T, C_SLASH, C_MINUS}},
                            {S_TIME_COLON, {C_COLON}},
                            {S_PAIR_X, {C_X}},
                            {S_HEX, {C_HEX_UPPER}},
                            {S_DIGITS_H, {C_H}},
                            {S_EMAIL, {C_AT}},
                            {T_ERROR,
                             {C_HEX_LOWER, C_BACKSLASH, C_GREATER, C_EQUAL, C_DOLLAR, C_PLUS, C_CARET, C_CONTINUATION,
                              C_WORD, C_ILLEGAL}},
                            {T_PERCENT, {C_PERCENT}}}});
    // decimal point
    t[S_POINT_DOT] = expand({T_ERROR,
                             {{S_FRACTION, {C_DIGIT, C_ZERO, C_APOSTROPHE}},
                              {S_EXPONENT, {C_E, C_E_UPPER}},
                              {S_FLOAT_SPECIAL, {C_HASH}},
                              {S_PAIR_X, {C_X}},
                              {T_PERCENT, {C_PERCENT}},
                              {T_FLOAT,
                               {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                                C_BRACE_CLOSE, C_QUOTE, C_SLASH, C_LESS, C_COMMA, C_SEMICOLON, C_CONTROL, C_END}}}});
    // decimal fraction
    t[S_FRACTION] = expand({T_FLOAT,
                            {{S_FRACTION, {C_DIGIT, C_ZERO, C_APOSTROPHE}},
                             {S_EXPONENT, {C_E, C_E_UPPER}},
                             {S_TUPLE, {C_DOT}},
                             {S_PAIR_X, {C_X}},
                             {S_EMAIL, {C_AT}},
                             {T_ERROR,
                              {C_HASH, C_T, C_H, C_HEX_LOWER, C_HEX_UPPER, C_BACKSLASH, C_GREATER, C_EQUAL, C_DOLLAR,
                               C_PLUS, C_MINUS, C_CARET, C_CONTINUATION, C_WORD, C_ILLEGAL}},
                             {T_PERCENT, {C_PERCENT}}}});
    // exponent
    t[S_EXPONENT] =
        expand({T_ERROR,
                {{S_EXPONENT, {C_DIGIT, C_ZERO, C_PLUS, C_MINUS}},
                 {S_EMAIL, {C_AT}},
                 {T_FLOAT,
                  {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                   C_BRACE_CLOSE, C_QUOTE, C_COLON, C_SLASH, C_LESS, C_COMMA, C_SEMICOLON, C_CONTROL, C_END}}}});
    // digits then E
    t[S_DIGITS_E] = expand({T_ERROR,
                            {{S_EXPONENT, {C_PLUS, C_MINUS}},
                             {S_DIGITS_E, {C_DIGIT, C_ZERO}},
                             {S_TUPLE, {C_DOT}},
                             {S_HEX_LETTER, {C_E_UPPER, C_HEX_UPPER}},
                             {S_DIGITS_H, {C_H}},
                             {S_EMAIL, {C_AT}},
                             {T_PERCENT, {C_PERCENT}},
                             {T_FLOAT,
                              {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_COLON, C_SLASH, C_LESS, C_COMMA, C_CONTROL, C_END}}}});
    // after 1.#
    t[S_FLOAT_SPECIAL] =
        expand({T_FLOAT_SPECIAL,
                {{S_FLOAT_SPECIAL,
                  {C_X, C_T, C_H, C_E, C_E_UPPER, C_HEX_LOWER, C_HEX_UPPER, C_GREATER, C_EQUAL, C_DOT, C_PLUS, C_MINUS,
                   C_CONTINUATION, C_WORD}},
                 {T_ERROR, {C_HASH, C_APOSTROPHE, C_COLON, C_PERCENT, C_AT, C_DOLLAR, C_CARET, C_ILLEGAL}},
                 {T_FLOAT, {C_DIGIT}}}});
    // tuple
    t[S_TUPLE] = expand({T_ERROR,
                         {{S_TUPLE, {C_DIGIT, C_ZERO, C_DOT}},
                          {T_TUPLE,
                           {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                            C_BRACE_CLOSE, C_QUOTE, C_COLON, C_SLASH, C_LESS, C_SEMICOLON, C_CONTROL, C_END}}}});
    // date
    t[S_DATE] = expand({S_DATE,
                        {{T_ERROR, {C_PERCENT, C_COMMA, C_AT, C_CARET, C_CONTINUATION, C_ILLEGAL}},
                         {T_DATE,
                          {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                           C_BRACE_CLOSE, C_QUOTE, C_LESS, C_SEMICOLON, C_DOLLAR, C_CONTROL, C_END}}}});
    // time after :
    t[S_TIME_COLON] = expand({T_ERROR, {{S_TIME, {C_DIGIT, C_ZERO}}}});
    // time
    t[S_TIME] = expand({T_ERROR,
                        {{S_TIME, {C_DIGIT, C_ZERO, C_COLON, C_DOT}},
                         {T_TIME,
                          {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                           C_BRACE_CLOSE, C_QUOTE, C_SLASH, C_LESS, C_SEMICOLON, C_CONTROL, C_END}}}});
    // pair after x
    t[S_PAIR_X] = expand({T_ERROR, {{S_PAIR, {C_DIGIT, C_ZERO, C_PLUS, C_MINUS}}, {S_EMAIL, {C_AT}}}});
    // pair second part
    t[S_PAIR] = expand({T_ERROR,
                        {{S_PAIR, {C_DIGIT, C_ZERO, C_E, C_E_UPPER, C_DOT}},
                         {S_EMAIL, {C_AT}},
                         {T_PAIR,
                          {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                           C_BRACE_CLOSE, C_QUOTE, C_COLON, C_SLASH, C_LESS, C_SEMICOLON, C_CONTROL, C_END}}}});
    // point
    t[S_POINT] = expand({T_ERROR,
                         {{S_POINT,
                           {C_BLANK, C_DIGIT, C_ZERO, C_BLOCK_CLOSE, C_HASH, C_E, C_E_UPPER, C_HEX_LOWER, C_HEX_UPPER,
                            C_COMMA, C_DOT, C_PLUS, C_MINUS, C_WORD}},
                          {T_POINT, {C_PAREN_CLOSE}}}});
    // money after $
    t[S_MONEY_DOLLAR] = expand({T_ERROR, {{S_MONEY, {C_DIGIT, C_ZERO}}}});
    // money integer part
    t[S_MONEY] =
        expand({T_ERROR,
                {{S_MONEY, {C_DIGIT, C_ZERO, C_APOSTROPHE}},
                 {S_MONEY_FRACTION, {C_DOT}},
                 {T_MONEY,
                  {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                   C_BRACE_CLOSE, C_QUOTE, C_HASH, C_COLON, C_SLASH, C_LESS, C_SEMICOLON, C_CONTROL, C_END}}}});
    // money fraction
    t[S_MONEY_FRACTION] =
        expand({T_ERROR,
                {{S_MONEY_FRACTION, {C_DIGIT, C_ZERO, C_APOSTROPHE}},
                 {T_MONEY,
                  {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                   C_BRACE_CLOSE, C_QUOTE, C_HASH, C_COLON, C_SLASH, C_LESS, C_SEMICOLON, C_CONTROL, C_END}}}});
    // hex digits
    t[S_HEX] =
        expand({T_ERROR, {{S_HEX, {C_DIGIT, C_ZERO, C_E_UPPER, C_HEX_UPPER}}, {S_HEX_H, {C_H}}, {S_EMAIL, {C_AT}}}});
    // leading hex letter
    t[S_HEX_LETTER] =
        expand({S_WORD,
                {{S_MONEY, {C_DOLLAR}},
                 {S_HEX_LETTER, {C_DIGIT, C_ZERO, C_E_UPPER, C_HEX_UPPER}},
                 {S_HEX_H, {C_H}},
                 {S_WORD_COLON, {C_COLON}},
                 {S_EMAIL, {C_AT}},
                 {T_ERROR, {C_PERCENT, C_COMMA, C_ILLEGAL}},
                 {T_PATH, {C_SLASH}},
                 {T_WORD,
                  {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                   C_BRACE_CLOSE, C_QUOTE, C_HASH, C_BACKSLASH, C_SEMICOLON, C_CONTROL, C_END}}}});
    // hex then h
    t[S_HEX_H] = expand({S_WORD,
                         {{S_MONEY, {C_DOLLAR}},
                          {S_WORD_COLON, {C_COLON}},
                          {S_EMAIL, {C_AT}},
                          {T_ERROR, {C_HASH, C_PERCENT, C_COMMA, C_ILLEGAL}},
                          {T_PATH, {C_SLASH}},
                          {T_HEX,
                           {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                            C_BRACE_CLOSE, C_QUOTE, C_BACKSLASH, C_SEMICOLON, C_CONTROL, C_END}}}});
    // digits then h
    t[S_DIGITS_H] = expand({T_ERROR,
                            {{S_MONEY, {C_DOLLAR}},
                             {S_EMAIL, {C_AT}},
                             {T_PATH, {C_SLASH}},
                             {T_HEX,
                              {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                               C_BRACE_CLOSE, C_QUOTE, C_BACKSLASH, C_LESS, C_SEMICOLON, C_CONTROL, C_END}}}});
    // after <
    t[S_LESS] = expand({S_TAG,
                        {{S_LESS, {C_LESS}},
                         {S_TAG_SINGLE, {C_APOSTROPHE}},
                         {S_WORD, {C_GREATER, C_EQUAL, C_MINUS}},
                         {S_WORD_COLON, {C_COLON}},
                         {T_ERROR, {C_ILLEGAL}},
                         {T_WORD,
                          {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                           C_BRACE_CLOSE, C_QUOTE, C_SEMICOLON, C_CONTROL, C_END}}}});
    // tag
    t[S_TAG] = expand({S_TAG,
                       {{S_TAG_DOUBLE, {C_QUOTE}},
                        {S_TAG_SINGLE, {C_APOSTROPHE}},
                        {T_ERROR, {C_ILLEGAL, C_END}},
                        {T_TAG, {C_GREATER}}}});
    // tag, double-quoted part
    t[S_TAG_DOUBLE] = expand({S_TAG_DOUBLE, {{S_TAG, {C_QUOTE}}, {T_ERROR, {C_ILLEGAL, C_END}}}});
    // tag, single-quoted part
    t[S_TAG_SINGLE] = expand({S_TAG_SINGLE, {{S_TAG, {C_APOSTROPHE}}, {T_ERROR, {C_ILLEGAL, C_END}}}});
    // after sign
    t[S_SIGN] = expand({S_WORD,
                        {{S_INTEGER, {C_DIGIT, C_ZERO}},
                         {S_MONEY, {C_DOLLAR}},
                         {S_DOT, {C_DOT}},
                         {T_ERROR, {C_APOSTROPHE, C_PERCENT, C_CARET, C_ILLEGAL}},
                         {T_PATH, {C_SLASH}},
                         {T_WORD,
                          {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                           C_BRACE_CLOSE, C_QUOTE, C_HASH, C_BACKSLASH, C_SEMICOLON, C_CONTROL, C_END}}}});
    // prefix then sign
    t[S_PREFIX_SIGN] =
        expand({S_WORD,
                {{T_ERROR, {C_APOSTROPHE, C_PERCENT, C_DOLLAR, C_CARET, C_ILLEGAL}},
                 {T_PATH, {C_SLASH}},
                 {T_WORD,
                  {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                   C_BRACE_CLOSE, C_QUOTE, C_HASH, C_BACKSLASH, C_SEMICOLON, C_CONTROL, C_END}}}});
    // after leading .
    t[S_DOT] = expand({S_WORD,
                       {{S_DOT_DECIMAL, {C_DIGIT, C_ZERO, C_PLUS, C_MINUS}},
                        {S_WORD_COLON, {C_COLON}},
                        {S_EMAIL, {C_AT}},
                        {T_ERROR, {C_PERCENT, C_COMMA, C_DOLLAR, C_ILLEGAL}},
                        {T_PATH, {C_SLASH}},
                        {T_WORD,
                         {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                          C_BRACE_CLOSE, C_QUOTE, C_HASH, C_BACKSLASH, C_SEMICOLON, C_CONTROL, C_END}}}});
    // leading-dot decimal
    t[S_DOT_DECIMAL] = expand({T_ERROR,
                               {{S_PAIR_X, {C_X}},
                                {S_DOT_DECIMAL, {C_DIGIT, C_ZERO, C_E, C_E_UPPER, C_PLUS, C_MINUS}},
                                {S_EMAIL, {C_AT}},
                                {T_PERCENT, {C_PERCENT}},
                                {T_FLOAT,
                                 {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE,
                                  C_BRACE_OPEN, C_BRACE_CLOSE, C_QUOTE, C_COLON, C_SLASH, C_LESS, C_CONTROL, C_END}}}});
    // after ' or :
    t[S_PREFIX] = expand({T_ERROR,
                          {{S_SLASH, {C_SLASH}},
                           {S_LESS, {C_LESS}},
                           {S_PREFIX_SIGN, {C_PLUS, C_MINUS}},
                           {S_WORD,
                            {C_X, C_T, C_H, C_E, C_E_UPPER, C_HEX_LOWER, C_HEX_UPPER, C_GREATER, C_DOT, C_CARET,
                             C_CONTINUATION, C_WORD}},
                           {S_PERCENT_WORD, {C_PERCENT}},
                           {S_EQUAL, {C_EQUAL}}}});
    // word
    t[S_WORD] = expand({S_WORD,
                        {{S_MONEY_DOLLAR, {C_DOLLAR}},
                         {S_WORD_COLON, {C_COLON}},
                         {S_EMAIL, {C_AT}},
                         {T_ERROR, {C_PERCENT, C_COMMA, C_ILLEGAL}},
                         {T_PATH, {C_SLASH}},
                         {T_WORD,
                          {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                           C_BRACE_CLOSE, C_QUOTE, C_HASH, C_BACKSLASH, C_LESS, C_SEMICOLON, C_CONTROL, C_END}}}});
    // word then :
    t[S_WORD_COLON] = expand({S_URL,
                              {{T_ERROR, {C_LESS, C_ILLEGAL}},
                               {T_WORD,
                                {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE,
                                 C_BRACE_OPEN, C_BRACE_CLOSE, C_QUOTE, C_BACKSLASH, C_SEMICOLON, C_CONTROL, C_END}}}});
    // prefixed % word
    t[S_PERCENT_WORD] = expand({T_ERROR,
                                {{S_PERCENT_WORD, {C_PERCENT}},
                                 {T_WORD,
                                  {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE,
                                   C_BRACE_OPEN, C_BRACE_CLOSE, C_BACKSLASH, C_SEMICOLON, C_CONTROL, C_END}}}});
    // url
    t[S_URL] = expand({S_URL,
                       {{T_ERROR, {C_GREATER, C_CARET, C_ILLEGAL}},
                        {T_URL,
                         {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                          C_BRACE_CLOSE, C_QUOTE, C_BACKSLASH, C_LESS, C_SEMICOLON, C_CONTROL, C_END}}}});
    // email
    t[S_EMAIL] = expand(
        {S_EMAIL,
         {{T_ERROR, {C_HASH, C_APOSTROPHE, C_COLON, C_GREATER, C_EQUAL, C_COMMA, C_AT, C_DOLLAR, C_CARET, C_ILLEGAL}},
          {T_EMAIL,
           {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN, C_BRACE_CLOSE,
            C_QUOTE, C_SLASH, C_BACKSLASH, C_LESS, C_SEMICOLON, C_CONTROL, C_END}}}});
    // ref
    t[S_REF] =
        expand({S_REF,
                {{T_ERROR,
                  {C_HASH, C_APOSTROPHE, C_BACKSLASH, C_GREATER, C_EQUAL, C_COMMA, C_AT, C_DOLLAR, C_CARET, C_ILLEGAL}},
                 {T_REF,
                  {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                   C_BRACE_CLOSE, C_QUOTE, C_LESS, C_SEMICOLON, C_CONTROL, C_END}}}});
    // after =
    t[S_EQUAL] = expand({S_WORD,
                         {{T_ERROR, {C_HASH, C_PERCENT, C_COMMA, C_AT, C_DOLLAR, C_ILLEGAL}},
                          {T_PATH, {C_SLASH}},
                          {T_WORD,
                           {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                            C_BRACE_CLOSE, C_QUOTE, C_COLON, C_BACKSLASH, C_SEMICOLON, C_CONTROL, C_END}}}});
    // path element
    t[S_PATH] = expand({T_ERROR,
                        {{S_STRING, {C_QUOTE}},
                         {S_MONEY_DOLLAR, {C_DOLLAR}},
                         {S_LESS, {C_LESS}},
                         {S_REF, {C_AT}},
                         {S_PATH_INTEGER, {C_DIGIT, C_ZERO}},
                         {S_PATH_PREFIX, {C_APOSTROPHE, C_COLON}},
                         {S_PATH_WORD,
                          {C_X, C_T, C_H, C_E, C_E_UPPER, C_HEX_LOWER, C_HEX_UPPER, C_GREATER, C_EQUAL, C_DOT,
                           C_CONTINUATION, C_WORD}},
                         {S_PATH_ISSUE, {C_HASH}},
                         {S_PATH_SIGN, {C_PLUS, C_MINUS}},
                         {T_PAREN_OPEN, {C_PAREN_OPEN}},
                         {T_PAREN_CLOSE, {C_PAREN_CLOSE}}}});
    // path integer
    t[S_PATH_INTEGER] =
        expand({T_ERROR,
                {{S_POINT_DOT, {C_DOT}},
                 {S_EXPONENT, {C_E, C_E_UPPER}},
                 {S_PAIR_X, {C_X}},
                 {S_EMAIL, {C_AT}},
                 {S_PATH_INTEGER, {C_DIGIT, C_ZERO, C_APOSTROPHE}},
                 {T_INTEGER,
                  {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                   C_BRACE_CLOSE, C_QUOTE, C_COLON, C_SLASH, C_LESS, C_SEMICOLON, C_CONTROL, C_END}},
                 {T_PERCENT, {C_PERCENT}}}});
    // path prefix
    t[S_PATH_PREFIX] = expand({T_ERROR,
                               {{S_PATH_WORD,
                                 {C_X, C_T, C_H, C_E, C_E_UPPER, C_HEX_LOWER, C_HEX_UPPER, C_LESS, C_GREATER, C_EQUAL,
                                  C_DOT, C_PLUS, C_MINUS, C_CONTINUATION, C_WORD}}}});
    // path word
    t[S_PATH_WORD] =
        expand({S_PATH_WORD,
                {{S_MONEY_DOLLAR, {C_DOLLAR}},
                 {S_EMAIL, {C_AT}},
                 {T_ERROR, {C_HASH, C_PERCENT, C_COMMA, C_ILLEGAL}},
                 {T_WORD,
                  {C_BLANK, C_LINE, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN,
                   C_BRACE_CLOSE, C_QUOTE, C_COLON, C_SLASH, C_BACKSLASH, C_SEMICOLON, C_CONTROL, C_END}}}});
    // path issue
    t[S_PATH_ISSUE] =
        expand({S_ISSUE,
                {{S_CHAR, {C_QUOTE}},
                 {S_CONSTRUCT, {C_BLOCK_OPEN}},
                 {T_ERROR,
                  {C_BLANK, C_LINE, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE, C_BRACE_OPEN, C_BRACE_CLOSE, C_COLON,
                   C_SLASH, C_LESS, C_GREATER, C_EQUAL, C_COMMA, C_SEMICOLON, C_AT, C_CONTROL, C_ILLEGAL, C_END}}}});
    // path sign
    t[S_PATH_SIGN] = expand({T_WORD,
                             {{S_MONEY_DOLLAR, {C_DOLLAR}},
                              {S_EMAIL, {C_AT}},
                              {S_PATH_INTEGER, {C_DIGIT, C_ZERO}},
                              {S_PATH_WORD,
                               {C_X, C_T, C_H, C_E, C_E_UPPER, C_HEX_LOWER, C_HEX_UPPER, C_GREATER, C_EQUAL, C_DOT,
                                C_CONTINUATION, C_WORD}},
                              {S_PATH_SIGN, {C_PLUS, C_MINUS}},
                              {T_ERROR, {C_HASH, C_APOSTROPHE, C_LESS, C_PERCENT, C_COMMA, C_CARET, C_ILLEGAL}}}});
    return t;
}

constexpr std::array<uint8_t, TYPE_TABLE_SIZE> build_types() {
    std::array<uint8_t, TYPE_TABLE_SIZE> t{};
    auto set = [&t](int from, int to, uint32_t type) {
        for (int s = from; s <= to; s++) t[s] = uint8_t(type);
    };
    // Non-terminal states (S_START, S_LINE_COMMENT, S_BINARY_COMMENT,
    // S_CONSTRUCT and S_HEX stand for no type).
    set(S_STRING, S_BRACED_ESCAPE, TYPE_STRING);
    set(S_PERCENT, S_PERCENTS, TYPE_FILE);
    set(S_RAW, S_RAW_BRACE_PERCENT, TYPE_STRING);
    set(S_SLASH, S_SLASH, TYPE_WORD);
    set(S_REFINEMENT, S_REFINEMENT, TYPE_REFINEMENT);
    set(S_SLASHES, S_SLASHES, TYPE_WORD);
    set(S_HASH, S_HASH, TYPE_ISSUE);
    set(S_BINARY, S_BINARY, TYPE_BINARY);
    set(S_CHAR, S_CHAR_ESCAPE, TYPE_CHAR);
    set(S_ISSUE, S_ISSUE, TYPE_ISSUE);
    set(S_INTEGER, S_INTEGER, TYPE_INTEGER);
    set(S_POINT_DOT, S_FLOAT_SPECIAL, TYPE_FLOAT);
    set(S_TUPLE, S_TUPLE, TYPE_TUPLE);
    set(S_DATE, S_DATE, TYPE_DATE);
    set(S_TIME_COLON, S_TIME, TYPE_TIME);
    set(S_PAIR_X, S_PAIR, TYPE_PAIR);
    set(S_POINT, S_POINT, TYPE_POINT2D);
    set(S_MONEY_DOLLAR, S_MONEY_FRACTION, TYPE_MONEY);
    set(S_HEX_LETTER, S_HEX_LETTER, TYPE_INTEGER);
    set(S_HEX_H, S_HEX_H, TYPE_WORD);
    set(S_DIGITS_H, S_DIGITS_H, TYPE_INTEGER);
    set(S_LESS, S_TAG_SINGLE, TYPE_TAG);
    set(S_SIGN, S_WORD, TYPE_WORD);
    set(S_WORD_COLON, S_WORD_COLON, TYPE_SET_WORD);
    set(S_PERCENT_WORD, S_PERCENT_WORD, TYPE_WORD);
    set(S_URL, S_URL, TYPE_URL);
    set(S_EMAIL, S_EMAIL, TYPE_EMAIL);
    set(S_REF, S_REF, TYPE_REF);
    set(S_EQUAL, S_EQUAL, TYPE_WORD);
    set(S_PATH, S_PATH, TYPE_PATH);
    set(S_PATH_INTEGER, S_PATH_INTEGER, TYPE_INTEGER);
    set(S_PATH_PREFIX, S_PATH_WORD, TYPE_WORD);
    set(S_PATH_ISSUE, S_PATH_ISSUE, TYPE_ISSUE);
    set(S_PATH_SIGN, S_PATH_SIGN, TYPE_WORD);
    // Terminal states (the structural ones stand for no type).
    set(T_ERROR, T_ERROR, TYPE_ERROR);
    set(T_BRACE_CLOSE, T_BRACE_CLOSE, TYPE_STRING);
    set(T_STRING, T_STRING, TYPE_STRING);
    set(T_WORD, T_WORD, TYPE_WORD);
    set(T_ISSUE, T_ISSUE, TYPE_ISSUE);
    set(T_INTEGER, T_INTEGER, TYPE_INTEGER);
    set(T_REFINEMENT, T_REFINEMENT, TYPE_REFINEMENT);
    set(T_CHAR, T_CHAR, TYPE_CHAR);
    set(T_FILE, T_FILE, TYPE_FILE);
    set(T_BINARY, T_BINARY, TYPE_BINARY);
    set(T_PERCENT, T_PERCENT, TYPE_PERCENT);
    set(T_FLOAT, T_FLOAT_SPECIAL, TYPE_FLOAT);
    set(T_TUPLE, T_TUPLE, TYPE_TUPLE);
    set(T_DATE, T_DATE, TYPE_DATE);
    set(T_PAIR, T_PAIR, TYPE_PAIR);
    set(T_POINT, T_POINT, TYPE_POINT2D);
    set(T_TIME, T_TIME, TYPE_TIME);
    set(T_MONEY, T_MONEY, TYPE_MONEY);
    set(T_TAG, T_TAG, TYPE_TAG);
    set(T_URL, T_URL, TYPE_URL);
    set(T_EMAIL, T_EMAIL, TYPE_EMAIL);
    set(T_HEX, T_HEX, TYPE_INTEGER);
    set(T_RAW_STRING, T_RAW_STRING, TYPE_STRING);
    set(T_REF, T_REF, TYPE_REF);
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
inline constexpr std::array<std::array<uint8_t, 256>, STATE_COUNT> byte_transitions = detail::build_byte_transitions();
// 1 for S_START only: the bytes that keep the machine there are skipped.
constexpr int skip_of(int state) { return state == S_START ? 1 : 0; }
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
