// The environment built in this process (start-up without launch): library
// functions send no trace events from inside their bodies, whatever the
// script traces; the build record.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "environment/boot/boot.h"
#include "environment/build-info.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/routine.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/url.h"
#include "runtime/datatypes/word.h"
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

Cell field(const Cell& obj, const char* name) {
    return object::field_value(obj, int32_t(word::make(symbol::make(name)).data2));
}

// system/build/git is a record of the commit only in a build made inside a
// repository; elsewhere it is none, so about tells the two apart.
TEST_F(Environment, GitRecordOnlyFromARepository) {
    Cell git = field(field(*context::get(word::make(symbol::make("system"))), "build"), "git");
    if (build_info::GIT_COMMIT[0]) {
        ASSERT_EQ(type_of(git), TYPE_OBJECT);
        EXPECT_EQ(type_of(field(git, "commit")), TYPE_ISSUE);
        EXPECT_EQ(type_of(field(git, "branch")), TYPE_STRING);
    } else {
        EXPECT_EQ(type_of(git), TYPE_NONE);
    }
}

TEST_F(Environment, UrlPortsUseTheLibrarysParser) {
    ASSERT_NE(url::services().parse_url, nullptr);
    Cell* global = context::get(word::make(symbol::make("url-parser")));
    ASSERT_NE(global, nullptr);
    Restore<Cell> keep_global(*global);
    *global = make_none();
    Cell* saved = stack::state.top;
    Cell* urls = stack::push(make_none());
    const char* text = "ftp://host:21/a/b%20c ftp://host:/";
    lexer::scan(urls, reinterpret_cast<const uint8_t*>(text), int64_t(std::strlen(text)), lexer::Options{});
    Cell* parsed = stack::push(make_none());
    uint32_t thrown =
        protect(catch_level::ERRORS, [&] { url::services().parse_url(parsed, *block::ks_abs_at(*urls, 0)); });
    EXPECT_EQ(thrown, 0u);
    ASSERT_EQ(type_of(*parsed), TYPE_OBJECT);
    Cell port = field(*parsed, "port");
    EXPECT_EQ(type_of(port), TYPE_INTEGER);
    EXPECT_EQ(port.data2, 21u);
    EXPECT_EQ(type_of(field(*parsed, "target")), TYPE_FILE);
    thrown = protect(catch_level::ERRORS, [&] { url::services().parse_url(parsed, *block::ks_abs_at(*urls, 1)); });
    EXPECT_EQ(thrown, 0u);
    EXPECT_EQ(type_of(*parsed), TYPE_NONE);
    handled();
    stack::state.top = saved;
}

}  // namespace
}  // namespace kel::test
