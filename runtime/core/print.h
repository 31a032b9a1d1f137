// Typed print: the systems layer prints reports and diagnostics as a counted
// list of typed items, without going through language values.
#pragma once
#include <cstdint>
#include <cstring>
#include <initializer_list>

namespace kel {

struct PrintItem {
    enum : uint32_t { LOGIC = 1, INTEGER = 2, BYTE = 3, FLOAT32 = 4, FLOAT64 = 5, TEXT = 6, HEX = 7 };
    uint32_t type;
    uint64_t value;  // the value; a float's bits; a NUL-terminated text's address

    static PrintItem logic(uint32_t v) { return {LOGIC, v}; }
    static PrintItem integer(int32_t v) { return {INTEGER, uint32_t(v)}; }
    static PrintItem byte(uint8_t v) { return {BYTE, v}; }
    static PrintItem hex(uint32_t v) { return {HEX, v}; }
    static PrintItem text(const char* s) { return {TEXT, reinterpret_cast<uintptr_t>(s)}; }
    static PrintItem float64(double d) {
        uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        return {FLOAT64, bits};
    }
    static PrintItem float32(float f) {
        uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        return {FLOAT32, bits};
    }
};

// Prints the items one after the other; with `spaced`, a space between two
// items unless the first ends in a space, LF, CR or TAB.
void system_print_spaced(std::initializer_list<PrintItem> items, bool spaced);
void system_print(std::initializer_list<PrintItem> items);
// system_print, then a newline.
void print_line(std::initializer_list<PrintItem> items);

uint8_t print_byte(uint8_t b);
int32_t print_integer(int32_t v);  // "%i"
uint8_t print_hex_byte(uint8_t v);  // "%02X"
uint32_t print_hex(uint32_t v);  // "%08X"
double print_float64(double v);  // "%.16g"
float print_float32(float v);  // "%.7g"

}  // namespace kel
