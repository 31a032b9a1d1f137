// The view engine on the recording platform (no log kept), two ratios from
// the same run, median of several runs each:
// - `show` of a new window holding 10 panels of 100 faces, against `make
//   face!` of the same 1,000 faces (the faces' own cost);
// - setting `color` on a realised face with auto-sync off (the face's
//   change handler marks the facet), against setting a field of an object
//   whose `on-change*` is an empty function.
#include <cstdio>

#include "bench/bench.h"
#include "bench/kel-run.h"
#include "tests/boot-library.h"

namespace {

using namespace kel;

constexpr int ROUNDS = 7;

// The tree is made outside the timed show; `unview/all` closes it after.
// The reference makes the same tree: the window, 10 panels, 1,000 faces.
const char* const SETUP = R"(
bench-tree: func [/local panels kids] [
	panels: make block! 10
	loop 10 [
		kids: make block! 100
		loop 100 [append kids make face! [type: 'base size: 2x1]]
		append panels make face! [type: 'panel size: 80x24 pane: kids]
	]
	make face! [type: 'window size: 80x24 offset: 0x0 pane: panels]
]
bench-show: func [/local w t] [
	w: bench-tree
	t: dt [show w]
	unview/all
	t
]
bench-face: make face! [type: 'base]
show/force bench-face
bench-plain: object [color: none on-change*: func [word old new] []]
)";

}  // namespace

int main() {
    test::boot_library();
    bench::run_seconds(std::string(SETUP) + " 0.0");

    double show = bench::median_of("to float! bench-show", ROUNDS);
    double make = bench::median_of("to float! dt [bench-tree]", ROUNDS);
    bench::report("show of 10 panels of 100 faces", show, make, "make face! of them");

    const char* set_color =
        "system/view/auto-sync?: false "
        "t: to float! dt [repeat i 100000 [bench-face/color: i]] "
        "system/view/auto-sync?: true t";
    double color = bench::median_of(set_color, ROUNDS);
    double plain = bench::median_of("to float! dt [repeat i 100000 [bench-plain/color: i]]", ROUNDS);
    bench::report("color of a realised face, auto-sync off", color, plain, "empty on-change* field");
    return 0;
}
