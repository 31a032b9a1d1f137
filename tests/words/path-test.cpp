// The path family and paren!: making, conversion, texts and the actions
// they lack.
#include "tests/words/words-fixture.h"

#include <cmath>

#include "runtime/datatypes/path.h"

namespace kel::test {
namespace {

using Paths = Words;

Cell make_path(uint32_t type, const Cell& spec) { return made(type, spec); }

uint64_t room(const Cell& p) { return block::buffer(p)->size / sizeof(Cell); }

TEST_F(Paths, MakeFromNumbers) {
    Cell zero = make_path(TYPE_PATH, make_integer(0));
    EXPECT_EQ(type_of(zero), TYPE_PATH);
    EXPECT_EQ(block::ks_length(zero), 0);
    EXPECT_GE(room(zero), 1u);
    Cell three = make_path(TYPE_SET_PATH, flt(3.9));
    EXPECT_EQ(type_of(three), TYPE_SET_PATH);
    EXPECT_GE(room(three), 3u);
    EXPECT_EQ(raised([&] { make_path(TYPE_PATH, make_integer(-1)); }), id(ErrorId::script_out_of_range));
    EXPECT_EQ(raised([&] { make_path(TYPE_PATH, flt(-1.5)); }), id(ErrorId::script_out_of_range));
    EXPECT_EQ(raised([&] { make_path(TYPE_PATH, flt(std::nan(""))); }), id(ErrorId::script_out_of_range));
    EXPECT_EQ(raised([&] { make_path(TYPE_PATH, make_none()); }), id(ErrorId::script_bad_make_arg));
}

TEST_F(Paths, MakeFromABlockAndToFromATypeset) {
    Cell* blk = block_of({global_word("a"), global_word("b")});
    Cell p = make_path(TYPE_GET_PATH, *blk);
    EXPECT_EQ(type_of(p), TYPE_GET_PATH);
    EXPECT_EQ(block::ks_length(p), 2);
    EXPECT_NE(cell_node(p), cell_node(*blk));
    Cell proto = datatype::make(TYPE_PATH);
    Cell ts{TYPE_TYPESET, 0, 0, 0};
    Cell out;
    actions::to(&out, &proto, &ts);
    EXPECT_EQ(type_of(out), TYPE_PATH);
    EXPECT_EQ(block::ks_length(out), 1);
}

TEST_F(Paths, PrefixedMoldsAndForm) {
    Cell* blk = block_of({global_word("a"), global_word("b")});
    struct Row {
        uint32_t type;
        const char* mold;
    };
    const Row rows[] = {{TYPE_PATH, "a/b"}, {TYPE_LIT_PATH, "'a/b"}, {TYPE_SET_PATH, "a/b:"}, {TYPE_GET_PATH, ":a/b"}};
    for (const Row& r : rows) {
        Cell p = make_path(r.type, *blk);
        int64_t left = 0;
        MoldOptions o;
        o.limit = 50;
        EXPECT_EQ(molded(p, o, &left), r.mold);
        EXPECT_EQ(left, 50 - int64_t(std::strlen(r.mold))) << r.mold;
        EXPECT_EQ(formed(p), "a/b");
    }
    // Segments are molded: a lit-word segment keeps its quote in mold only.
    Cell* quoted = block_of({global_word("a"), global_word("b", TYPE_LIT_WORD)});
    Cell q = make_path(TYPE_PATH, *quoted);
    EXPECT_EQ(molded(q), "a/'b");
    EXPECT_EQ(formed(q), "a/b");
}

TEST_F(Paths, APathThatContainsItselfIsWrittenWithTheCycleMarker) {
    Cell p = make_path(TYPE_PATH, *block_of({global_word("a")}));
    block::append_cell(p, p);
    EXPECT_EQ(molded(p), "a/...");
    EXPECT_EQ(formed(p), "a/...");
}

TEST_F(Paths, PathsLackSortRandomAndTrimParensOnlyTrim) {
    for (uint32_t t : {TYPE_PATH, TYPE_LIT_PATH, TYPE_SET_PATH, TYPE_GET_PATH}) {
        EXPECT_EQ(datatype::slot(t, ACTION_SORT), nullptr);
        EXPECT_EQ(datatype::slot(t, ACTION_RANDOM), nullptr);
        EXPECT_EQ(datatype::slot(t, ACTION_TRIM), nullptr);
    }
    EXPECT_EQ(datatype::slot(TYPE_PAREN, ACTION_TRIM), nullptr);
    EXPECT_EQ(datatype::slot(TYPE_PAREN, ACTION_SORT), datatype::slot(TYPE_BLOCK, ACTION_SORT));
    EXPECT_EQ(datatype::slot(TYPE_PAREN, ACTION_MAKE), datatype::slot(TYPE_BLOCK, ACTION_MAKE));
    EXPECT_EQ(datatype::slot(TYPE_LIT_PATH, ACTION_MAKE), datatype::slot(TYPE_PATH, ACTION_MAKE));
}

TEST_F(Paths, ParenMold) {
    Cell* blk = block_of({global_word("a"), make_integer(1)});
    blk->header = TYPE_PAREN;
    EXPECT_EQ(molded(*blk), "(a 1)");
    MoldOptions only;
    only.only = true;
    EXPECT_EQ(molded(*blk, only), "a 1");
}

}  // namespace
}  // namespace kel::test
