// Ownership records.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/hashing/symbol-table.h"
#include "runtime/memory/collector.h"
#include "runtime/memory/cycle-guard.h"
#include "runtime/memory/frames.h"
#include "runtime/memory/ownership.h"
#include "runtime/memory/roots.h"
#include "tests/support.h"

namespace kel {
namespace {

using memory::buffer_of;

Cell new_block() { return Cell{TYPE_BLOCK, 0, memory::alloc_cells(4), 0}; }
Cell new_string() { return Cell{TYPE_STRING, 0, memory::alloc_bytes(8), 0}; }

void append(const Cell& block, const Cell& value) {
    Cell v = value;
    Rooted keep(v);
    *alloc_block_tail(block) = v;
}

// A bare object: a context of kind 2 whose fields are given, built by hand
// until objects arrive.
Cell new_object(std::initializer_list<std::pair<const char*, Cell>> fields, bool with_handlers) {
    Cell obj{TYPE_OBJECT, memory::alloc_cells(2), 1000001, 0};
    Rooted keep(obj);
    Cell words = hashtable::as_cell(hashtable::make_table(8, nullptr, hashtable::KIND_SYMBOL));
    Rooted keep_words(words);
    Cell values = new_block();
    Rooted keep_values(values);
    Cell ctx{TYPE_CONTEXT | (2u << 11), words.data1, values.data2, 0};
    append(Cell{TYPE_BLOCK, 0, obj.data1, 0}, ctx);
    append(Cell{TYPE_BLOCK, 0, obj.data1, 0}, obj);
    for (const auto& [name, value] : fields) {
        int32_t index = 0;
        hashtable::find_or_add_ctx_word(words.data1, symbol::make(name), true, obj.data1, &index);
        append(values, value);
    }
    if (with_handlers) obj.data3 = memory::alloc_cells(1);  // stands for the on-change information
    buffer_of(obj.data1)->cells()[1] = obj;
    return obj;
}

bool owned(const Cell& v) { return buffer_of(cell_node(v))->flags & ownership::OWNED_FLAG; }

struct Ownership : ::testing::Test {
    void SetUp() override { test::boot(); }
};

TEST_F(Ownership, BindingRecordsEverySeriesInsideAndTerminatesOnCycles) {
    Cell inner = new_block();
    Rooted a(inner);
    Cell text = new_string();
    append(inner, text);
    Cell outer = new_block();
    Rooted b(outer);
    append(outer, inner);
    append(outer, outer);  // contains itself
    Cell obj = new_object({{"data", outer}}, true);
    Rooted c(obj);
    Cell field = *hashtable::get_ctx_word(buffer_of(obj.data1)->cells()[0], 0);
    ownership::bind(outer, obj, field);
    for (const Cell* v : {&outer, &inner, &text}) EXPECT_TRUE(owned(*v));
    Cell* owner = ownership::get_owner(cell_node(text));
    ASSERT_NE(owner, nullptr);
    EXPECT_EQ(owner[0].data1, obj.data1);
    EXPECT_EQ(owner[1].data2, field.data2);
    EXPECT_TRUE(buffer_of(obj.data1)->cells()[0].header & ownership::OWNER_FLAG);

    ownership::unbind(outer);
    for (const Cell* v : {&outer, &inner, &text}) {
        EXPECT_FALSE(owned(*v));
        EXPECT_EQ(ownership::get_owner(cell_node(*v)), nullptr);
    }
}

TEST_F(Ownership, ASeriesKeepsItsFirstOwner) {
    Cell s = new_string();
    Rooted a(s);
    Cell first = new_object({{"x", s}}, true);
    Rooted b(first);
    Cell second = new_object({{"y", s}}, true);
    Rooted c(second);
    Cell word = *hashtable::get_ctx_word(buffer_of(first.data1)->cells()[0], 0);
    ownership::set(s, first, word);
    ownership::set(s, second, word);
    EXPECT_EQ(ownership::get_owner(cell_node(s))[0].data1, first.data1);
    ownership::unbind(s);
}

struct Told {
    Cell owner, word, value, action;
    int32_t index, part;
};
std::vector<Told> told;

// Records every change an owner is told of while it lives.
struct Listening {
    Listening() { told.clear(); }
    test::Installed<ownership::DeepChange> dispatch{ownership::install_deep_change,
                                                    [](const Cell& owner, const Cell& word, const Cell& value,
                                                       const Cell& action, const Cell*, int32_t index, int32_t part) {
                                                        told.push_back({owner, word, value, action, index, part});
                                                    }};
};

TEST_F(Ownership, CheckTellsOnlyOwnersWithChangeHandlers) {
    Listening listening;
    Cell quiet_series = new_string();
    Rooted a(quiet_series);
    Cell quiet = new_object({{"q", quiet_series}}, false);
    Rooted b(quiet);
    Cell loud_series = new_string();
    Rooted c(loud_series);
    Cell loud = new_object({{"l", loud_series}}, true);
    Rooted d(loud);
    Cell action = make_integer(7);  // stands for the action word
    ownership::set(quiet_series, quiet, *hashtable::get_ctx_word(buffer_of(quiet.data1)->cells()[0], 0));
    ownership::set(loud_series, loud, *hashtable::get_ctx_word(buffer_of(loud.data1)->cells()[0], 0));
    EXPECT_FALSE(ownership::check(quiet_series, action, nullptr, 0, 1));
    EXPECT_TRUE(ownership::check(loud_series, action, nullptr, 2, 3));
    EXPECT_FALSE(ownership::check(new_string(), action, nullptr, 0, 1));  // not owned
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].owner.data1, loud.data1);
    EXPECT_EQ(told[0].value.data2, loud_series.data2);
    EXPECT_EQ(told[0].index, 2);
    EXPECT_EQ(told[0].part, 3);
    ownership::unbind(quiet_series);
    ownership::unbind(loud_series);
}

