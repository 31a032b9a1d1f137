// trim and its refinements, and what the owner of a binary is told by each
// modifying action.
#include <vector>

#include "runtime/datatypes/series.h"
#include "runtime/memory/ownership.h"
#include "tests/binary/binary-fixture.h"

namespace kel::test {
namespace {

TrimOptions trim_with(bool head, bool tail, bool all, const Cell* with = nullptr) {
    TrimOptions o;
    o.head = head;
    o.tail = tail;
    o.all = all;
    o.with = with;
    return o;
}

TEST_F(Binaries, TrimAndItsRefinements) {
    Cell& one = hold(integer(1));
    Cell& minus = hold(integer(-1));
    Cell& two = hold(ch(2));
    Cell& pair = bin("0002");
    Cell& text12 = text(U"\x01\u0102");  // U+0102 is no byte
    struct Row {
        const char* what;
        const char* bytes;
        int32_t index;
        TrimOptions o;
        const char* whole;
    };
    const Row rows[] = {
        {"both ends", "00000100020000", 0, {}, "010002"},
        {"/head", "00000100020000", 0, trim_with(true, false, false), "0100020000"},
        {"/tail", "00000100020000", 0, trim_with(false, true, false), "0000010002"},
        {"/head /tail", "00000100020000", 0, trim_with(true, true, false), "010002"},
        {"/all", "00000100020000", 0, trim_with(false, false, true), "0102"},
        {"from the index", "0000010000", 1, {}, "0001"},
        {"/all from the index", "00010002", 2, trim_with(false, false, true), "000102"},
        {"only zeros", "000000", 0, {}, ""},
        {"empty", "", 0, {}, ""},
        {"index past the tail", "0001", 4, {}, "0001"},
        {"/with an integer", "00000100020000", 0, trim_with(false, false, false, &one), "000000020000"},
        {"/with an integer beyond a byte", "FF00FF", 0, trim_with(false, false, false, &minus), "FF00FF"},
        {"/with a char", "0102030201", 0, trim_with(false, false, false, &two), "010301"},
        {"/with a binary", "00000100020000", 0, trim_with(false, false, false, &pair), "01"},
        {"/with a string", "01020301", 0, trim_with(false, false, false, &text12), "0203"},
        {"/all /with", "0100020001", 0, trim_with(false, false, true, &one), "000200"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Cell& b = bin(r.bytes);
        b.data1 = uint32_t(r.index);
        Cell& out = hold(make_unset());
        binary::trim(&out, &b, r.o);
        EXPECT_EQ(all_bytes(b), r.whole);
        EXPECT_EQ(cell_node(out), cell_node(b));
        EXPECT_EQ(int32_t(out.data1), r.index);
    }
}

TEST_F(Binaries, TrimRefusals) {
    Cell& b = bin("000100");
    Cell& out = hold(make_unset());
    TrimOptions automatic;
    automatic.automatic = true;
    TrimOptions lines;
    lines.lines = true;
    EXPECT_EQ(error_of([&] { binary::trim(&out, &b, automatic); }), id(ErrorId::internal_not_done));
    EXPECT_EQ(error_of([&] { binary::trim(&out, &b, lines); }), id(ErrorId::internal_not_done));
    Cell& none = hold(make_none());
    EXPECT_EQ(error_of([&] { binary::trim(&out, &b, trim_with(false, false, false, &none)); }),
              id(ErrorId::script_invalid_arg));
    EXPECT_EQ(all_bytes(b), "000100");
}

// What an owner is told -----------------------------------------------------------

struct Told {
    series::Change change;
    int32_t index;
    int32_t part;
    bool with_value;
    bool operator==(const Told&) const = default;
};
std::vector<Told> told;
Cell* emptied = nullptr;  // a binary the handler empties on the first word of a change

int record(const Cell&, series::Change change, const Cell* new_value, int32_t index, int32_t part) {
    told.push_back(Told{change, index, part, new_value != nullptr});
    if (emptied && (change == series::Change::append || change == series::Change::change)) {
        SeriesBuffer* b = memory::buffer_of(cell_node(*emptied));
        b->tail = b->offset;
    }
    return 1;
}

struct BinaryOwners : Binaries {
    void SetUp() override {
        Binaries::SetUp();
        previous_ = series::services().check_owner;
        series::services().check_owner = record;
        told.clear();
        emptied = nullptr;
    }
    void TearDown() override {
        series::services().check_owner = previous_;
        emptied = nullptr;
        Binaries::TearDown();
    }
    Cell& owned(std::string_view bytes) {
        Cell& b = bin(bytes);
        memory::buffer_of(cell_node(b))->flags |= ownership::OWNED_FLAG;
        return b;
    }
    decltype(series::Services::check_owner) previous_ = nullptr;
};

TEST_F(BinaryOwners, EachActionTellsItsWords) {
    using C = series::Change;
    Cell& out = hold(make_unset());
    Cell& b = owned("0000AA0000");
    Cell& x = bin("0102");
    AppendOptions plain;
    AppendOptions part1;
    part1.part = 1;
    binary::append(&out, &b, &x, plain, true);  // 0000AA00000102
    Cell at2 = at(b, 2);
    binary::append(&out, &at2, &x, part1, false);  // 0000 01 AA00000102
    binary::change(&out, &at2, &x, plain);  // 0000 0102 00000102
    binary::trim(&out, &b, {});
    const std::vector<Told> expected = {
        {C::append, 5, -1, true}, {C::appended, 5, 1, true},  // a missing part counts 1 after
        {C::append, 7, 1, true},  {C::appended, 7, 1, true},  // insert tells the size, as append
        {C::change, 2, 2, false}, {C::changed, 2, 2, false}, {C::trim, 0, 0, false},
    };
    EXPECT_EQ(told, expected);
    EXPECT_EQ(all_bytes(b),
              "0102000001"
              "02");
    // An empty append is told before and returns without a change.
    told.clear();
    Cell& empty = bin("");
    binary::append(&out, &b, &empty, plain, true);
    EXPECT_EQ(told.size(), 1u);
}

// A handler that empties the binary when told of the change: the action
// then works on the binary as the handler left it.
TEST_F(BinaryOwners, HandlerThatEmptiesTheBinary) {
    Cell& out = hold(make_unset());
    Cell& x = bin("0102");
    for (int kind = 0; kind < 3; ++kind) {
        SCOPED_TRACE(kind);
        Cell& b = owned("0A0B0C0D");
        emptied = &b;
        Cell at3 = at(b, 3);
        if (kind == 2)
            binary::change(&out, &at3, &x, {});
        else
            binary::append(&out, &at3, &x, {}, kind == 0);
        EXPECT_EQ(all_bytes(b), "0102");
        EXPECT_EQ(int32_t(out.data1), kind == 0 ? 0 : 2);
    }
}

}  // namespace
}  // namespace kel::test
