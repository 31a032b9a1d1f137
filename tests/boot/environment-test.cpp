// The environment built in this process (start-up without launch): library
// functions send no trace events from inside their bodies, whatever the
// script traces.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "environment/boot.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/none.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/routines.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/evaluator/trace.h"
#include "runtime/io/lexer.h"
#include "runtime/memory/roots.h"
#include "tests/support.h"

namespace kel::test {
namespace {

struct Environment : ::testing::Test {
    static void SetUpTestSuite() {
        boot();
        boot::build();
    }
};

std::vector<NodeId> traced_blocks;

// A routine tracer that records the code block of every event.
Cell recorder() {
    static Cell* r = nullptr;
    if (!r) {
        Cell* spec = stack::push(make_none());
        const char* text = "e [any-type!] c [any-type!] o [any-type!] v [any-type!] r [any-type!] f [any-type!]";
        lexer::scan(spec, reinterpret_cast<const uint8_t*>(text), int64_t(std::strlen(text)), lexer::Options{});
        int32_t index = routines::add([](const routines::Arg* args, int32_t) {
            const Cell& code = *args[1].cell;
            if (type_of(code) == TYPE_BLOCK) traced_blocks.push_back(cell_node(code));
            return routines::Result{0};
        });
        r = roots::append(*routine::push(*spec, nullptr, index, -1, false));
        stack::pop(2);
    }
    return *r;
}

TEST_F(Environment, LibraryBodiesSendNoTraceEvents) {
    Cell first = boot::insulated("first");
    ASSERT_EQ(type_of(first), TYPE_FUNCTION);
    NodeId body = cell_node(memory::buffer_of(first.data3)->cells()[0]);
    Cell* saved = stack::state.top;
    Cell* code = stack::push(make_none());
    const char* text = "first [1 2]";
    lexer::scan(code, reinterpret_cast<const uint8_t*>(text), int64_t(std::strlen(text)), lexer::Options{});
    traced_blocks.clear();
    interpreter::trace::install(recorder());
    uint32_t thrown = protect(catch_level::ERRORS, [&] { (void)interpreter::eval(*code, false); });
    interpreter::trace::finish();
    EXPECT_EQ(thrown, 0u);
    handled();
    stack::state.top = saved;
    EXPECT_FALSE(traced_blocks.empty());
    for (NodeId n : traced_blocks) EXPECT_NE(n, body);
}

}  // namespace
}  // namespace kel::test
