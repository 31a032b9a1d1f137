// handle!: registration, form, mold with and without /all, and comparison
// by value alone.
#include "runtime/datatypes/handle.h"
#include "runtime/evaluator/actions.h"
#include "runtime/memory/roots.h"
#include "tests/datatypes/datatype-fixture.h"

namespace kel::test {
namespace {

struct Handles : ::testing::Test {
    void SetUp() override { boot(); }
};

std::string formed(const Cell& h, int64_t* left = nullptr) {
    Cell s = new_string();
    Rooted keep(s);
    int64_t rest = actions::form(h, s, false, 100);
    if (left) *left = rest;
    return text_of(s);
}

std::string molded(const Cell& h, bool all, int64_t* left = nullptr) {
    Cell s = new_string();
    Rooted keep(s);
    MoldOptions options;
    options.all = all;
    options.limit = 100;
    int64_t rest = actions::mold(h, s, options);
    if (left) *left = rest;
    return text_of(s);
}

TEST_F(Handles, FormIsEightHexDigitsAndH) {
    struct Case {
        int32_t value;
        const char* text;
    };
    for (const Case& c : {Case{255, "000000FFh"}, Case{0, "00000000h"}, Case{-2, "FFFFFFFEh"},
                          Case{INT32_MIN, "80000000h"}, Case{0x1234ABCD, "1234ABCDh"}}) {
        int64_t left = 0;
        EXPECT_EQ(formed(handle::make_cell(c.value, handle::CLASS_WINDOW), &left), c.text);
        EXPECT_EQ(left, 91);
    }
}

TEST_F(Handles, MoldNamesTheClassOnlyWithAllAndOnlyWhenItHasAName) {
    struct Case {
        uint32_t klass;
        const char* all;
        int64_t left;
    };
    const Case cases[] = {
        {handle::CLASS_WINDOW, "#[handle! 000000FFh window]", 100 - 27},
        {handle::CLASS_RICH_TEXT, "#[handle! 000000FFh rich-text]", 100 - 30},
        {handle::CLASS_NULL, "#[handle! 000000FFh]", 100 - 20},
        {77, "#[handle! 000000FFh]", 100 - 20},
    };
    for (const Case& c : cases) {
        Cell h = handle::make_cell(255, c.klass);
        int64_t left = 0;
        EXPECT_EQ(molded(h, false, &left), "handle!");
        EXPECT_EQ(left, 93);
        EXPECT_EQ(molded(h, true, &left), c.all);
        EXPECT_EQ(left, c.left);
    }
}

TEST_F(Handles, EqualValuesOfDifferentClassesAreEqual) {
    Cell window = handle::make_cell(7, handle::CLASS_WINDOW);
    Cell font = handle::make_cell(7, handle::CLASS_FONT);
    EXPECT_TRUE(actions::compare(window, font, COMP_EQUAL));
    EXPECT_FALSE(actions::compare(window, handle::make_cell(8, handle::CLASS_WINDOW), COMP_EQUAL));
    // Values compare as signed integers; another type is never equal.
    auto compare = actions::slot_for<ACTION_COMPARE>(TYPE_HANDLE);
    EXPECT_EQ(compare(handle::make_cell(-1, 0), handle::make_cell(1, 0), COMP_SORT), -1);
    EXPECT_EQ(compare(handle::make_cell(1, 0), handle::make_cell(-1, 0), COMP_SORT), 1);
    EXPECT_EQ(compare(window, make_integer(7), COMP_EQUAL), 1);
}

TEST_F(Handles, RegistrationOwnsOnlyFormMoldAndCompare) {
    EXPECT_STREQ(datatype::name(TYPE_HANDLE), "handle!");
    for (int a : {ACTION_ADD, ACTION_MAKE, ACTION_TO, ACTION_NEGATE, ACTION_EVEN_Q, ACTION_RANDOM})
        EXPECT_EQ(datatype::slot(TYPE_HANDLE, a), nullptr) << a;
    for (int a : {ACTION_FORM, ACTION_MOLD, ACTION_COMPARE}) EXPECT_NE(datatype::slot(TYPE_HANDLE, a), nullptr);
    Frame frame({});
    Cell* null = handle::push_null();
    EXPECT_EQ(type_of(*null), TYPE_HANDLE);
    EXPECT_EQ(handle::value_of(*null), 0);
    EXPECT_EQ(handle::class_of(*null), handle::CLASS_NULL);
    EXPECT_EQ(null->data3, 0xFFFFFFFFu);  // no external entry
}

}  // namespace
}  // namespace kel::test
