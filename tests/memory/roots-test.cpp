// The root block, boot literal access, cell primitives and the argument
// stack cells.
#include <gtest/gtest.h>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"
#include "tests/support.h"

namespace kel {
namespace {

using test::error_of;
using test::id;
using test::Restore;

TEST(CellPrimitives, CopySetTypeAndNewLine) {
    Cell c = make_integer(5);
    c.header |= CELL_NEW_LINE;
    EXPECT_EQ(copy_cell(&c, &c), &c);
    EXPECT_EQ(cell_integer(c), 5);
    set_type(c, TYPE_CHAR);
    EXPECT_EQ(type_of(c), TYPE_CHAR);
    EXPECT_TRUE(c.header & CELL_NEW_LINE);
    clear_new_line(c);
    EXPECT_EQ(c.header, TYPE_CHAR);
    Cell d{};
    copy_cell(&c, &d);
    EXPECT_EQ(cell_integer(d), 5);
    set_cell_double(d, -2.5);
    EXPECT_EQ(cell_double(d), -2.5);
}

TEST(RootBlock, LiteralsAreRangeChecked) {
    test::boot();
    Cell literals = roots::literal_block();
    Restore<uint64_t> tail(block::buffer(literals)->tail);
    uint32_t count = uint32_t(block::buffer(literals)->cell_count()) - roots::literal_base();
    block::append_cell(literals, make_integer(41));
    EXPECT_EQ(cell_integer(*roots::get_root(count)), 41);
    EXPECT_EQ(error_of([] { roots::get_root(-1); }), id(ErrorId::internal_limit_hit));
    static int64_t past;
    past = count + 1;
    EXPECT_EQ(error_of([] { roots::get_root(past); }), id(ErrorId::internal_limit_hit));
    EXPECT_EQ(error_of([] { roots::get_root(int64_t(1) << 40); }), id(ErrorId::internal_limit_hit));
}

// Filled up in a child process: the cases after it still append literals.
TEST(RootBlock, NeverGrowsPastItsCapacity) {
    test::boot();
    test::in_child_process([] {
        SeriesBuffer* b = memory::buffer_of(roots::root_block());
        Cell* first = b->cells();
        while (b->cell_count() < roots::ROOT_BLOCK_CELLS) roots::append(make_integer(0));
        EXPECT_EQ(error_of([] { roots::append(make_integer(1)); }), id(ErrorId::internal_limit_hit));
        EXPECT_EQ(memory::buffer_of(roots::root_block())->cells(), first);  // never moved
        EXPECT_EQ(memory::buffer_of(roots::root_block())->cell_count(), roots::ROOT_BLOCK_CELLS);
    });
}

TEST(ArgumentStack, PushPopAndResults) {
    test::boot();
    stack::reset();
    Cell* base = stack::state.arguments;
    stack::push(make_integer(1));
    stack::push(make_integer(2));
    EXPECT_EQ(cell_integer(*stack::top_value()), 2);
    EXPECT_EQ(stack::top_type(), TYPE_INTEGER);
    stack::set_result(make_integer(9));
    EXPECT_EQ(stack::state.top, base + 1);
    EXPECT_EQ(cell_integer(*base), 9);
    stack::pop(5);  // never below the bottom
    EXPECT_EQ(stack::state.top, stack::state.bottom);
    EXPECT_EQ(stack::top_value(), stack::state.bottom);
}

TEST(ArgumentStack, OverflowIsALanguageError) {
    test::boot();
    Cell* saved = stack::state.top;
    stack::state.top = stack::state.limit - 1;
    stack::push(make_integer(1));
    EXPECT_EQ(error_of([] { stack::push(make_integer(2)); }), id(ErrorId::internal_stack_overflow));
    EXPECT_EQ(error_of([] { stack::reserve_cell(); }), id(ErrorId::internal_stack_overflow));
    // The error value made on the stack took cells of the reserve.
    EXPECT_GE(stack::state.top, stack::state.limit);
    EXPECT_LT(stack::state.top, stack::state.end);
    stack::state.top = saved;
}

}  // namespace
}  // namespace kel
