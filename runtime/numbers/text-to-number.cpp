// The integer and float readers. Each walks the code points through a reader
// for the unit size; the float reader narrows them to ASCII bytes in a local
// buffer and hands those to the shared float-token reader.
#include "runtime/numbers/text-to-number.h"

#include <array>
#include <cstring>
#include <limits>

#include "runtime/core/system.h"
#include "runtime/numbers/float-syntax.h"
#include "runtime/numbers/float-text.h"

namespace kel::numbers {

namespace {

// The code point of unit i of a text of `Unit`-sized units.
template <typename Unit>
uint32_t code_point(const uint8_t* first, size_t i) {
    Unit unit;
    std::memcpy(&unit, first + i * sizeof(Unit), sizeof(Unit));
    return unit;
}

// Calls reader.template operator()<Unit>() for the unit size; any other size
// is a defect of the caller and ends the process.
template <typename Reader>
auto by_unit(uint32_t unit, Reader reader) {
    switch (unit) {
    case 1:
        return reader.template operator()<uint8_t>();
    case 2:
        return reader.template operator()<uint16_t>();
    case 4:
        return reader.template operator()<uint32_t>();
    default:
        no_switch_matched();
    }
}

template <typename Unit>
IntegerRead integer_from_units(const uint8_t* first, size_t count) {
    size_t i = 0;
    bool negative = false;
    if (count > 0) {
        const uint32_t c = code_point<Unit>(first, 0);
        if (c == '+' || c == '-') {
            negative = c == '-';
            i = 1;
        }
    }
    // The magnitude stays within 2^31 before each step, so int64 never
    // overflows; the smallest integer is taken only as a whole magnitude.
    const int64_t limit = negative ? int64_t{1} << 31 : (int64_t{1} << 31) - 1;
    int64_t magnitude = 0;
    bool any_digit = false;
    for (; i < count; ++i) {
        const uint32_t c = code_point<Unit>(first, i);
        if (c >= '0' && c <= '9') {
            magnitude = magnitude * 10 + (c - '0');
            if (magnitude > limit) return {0, READ_OVERFLOW};
            any_digit = true;
        } else if (c != '\'') {
            return {0, READ_INVALID};
        }
    }
    if (!any_digit) return {0, READ_INVALID};
    return {static_cast<int32_t>(negative ? -magnitude : magnitude), READ_OK};
}

constexpr FloatRead FLOAT_INVALID{std::numeric_limits<double>::quiet_NaN(), READ_INVALID};

template <typename Unit>
FloatRead float_from_units(const uint8_t* first, size_t count) {
    if (count > FLOAT_TEXT_LIMIT) return FLOAT_INVALID;
    std::array<char, FLOAT_TEXT_LIMIT> bytes;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t c = code_point<Unit>(first, i);
        if (c > 0x7F) return FLOAT_INVALID;
        bytes[i] = c == ',' ? '.' : static_cast<char>(c);
    }
    return read_float_token(std::string_view(bytes.data(), count), 0);
}

const uint8_t* bytes_of(std::string_view text) { return reinterpret_cast<const uint8_t*>(text.data()); }

}  // namespace

IntegerRead read_integer(const uint8_t* first, size_t count, uint32_t unit) {
    return by_unit(unit, [&]<typename Unit>() { return integer_from_units<Unit>(first, count); });
}

IntegerRead read_integer(std::string_view utf8) { return integer_from_units<uint8_t>(bytes_of(utf8), utf8.size()); }

FloatRead read_float(const uint8_t* first, size_t count, uint32_t unit) {
    return by_unit(unit, [&]<typename Unit>() { return float_from_units<Unit>(first, count); });
}

FloatRead read_float(std::string_view utf8) { return float_from_units<uint8_t>(bytes_of(utf8), utf8.size()); }

FloatRead read_float_token(std::string_view text, int extra_exponent) {
    if (!float_syntax(text)) return FLOAT_INVALID;
    std::array<char, FLOAT_TEXT_LIMIT> digits;
    size_t length = 0;
    for (char c : text) {
        if (c != '\'') digits[length++] = c;
    }
    // The syntax lets through texts the converter takes only in part (more
    // than one sign) or not at all (no digit: ".", "-."); both are refused.
    std::ptrdiff_t unread = 0;
    const double value = dtoa::string_to_float(digits.data(), digits.data() + length, extra_exponent, &unread);
    if (unread != 0) return FLOAT_INVALID;
    return {value, READ_OK};
}

}  // namespace kel::numbers
