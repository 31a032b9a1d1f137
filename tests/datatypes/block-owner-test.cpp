// The owner of a series hears of every change: the action's word before it
// and the past form after it; a handler that changes the series meanwhile
// leaves the action working on the series as it then is.
#include <functional>
#include <vector>

#include "runtime/memory/ownership.h"
#include "tests/datatypes/block-fixture.h"

namespace kel::test {
namespace {

using series::Change;
using Changes = std::vector<std::pair<Change, NodeId>>;

struct OwnerTest : BlockTest {
    static inline Changes heard;
    static inline std::function<void(const Cell&, Change)> handler;
    Restore<decltype(series::Services::check_owner)> keep{series::services().check_owner};

    static int check(const Cell& value, Change change, const Cell*, int32_t, int32_t) {
        heard.emplace_back(change, cell_node(value));
        if (handler) handler(value, change);
        return 1;
    }
    void SetUp() override {
        BlockTest::SetUp();
        series::services().check_owner = check;
        heard.clear();
        handler = nullptr;
    }
    void TearDown() override {
        handler = nullptr;
        BlockTest::TearDown();
    }
    static Cell* owned(std::initializer_list<int32_t> values) {
        Cell* b = ints(values);
        block::buffer(*b)->flags |= ownership::OWNED_FLAG;  // as an ownership entry marks it
        return b;
    }
};

TEST_F(OwnerTest, EveryActionTellsItsWords) {
    struct Case {
        const char* what;
        std::function<void(Cell* a, Cell* b)> run;
        std::vector<std::pair<Change, int>> words;  // 0: the first series, 1: the second
    };
    Cell out;
    const Case cases[] = {
        {"append",
         [&](Cell* a, Cell*) {
             Cell v = integer(9);
             actions::append(&out, a, &v, AppendOptions{});
         },
         {{Change::append, 0}, {Change::appended, 0}}},
        {"insert",
         [&](Cell* a, Cell*) {
             Cell v = integer(9);
             actions::insert(&out, a, &v, AppendOptions{});
         },
         {{Change::insert, 0}, {Change::inserted, 0}}},
        {"change",
         [&](Cell* a, Cell*) {
             Cell v = integer(9);
             actions::change(&out, a, &v, AppendOptions{});
         },
         {{Change::change, 0}, {Change::changed, 0}}},
        {"swap",
         [&](Cell* a, Cell* b) { actions::swap(&out, a, b); },
         {{Change::swap, 0}, {Change::swap, 1}, {Change::swaped, 0}, {Change::swaped, 1}}},
        {"trim",
         [&](Cell* a, Cell*) { actions::trim(&out, a, TrimOptions{}); },
         {{Change::trim, 0}, {Change::trimmed, 0}}},
        {"put",
         [&](Cell* a, Cell*) {
             Cell k = integer(1), v = integer(5);
             actions::put(&out, a, &k, &v, false);
         },
         {{Change::put, 0}, {Change::put_ed, 0}}},
        {"remove",
         [&](Cell* a, Cell*) { actions::remove(&out, a, nullptr, nullptr); },
         {{Change::remove, 0}, {Change::removed, 0}}},
        {"reverse",
         [&](Cell* a, Cell*) { actions::reverse(&out, a, nullptr, nullptr); },
         {{Change::reverse, 0}, {Change::reversed, 0}}},
        {"take",
         [&](Cell* a, Cell*) { actions::take(&out, a, TakeOptions{}); },
         {{Change::take, 0}, {Change::taken, 0}}},
        {"sort",
         [&](Cell* a, Cell*) { actions::sort(&out, a, SortOptions{}); },
         {{Change::sort, 0}, {Change::sorted, 0}}},
        {"move inside one series",
         [&](Cell* a, Cell*) {
             Cell to = at(*a, 2);
             actions::move(&out, a, &to, nullptr);
         },
         {{Change::move, 0}, {Change::moved, 0}}},
        {"move between two series",
         [&](Cell* a, Cell* b) { actions::move(&out, a, b, nullptr); },
         {{Change::move, 0}, {Change::moved, 1}, {Change::moved, 0}}},
    };
    for (const Case& c : cases) {
        Cell* a = owned({3, 1, 2});
        Cell* b = owned({7, 8});
        heard.clear();
        c.run(a, b);
        Changes expected;
        for (auto [change, which] : c.words) expected.emplace_back(change, cell_node(which ? *b : *a));
        EXPECT_EQ(heard, expected) << c.what;
    }
}

TEST_F(OwnerTest, AHandlerThatEmptiesTheBlockBeforeTheChange) {
    // Each action reads the block again after telling the owner.
    struct Case {
        const char* what;
        std::function<void(Cell* a)> run;
        Ints after;
    };
    Cell out;
    Cell two = integer(2);
    const Case cases[] = {
        {"remove /part 2", [&](Cell* a) { actions::remove(&out, a, &two, nullptr); }, {}},
        {"reverse", [&](Cell* a) { actions::reverse(&out, a, nullptr, nullptr); }, {}},
        {"take /part 2",
         [&](Cell* a) {
             TakeOptions o;
             o.part = &two;
             actions::take(&out, a, o);
         },
         {}},
        {"sort", [&](Cell* a) { actions::sort(&out, a, SortOptions{}); }, {}},
        {"append", [&](Cell* a) { actions::append(&out, a, &two, AppendOptions{}); }, {2}},
        {"insert at index 2",
         [&](Cell* a) {
             Cell s = at(*a, 2);
             actions::insert(&out, &s, &two, AppendOptions{});
         },
         {2}},
        {"change /part 2 at index 1",
         [&](Cell* a) {
             Cell s = at(*a, 1);
             AppendOptions o;
             o.part = 2;
             actions::change(&out, &s, &two, o);
         },
         {2}},
        {"move",
         [&](Cell* a) {
             Cell to = at(*a, 3);
             actions::move(&out, a, &to, nullptr);
         },
         {}},
    };
    for (const Case& c : cases) {
        Cell* a = owned({4, 3, 2, 1});
        Cell held = *a;
        handler = [held](const Cell&, Change change) {
            if (change == Change::remove || change == Change::reverse || change == Change::take ||
                change == Change::sort || change == Change::append || change == Change::insert ||
                change == Change::change || change == Change::move)
                block::truncate_at(held, 0);
        };
        c.run(a);
        handler = nullptr;
        EXPECT_EQ(ints_of(*a), c.after) << c.what;
    }
}

}  // namespace
}  // namespace kel::test
