// Validity of decoded scalars.
#include "runtime/io/kelbin/scalars.h"

#include <cmath>

#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/date.h"
#include "runtime/datatypes/money.h"
#include "runtime/datatypes/tuple.h"

namespace kel::kelbin {

bool scalar_ok(const Cell& c) {
    switch (type_of(c)) {
    case TYPE_DATATYPE: {
        uint32_t id = datatype::type_of_value(c);
        return id != 0 && id < TYPE_TOTAL && datatype::name(id) != nullptr;
    }
    case TYPE_CHAR:
        return c.data2 <= 0x10FFFF;
    case TYPE_DATE:
        if (!date::valid_word(c.data1)) return false;
        return !(c.data1 & date::TIME_FLAG) || std::isfinite(cell_double(c));
    case TYPE_MONEY: {
        const uint8_t* b = reinterpret_cast<const uint8_t*>(&c.data1);
        return money::valid_bytes(b[0], b + 1);
    }
    case TYPE_TUPLE: {
        uint32_t n = tuple::count(c);
        return n >= 1 && n <= tuple::MAX_BYTES;
    }
    default:
        return true;
    }
}

}  // namespace kel::kelbin
