// Inside the base decoders: reading the code points of a text stored in
// units of 1, 2 or 4 bytes (little-endian, any alignment), the comment rule
// they share, and the choice of a decoder compiled for each unit size.
#pragma once
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "runtime/core/system.h"

namespace kel::encoding::units {

template <uint32_t U>
inline uint32_t at(const uint8_t* text, uint64_t i) {
    if constexpr (U == 1) {
        return text[i];
    } else if constexpr (U == 2) {
        uint16_t v;
        std::memcpy(&v, text + 2 * i, 2);
        return v;
    } else {
        static_assert(U == 4);
        uint32_t v;
        std::memcpy(&v, text + 4 * i, 4);
        return v;
    }
}

// Called with i just past a ";": the index just past the next line feed, or
// count when the text ends first. Every code point in between is passed over.
template <uint32_t U>
inline uint64_t past_comment(const uint8_t* text, uint64_t i, uint64_t count) {
    while (i < count) {
        if (at<U>(text, i++) == '\n') break;
    }
    return i;
}

// Calls fn with std::integral_constant<uint32_t, unit>, so that each unit
// size gets its own compiled loop; any other unit ends the process (101).
template <class Fn>
inline auto by_unit(uint32_t unit, Fn&& fn) {
    switch (unit) {
    case 1:
        return fn(std::integral_constant<uint32_t, 1>{});
    case 2:
        return fn(std::integral_constant<uint32_t, 2>{});
    case 4:
        return fn(std::integral_constant<uint32_t, 4>{});
    default:
        no_switch_matched();
    }
}

}  // namespace kel::encoding::units
