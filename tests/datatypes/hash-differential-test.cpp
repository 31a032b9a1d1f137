// A hash! under random modifications through the block and series actions:
// after every one, a find through its table answers what a scan answers.
#include <random>

#include "tests/datatypes/block-fixture.h"

namespace kel::test {
namespace {

TEST_F(BlockTest, RandomModificationsKeepAHashTableInStep) {
    std::mt19937 rng(20240607);
    auto pick = [&](int64_t n) { return int32_t(std::uniform_int_distribution<int64_t>(0, n)(rng)); };
    Cell* h = hashed({1, 2, 3, 4, 5, 6, 7, 8});
    Cell* other = hashed({1, 2, 3});
    size_t steps = scaled(3000, 300);
    for (size_t step = 0; step < steps; ++step) {
        int32_t length = block::ks_length(*h);
        Cell s = at(*h, pick(length)), t = at(*h, pick(length));
        Cell count = integer(pick(4) + 1), out;
        Cell* values = ints({pick(9), pick(9), pick(9)});
        values->data1 = uint32_t(pick(2));
        AppendOptions options;
        options.dup = pick(2) + 1;
        int op = pick(9);
        switch (op) {
        case 0:
            block::append(&out, &s, values, options, false);
            break;
        case 1:
            block::append(&out, &s, values, options, true);
            break;
        case 2:
            series::remove(&out, &s, &count, nullptr);
            break;
        case 3:
            block::change(&out, &s, pick(1) ? values : &t, options);
            break;
        case 4:
            series::move(&out, &s, &t, &count);
            break;
        case 5:
            series::reverse(&out, &s, &count, nullptr);
            break;
        case 6: {
            TakeOptions take;
            take.part = &count;
            take.last = pick(1) != 0;
            series::take(&out, &s, take);
            break;
        }
        case 7:
            series::move(&out, &s, pick(1) ? other : &t, &count);
            break;
        case 8:
            block::swap(&out, &s, pick(1) ? other : &t);
            break;
        default:
            series::move(&out, other, &s, nullptr);
            break;
        }
        if (block::ks_length(*h) < 4) block::append(&out, h, values, AppendOptions{}, true);
        stack::pop(1);  // values
        if (block::ks_length(*h) > 60) {
            block::truncate_at(*h, 60);
            hashtable::rebuild(h->data3, 60);
        }
        SCOPED_TRACE("step " + std::to_string(step) + " op " + std::to_string(op));
        expect_table_in_step(*h);
        expect_table_in_step(*other);
        if (HasFailure()) break;
    }
}

}  // namespace
}  // namespace kel::test
