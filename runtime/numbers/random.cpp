#include "runtime/numbers/random.h"

#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/datatypes/string.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/numbers/twister.h"
#include "runtime/platform/secure-random.h"

namespace kel::random {

Source& source() {
    static Source installed;
    return installed;
}

namespace {

Twister generator;

int32_t draw(bool secure) {
    if (!source().next) fire(ErrorId::internal_not_done);
    return source().next(secure);
}

int32_t installed_next(bool secure) { return secure ? secure_next() : next(); }

[[noreturn]] void fire_no_secure_source() {
    static constexpr char what[] = "secure random numbers";
    // On the argument stack, so that the string lives while the error is made.
    Cell* text =
        string::import(reinterpret_cast<const uint8_t*>(what), int32_t(sizeof what - 1), string::ENCODING_UTF8);
    fire(ErrorId::internal_not_here, {*text});
}

}  // namespace

void init() {
    generator.seed(Twister::DEFAULT_SEED);
    hashtable::set_seed(hashtable::DEFAULT_SEED);
    source() = Source{seed_generator, installed_next};
}

void seed(int32_t value) {
    if (!source().seed) fire(ErrorId::internal_not_done);
    source().seed(value);
}

void seed_generator(int32_t value) { generator.seed(value); }

int32_t next() { return generator.next(); }

int32_t secure_next() { return secure_next(platform::secure_random_bytes); }

int32_t secure_next(SecureBytes fill) {
    uint8_t b[4];
    if (!fill(std::span<uint8_t>(b, sizeof b))) fire_no_secure_source();
    uint32_t v;
    std::memcpy(&v, b, sizeof v);
    return int32_t(v & 0x7FFFFFFFu);
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
