// The owner of a string is told of each change before and after it, with the
// change's words.
#include <vector>

#include "runtime/datatypes/series.h"
#include "runtime/memory/ownership.h"
#include "tests/strings/strings-fixture.h"

namespace kel::test {
namespace {

std::vector<series::Change> told;

int record(const Cell&, series::Change change, const Cell*, int32_t, int32_t) {
    told.push_back(change);
    return 1;
}

struct StringOwners : StringActions {
    void SetUp() override {
        StringActions::SetUp();
        previous_ = series::services().check_owner;
        series::services().check_owner = record;
        told.clear();
    }
    void TearDown() override {
        series::services().check_owner = previous_;
        StringActions::TearDown();
    }
    Cell& owned(std::u32string_view cps) {
        Cell& s = text(cps);
        memory::buffer_of(cell_node(s))->flags |= ownership::OWNED_FLAG;
        return s;
    }
    decltype(series::Services::check_owner) previous_ = nullptr;
};

TEST_F(StringOwners, EachActionTellsBeforeAndAfter) {
    using C = series::Change;
    Cell& out = hold(make_unset());
    Cell& s = owned(U"b a");
    Cell& x = text(U"x");
    AppendOptions plain;
    string::append_insert(&out, &s, &x, plain, true);
    string::append_insert(&out, &s, &x, plain, false);
    string::change(&out, &s, &x, plain);
    string::trim(&out, &s, {});
    string::sort(&out, &s, {});
    Cell& other = text(U"q");
    string::swap(&out, &s, &other);
    string::change_case(&s, nullptr, true);
    string::change_case(&s, nullptr, false);
    const std::vector<C> expected = {C::append,  C::appended, C::insert,    C::inserted, C::change,
                                     C::changed, C::trim,     C::trimmed,   C::sort,     C::sorted,
                                     C::swap,    C::swaped,   C::uppercase, C::lowercase};
    EXPECT_EQ(told, expected);
}

}  // namespace
}  // namespace kel::test
