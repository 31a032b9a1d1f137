// The word family: conversions, comparison, texts, index? and the runtime
// word table.
#include "tests/words/words-fixture.h"

#include "runtime/datatypes/runtime-words.h"

namespace kel::test {
namespace {

using WordValues = Words;

Cell made_to(uint32_t type, const Cell& spec) { return made(type, spec, true); }

// A stand-in for the lexer's one-token scan: names scan as words, a
// spelling that starts with a digit as an integer.
uint32_t stand_in_scan(const uint8_t* p, uint32_t n) {
    return n > 0 && p[0] >= '0' && p[0] <= '9' ? TYPE_INTEGER : TYPE_WORD;
}

struct LexerStandIn {
    LexerStandIn() : saved(word::lexer_services().scan_spelling) {
        word::lexer_services().scan_spelling = stand_in_scan;
    }
    ~LexerStandIn() { word::lexer_services().scan_spelling = saved; }
    uint32_t (*saved)(const uint8_t*, uint32_t);
};

TEST_F(WordValues, ConversionsBetweenWordTypesKeepTheBinding) {
    NodeId ctx = context::make(2, false, false, 0, context::KIND_OBJECT);
    Cell holder{TYPE_WORD, ctx, 0, context::NO_INDEX};
    Rooted keep(holder);
    Cell lit{TYPE_LIT_WORD, ctx, uint32_t(sym("abc")), 0};
    Cell set = made_to(TYPE_SET_WORD, lit);
    EXPECT_EQ(set.header, TYPE_SET_WORD);
    EXPECT_EQ(set.data1, ctx);
    EXPECT_EQ(set.data3, 0u);
    EXPECT_EQ(molded(set), "abc:");
}

TEST_F(WordValues, ConversionsFromOtherTypes) {
    // A datatype gives the word of its name, a logic the word true/false.
    Cell w = made_to(TYPE_WORD, datatype::make(TYPE_LOGIC));
    EXPECT_EQ(w.header, TYPE_WORD);
    EXPECT_EQ(formed(w), "logic!");
    EXPECT_EQ(w.data1, context::global());
    Cell t = made_to(TYPE_WORD, Cell{TYPE_LOGIC, 1, 0, 0});
    EXPECT_EQ(formed(t), "true");
    EXPECT_EQ(t.data1, context::global());
    // A string with a space is a legal issue: it is not lexed.
    Cell* text = new_buffer();
    string::append_c_string(*text, "a b");
    Cell issue = made_to(TYPE_ISSUE, *text);
    EXPECT_EQ(issue.header, TYPE_ISSUE);
    EXPECT_EQ(molded(issue), "#a b");
    EXPECT_EQ(int32_t(issue.data3), -1);
    // Values of other types cannot become words.
    EXPECT_EQ(raised([&] { made_to(TYPE_WORD, make_integer(1)); }), id(ErrorId::script_bad_to_arg));
    EXPECT_EQ(raised([&] { made_to(TYPE_SET_WORD, make_none()); }), id(ErrorId::script_bad_to_arg));
}

TEST_F(WordValues, ARefinementBecomesTheGlobalWord) {
    LexerStandIn lexer;
    Cell foo = global_word("foo");
    Cell ref{TYPE_REFINEMENT, 0, uint32_t(sym("foo")), context::NO_INDEX};
    Cell w = made_to(TYPE_WORD, ref);
    EXPECT_EQ(w.header, TYPE_WORD);
    EXPECT_EQ(w.data1, context::global());
    EXPECT_EQ(w.data3, foo.data3);
}

// Through the lexer: "a b" to word! raises script/invalid-chars and #123
// to word! script/bad-to-arg.
TEST_F(WordValues, LexerRowsOfTheConversionTable) {
    Cell* text = new_buffer();
    string::append_c_string(*text, "a b");
    EXPECT_EQ(raised([&] { made_to(TYPE_WORD, *text); }), id(ErrorId::script_invalid_chars));
    Cell issue{TYPE_ISSUE, context::global(), uint32_t(sym("123")), context::NO_INDEX};
    EXPECT_EQ(raised([&] { made_to(TYPE_WORD, issue); }), id(ErrorId::script_bad_to_arg));
}

TEST_F(WordValues, ComparisonTable) {
    struct Row {
        const char* a;
        uint32_t ta;
        const char* b;
        uint32_t tb;
        int32_t op;
        int32_t expected;
    };
    const Row rows[] = {
        {"abc", TYPE_WORD, "ABC", TYPE_WORD, COMP_EQUAL, 0},
        {"abc", TYPE_WORD, "abc", TYPE_SET_WORD, COMP_EQUAL, 0},
        {"abc", TYPE_WORD, "ABC", TYPE_WORD, COMP_STRICT_EQUAL, 1},
        {"abc", TYPE_WORD, "abc", TYPE_SET_WORD, COMP_STRICT_EQUAL, 1},
        {"abc", TYPE_WORD, "abc", TYPE_WORD, COMP_STRICT_EQUAL, 0},
        {"abc", TYPE_WORD, "abc", TYPE_ISSUE, COMP_EQUAL, COMP_NOT_COMPARABLE},
        {"abc", TYPE_ISSUE, "abc", TYPE_WORD, COMP_EQUAL, COMP_NOT_COMPARABLE},
        {"abc", TYPE_ISSUE, "ABC", TYPE_ISSUE, COMP_EQUAL, 0},
        {"abc", TYPE_WORD, "abc", TYPE_LIT_WORD, COMP_CASE_MATCH, 0},
        {"abc", TYPE_WORD, "ABC", TYPE_LIT_WORD, COMP_CASE_MATCH, 1},
        {"abc", TYPE_WORD, "ABC", TYPE_LIT_WORD, COMP_MATCH, 0},
        {"abc", TYPE_WORD, "abc", TYPE_GET_WORD, COMP_MATCH, 1},
        {"abc", TYPE_WORD, "ABD", TYPE_WORD, COMP_SORT, -1},
        {"abd", TYPE_WORD, "ABC", TYPE_WORD, COMP_SORT, 1},
    };
    for (const Row& r : rows) {
        Cell a = global_word(r.a, r.ta);
        Cell b = global_word(r.b, r.tb);
        int32_t got = actions::compare_values(a, b, r.op);
        if (r.expected < 0 && r.expected != COMP_NOT_COMPARABLE)
            EXPECT_LT(got, 0) << r.a << " " << r.b;
        else if (r.expected > 0 && r.op >= COMP_LESSER)
            EXPECT_GT(got, 0) << r.a << " " << r.b;
        else
            EXPECT_EQ(got, r.expected) << r.a << " vs " << r.b << " op " << r.op;
    }
    // Not comparable with other types at all.
    EXPECT_EQ(actions::compare_values(global_word("abc"), make_integer(1), COMP_EQUAL), COMP_NOT_COMPARABLE);
}

// Ordering words allocates nothing (the in-place sort and block compare hold
// cell addresses across it): the spellings are compared without building
// the symbols' strings.
TEST_F(WordValues, OrderingWordsBuildsNoString) {
    Cell a = global_word("ordering-fresh-b");
    Cell b = global_word("Ordering-Fresh-A");
    for (int32_t op : {COMP_SORT, COMP_CASE_SORT, COMP_LESSER}) EXPECT_GT(actions::compare_values(a, b, op), 0);
    EXPECT_EQ(symbol::peek(word::symbol_of(a)).data2, 0u);
    EXPECT_EQ(symbol::peek(word::symbol_of(b)).data2, 0u);
}

TEST_F(WordValues, MoldPrefixesAndForm) {
    struct Row {
        uint32_t type;
        const char* name;
        const char* mold;
    };
    const Row rows[] = {
        {TYPE_WORD, "x", "x"},      {TYPE_SET_WORD, "x", "x:"},           {TYPE_LIT_WORD, "x", "'x"},
        {TYPE_GET_WORD, "x", ":x"}, {TYPE_REFINEMENT, "local", "/local"}, {TYPE_ISSUE, "x", "#x"},
    };
    for (const Row& r : rows) {
        Cell w = global_word(r.name, r.type);
        int64_t left = 0;
        MoldOptions o;
        o.limit = 100;
        EXPECT_EQ(molded(w, o, &left), r.mold);
        EXPECT_EQ(left, 100 - int64_t(std::strlen(r.mold))) << r.mold;
        EXPECT_EQ(formed(w), r.name);
    }
}

TEST_F(WordValues, FormReturnsTheBudgetLessTheSpellingWhateverTheBufferHolds) {
    // Three words formed one after the other into one buffer with a budget
    // of 9, as a block form does: each takes off its own three letters.
    Cell* b = new_buffer();
    int64_t budget = 9;
    for (const char* name : {"aaa", "bbb", "ccc"}) {
        Cell w = global_word(name);
        budget = actions::form(w, *b, true, budget);
    }
    EXPECT_EQ(budget, 0);
    EXPECT_EQ(text_of(*b), "aaabbbccc");
    // Non-ASCII spellings count code points, not bytes.
    Cell* c = new_buffer();
    EXPECT_EQ(actions::form(global_word("\xC3\xA9t\xC3\xA9"), *c, true, 10), 7);
}

TEST_F(WordValues, IndexIsNoneUntilResolved) {
    NodeId ctx = context::make(4, false, false, 0, context::KIND_OBJECT);
    Cell holder{TYPE_WORD, ctx, 0, context::NO_INDEX};
    Rooted keep(holder);
    context::add_word(ctx, sym("first"));
    context::add_word(ctx, sym("second"));
    Cell w{TYPE_WORD, 0, uint32_t(sym("second")), context::NO_INDEX};
    auto index_of = [&](const Cell& word) {
        Cell* saved = stack::state.arguments;
        stack::state.arguments = stack::push(word);
        reinterpret_cast<ActionSlot<ACTION_INDEX_Q>::type>(datatype::slot(type_of(word), ACTION_INDEX_Q))();
        Cell answer = *stack::state.arguments;
        stack::state.arguments = saved;
        return answer;
    };
    EXPECT_EQ(type_of(index_of(w)), TYPE_NONE);
    context::bind_word(ctx, w);
    Cell answer = index_of(w);
    EXPECT_EQ(type_of(answer), TYPE_INTEGER);
    EXPECT_EQ(cell_integer(answer), 2);
    EXPECT_EQ(datatype::slot(TYPE_REFINEMENT, ACTION_INDEX_Q), nullptr);
    EXPECT_EQ(datatype::slot(TYPE_ISSUE, ACTION_INDEX_Q), nullptr);
}

TEST_F(WordValues, RuntimeWordTable) {
    // The "stack" entry holds that spelling's id, so a field named stack is
    // recognised.
    EXPECT_EQ(words::symbol(words::Sym::stack), sym("stack"));
    // Skip matches skip only once both are resolved to canonical ids.
    int32_t skip_upper = sym("Skip");
    EXPECT_NE(skip_upper, words::symbol(words::Sym::skip));
    EXPECT_TRUE(words::is(skip_upper, words::Sym::skip));
    EXPECT_EQ(symbol::resolve(skip_upper), symbol::resolve(words::symbol(words::Sym::skip)));
    // The past forms are spelled as the runtime has always spelled them.
    EXPECT_EQ(formed(words::word(words::Word::put_ed)), "put-ed");
    EXPECT_EQ(formed(words::word(words::Word::swaped)), "swaped");
    EXPECT_EQ(words::changed_symbol(), sym("changed"));
    // Word cells are global words; refinements unbound; the issue global.
    EXPECT_EQ(words::word(words::Word::append).data1, context::global());
    EXPECT_EQ(words::word(words::SymWord::collect).data1, context::global());
    EXPECT_EQ(molded(words::refinement(words::Ref::extern_)), "/extern");
    EXPECT_EQ(words::refinement(words::Ref::local).data1, 0u);
    EXPECT_EQ(molded(words::issue_ooo()), "#ooo");
    EXPECT_EQ(memory::buffer_of(words::cells())->cell_count(), 137u);
    // Both "throw" entries are the same word.
    EXPECT_EQ(words::word(words::Word::throw_).data2, words::word(words::Word::throw_category).data2);
}

TEST_F(WordValues, DatatypeWordsAreGlobalWords) {
    const Cell* w = datatype::word(TYPE_SYMBOL);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->data1, context::global());
    EXPECT_EQ(formed(*w), "symbol!");
}

}  // namespace
}  // namespace kel::test
