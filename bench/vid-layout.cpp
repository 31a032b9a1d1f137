// `layout` of a generated VID block of 1,000 faces (text, button, field and
// check in turn; rows of ten closed with `return`; 40 of the faces inside
// one `panel 4 [...]`), against making the same 1,000 faces with
// `make face!` and setting their offsets and sizes in a plain Kel loop, in
// the same run, on the recording platform. Each side is timed inside the
// interpreter with `dt`, the median of several runs. Target: a ratio of at
// most 4.0.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/kel-run.h"
#include "environment/boot/boot.h"
#include "environment/boot/start.h"

using namespace kel;

namespace {

constexpr int ROUNDS = 7;

}  // namespace

int main() {
    setenv("KEL_VIEW", "record", 1);
    start_runtime();
    boot::build();
    bench::run_seconds(
        "styles: [text button field check] "
        "inner: make block! 80 "
        "repeat i 40 [append inner reduce [pick styles i - 1 // 4 + 1 \"x\"]] "
        "spec: reduce ['panel 4 inner] "
        "repeat i 960 [ "
        "  append spec reduce [pick styles i - 1 // 4 + 1 \"x\"] "
        "  if zero? i // 10 [append spec 'return] "
        "] "
        "by-hand: func [/local pane f x y] [ "
        "  pane: make block! 1000 x: 1 y: 1 "
        "  repeat i 1000 [ "
        "    f: make face! [type: pick styles i - 1 // 4 + 1 text: \"x\"] "
        "    f/size: 5x1 f/offset: as-pair x y append pane f "
        "    x: x + 6 if zero? i // 10 [x: 1 y: y + 2] "
        "  ] "
        "  pane "
        "] "
        "0.0");
    if (bench::run_seconds("w: layout spec to float! (length? w/pane) + length? w/pane/1/pane") != 1001.0) {
        std::printf("layout made the wrong number of faces\n");
        return 1;
    }
    double ours = bench::median_of("to float! dt [layout spec]", ROUNDS);
    double reference = bench::median_of("to float! dt [by-hand]", ROUNDS);
    std::printf("median of %d runs\n", ROUNDS);
    std::printf("%-40s %10.1f ms   %-16s %10.1f ms   ratio %.2f\n", "layout of 1,000 faces", ours * 1e3,
                "make face! loop", reference * 1e3, ours / reference);
    return 0;
}
