#include "runtime/core/print.h"

#include <cstdio>

#include "runtime/platform/console.h"
#include "runtime/platform/gui-hooks.h"

namespace kel {

namespace {

// Formats `shown` into the number buffer, writes what was formatted and
// returns `value`, the number printer's argument.
template <class Value, class Shown>
Value print_number(const char* format, Value value, Shown shown) {
    int n = std::snprintf(console::number_buffer(), console::NUMBER_BUFFER_SIZE, format, shown);
    if (n < 0) n = 0;
    if (size_t(n) >= console::NUMBER_BUFFER_SIZE) n = int(console::NUMBER_BUFFER_SIZE - 1);
    console::print_number_buffer(size_t(n));
    return value;
}

bool separates(int last) { return last != ' ' && last != '\n' && last != '\r' && last != '\t'; }

void print_items(std::initializer_list<PrintItem> items, bool spaced, bool newline) {
    gui::before_output();
    size_t left = items.size();
    for (const PrintItem& item : items) {
        int last = -1;  // the item's last character; none for numbers
        switch (item.type) {
        case PrintItem::LOGIC:
            console::print_c_string(item.value ? "true" : "false");
            break;
        case PrintItem::INTEGER:
            print_integer(int32_t(uint32_t(item.value)));
            break;
        case PrintItem::FLOAT64: {
            double d;
            std::memcpy(&d, &item.value, sizeof d);
            print_float64(d);
            break;
        }
        case PrintItem::FLOAT32: {
            uint32_t bits = uint32_t(item.value);
            float f;
            std::memcpy(&f, &bits, sizeof f);
            print_float32(f);
            break;
        }
        case PrintItem::BYTE:
            last = uint8_t(item.value);
            print_byte(uint8_t(item.value));
            break;
        case PrintItem::TEXT: {
            const char* s = reinterpret_cast<const char*>(uintptr_t(item.value));
            size_t n = s ? std::strlen(s) : 0;
            if (n) last = uint8_t(s[n - 1]);
            console::print_c_string(s);
            break;
        }
        default:
            print_hex(uint32_t(item.value));
        }
        if (--left > 0 && spaced && separates(last)) console::print_c_string(" ");
    }
    if (newline) print_byte('\n');
    std::fflush(nullptr);
    gui::after_output();
}

}  // namespace

void system_print_spaced(std::initializer_list<PrintItem> items, bool spaced) { print_items(items, spaced, false); }

void system_print(std::initializer_list<PrintItem> items) { print_items(items, false, false); }

void print_line(std::initializer_list<PrintItem> items) { print_items(items, false, true); }

uint8_t print_byte(uint8_t b) {
    const char text[2] = {char(b), 0};
    console::print_c_string(text);
    return b;
}

int32_t print_integer(int32_t v) { return print_number("%i", v, v); }
uint8_t print_hex_byte(uint8_t v) { return print_number("%02X", v, unsigned(v)); }
uint32_t print_hex(uint32_t v) { return print_number("%08X", v, unsigned(v)); }
double print_float64(double v) { return print_number("%.16g", v, v); }
float print_float32(float v) { return print_number("%.7g", v, double(v)); }

}  // namespace kel
