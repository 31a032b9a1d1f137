#include "view/view-routines.h"

#include "runtime/core/types.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/symbol.h"

namespace kel::view {

namespace {

using routines::Arg;
using routines::Result;

bool same_word(const Cell& a, const Cell& b) {
    return symbol::resolve(int32_t(a.data2)) == symbol::resolve(int32_t(b.data2));
}

Result find_flag_routine(const Arg* a, int32_t) { return {find_flag(*a[0].cell, *a[1].cell) ? 1 : 0}; }

const routines::Entry ENTRIES[] = {
    {"find-flag?", R"~(facet [any-type!] flag [word!] return: [logic!])~", TYPE_LOGIC, find_flag_routine},
};

}  // namespace

std::span<const routines::Entry> view_routines() { return ENTRIES; }

bool find_flag(const Cell& facet, const Cell& flag) {
    uint32_t t = type_of(facet);
    if (t == TYPE_WORD) return same_word(facet, flag);
    if (t != TYPE_BLOCK) return false;
    // No allocation happens here, so the buffer stays put.
    int32_t n = block::ks_length(facet);
    for (int32_t i = 0; i < n; ++i) {
        const Cell& c = *block::ks_abs_at(facet, int32_t(facet.data1) + i);
        uint32_t ct = type_of(c);
        if ((ct == TYPE_WORD || ct == TYPE_LIT_WORD) && same_word(c, flag)) return true;
    }
    return false;
}

}  // namespace kel::view
