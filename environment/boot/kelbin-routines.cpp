// The routines of system/codecs/kelbin: encode* (a value to the bytes of a
// KELBIN file, compact or standard form) and decode (a binary! as it is, or
// the bytes of a file! or url!, back to the value).
#include "environment/boot/routine-table.h"
#include "runtime/core/fire.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/kelbin/kelbin.h"
#include "runtime/io/simple-io.h"

namespace kel::library {
namespace {

using routines::Arg;
using routines::Result;

// The value's file; compact? must be logic!.
Result encode(const Arg* a, int32_t) {
    Cell* out = a[0].cell;
    const Cell& compact = *a[1].cell;
    if (type_of(compact) != TYPE_LOGIC)
        fire(ErrorId::script_expect_arg,
             {word::make(symbol::make("encode*")), datatype::make(type_of(compact)),
              word::make(symbol::make("compact"))});
    std::vector<uint8_t> bytes = compact.data1 ? kelbin::encode_compact(*out) : kelbin::encode_standard(*out);
    Cell* saved = stack::top();
    *out = *binary::load_in(bytes.data(), bytes.size(), nullptr);
    stack::pop(uint32_t(stack::top() - saved));
    return {};
}

// The first value of the file (the writers write one).
Result decode(const Arg* a, int32_t) {
    Cell* out = a[0].cell;
    Cell* saved = stack::top();
    Cell* data = stack::push(*out);
    if (type_of(*data) == TYPE_FILE) simple_io::read(data, *out, nullptr, nullptr, true, false);
    if (type_of(*data) == TYPE_URL) {
        // read/binary of the URL (its scheme's client).
        Cell* url = stack::push(*out);
        ReadArgs args;
        args.binary = true;
        actions::read(data, url, args);
    }
    if (type_of(*data) != TYPE_BINARY || binary::ks_length(*data) <= 10) fire(ErrorId::script_invalid_data, {*out});
    Cell* values = block::push_only(1);
    // decode copies the bytes before it allocates.
    kelbin::decode(binary::ks_head(*data), size_t(binary::ks_length(*data)), *values);
    *out = block::buffer(*values)->cell_count() > 0 ? block::buffer(*values)->cells()[0] : make_none();
    stack::pop(uint32_t(stack::top() - saved));
    return {};
}

const RoutineDef KELBIN[] = {
    {"encode*", "value [any-type!] compact [any-type!] return: [binary!]", -1, encode},
    {"decode", "data [any-type!]", -1, decode},
};

}  // namespace

std::span<const RoutineDef> kelbin_routines() { return KELBIN; }

}  // namespace kel::library
