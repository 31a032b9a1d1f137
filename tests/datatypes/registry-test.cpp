// The datatype registry: registration, inheritance of action slots, the
// type-name table, the type-name words and the refusal of broken records.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/core/exit-status.h"
#include "runtime/evaluator/actions.h"
#include "tests/datatypes/datatype-fixture.h"

namespace kel {
namespace {

using test::error_of;

// Ids 55 and 56 fit the tables but no datatype of the system uses them.
constexpr uint32_t PARENT = 55;
constexpr uint32_t CHILD = 56;

int64_t form_a(Cell, Cell, bool, int64_t limit) { return limit - 1; }
int64_t form_b(Cell, Cell, bool, int64_t limit) { return limit - 2; }
void add_a() {}
void subtract_a() {}
int32_t compare_c(const Cell&, const Cell&, int32_t) { return 0; }

datatype::Action erased(auto fn) { return reinterpret_cast<datatype::Action>(fn); }

struct Registry : ::testing::Test {
    static void SetUpTestSuite() { test::boot_simple_types(); }
};

TEST_F(Registry, ChildCopiesTheParentRowAsItStandsAtRegistration) {
    datatype::register_type(datatype::Record(PARENT, 0, "parent!")
                                .own<ACTION_FORM>(form_a)
                                .own<ACTION_ADD>(add_a)
                                .own<ACTION_SUBTRACT>(subtract_a));
    datatype::register_type(datatype::Record(CHILD, PARENT, "child!")
                                .inherit_all<ACTION_FORM, ACTION_MOLD, ACTION_ADD>()
                                .own<ACTION_COMPARE>(compare_c));

    struct Case {
        int action;
        datatype::Action expected;
    } cases[] = {
        {ACTION_FORM, erased(form_a)},  // inherited function
        {ACTION_ADD, erased(add_a)},  // inherited plain action
        {ACTION_MOLD, nullptr},  // inherited, but the parent has none
        {ACTION_SUBTRACT, nullptr},  // the parent has one, the child does not take it
        {ACTION_COMPARE, erased(compare_c)},
        {ACTION_NEGATE, nullptr},
    };
    for (const Case& c : cases) EXPECT_EQ(datatype::slot(CHILD, c.action), c.expected) << c.action;

    // A later change of the parent's row does not reach the child...
    datatype::register_type(datatype::Record(PARENT, 0, "parent!").own<ACTION_FORM>(form_b));
    EXPECT_EQ(datatype::slot(PARENT, ACTION_FORM), erased(form_b));
    EXPECT_EQ(datatype::slot(CHILD, ACTION_FORM), erased(form_a));
    // ...until the child registers again, copying the row as it is now.
    datatype::register_type(datatype::Record(CHILD, PARENT, "child!").inherit<ACTION_FORM>());
    EXPECT_EQ(datatype::slot(CHILD, ACTION_FORM), erased(form_b));
    EXPECT_EQ(datatype::slot(CHILD, ACTION_ADD), nullptr);
}

TEST_F(Registry, InheritWithoutAParentLeavesTheSlotEmpty) {
    datatype::register_type(datatype::Record(PARENT, 0, "parent!").inherit<ACTION_FORM>());
    EXPECT_EQ(datatype::slot(PARENT, ACTION_FORM), nullptr);
    EXPECT_EQ(error_of([] { actions::lookup(PARENT, ACTION_FORM); }), test::id(ErrorId::script_expect_arg));
}

TEST_F(Registry, SimpleTypesFillExactlyTheirOwnSlots) {
    struct Case {
        uint32_t type;
        std::vector<int> actions;
    } cases[] = {
        {TYPE_DATATYPE, {ACTION_FORM, ACTION_MOLD, ACTION_COMPARE}},
        {TYPE_UNSET, {ACTION_MAKE, ACTION_TO, ACTION_FORM, ACTION_MOLD, ACTION_COMPARE}},
        {TYPE_NONE,
         {ACTION_MAKE, ACTION_TO, ACTION_FORM, ACTION_MOLD, ACTION_COMPARE, ACTION_CLEAR, ACTION_FIND, ACTION_LENGTH_Q,
          ACTION_REMOVE, ACTION_SELECT, ACTION_TAKE}},
        {TYPE_LOGIC,
         {ACTION_MAKE, ACTION_RANDOM, ACTION_TO, ACTION_FORM, ACTION_MOLD, ACTION_COMPARE, ACTION_AND_T,
          ACTION_COMPLEMENT, ACTION_OR_T, ACTION_XOR_T}},
    };
    for (const Case& c : cases) {
        for (int a = 1; a <= ACTION_COUNT; ++a) {
            bool expected = false;
            for (int own : c.actions) expected |= own == a;
            EXPECT_EQ(datatype::slot(c.type, a) != nullptr, expected) << "type " << c.type << " action " << a;
        }
    }
}

TEST_F(Registry, NamesAndHighestId) {
    EXPECT_STREQ(datatype::name(TYPE_LOGIC), "logic!");
    EXPECT_EQ(datatype::name_length(TYPE_LOGIC), 5u);
    EXPECT_STREQ(datatype::name(TYPE_DATATYPE), "datatype!");
    EXPECT_EQ(datatype::name_length(TYPE_DATATYPE), 8u);
    EXPECT_GE(datatype::highest(), TYPE_LOGIC);
    datatype::register_type(datatype::Record(CHILD, 0, "child!"));
    EXPECT_EQ(datatype::highest(), CHILD);
    // An id the tables have no row for answers nothing rather than reading
    // past them.
    EXPECT_EQ(datatype::name(200), nullptr);
    EXPECT_EQ(datatype::slot(200, ACTION_FORM), nullptr);
    EXPECT_EQ(datatype::slot(TYPE_LOGIC, 63), nullptr);
}

TEST_F(Registry, MissingActionRaisesExpectArgNamingTheType) {
    struct Case {
        uint32_t type;
        int action;
    } cases[] = {{TYPE_NONE, ACTION_ADD},
                 {TYPE_DATATYPE, ACTION_MAKE},
                 {TYPE_LOGIC, 8},
                 {TYPE_LOGIC, ACTION_OPEN_Q},
                 {200, ACTION_FORM}};
    for (const Case& c : cases) {
        EXPECT_EQ(error_of([&] { actions::lookup(c.type, c.action); }), test::id(ErrorId::script_expect_arg));
        ASSERT_EQ(error_in_flight().argc, 3);
        EXPECT_TRUE(test::names_action(error_in_flight().args[0], c.action)) << c.action;
        EXPECT_EQ(type_of(error_in_flight().args[1]), TYPE_DATATYPE);
        EXPECT_EQ(error_in_flight().args[1].data1, c.type);
    }
}

// The word maker the word module will supply: here it records the names.
std::vector<std::string> made_names;
Cell record_word(const char* name) {
    made_names.emplace_back(name);
    return Cell{TYPE_WORD, 0, uint32_t(made_names.size()), 0};
}

TEST_F(Registry, TypeNameWordsAndLateRegistration) {
    made_names.clear();
    datatype::make_words(record_word);
    for (uint32_t t : {TYPE_DATATYPE, TYPE_UNSET, TYPE_NONE, TYPE_LOGIC, TYPE_EVENT}) {
        const Cell* w = datatype::word(t);
        ASSERT_NE(w, nullptr) << t;
        EXPECT_EQ(made_names.at(w->data2 - 1), datatype::name(t));
    }
    // A type registered after the words exist gets its word at once.
    size_t before = made_names.size();
    datatype::register_type(datatype::Record(PARENT, 0, "late!"));
    ASSERT_EQ(made_names.size(), before + 1);
    EXPECT_EQ(made_names.back(), "late!");
    ASSERT_NE(datatype::word(PARENT), nullptr);
    EXPECT_EQ(datatype::word(PARENT)->data2, before + 1);
}

// Runs a registration that must end the process; answers its standard output.
std::string output_of_refused(const datatype::RecordWord* record, uint32_t count) {
    char path[] = "/tmp/kel-registry-XXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    close(fd);
    EXPECT_EXIT(
        {
            int out = open(path, O_WRONLY | O_TRUNC);
            dup2(out, 1);
            datatype::register_record(count, record);
        },
        ::testing::ExitedWithCode(exit_status::ASSERTION_FAILED), "");
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    std::remove(path);
    return text.str();
}

TEST_F(Registry, WrongSlotCountEndsTheProcessWithAFailureStatus) {
    datatype::RecordWord record[datatype::RECORD_COUNT + 1] = {};
    record[0] = PARENT;
    record[2] = reinterpret_cast<datatype::RecordWord>("parent!");
    struct Case {
        uint32_t count;
        const char* report;
    } cases[] = {
        {64, "*** Datatype Error: invalid actions count for type: 55\n*** Found: 61\n*** Expected: 62\n"},
        {66, "*** Datatype Error: invalid actions count for type: 55\n*** Found: 63\n*** Expected: 62\n"},
    };
    for (const Case& c : cases) {
        std::string out = output_of_refused(record, c.count);
        EXPECT_EQ(out.substr(0, std::string(c.report).size()), c.report) << out;
        EXPECT_NE(out.find("*** Runtime Error 98: assertion failed"), std::string::npos) << out;
    }
}

TEST_F(Registry, IdOutsideTheTablesEndsTheProcess) {
    for (datatype::RecordWord id : {datatype::RecordWord(0), datatype::RecordWord(57), datatype::RecordWord(300)}) {
        datatype::Record r(uint32_t(id), 0, "bad!");
        std::string out = output_of_refused(r.words(), datatype::RECORD_COUNT);
        EXPECT_EQ(out.rfind("*** Datatype Error: invalid type id: ", 0), 0u) << out;
    }
}

}  // namespace
}  // namespace kel
