// The symbol table, symbol! and the word tables of contexts: interning with
// case aliases, growth, spellings, comparison, and word look-up by alias.
#include <cstring>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/hashing/hashtable-buckets.h"
#include "runtime/memory/frames.h"
#include "tests/hashing/hashing-fixture.h"

namespace kel::test {
namespace {

using hashtable::record;

struct Symbols : HashingTest {
    // A spelling that no earlier case (nor an earlier repetition of this
    // one) has interned: `stem` and a number of this process.
    static std::string unused_spelling(const std::string& stem) {
        static int made = 0;
        return stem + "-" + std::to_string(++made);
    }
    static std::string spelling_of(int32_t id) {
        uint32_t n;
        const uint8_t* p = symbol::spelling(id, &n);
        return std::string(reinterpret_cast<const char*>(p), n);
    }
};

TEST_F(Symbols, CaseVariantsAreLinkedToTheFirstSpelling) {
    int32_t foo = symbol::make("symFoo");
    int32_t foo2 = symbol::make("SymFoo");
    EXPECT_NE(foo, foo2);
    EXPECT_EQ(symbol::alias_of(foo), -1);
    EXPECT_EQ(symbol::alias_of(foo2), foo);
    EXPECT_EQ(symbol::make("SymFoo"), foo2);
    EXPECT_EQ(symbol::make("symFoo"), foo);
    EXPECT_EQ(symbol::make_any_case("SYMFOO"), foo);
    EXPECT_EQ(symbol::make_any_case("SymFoo"), foo);  // the variant interned first is met first
    int32_t foo3 = symbol::make("SYMFOO");
    EXPECT_EQ(symbol::alias_of(foo3), foo);
    for (int32_t id : {foo, foo2, foo3}) EXPECT_EQ(symbol::resolve(id), foo);
    EXPECT_EQ(spelling_of(foo2), "SymFoo");
}

TEST_F(Symbols, EmptyAndNonAsciiSpellings) {
    int32_t empty = symbol::make("");
    EXPECT_GT(empty, 0);
    EXPECT_EQ(symbol::make(""), empty);
    EXPECT_EQ(spelling_of(empty), "");

    struct Case {
        const char* first;
        const char* second;
        bool aliased;
    } cases[] = {
        {"\xC3\xA9t\xC3\xA9", "\xC3\x89t\xC3\x89", false},  // été / ÉTÉ: only non-ASCII letters differ
        {"X\xC3\xA9", "x\xC3\xA9", true},  // Xé / xé: an ASCII letter differs
        {"Y\xC3\xA9", "y\xC3\x89", false},  // Yé / yÉ: both kinds differ
    };
    for (const Case& c : cases) {
        int32_t a = symbol::make(c.first);
        int32_t b = symbol::make(c.second);
        EXPECT_NE(a, b) << c.first;
        EXPECT_EQ(symbol::alias_of(b), c.aliased ? a : -1) << c.second;
        EXPECT_EQ(symbol::resolve(b) == symbol::resolve(a), c.aliased);
    }
}

TEST_F(Symbols, SpellingInsideASeriesIsCopiedBeforeInterning) {
    int32_t whole = symbol::make("spellingSourceWord");
    uint32_t n;
    const uint8_t* p = symbol::spelling(whole, &n);
    int32_t part = symbol::make_with_length(p, 8);  // "spelling" from the series buffer itself
    EXPECT_EQ(spelling_of(part), "spelling");
    // The stored name ends with a NUL that the tail leaves out.
    SeriesBuffer* b = memory::buffer_of(symbol::get(part)->data3);
    EXPECT_EQ(b->used(), 8u);
    EXPECT_EQ(b->data()[8], 0);
}

TEST_F(Symbols, SpellingStringIsBuiltOnceOnDemand) {
    const std::string name = unused_spelling("na\xC3\xAFve\xE2\x82\xAC");  // naïve€-<n>
    int32_t id = symbol::make(name.c_str());
    EXPECT_EQ(memory::buffer_of(symbol_table::block())->cells()[id - 1].data2, 0u);
    Cell* c = symbol::get(id);
    NodeId text = c->data2;
    ASSERT_NE(text, 0u);
    SeriesBuffer* b = memory::buffer_of(text);
    EXPECT_EQ(b->unit(), 2u);
    const uint64_t units = name.size() - 3;  // ï takes two bytes, € three
    ASSERT_EQ(b->used(), 2 * units);
    const uint32_t expected[] = {'n', 'a', 0xEF, 'v', 'e', 0x20AC, '-'};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(unicode::get_unit(b->head_ptr(), 2, uint64_t(i)), expected[i]);
    EXPECT_EQ(symbol::get(id)->data2, text);

    // From a copy of a cell whose string was never built.
    const std::string later = unused_spelling("spelt-later");
    int32_t other = symbol::make(later.c_str());
    Cell copy = memory::buffer_of(symbol_table::block())->cells()[other - 1];
    ASSERT_EQ(copy.data2, 0u);
    NodeId built = symbol::string_of(copy);
    EXPECT_EQ(memory::buffer_of(built)->used(), later.size());
    EXPECT_EQ(symbol::get(other)->data2, built);
    EXPECT_EQ(symbol::string_of(copy), built);
}

TEST_F(Symbols, MakeFromStringTakesUnitsFromTheHead) {
    Cell s = text("xxHello\xE2\x82\xAC!");  // xxHello€!
    s.data1 = 2;
    EXPECT_EQ(symbol::make_from_string(s, 3), symbol::make("Hel"));
    EXPECT_EQ(symbol::make_from_string(s, -1), symbol::make("Hello\xE2\x82\xAC!"));
    EXPECT_EQ(symbol::make_from_string(s, 100), symbol::make("Hello\xE2\x82\xAC!"));
}

TEST_F(Symbols, CompareOrdersFoldedSpellings) {
    auto cmp = [](const char* a, const char* b, int op) {
        Cell x = *symbol::get(symbol::make(a));
        Cell y = *symbol::get(symbol::make(b));
        return symbol::compare(x, y, op);
    };
    struct Case {
        const char* a;
        const char* b;
        int op;
        int32_t expected;
    } cases[] = {
        {"abc", "ABD", COMP_SORT, -1},           {"ABD", "abc", COMP_SORT, 1},
        {"abc", "ABC", COMP_EQUAL, 0},           {"abc", "ABC", COMP_STRICT_EQUAL, 1},
        {"abc", "ABC", COMP_CASE_SORT, 1},       {"abc", "abcd", COMP_SORT, -1},
        {"abc", "abcd", COMP_EQUAL, 1},          {"abc", "abc", COMP_SAME, 0},
        {"abc", "ABC", COMP_SAME, -1},           {"_", "a", COMP_SORT, 1},
        {"\xC3\xA9", "\xC3\x89", COMP_EQUAL, 0}, {"\xC3\xA9", "\xC3\x89", COMP_STRICT_EQUAL, 1},
    };
    for (const Case& c : cases) EXPECT_EQ(cmp(c.a, c.b, c.op), c.expected) << c.a << " " << c.b << " op " << c.op;
    EXPECT_EQ(symbol::compare(*symbol::get(symbol::make("abc")), make_integer(1), COMP_EQUAL), COMP_NOT_COMPARABLE);
    // Through the registered compare slot.
    EXPECT_TRUE(actions::compare(*symbol::get(symbol::make("abc")), *symbol::get(symbol::make("ABC")), COMP_EQUAL));
}

// Random spellings from a small pool in random letter case, against a model:
// an exact spelling always gives the same id, a new one a new id whose alias
// is the first case variant interned, and any-case interning finds that one.
TEST_F(Symbols, RandomizedInterningAgainstAModel) {
    std::unordered_map<std::string, int32_t> ids;  // exact spelling -> id
    std::unordered_map<std::string, int32_t> first_variant;  // lowered spelling -> id
    std::mt19937 rng(5);
    const char* stems[] = {"rnd-alpha", "rnd-beta", "rnd-g", "rnd-delta-long-name", "rnd-e\xC3\xA9"};
    for (int step = 0; step < 5000; ++step) {
        std::string s = stems[rng() % 5];
        s += std::to_string(rng() % 40);
        for (char& ch : s)
            if (ch >= 'a' && ch <= 'z' && rng() % 3 == 0) ch = char(ch - 32);
        std::string lowered = s;
        for (char& ch : lowered)
            if (ch >= 'A' && ch <= 'Z') ch = char(ch + 32);
        if (rng() % 4 == 0) {
            int32_t id = symbol::make_any_case(s.c_str());
            auto it = first_variant.find(lowered);
            if (it != first_variant.end()) {
                ASSERT_EQ(id, it->second) << s;
            } else {
                first_variant[lowered] = id;
                ids[s] = id;
                ASSERT_EQ(symbol::alias_of(id), -1);
            }
            continue;
        }
        int32_t id = symbol::make(s.c_str());
        auto known = ids.find(s);
        if (known != ids.end()) {
            ASSERT_EQ(id, known->second) << s;
            continue;
        }
        ids[s] = id;
        auto first = first_variant.find(lowered);
        if (first == first_variant.end()) {
            first_variant[lowered] = id;
            ASSERT_EQ(symbol::alias_of(id), -1) << s;
        } else {
            ASSERT_EQ(symbol::alias_of(id), first->second) << s;
        }
        ASSERT_EQ(spelling_of(id), s);
    }
}

// Interning past the bound of the first size grows the table; every id
// interned before stays valid and findable, aliases included. The table of
// the process grows once here, so the case runs in a child process: in the
// parent it keeps its first size for the cases that follow.
TEST_F(Symbols, GrowthKeepsEveryId) {
    test::in_child_process([] {
        NodeId t = symbol_table::table();
        uint32_t first_buckets = record(t)->buckets;
        std::vector<std::pair<std::string, int32_t>> interned;
        for (int i = 0; record(t)->buckets == first_buckets; ++i) {
            ASSERT_LT(i, 40000);
            std::string name = "grow-" + std::to_string(i);
            if (i % 7 == 3) name[0] = 'G';  // some case variants of earlier names
            interned.emplace_back(name, symbol::make(name.c_str()));
        }
        EXPECT_GE(record(t)->buckets, first_buckets * 32);
        EXPECT_EQ(record(t)->count, uint32_t(symbol::count()));
        for (auto& [name, id] : interned) {
            ASSERT_EQ(symbol::make(name.c_str()), id) << name;
            ASSERT_EQ(spelling_of(id), name);
            std::string lower = name;
            lower[0] = 'g';
            ASSERT_EQ(symbol::resolve(id), symbol::resolve(symbol::make_any_case(lower.c_str()))) << name;
        }
    });
}

// A symbol table of its own (kind 2 over a fresh block on the argument
// stack), small enough to grow after a few spellings.
struct PrivateSymbols : HashingTest {
    NodeId table = 0;
    void SetUp() override {
        HashingTest::SetUp();
        Cell* blk = block::push_only(4);
        table = hashtable::make_table(0, blk, hashtable::KIND_SYMBOL);
        stack::push(hashtable::as_cell(table));
    }
    int32_t intern(const std::string& s, bool any_case = false) {
        return hashtable::find_or_add_symbol(table, reinterpret_cast<const uint8_t*>(s.data()), uint32_t(s.size()),
                                             any_case);
    }
    const Cell& cell(int32_t id) { return memory::buffer_of(record(table)->block)->cells()[id - 1]; }
    std::string spelling(int32_t id) {
        SeriesBuffer* b = memory::buffer_of(cell(id).data3);
        return std::string(reinterpret_cast<const char*>(b->head_ptr()), b->used());
    }
};

// Growth moves keys to new buckets in an order of its own, so a later case
// variant may come first in the shared probe sequence afterwards. A variant
// interned after that still names the first spelling as its alias, and
// any-case interning still answers the first spelling.
TEST_F(PrivateSymbols, CaseVariantsNameTheFirstSpellingAcrossGrowth) {
    std::vector<std::pair<std::string, int32_t>> firsts;
    for (int i = 0; i < 400; ++i) {
        std::string s = "v" + std::to_string(i) + "x";
        int32_t first = intern(s);
        s[0] = 'V';
        ASSERT_EQ(int32_t(cell(intern(s)).data1), first) << s;
        firsts.emplace_back(s, first);
    }
    ASSERT_GT(record(table)->buckets, 256u);  // grew at least twice
    for (auto& [s, first] : firsts) {
        std::string third = s;
        third.back() = 'X';
        int32_t id = intern(third);
        ASSERT_EQ(int32_t(cell(id).data1), first) << third;
        ASSERT_EQ(intern(third, true), first) << third;
    }
}

// A spelling read from a series buffer stays right when the table grows
// first and that growth moves the buffer.
TEST_F(PrivateSymbols, SpellingInASeriesSurvivesGrowth) {
    while (record(table)->occupied + 1 < record(table)->upper) intern("fill-" + std::to_string(record(table)->count));
    memory::alloc_bytes(4096);  // garbage below the spelling: compaction slides it down
    const std::string name = "moved-spelling";
    NodeId src = memory::alloc_bytes(name.size());
    std::memcpy(memory::buffer_of(src)->data(), name.data(), name.size());
    stack::push(Cell{TYPE_BINARY, 0, src, 0});
    Cell* after = stack::push(Cell{TYPE_BINARY, 0, memory::alloc_bytes_filled(8192, 'Z'), 0});
    memory::buffer_of(cell_node(*after))->tail = 8192;
    uint32_t buckets = record(table)->buckets;
    intern("last-before-growth");
    bool stress = memory::state.stress;
    memory::state.stress = true;  // every allocation collects and compacts
    int32_t id = hashtable::find_or_add_symbol(table, memory::buffer_of(src)->data(), uint32_t(name.size()), false);
    memory::state.stress = stress;
    ASSERT_GT(record(table)->buckets, buckets);
    EXPECT_EQ(spelling(id), name);
    EXPECT_EQ(intern(name), id);
}

struct WordTables : HashingTest {
    // A context! cell whose word table is `table` (the values are not used).
    static Cell context_of(NodeId table) { return Cell{TYPE_CONTEXT | 0x400000u, table, 0, 0}; }
    // A node for word cells to be bound to; the collector marks it through them.
    NodeId owner = 0;
    void SetUp() override {
        HashingTest::SetUp();
        owner = memory::alloc_unset_cells(2);
        memory::buffer_of(owner)->tail = 2 * sizeof(Cell);
        stack::push(Cell{TYPE_BLOCK, 0, owner, 0});  // kept for the test
    }
};

TEST_F(WordTables, AliasLookupFindsOtherSpellings) {
    NodeId t = hashtable::make_table(4, nullptr, hashtable::KIND_SYMBOL);
    Cell ctx = context_of(t);
    Rooted keep(ctx);
    int32_t print = symbol::make("print");
    int32_t print_upper = symbol::make("PRINT");
    int32_t index = -5;
    EXPECT_EQ(hashtable::find_or_add_ctx_word(t, print, true, owner, &index), -1);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(hashtable::find_or_add_ctx_word(t, print_upper, true, 0, nullptr), 0);
    EXPECT_EQ(hashtable::find_or_add_ctx_word(t, print_upper, false, 0, nullptr), -1);
    EXPECT_EQ(hashtable::find_or_add_ctx_word(t, print_upper, false, owner, &index), -1);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(hashtable::find_or_add_ctx_word(t, print_upper, false, owner, &index), 1);
    EXPECT_EQ(hashtable::find_or_add_ctx_word(t, print, false, 0, nullptr), 0);

    Cell* w = hashtable::get_ctx_word(ctx, 1);
    EXPECT_EQ(w->header, TYPE_WORD);
    EXPECT_EQ(w->data1, owner);
    EXPECT_EQ(int32_t(w->data2), print_upper);
    EXPECT_EQ(w->data3, 1u);
    EXPECT_EQ(hashtable::get_ctx_words(ctx)->cell_count(), 2u);
    EXPECT_EQ(hashtable::get_ctx_words_node(ctx), record(t)->block);
}

TEST_F(WordTables, GrowthAndClonesKeepWordsApart) {
    NodeId t = hashtable::make_table(4, nullptr, hashtable::KIND_SYMBOL);
    Cell ctx = context_of(t);
    Rooted keep(ctx);
    std::vector<int32_t> syms;
    for (int i = 0; i < 300; ++i) {
        syms.push_back(symbol::make(("ctx-word-" + std::to_string(i)).c_str()));
        int32_t index;
        ASSERT_EQ(hashtable::find_or_add_ctx_word(t, syms.back(), true, owner, &index), -1);
        ASSERT_EQ(index, i);
    }
    EXPECT_GT(record(t)->buckets, 8u);
    for (int i = 0; i < 300; ++i) ASSERT_EQ(hashtable::find_or_add_ctx_word(t, syms[size_t(i)], true, 0, nullptr), i);

    // A clone starts with the same words; words added to it stay its own.
    NodeId c = hashtable::clone_word_table(ctx.data1);
    Cell clone_ctx = context_of(c);
    Rooted keep_clone(clone_ctx);
    EXPECT_NE(record(c)->block, record(t)->block);
    int32_t extra = symbol::make("ctx-extra");
    int32_t index;
    EXPECT_EQ(hashtable::find_or_add_ctx_word(c, extra, true, owner, &index), -1);
    EXPECT_EQ(index, 300);
    EXPECT_EQ(hashtable::find_or_add_ctx_word(t, extra, true, 0, nullptr), -1);
    for (int i = 0; i < 300; i += 37)
        EXPECT_EQ(hashtable::find_or_add_ctx_word(c, syms[size_t(i)], true, 0, nullptr), i);
}

}  // namespace
}  // namespace kel::test
