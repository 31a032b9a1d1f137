// Strings as values of a block: block find and the block set operations
// compare them through the string compare action, folded unless /case.
#include "runtime/datatypes/block.h"
#include "runtime/evaluator/actions.h"
#include "tests/strings/strings-fixture.h"

namespace kel::test {
namespace {

std::vector<std::u32string> texts_of(const Cell& blk) {
    std::vector<std::u32string> out;
    SeriesBuffer* b = memory::buffer_of(cell_node(blk));
    for (uint64_t i = uint64_t(int32_t(blk.data1)); i < b->cell_count(); ++i) out.push_back(read(b->cells()[i]));
    return out;
}

TEST_F(StringActions, FindAStringInABlock) {
    Cell& blk = block_of({text(U"x"), text(U"Abc"), text(U"abc"), text(U"\u00C9t\u00E9")});
    Cell& out = hold(make_unset());
    FindOptions plain, cased;
    cased.case_sensitive = true;
    struct Row {
        std::u32string value;
        const FindOptions* o;
        int32_t expected;  // 1-based, 0 for none
    } rows[] = {
        {U"abc", &plain, 2},           {U"abc", &cased, 3}, {U"ABC", &cased, 0},
        {U"\u00E9T\u00C9", &plain, 4}, {U"ab", &plain, 0},
    };
    for (const Row& r : rows) {
        Cell& v = text(r.value);
        actions::find(&out, &blk, &v, *r.o);
        int32_t got = type_of(out) == TYPE_NONE ? 0 : int32_t(out.data1) + 1;
        EXPECT_EQ(got, r.expected) << "row " << (&r - rows);
    }
}

TEST_F(StringActions, BlockSetOperationsOnStrings) {
    using Texts = std::vector<std::u32string>;
    Cell& a = block_of({text(U"a"), text(U"B"), text(U"b"), text(U"c")});
    Cell& b = block_of({text(U"A"), text(U"c")});
    struct Row {
        int32_t op;
        bool case_sensitive;
        Texts result;
    } rows[] = {
        {block::SET_UNIQUE, false, {U"a", U"B", U"c"}},
        {block::SET_UNIQUE, true, {U"a", U"B", U"b", U"c"}},
        {block::SET_INTERSECT, false, {U"a", U"c"}},
        {block::SET_INTERSECT, true, {U"c"}},
        {block::SET_EXCLUDE, false, {U"B"}},
        {block::SET_DIFFERENCE, true, {U"a", U"B", U"b", U"A"}},
        {block::SET_UNION, false, {U"a", U"B", U"c"}},
    };
    for (const Row& r : rows) {
        Cell& out = hold(make_unset());
        block::set_operation(&out, &a, r.op == block::SET_UNIQUE ? nullptr : &b, r.op, r.case_sensitive, nullptr);
        EXPECT_EQ(texts_of(out), r.result) << "row " << (&r - rows);
    }
}

}  // namespace
}  // namespace kel::test
