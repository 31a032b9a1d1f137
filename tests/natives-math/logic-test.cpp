// same?, not, type?, max and min, and the sign tests of numbers.
#include "tests/natives-math/natives-fixture.h"

namespace kel::test {
namespace {

using Logic = Natives;

TEST_F(Logic, Probe) {
    const char* codes[] = {
        "same? 0.0 -0.0", "same? 1.0 1.0", "max 1x5 3", "min 1x5 3", "max 3 1x5", "max 1x2 1e10",
        "max 1.2.3 2", "max 1.2.3 300", "max 1 1.#NaN", "min 1.#NaN 1", "type?/word 1", "not none",
        "max 1 2.0", "max 3 2.0", "max 1.2.3 1e20", "max {a} 1", "sign? -0.5", "zero? 0x0", "zero? 0.0.0",
        "to-hex 255", "to-hex/size 255 2", "to-hex/size 255 12", "to-hex/size 255 0",
        "shift -8 1", "shift/logical -8 28", "shift 1 40", "shift/left 1 31",
        "sine 180", "cosine 90", "tangent 90", "tangent -90", "(sine 390) = sine 30", "arcsine 1", "arcsine/radians 1",
        "arctangent2 0 -1", "arctangent2 -1 0", "square-root -1", "log-e 0",
        "as-pair 1.9 -1.9", "as-pair 1e10 1", "as-point2D 1 2", "debase/base {FF} 16", "enbase {a}",
        "dehex {a%20b}", "enhex {a b/c}", "new-line? [a]", "as path! [a b]", "as string! [a]",
        "union [a b] [b c]", "union {ab} [a]", "complement? charset {a}", "stats", "length? stats/info",
        "now/year/month", "set-env {KELX} {1} get-env 'KELX", "call {}",
    };
    for (const char* c : codes) std::printf("%-40s => %s\n", c, outcome(c).c_str());
}

}  // namespace
}  // namespace kel::test
