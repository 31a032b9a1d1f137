// Path writes into a date change the cell in place (field by field, as a
// set-path hands them to the type), and the refused ones leave it as it was.
#include "runtime/datatypes/date-internal.h"
#include "runtime/datatypes/date.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/time.h"
#include "runtime/datatypes/word.h"
#include "tests/support.h"

namespace kel::test {
namespace {

uint32_t packed(int32_t y, int32_t m, int32_t d) {
    return (uint32_t(y) << 17) | (uint32_t(m) << 12) | (uint32_t(d) << 7);
}

class DatePath : public ::testing::Test {
protected:
    static void SetUpTestSuite() { boot(); }
    // The date after writing the value at the field number.
    static Cell written(Cell d, int32_t field, Cell value) {
        Cell element = make_integer(field);
        Cell out;
        PathStep step;
        date::eval_path(&out, &d, &element, &value, step);
        EXPECT_EQ(out.header, value.header);
        return d;
    }
};

TEST_F(DatePath, WritesMoveTheDate) {
    const uint32_t T = date::TIME_FLAG;
    Cell one_am_plus_2;
    date::make_at(one_am_plus_2, 2020, 1, 1, 3600.0, false, 2, 0, true);
    struct Case {
        const char* what;
        Cell from;
        int32_t field;
        Cell value;
        uint32_t word;
        double time;
    } cases[] = {
        {"year", date::make_cell(packed(2020, 2, 29), 0), 2, make_integer(2021), packed(2021, 3, 1), 0},
        {"month", date::make_cell(packed(2021, 1, 31), 0), 3, make_integer(2), packed(2021, 3, 3), 0},
        {"day 0", date::make_cell(packed(2021, 3, 15), 0), 4, make_integer(0), packed(2021, 2, 28), 0},
        {"day 32", date::make_cell(packed(2021, 3, 15), 0), 4, make_integer(32), packed(2021, 4, 1), 0},
        {"weekday", date::make_cell(packed(2024, 1, 3), 0), 10, make_integer(7), packed(2024, 1, 7), 0},
        {"yearday", date::make_cell(packed(2024, 5, 5), 0), 11, make_integer(60), packed(2024, 2, 29), 0},
        {"week", date::make_cell(packed(2022, 5, 5), 0), 13, make_integer(2), packed(2022, 1, 2), 0},
        {"week 1", date::make_cell(packed(2022, 5, 5), 0), 13, make_integer(1), packed(2022, 1, 1), 0},
        {"isoweek", date::make_cell(packed(2021, 5, 5), 0), 14, make_integer(1), packed(2021, 1, 4), 0},
        {"timezone 0", one_am_plus_2, 12, make_integer(0), packed(2019, 12, 31) | T, 82800},
        {"zone 0", one_am_plus_2, 5, make_integer(0), packed(2020, 1, 1) | T, 3600},
        {"zone -0:30", one_am_plus_2, 5, time_::make_cell(-1800), packed(2020, 1, 1) | T | 0x42, 5400},
        {"time none", one_am_plus_2, 6, none_value, packed(2020, 1, 1) | 8, 0},
        {"time 10:00", date::make_cell(packed(2020, 1, 1), 0), 6, time_::make_cell(36000), packed(2020, 1, 1) | T,
         36000},
        {"hour", one_am_plus_2, 7, make_integer(5), packed(2020, 1, 1) | T | 8, 10800},
        {"date", one_am_plus_2, 1, date::make_cell(packed(2021, 6, 7), 0), packed(2021, 6, 7) | 8, -3600},
    };
    for (const Case& c : cases) {
        Cell d = written(c.from, c.field, c.value);
        EXPECT_EQ(d.data1, c.word) << c.what;
        EXPECT_EQ(cell_double(d), c.time) << c.what;
    }
}

TEST_F(DatePath, RefusedWritesAndElements) {
    Cell d = date::make_cell(packed(2020, 1, 1), 0.0);
    Cell element = make_integer(2);
    Cell text = Cell{TYPE_NONE, 0, 0, 0};
    Cell out;
    PathStep step;
    Cell before = d;
    EXPECT_EQ(error_of([&] { date::eval_path(&out, &d, &element, &text, step); }), id(ErrorId::script_invalid_arg));
    EXPECT_EQ(d.data1, before.data1);
    // A zone write marks the date timed before it looks at the value.
    element = make_integer(5);
    EXPECT_EQ(error_of([&] { date::eval_path(&out, &d, &element, &text, step); }), id(ErrorId::script_invalid_arg));
    EXPECT_EQ(d.data1, before.data1 | date::TIME_FLAG);
    for (int32_t n : {0, 15, -1}) {
        element = make_integer(n);
        EXPECT_EQ(error_of([&] { date::eval_path(&out, &d, &element, nullptr, step); }),
                  id(ErrorId::script_invalid_path))
            << n;
    }
    element = word::make(symbol::make("foo"));
    EXPECT_EQ(error_of([&] { date::eval_path(&out, &d, &element, nullptr, step); }), id(ErrorId::script_invalid_path));
}

}  // namespace
}  // namespace kel::test
