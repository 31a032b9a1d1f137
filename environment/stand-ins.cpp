// Stand-ins for natives the library calls that the native table does not
// hold yet: `transcode`, which `load` calls. Each is a routine! with the
// native's spec, made only when its word has no value once the natives are
// made: as soon as the real native is registered, its stand-in is never
// made. They do what the library needs of the native and no more.
#include "environment/stand-ins.h"

#include "environment/routine-table.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/io/lexer.h"
#include "runtime/memory/roots.h"

namespace kel::library {

namespace {

using routines::Arg;
using routines::Result;

Cell* frame() { return stack::state.arguments; }
// A refinement's logic! cell in a routine's frame (routines get one cell per
// refinement, then its arguments).
bool flag(int32_t cell) { return type_of(frame()[cell]) == TYPE_LOGIC && frame()[cell].data1 != 0; }

// transcode source /next /one /prescan /scan /part length /into out /trace
// callback: frame cells 0 source, 1 next, 2 one, 3 prescan, 4 scan, 5 part,
// 6 length, 7 into, 8 out, 9 trace, 10 callback.
Result transcode(const Arg* a, int32_t) {
    lexer::TranscodeOptions o;
    o.next = flag(1);
    o.one = flag(2);
    o.prescan = flag(3);
    o.scan = flag(4);
    if (flag(5)) o.part = &frame()[6];
    if (flag(7)) o.into = &frame()[8];
    if (flag(9)) o.trace = &frame()[10];
    Cell source = *a[0].cell;
    Rooted keep(source);
    Cell* out = stack::push(make_none());
    lexer::transcode(out, source, o);
    frame()[0] = *out;
    return {};
}

const RoutineDef STAND_INS[] = {
    {"transcode",
     "src [any-type!] /next /one /prescan /scan /part length [any-type!] /into out [any-type!] /trace callback [any-type!]",
     -1, transcode},
};

}  // namespace

void define_stand_ins() {
    for (const RoutineDef& def : STAND_INS) {
        Cell w = context::add_global(symbol::make(def.word), false, true);
        if (type_of(*context::get(w)) == TYPE_UNSET) routines::make_words({&def, 1});
    }
}

}  // namespace kel::library
