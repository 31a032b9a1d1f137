#include "runtime/datatypes/value-from-text.h"

#include "runtime/core/fire.h"

namespace kel::value_from_text {

namespace {
Loader installed = nullptr;
}  // namespace

void install(Loader loader) { installed = loader; }

void load(Cell* out, const Cell& text) {
    if (!installed) fire(ErrorId::internal_not_done);
    installed(out, text);
}

}  // namespace kel::value_from_text
