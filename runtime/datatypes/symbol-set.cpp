#include "runtime/datatypes/symbol-set.h"

#include "runtime/datatypes/symbol.h"

namespace kel {

void SymbolSet::init() {
    if (ready()) return;
    for (size_t i = 0; i < spellings_.size() && i < MAX; ++i) ids_[i] = symbol::make(spellings_[i]);
}

int32_t SymbolSet::find(int32_t symbol) const {
    if (!ready()) return -1;
    int32_t canonical = symbol::resolve(symbol);
    for (size_t i = 0; i < spellings_.size() && i < MAX; ++i)
        if (symbol::resolve(ids_[i]) == canonical) return int32_t(i);
    return -1;
}

}  // namespace kel
