#include "runtime/numbers/random.h"

#include "runtime/core/fire.h"

namespace kel::random {

Source& source() {
    static Source installed;
    return installed;
}

namespace {

int32_t draw(bool secure) {
    if (!source().next) fire(ErrorId::internal_not_done);
    return source().next(secure);
}

}  // namespace

void seed(int32_t value) {
    if (!source().seed) fire(ErrorId::internal_not_done);
    source().seed(value);
}

int32_t uniform(int32_t n, bool secure) {
    if (n == 0) return 0;
    if (n == INT32_MIN) return -1 - draw(secure);
    if (n < 0) return -uniform(-n, secure);
    int32_t limit = (INT32_MAX / n) * n;
    int32_t r;
    do r = draw(secure);
    while (r >= limit);
    return r % n + 1;
}

}  // namespace kel::random