TEST_F(Ownership, EntriesAreWeak) {
    uint32_t before = hashtable::record(ownership::table())->count;
    Cell kept_series = new_string();
    Rooted a(kept_series);
    {
        // Owner unreachable after the scope; the owned series stays reachable.
        Cell obj = new_object({{"f", kept_series}}, true);
        Rooted b(obj);
        ownership::bind(kept_series, obj, *hashtable::get_ctx_word(buffer_of(obj.data1)->cells()[0], 0));
        // An owned series that nobody else holds.
        Cell lost = new_string();
        Rooted c(lost);
        ownership::set(lost, obj, *hashtable::get_ctx_word(buffer_of(obj.data1)->cells()[0], 0));
        EXPECT_EQ(hashtable::record(ownership::table())->count, before + 2);
    }
    collector::do_cycle();
    EXPECT_EQ(hashtable::record(ownership::table())->count, before);
    EXPECT_EQ(ownership::get_owner(cell_node(kept_series)), nullptr);
}

// The collector drops the entry of a series whose owner died; the series can
// then be owned again, and the new owner hears of its changes.
TEST_F(Ownership, ASeriesWhoseOwnerDiedCanBeOwnedAgain) {
    Listening listening;
    Cell s = new_string();
    Rooted a(s);
    {
        Cell gone = new_object({{"f", s}}, true);
        Rooted b(gone);
        ownership::bind(s, gone, *hashtable::get_ctx_word(buffer_of(gone.data1)->cells()[0], 0));
    }
    collector::do_cycle();
    ASSERT_EQ(ownership::get_owner(cell_node(s)), nullptr);
    Cell next = new_object({{"g", s}}, true);
    Rooted c(next);
    ownership::bind(s, next, *hashtable::get_ctx_word(buffer_of(next.data1)->cells()[0], 0));
    Cell* owner = ownership::get_owner(cell_node(s));
    ASSERT_NE(owner, nullptr);
    EXPECT_EQ(owner[0].data1, next.data1);
    EXPECT_TRUE(ownership::check(s, make_integer(7), nullptr, 0, 1));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].owner.data1, next.data1);
    ownership::unbind(s);
}

// The walk of a nested block allocates entries (the table grows, and under
// the stress switch every allocation collects) while the block it walks, the
// owner and the field word are only cells of a series that moves meanwhile.
TEST_F(Ownership, BindingFromCellsOfAMovingSeriesRecordsEverything) {
    // More entries than the table holds, whatever earlier cases made it grow
    // to: it grows during the walk.
    const size_t count = hashtable::record(ownership::table())->upper + 200;
    Cell inner = new_block();
    Rooted a(inner);
    for (size_t i = 0; i < count; ++i) append(inner, new_string());
    Cell obj = new_object({{"data", inner}}, true);
    Rooted b(obj);
    Cell field = *hashtable::get_ctx_word(buffer_of(obj.data1)->cells()[0], 0);
    // [inner obj field] in a block of its own, above a block that dies, so
    // that the first collection slides it down: bind reads its arguments there.
    Cell args{};
    Rooted c(args);
    {
        Cell below{TYPE_BLOCK, 0, memory::alloc_cells(1000), 0};
        Rooted keep_below(below);
        args = new_block();
        append(args, inner);
        append(args, obj);
        append(args, field);
    }
    const Cell* in = buffer_of(args.data2)->cells();
    {
        test::Restore<bool> stress(memory::state.stress);
        memory::state.stress = true;  // every allocation of the walk collects
        ownership::bind(in[0], in[1], in[2]);
    }
    EXPECT_NE(buffer_of(args.data2)->cells(), in);  // the arguments did move
    SeriesBuffer* ib = buffer_of(inner.data2);
    for (uint64_t i = 0; i < ib->cell_count(); ++i) {
        ib = buffer_of(inner.data2);
        Cell* owner = ownership::get_owner(cell_node(ib->cells()[i]));
        ASSERT_NE(owner, nullptr) << i;
        EXPECT_EQ(owner[0].data1, obj.data1);
        EXPECT_EQ(owner[1].data2, field.data2);
    }
    ownership::unbind(inner);
    EXPECT_EQ(ownership::get_owner(cell_node(inner)), nullptr);
}

