// Symbol look-up for the readers.
#include "runtime/io/kelbin/symbol-table.h"

#include <cstring>

#include "runtime/datatypes/context.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/text/unicode.h"

namespace kel::kelbin {

void SymbolTable::set(const uint8_t* offsets, uint32_t count, const uint8_t* strings, uint32_t size) {
    offsets_ = offsets;
    count_ = count;
    strings_ = strings;
    size_ = size;
    interned_.assign(count, -1);
    global_.clear();
}

int32_t SymbolTable::get(uint32_t index) {
    if (index >= count_) return -1;
    if (interned_[index] >= 0) return interned_[index];
    const uint8_t* at = offsets_ + 4 * size_t(index);
    uint32_t offset = uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
    if (offset >= size_) return -1;
    const uint8_t* name = strings_ + offset;
    const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(name, 0, size_ - offset));
    if (!nul || nul == name) return -1;
    for (const uint8_t* q = name; q < nul;) {
        int32_t len = 0;
        if (unicode::decode_utf8_status(q, int32_t(nul - q), len) < 0) return -1;
        q += len;
    }
    interned_[index] = symbol::make_with_length(name, uint32_t(nul - name));
    return interned_[index];
}

bool SymbolTable::global_word(uint32_t index, Cell* out) {
    int32_t id = get(index);
    if (id < 0) return false;
    if (global_.empty()) global_.assign(count_, Cell{});
    if (global_[index].header == 0) global_[index] = context::add_global(id, true, true);
    *out = global_[index];
    return true;
}

}  // namespace kel::kelbin
