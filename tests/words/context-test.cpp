// Contexts: shared slots of case variants, words added on first write,
// function contexts outside their call, self, binding cyclic blocks.
#include "tests/words/words-fixture.h"

#include "runtime/memory/collector.h"

namespace kel::test {
namespace {

using Contexts = Words;

TEST_F(Contexts, CaseVariantsOfAGlobalWordShareOneSlot) {
    Cell lower = global_word("ctx-foo");
    Cell upper = global_word("Ctx-Foo");
    EXPECT_NE(lower.data2, upper.data2);  // two spellings, two symbols
    EXPECT_EQ(lower.data3, upper.data3);  // one slot
    context::set(upper, make_integer(42));
    EXPECT_EQ(cell_integer(*context::get(lower)), 42);
    context::set(lower, make_integer(7));
    EXPECT_EQ(cell_integer(*context::get(upper)), 7);
    // The spelling asked for is kept.
    EXPECT_EQ(formed(upper), "Ctx-Foo");
}

TEST_F(Contexts, SettingAWordNotResolvedYetAddsItToTheContext) {
    NodeId ctx = context::make(0, false, false, 0, context::KIND_GLOBAL);
    Cell holder{TYPE_WORD, ctx, 0, context::NO_INDEX};
    Rooted keep(holder);
    EXPECT_EQ(context::word_count(ctx), 0u);
    Cell w{TYPE_WORD, ctx, uint32_t(sym("fresh")), context::NO_INDEX};
    context::set(w, make_integer(5));
    EXPECT_EQ(int32_t(w.data3), 0);
    EXPECT_EQ(context::word_count(ctx), 1u);
    EXPECT_EQ(cell_integer(*context::get(w)), 5);
    // A second word of the same symbol binds to the same slot.
    Cell again{TYPE_WORD, 0, uint32_t(sym("fresh")), context::NO_INDEX};
    EXPECT_EQ(context::bind_word(ctx, again), 0);
    EXPECT_EQ(cell_integer(*context::get(again)), 5);
}

TEST_F(Contexts, ReadingAWordNotResolvedYetRaisesNoValueExceptSelf) {
    NodeId ctx = context::make(4, false, true, 0, context::KIND_OBJECT);
    Cell holder{TYPE_WORD, ctx, 0, context::NO_INDEX};
    Rooted keep(holder);
    *context::owner_of(ctx) = make_integer(99);
    Cell missing{TYPE_WORD, ctx, uint32_t(sym("nothing-here")), context::NO_INDEX};
    EXPECT_EQ(raised([&] { context::get(missing); }), id(ErrorId::script_no_value));
    Cell self{TYPE_WORD, ctx, uint32_t(sym("self")), context::NO_INDEX};
    EXPECT_EQ(cell_integer(*context::get(self)), 99);
    Cell unbound{TYPE_WORD, 0, uint32_t(sym("nothing-here")), context::NO_INDEX};
    EXPECT_EQ(raised([&] { context::get(unbound); }), id(ErrorId::script_not_defined));
}

TEST_F(Contexts, AFunctionWordOutsideItsCallRaisesNotInContext) {
    Cell* spec = block_of({global_word("a"), global_word("b")});
    NodeId ctx = context::make_from_block(*spec, true, false, context::KIND_FUNCTION);
    Cell holder{TYPE_WORD, ctx, 0, context::NO_INDEX};
    Rooted keep(holder);
    Cell b{TYPE_WORD, 0, uint32_t(sym("b")), context::NO_INDEX};
    ASSERT_EQ(context::bind_word(ctx, b), 1);
    EXPECT_EQ(raised([&] { context::get(b); }), id(ErrorId::script_not_in_context));
    EXPECT_EQ(raised([&] { context::set(b, make_integer(1)); }), id(ErrorId::script_not_defined));

    // During a call the values are the frame's argument cells.
    Cell* first = stack::push(make_integer(10));
    stack::push(make_integer(20));
    context::cell_of(ctx)->data2 = uint32_t(first - stack::state.bottom) + 1;
    EXPECT_EQ(cell_integer(*context::get(b)), 20);
    context::set(b, make_integer(21));
    EXPECT_EQ(cell_integer(first[1]), 21);

    // After the call returns the context has no values again.
    context::cell_of(ctx)->data2 = 0;
    EXPECT_EQ(raised([&] { context::get(b); }), id(ErrorId::script_not_in_context));
}

TEST_F(Contexts, SelfBindsToTheOwnerOnlyAsAPlainWord) {
    NodeId ctx = context::make(4, false, true, 0, context::KIND_OBJECT);
    Cell holder{TYPE_WORD, ctx, 0, context::NO_INDEX};
    Rooted keep(holder);
    *context::owner_of(ctx) = make_integer(1234);
    Cell* blk = block_of({Cell{TYPE_WORD, 0, uint32_t(sym("self")), context::NO_INDEX},
                          Cell{TYPE_SET_WORD, 0, uint32_t(sym("self")), context::NO_INDEX}});
    context::bind(*blk, ctx, true);
    Cell* cells = block::buffer(*blk)->cells();
    EXPECT_EQ(cells[0].data1, ctx);
    EXPECT_EQ(cell_integer(*context::get(cells[0])), 1234);
    // The set-word is bound like any word: self is no field, so it stays.
    EXPECT_EQ(cells[1].data1, 0u);

    // Without self? the plain word is bound like any other word too.
    Cell* other = block_of({Cell{TYPE_WORD, 0, uint32_t(sym("self")), context::NO_INDEX}});
    context::bind(*other, ctx, false);
    EXPECT_EQ(block::buffer(*other)->cells()[0].data1, 0u);
}

TEST_F(Contexts, BindingABlockThatContainsItselfTerminates) {
    Cell* spec = block_of({global_word("x")});
    NodeId ctx = context::make_from_block(*spec, false, false, context::KIND_OBJECT);
    Cell holder{TYPE_WORD, ctx, 0, context::NO_INDEX};
    Rooted keep(holder);
    Cell* blk = block_of({Cell{TYPE_WORD, 0, uint32_t(sym("x")), context::NO_INDEX}});
    Cell self_ref = *blk;
    block::append_cell(*blk, self_ref);
    Cell* paren = block_of({Cell{TYPE_WORD, 0, uint32_t(sym("x")), context::NO_INDEX}});
    paren->header = TYPE_PAREN;
    block::append_cell(*blk, *paren);
    context::bind(*blk, ctx, false);
    Cell* cells = block::buffer(*blk)->cells();
    EXPECT_EQ(cells[0].data1, ctx);
    EXPECT_EQ(block::buffer(*paren)->cells()[0].data1, ctx);
}

TEST_F(Contexts, SizeZeroMakesAUsableContextThatGrows) {
    NodeId ctx = context::make(0, false, false, 0, context::KIND_GLOBAL);
    Cell holder{TYPE_WORD, ctx, 0, context::NO_INDEX};
    Rooted keep(holder);
    for (int i = 0; i < 50; ++i) {
        std::string name = "grow-" + std::to_string(i);
        context::add_or_set(ctx, sym(name.c_str()), make_integer(i));
    }
    EXPECT_EQ(context::word_count(ctx), 50u);
    for (int i = 0; i < 50; ++i) {
        std::string name = "grow-" + std::to_string(i);
        EXPECT_EQ(cell_integer(*context::symbol_value(sym(name.c_str()), ctx)), i);
    }
}

TEST_F(Contexts, AnAbsentSymbolValueRaisesInsteadOfReadingOutside) {
    NodeId ctx = context::make(2, false, false, 0, context::KIND_GLOBAL);
    Cell holder{TYPE_WORD, ctx, 0, context::NO_INDEX};
    Rooted keep(holder);
    EXPECT_EQ(raised([&] { context::symbol_value(sym("never-added-anywhere"), ctx); }), id(ErrorId::internal_bad_path));
}

TEST_F(Contexts, AddIfAbsentAndCollectSetWords) {
    NodeId ctx = context::make(2, false, false, 0, context::KIND_GLOBAL);
    Cell holder{TYPE_WORD, ctx, 0, context::NO_INDEX};
    Rooted keep(holder);
    ASSERT_NE(context::add_if_absent(ctx, sym("p"), make_integer(1)), nullptr);
    EXPECT_EQ(context::add_if_absent(ctx, sym("P"), make_integer(2)), nullptr);
    EXPECT_EQ(cell_integer(*context::symbol_value(sym("p"), ctx)), 1);
    Cell* blk = block_of({global_word("q", TYPE_SET_WORD), global_word("r"), global_word("p", TYPE_SET_WORD)});
    EXPECT_TRUE(context::collect_set_words(ctx, *blk));
    EXPECT_EQ(context::word_count(ctx), 2u);
    EXPECT_FALSE(context::collect_set_words(ctx, *blk));
}

TEST_F(Contexts, CloneRebindsTheWordTableToTheNewContext) {
    Cell* spec = block_of({global_word("m"), global_word("n")});
    NodeId old = context::make_from_block(*spec, false, true, context::KIND_OBJECT);
    Cell value{TYPE_OBJECT, old, 0, 0};
    Rooted keep(value);
    Cell old_holder{TYPE_WORD, old, 0, context::NO_INDEX};
    Rooted keep_old(old_holder);
    NodeId fresh = context::clone(value, context::KIND_OBJECT);
    EXPECT_NE(fresh, old);
    EXPECT_EQ(value.data1, fresh);
    EXPECT_EQ(context::word_count(fresh), 2u);
    EXPECT_EQ(context::word_at(fresh, 1)->data1, fresh);
    EXPECT_EQ(context::word_at(old, 1)->data1, old);
    // Words added to one stay out of the other.
    context::add_word(fresh, sym("o"));
    EXPECT_EQ(context::word_count(old), 2u);
}

TEST_F(Contexts, GlobalWordsSurviveCollections) {
    Cell w = global_word("survivor-word");
    context::set(w, make_integer(3));
    for (int i = 0; i < 3; ++i) {
        Cell* b = new_buffer();
        string::append_c_string(*b, "garbage");
        stack::pop(1);
        collector::do_cycle();
    }
    EXPECT_EQ(cell_integer(*context::get(w)), 3);
    EXPECT_EQ(formed(w), "survivor-word");
}

}  // namespace
}  // namespace kel::test