TEST_F(Ownership, AnEntryWhoseFieldBelongsToADeadObjectIsDropped) {
    uint32_t before = hashtable::record(ownership::table())->count;
    Cell s = new_string();
    Rooted a(s);
    Cell owner = new_object({{"inner", make_none()}}, true);
    Rooted b(owner);
    {
        Cell nested = new_object({{"s", s}}, false);
        Rooted c(nested);
        Cell owner_word = *hashtable::get_ctx_word(buffer_of(owner.data1)->cells()[0], 0);
        ownership::set(nested, owner, owner_word);  // records s under the nested object's field word
        ASSERT_NE(ownership::get_owner(cell_node(s)), nullptr);
        EXPECT_EQ(ownership::get_owner(cell_node(s))[1].data1, nested.data1);
    }
    collector::do_cycle();  // the nested object is gone; the owner and s live on
    EXPECT_EQ(ownership::get_owner(cell_node(s)), nullptr);
    EXPECT_EQ(hashtable::record(ownership::table())->count, before);
}

// Which values ownership records, as the owner-trackable types are listed:
// the series of block-like values, string-like values, binary!, vector!,
// image! (its image record) and bitset!; not a map!'s pairs, nor what other
// values refer to.
TEST_F(Ownership, TheOwnerTrackableTypesAreRecorded) {
    Cell owner{TYPE_OBJECT, memory::alloc_cells(2), 1000001, 0};
    Rooted a(owner);
    Cell field{TYPE_WORD, 0, uint32_t(symbol::make("field")), 0};
    struct Case {
        uint32_t type;
        bool recorded;
    } cases[] = {
        {TYPE_BLOCK, true},  {TYPE_HASH, true},   {TYPE_GET_PATH, true}, {TYPE_STRING, true},
        {TYPE_REF, true},    {TYPE_BINARY, true}, {TYPE_VECTOR, true},   {TYPE_IMAGE, true},
        {TYPE_BITSET, true}, {TYPE_MAP, false},   {TYPE_SYMBOL, false},  {TYPE_INTEGER, false},
    };
    for (const Case& c : cases) {
        Cell v{c.type, 0, memory::alloc_bytes(8), 0};
        Rooted keep(v);
        ownership::set(v, owner, field);
        EXPECT_EQ(owned(v), c.recorded) << c.type;
        EXPECT_EQ(ownership::get_owner(cell_node(v)) != nullptr, c.recorded) << c.type;
        ownership::unbind(v);
        EXPECT_FALSE(owned(v)) << c.type;
    }
}

// An error raised while a walk is inside nested blocks (here a failed
// allocation as the table grows) must not leave the walk's entries on the
// cycle guard: later walks would take those series for cycles and skip them.
TEST_F(Ownership, AnErrorInsideAWalkLeavesTheCycleGuardAsItWas) {
    Cell outer = new_block();
    Rooted a(outer);
    Cell inner = new_block();
    append(outer, inner);
    // More entries than the table holds, whatever earlier cases made it grow
    // to: it grows during the walk.
    const size_t count = hashtable::record(ownership::table())->upper + 200;
    for (size_t i = 0; i < count; ++i) append(inner, new_string());
    Cell obj = new_object({{"data", make_none()}}, true);
    Rooted b(obj);
    Cell field = *hashtable::get_ctx_word(buffer_of(obj.data1)->cells()[0], 0);
    int depth = cycle_guard::depth();

    uint32_t code;
    {
        // every allocation runs the failing collector below
        test::StandInCollector failing([] { fire(ErrorId::internal_no_memory); }, true);
        code = protect(catch_level::ERRORS, [&] { ownership::set(outer, obj, field); });
        handled();
    }

    ASSERT_EQ(code, thrown::ERROR) << "the table grew during the walk";
    EXPECT_EQ(cycle_guard::depth(), depth);
    ownership::unbind(outer);
    EXPECT_FALSE(owned(inner));
}

}  // namespace
}  // namespace kel
