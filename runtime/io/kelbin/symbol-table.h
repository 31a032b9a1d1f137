// The symbol table of a KELBIN file as the readers use it: u32 offsets into
// a strings area that ends with a NUL. A name is interned the first time a
// record uses it, once per decode, after checking that it is non-empty,
// NUL-terminated within the area and valid UTF-8. A plain word's binding in
// the global context is looked up once per entry too.
#pragma once
#include <cstdint>
#include <vector>

#include "runtime/core/cell.h"

namespace kel::kelbin {

class SymbolTable {
public:
    // offsets: count u32 entries; strings: size bytes whose last is NUL
    // (the caller checks that).
    void set(const uint8_t* offsets, uint32_t count, const uint8_t* strings, uint32_t size);
    // The symbol id of entry index, or -1 when the entry is malformed or
    // out of range (no table: every index is).
    int32_t get(uint32_t index);
    // The word of entry index bound in the global context (added there when
    // absent, found by alias, keeping the entry's spelling: what
    // context::add_global gives), in *out; false when the entry is
    // malformed. Global words are only ever added, so the answer found for
    // an entry holds for the whole decode.
    bool global_word(uint32_t index, Cell* out);

private:
    const uint8_t* offsets_ = nullptr;
    const uint8_t* strings_ = nullptr;
    uint32_t count_ = 0;
    uint32_t size_ = 0;
    std::vector<int32_t> interned_;
    std::vector<Cell> global_;  // per entry; an unset header: not looked up yet
};

}  // namespace kel::kelbin
