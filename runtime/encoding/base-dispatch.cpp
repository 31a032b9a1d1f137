// The span level's choice of coder by base, the room each needs, and the
// versions over C++ containers.
#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/encoding/base-encodings.h"

namespace kel::encoding {

Base base_of(const Cell& value) {
    if (type_of(value) == TYPE_INTEGER) {
        switch (cell_integer(value)) {
        case 2:
            return Base::base2;
        case 16:
            return Base::base16;
        case 58:
            return Base::base58;
        case 64:
            return Base::base64;
        default:
            break;
        }
    }
    fire(ErrorId::script_invalid_arg, {value});
}

uint64_t encoded_room(Base base, uint64_t n) {
    if (n > MAX_LENGTH) fire(ErrorId::script_too_long);
    switch (base) {
    case Base::base2:
        return 8 * n;
    case Base::base16:
        return 2 * n;
    case Base::base58:
        return 2 * n;
    case Base::base64:
        return 4 * ((n + 2) / 3);
    }
    no_switch_matched();
}

uint64_t decoded_room(Base base, uint64_t count) {
    if (count > MAX_LENGTH) fire(ErrorId::internal_no_memory);
    switch (base) {
    case Base::base2:
        return count / 8;
    case Base::base16:
        return count / 2;
    case Base::base58:
        return count;
    case Base::base64:
        return (count + 3) / 4 * 3;
    }
    no_switch_matched();
}

uint8_t* encode(Base base, const uint8_t* src, uint64_t n, uint8_t* out) {
    switch (base) {
    case Base::base2:
        return encode_2(src, n, out);
    case Base::base16:
        return encode_16(src, n, out);
    case Base::base58:
        return encode_58(src, n, out);
    case Base::base64:
        return encode_64(src, n, out);
    }
    no_switch_matched();
}

int64_t decode(Base base, const uint8_t* text, uint64_t count, uint32_t unit, uint8_t* out) {
    switch (base) {
    case Base::base2:
        return decode_2(text, count, unit, out);
    case Base::base16:
        return decode_16(text, count, unit, out);
    case Base::base58:
        return decode_58(text, count, unit, out);
    case Base::base64:
        return decode_64(text, count, unit, out);
    }
    no_switch_matched();
}

std::string encode(Base base, const uint8_t* src, uint64_t n) {
    std::string text(encoded_room(base, n) + 1, '\0');  // never empty: data() is a real address
    auto* out = reinterpret_cast<uint8_t*>(text.data());
    text.resize(uint64_t(encode(base, src, n, out) - out));
    return text;
}

bool decode(Base base, const uint8_t* text, uint64_t count, uint32_t unit, std::vector<uint8_t>& out) {
    out.assign(decoded_room(base, count) + 1, 0);
    int64_t n = decode(base, text, count, unit, out.data());
    out.resize(n < 0 ? 0 : uint64_t(n));
    return n >= 0;
}

}  // namespace kel::encoding
