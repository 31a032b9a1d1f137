// Type ids: the byte in bits 0-7 of every cell header.
#pragma once
#include <cstdint>

namespace kel {

inline constexpr uint32_t TYPE_DATATYPE = 1;
inline constexpr uint32_t TYPE_UNSET = 2;
inline constexpr uint32_t TYPE_NONE = 3;
inline constexpr uint32_t TYPE_LOGIC = 4;
inline constexpr uint32_t TYPE_BLOCK = 5;
inline constexpr uint32_t TYPE_PAREN = 6;
inline constexpr uint32_t TYPE_STRING = 7;
inline constexpr uint32_t TYPE_FILE = 8;
inline constexpr uint32_t TYPE_URL = 9;
inline constexpr uint32_t TYPE_CHAR = 10;
inline constexpr uint32_t TYPE_INTEGER = 11;
inline constexpr uint32_t TYPE_FLOAT = 12;
inline constexpr uint32_t TYPE_SYMBOL = 13;
inline constexpr uint32_t TYPE_CONTEXT = 14;
inline constexpr uint32_t TYPE_WORD = 15;
inline constexpr uint32_t TYPE_SET_WORD = 16;
inline constexpr uint32_t TYPE_LIT_WORD = 17;
inline constexpr uint32_t TYPE_GET_WORD = 18;
inline constexpr uint32_t TYPE_REFINEMENT = 19;
inline constexpr uint32_t TYPE_ISSUE = 20;
inline constexpr uint32_t TYPE_NATIVE = 21;
inline constexpr uint32_t TYPE_ACTION = 22;
inline constexpr uint32_t TYPE_OP = 23;
inline constexpr uint32_t TYPE_FUNCTION = 24;
inline constexpr uint32_t TYPE_PATH = 25;
inline constexpr uint32_t TYPE_LIT_PATH = 26;
inline constexpr uint32_t TYPE_SET_PATH = 27;
inline constexpr uint32_t TYPE_GET_PATH = 28;
inline constexpr uint32_t TYPE_ROUTINE = 29;
inline constexpr uint32_t TYPE_BITSET = 30;
inline constexpr uint32_t TYPE_TRIPLE = 31;
inline constexpr uint32_t TYPE_OBJECT = 32;
inline constexpr uint32_t TYPE_TYPESET = 33;
inline constexpr uint32_t TYPE_ERROR = 34;
inline constexpr uint32_t TYPE_VECTOR = 35;
inline constexpr uint32_t TYPE_HASH = 36;
inline constexpr uint32_t TYPE_PAIR = 37;
inline constexpr uint32_t TYPE_PERCENT = 38;
inline constexpr uint32_t TYPE_TUPLE = 39;
inline constexpr uint32_t TYPE_MAP = 40;
inline constexpr uint32_t TYPE_BINARY = 41;
inline constexpr uint32_t TYPE_SERIES = 42;
inline constexpr uint32_t TYPE_TIME = 43;
inline constexpr uint32_t TYPE_TAG = 44;
inline constexpr uint32_t TYPE_EMAIL = 45;
inline constexpr uint32_t TYPE_HANDLE = 46;
inline constexpr uint32_t TYPE_DATE = 47;
inline constexpr uint32_t TYPE_PORT = 48;
inline constexpr uint32_t TYPE_MONEY = 49;
inline constexpr uint32_t TYPE_REF = 50;
inline constexpr uint32_t TYPE_POINT2D = 51;
inline constexpr uint32_t TYPE_POINT3D = 52;
inline constexpr uint32_t TYPE_IMAGE = 53;
inline constexpr uint32_t TYPE_EVENT = 54;

// The size of every table indexed by type id (ids 0-56), not an id: an id t
// has a row when t < TYPE_TOTAL. The highest id in use is TYPE_EVENT (54);
// 55 and 56 are spare rows.
inline constexpr uint32_t TYPE_TOTAL = 57;

}  // namespace kel
