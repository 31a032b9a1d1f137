#include "environment/boot/start.h"

#include "runtime/checksum/methods.h"
#include "runtime/core/hooks.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/bitset.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/date.h"
#include "runtime/datatypes/email.h"
#include "runtime/datatypes/error.h"
#include "runtime/datatypes/event.h"
#include "runtime/datatypes/file.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/handle.h"
#include "runtime/datatypes/hash.h"
#include "runtime/datatypes/image.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/money.h"
#include "runtime/datatypes/native.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/path.h"
#include "runtime/datatypes/percent.h"
#include "runtime/datatypes/point.h"
#include "runtime/datatypes/port.h"
#include "runtime/datatypes/ref.h"
#include "runtime/datatypes/routine.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/tag.h"
#include "runtime/datatypes/time.h"
#include "runtime/datatypes/triple.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/unset.h"
#include "runtime/datatypes/url.h"
#include "runtime/datatypes/vector.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/dispatch.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/natives.h"
#include "runtime/evaluator/stack.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/hashing/symbol-table.h"
#include "runtime/io/call.h"
#include "runtime/io/compression.h"
#include "runtime/io/http-client.h"
#include "runtime/io/lexer.h"
#include "runtime/memory/cell-slots.h"
#include "runtime/memory/collector.h"
#include "runtime/memory/externals.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/ownership.h"
#include "runtime/memory/roots.h"
#include "runtime/numbers/random.h"
#include "runtime/platform/console.h"
#include "runtime/text/case-folding.h"

namespace kel {

void start_runtime(bool defer_stress) {
    static bool started = false;
    if (started) return;
    started = true;
    hooks::init();
    console::init();
    // Before memory exists: the generator's state allocates nothing.
    random::init();
    memory::init();
    externals::init();
    // Datatypes register parents before children.
    datatype::init();
    unset::init();
    none::init();
    logic::init();
    series::init();
    block::init();
    string::init();
    binary::init();
    // The other string types, as children of string!; file! after url!.
    url::init();
    file::init();
    tag::init();
    email::init();
    ref::init();
    integer::init();
    char_::init();
    float_::init();
    symbol::init();
    context::init();
    word::init();
    typeset::init();
    native::init();
    function::init();
    routine::init();
    percent::init();
    time_::init();
    date::init();
    money::init();
    pair::init();
    tuple::init();
    triple::init();
    point::init();
    bitset::init();
    object::init();
    port::init();
    error::init();
    vector::init();
    map::init();
    hash::init();
    // After block!: the paths and paren! inherit its actions.
    path::init();
    handle::init();
    image::init();
    event::init();
    actions::init_dispatcher();
    natives::init();
    memory::init_frames();
    roots::init_root_block();
    stack::init();
    hashtable::init();
    symbol_table::init();
    context::init_global();
    words::build();
    object::wire_services();
    stack::init_calls();
    interpreter::init();
    datatype::make_words(word::make_global);
    lexer::init();
    ownership::init();
    checksum::init();
    compression::init_methods();
    call::init();
    http_client::init();
    image::init_factory();
    cell_slots::init();
    error::build();
    collector::init();
    collector::set_active(true);
    if (!defer_stress) memory::begin_stress();
}

}  // namespace kel
