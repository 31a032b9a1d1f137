// The readers hold positions in their input, never addresses, across
// anything that allocates: a collection at any one allocation of a read that
// moves the input (sliding it down over a string freed just then) leaves
// the value read as it was.
#include <gtest/gtest.h>

#include <string>

#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/csv-read.h"
#include "runtime/io/json-read.h"
#include "tests/support.h"

namespace kel::test {
namespace {

memory::CollectFn real_collector = nullptr;
Cell* doomed = nullptr;  // the string freed at the chosen allocation
int countdown = 0;

void collect_moving_input() {
    if (countdown > 0 && --countdown == 0) *doomed = make_none();
    real_collector();
}

Cell* push_text(const std::string& text) {
    return string::import(reinterpret_cast<const uint8_t*>(text.data()), int32_t(text.size()), string::ENCODING_UTF8);
}

std::string molded(const Cell& value) {
    Cell* text = stack::push(make_none());
    string::ks_make_at(*text, 64);
    actions::mold(value, *text, MoldOptions{});
    std::string out(size_t(binary::measure(*text, -1, false)), '\0');
    binary::write(reinterpret_cast<uint8_t*>(out.data()), *text, -1, false);
    stack::pop(1);
    return out;
}

// The molded value `read` makes of the text, first undisturbed, then with
// the input moved at its first, second ... allocation, until a read makes
// fewer allocations than that; each must be the same.
template <class Read>
void expect_same_when_moved(const std::string& text, Read&& read) {
    real_collector = memory::install_collector(nullptr);
    memory::install_collector(real_collector);
    StandInCollector moving(collect_moving_input, true);
    std::string want;
    for (int at = 0;; ++at) {
        Cell* top = stack::state.top;
        doomed = push_text(std::string(4096, 'g'));
        Cell* input = push_text(text);
        countdown = at;
        Cell* out = stack::push(make_none());
        read(*input, out);
        int left = countdown;
        countdown = 0;
        std::string got = molded(*out);
        stack::state.top = top;
        if (left > 0) break;  // the read made fewer allocations than `at`
        if (at == 0)
            want = got;
        else
            EXPECT_EQ(got, want) << "input moved at allocation " << at;
    }
}

TEST(MovingInput, CsvReaderReadsTheMovedText) {
    boot();
    const std::string text = "name,note\r\nann,\"say \"\"hi\"\"\"\nbob,  x  \n";
    Cell comma = char_::make_cell(',');
    Cell* message = push_text("Data are not aligned");
    struct Case {
        bool header, as_records, trim;
    };
    for (Case c : {Case{false, false, false}, Case{true, false, false}, Case{true, true, true}}) {
        csv::ReadOptions o;
        o.delimiter = &comma;
        o.non_aligned = message;
        o.header = c.header;
        o.as_columns = c.header && !c.as_records;
        o.as_records = c.as_records;
        o.trim = c.trim;
        expect_same_when_moved(text, [&](const Cell& input, Cell* out) { csv::read(input, out, o); });
    }
    stack::pop(1);
}

TEST(MovingInput, JsonReaderReadsTheMovedText) {
    boot();
    const std::string text = "{\"a\": [1, 2.5, \"x\\n\", true, null],\n \"b c\": {\"d\": \"\\u00e9\"}, \"-1\": []}";
    expect_same_when_moved(text, [](const Cell& input, Cell* out) {
        json::ReadPlace place;
        EXPECT_TRUE(json::read(input, out, place));
    });
}

}  // namespace
}  // namespace kel::test
