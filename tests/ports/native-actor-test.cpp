// A port whose actor is a native table registered from C++: the action
// dispatcher calls its entries with the action's typed arguments, and an
// empty entry raises no-port-action.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/datatypes/context.h"
#include "runtime/datatypes/port.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "tests/boot-library.h"
#include "tests/kel-eval.h"
#include "tests/support.h"

namespace kel::test {
namespace {

std::vector<int32_t> appended;

void append_entry(Cell* out, Cell* series, Cell* value, const AppendOptions& options, bool append) {
    appended.push_back(type_of(*value) == TYPE_INTEGER ? int32_t(value->data2) : -1);
    appended.push_back(options.dup);
    appended.push_back(append ? 1 : 0);
    *out = *series;
}

TEST(NativeActor, ServesItsEntriesAndRefusesTheOthers) {
    boot_library();
    static const Cell actor = [] {
        port::ActorTable table{};
        table[ACTION_APPEND - ACTION_APPEND] =
            reinterpret_cast<datatype::Action>(static_cast<ActionSlot<ACTION_APPEND>::type>(append_entry));
        return port::register_native_actor(table);
    }();
    Cell word = word::make_global("native-actor-handle");
    context::set(word, actor);
    ASSERT_EQ(evaluate("register-scheme/native make object! [name: 'nat actor: none] native-actor-handle").error, -1);
    appended.clear();
    Evaluated made = evaluate("p: make port! [scheme: 'nat] append/dup p 7 3 type? p");
    EXPECT_EQ(made.error, -1);
    EXPECT_EQ(made.text, "port!");
    EXPECT_EQ(appended, (std::vector<int32_t>{7, 3, 1}));
    EXPECT_EQ(evaluate("head p").error, id(ErrorId::access_no_port_action));
    EXPECT_EQ(evaluate("read p").error, id(ErrorId::access_no_port_action));
    EXPECT_EQ(evaluate("copy/part mold p 12").text, "\"make port! [\"");
}

}  // namespace
}  // namespace kel::test
