// The root block, boot literal access, cell primitives and the argument
// stack cells.
#include <gtest/gtest.h>

#include "runtime/evaluator/stack-state.h"
#include "runtime/core/fire.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"
#include "runtime/core/system.h"
#include "tests/support.h"

namespace kel {
namespace {

ErrorId error_of(void (*body)()) {
    uint32_t code = protect(catch_level::ERRORS, body);
    EXPECT_EQ(code, thrown::ERROR);
    handled();
    return pending_error.id;
}

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
    Cell* a = roots::append(make_integer(41));
    uint32_t count = uint32_t(memory::buffer_of(roots::root_block())->cell_count());
    EXPECT_EQ(roots::get_root(count - 1), a);
    EXPECT_EQ(error_of([] { roots::get_root(-1); }), ErrorId::internal_limit_hit);
    static int64_t past;
    past = count;
    EXPECT_EQ(error_of([] { roots::get_root(past); }), ErrorId::internal_limit_hit);
    EXPECT_EQ(error_of([] { roots::get_root(int64_t(1) << 40); }), ErrorId::internal_limit_hit);
}

TEST(RootBlock, NeverGrowsPastItsCapacity) {
    test::boot();
    SeriesBuffer* b = memory::buffer_of(roots::root_block());
    Cell* first = b->cells();
    while (b->cell_count() < roots::ROOT_BLOCK_CELLS) roots::append(make_integer(0));
    EXPECT_EQ(error_of([] { roots::append(make_integer(1)); }), ErrorId::internal_limit_hit);
    EXPECT_EQ(memory::buffer_of(roots::root_block())->cells(), first);  // never moved
    EXPECT_EQ(memory::buffer_of(roots::root_block())->cell_count(), roots::ROOT_BLOCK_CELLS);
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
    stack::state.top = stack::state.end - 1;
    stack::push(make_integer(1));
    EXPECT_EQ(error_of([] { stack::push(make_integer(2)); }), ErrorId::internal_stack_overflow);
    EXPECT_EQ(error_of([] { stack::reserve_cell(); }), ErrorId::internal_stack_overflow);
    EXPECT_EQ(stack::state.top, stack::state.end);
    stack::state.top = saved;
}

}  // namespace
}  // namespace kel
