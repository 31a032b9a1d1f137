// The generator as the started runtime wires it: every datatype's random
// draws from it without a test installing anything, each /seed reseeds it
// with the seed its datatype derives from the value, the secure source
// fails loudly, and the start-up leaves the hash seed and the checksum and
// compression method words in place.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

#include "runtime/checksum/methods.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/io/compression.h"
#include "runtime/numbers/random.h"
#include "tests/numbers/twister-reference.h"
#include "tests/support.h"

namespace kel::test {
namespace {

struct StartedRandom : ::testing::Test {
    Cell* saved_top = nullptr;
    static void SetUpTestSuite() { boot(); }
    void SetUp() override { saved_top = stack::state.top; }
    void TearDown() override { stack::state.top = saved_top; }

    // The action's answer for the value with the options.
    static Cell random_of(const Cell& value, RandomOptions options = {}) {
        Frame frame({value});
        actions::random(&frame[0], &frame[0], options);
        return frame[0];
    }
    static void seed_with(const Cell& value) { EXPECT_EQ(type_of(random_of(value, {.seed = true})), TYPE_UNSET); }
    // random 2147483647 rejects only the draw 2147483647 and answers draw + 1:
    // the generator's next output, seen through integer!.
    static int64_t widest_draw() { return int64_t(cell_integer(random_of(make_integer(INT32_MAX)))) - 1; }

    static Cell* block_of(int32_t n) {
        Cell* b = block::push_only(n);
        for (int32_t i = 1; i <= n; ++i) block::append_cell(*b, make_integer(i));
        return b;
    }
    static std::vector<int32_t> ints_of(const Cell& blk) {
        std::vector<int32_t> v;
        SeriesBuffer* b = block::buffer(blk);
        for (uint64_t i = 0; i < b->cell_count(); ++i) v.push_back(cell_integer(b->cells()[i]));
        return v;
    }
};

TEST_F(StartedRandom, EachSeedGoesToTheGeneratorAsItsDatatypeDerivesIt) {
    Cell* key = string::import(reinterpret_cast<const uint8_t*>("key"), 3, string::ENCODING_UTF8);
    uint32_t key_hash = hashtable::murmur3_x86_32("key", 3);
    double d = 1.5;
    uint32_t words[2];
    std::memcpy(words, &d, sizeof d);
    struct Case {
        const char* what;
        Cell value;
        int32_t seed;
    } cases[] = {
        {"integer", make_integer(19650218), 19650218},
        {"negative integer", make_integer(-77), -77},
        {"true", logic::make_cell(true), 1},
        {"false", logic::make_cell(false), 0},
        {"float: low xor high word", float_::make_cell(1.5), int32_t(words[0] ^ words[1])},
    };
    auto follows = [](const char* what, int32_t seed) {
        ReferenceTwister expected(seed);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(widest_draw(), expected.next()) << what << ", draw " << i;
    };
    for (const Case& c : cases) {
        seed_with(c.value);
        follows(c.what, c.seed);
    }
    // Strings seed through the series! slot with the hash of their bytes.
    Cell answer{};
    series::random(&answer, key, {.seed = true});
    EXPECT_EQ(type_of(answer), TYPE_UNSET);
    follows("string: hash of its bytes", int32_t(key_hash));
}

TEST_F(StartedRandom, IntegersAreInRangeAndRepeatAfterTheSameSeed) {
    auto run = [] {
        seed_with(make_integer(12345));
        std::vector<int32_t> v;
        for (int32_t n : {1, -3, 0, 10, -10, INT32_MIN, INT32_MAX, 6, 6, 6, 6}) {
            int32_t r = cell_integer(random_of(make_integer(n)));
            if (n > 0) {
                EXPECT_TRUE(r >= 1 && r <= n) << n << ": " << r;
            } else if (n < 0) {
                EXPECT_TRUE(r >= n && r <= -1) << n << ": " << r;
            } else {
                EXPECT_EQ(r, 0);
            }
            if (n == 1) {
                EXPECT_EQ(r, 1);
            }
            v.push_back(r);
        }
        return v;
    };
    std::vector<int32_t> first = run();
    EXPECT_EQ(run(), first);
}

TEST_F(StartedRandom, LogicAnswersFromTheUpperHalfOfTheDraw) {
    seed_with(make_integer(99));
    ReferenceTwister expected(99);
    for (int i = 0; i < 16; ++i) {
        Cell answer = random_of(logic::make_cell(true));
        ASSERT_EQ(type_of(answer), TYPE_LOGIC);
        EXPECT_EQ(logic::get(answer) != 0, expected.next() > 1073741823) << i;
    }
}

TEST_F(StartedRandom, BlockShuffleRepeatsAfterTheSameSeed) {
    auto shuffled = [this] {
        Cell* b = block_of(10);
        seed_with(make_integer(2026));
        Cell v = *b;
        random_of(v);
        return ints_of(*b);
    };
    std::vector<int32_t> first = shuffled();
    std::vector<int32_t> sorted = first;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_NE(first, sorted) << "this seed shuffles ten values out of order";
    EXPECT_EQ(shuffled(), first);
}

TEST_F(StartedRandom, SecureDrawsClearBit31AndFailLoudly) {
    for (int i = 0; i < 64; ++i) {
        int32_t r = cell_integer(random_of(make_integer(1000), {.secure = true}));
        ASSERT_TRUE(r >= 1 && r <= 1000) << r;
    }
    auto all_ones = [](std::span<uint8_t> out) {
        std::memset(out.data(), 0xFF, out.size());
        return true;
    };
    EXPECT_EQ(random::secure_next(all_ones), INT32_MAX);
    auto refused = [](std::span<uint8_t>) { return false; };
    EXPECT_EQ(error_of([&] { random::secure_next(refused); }), id(ErrorId::internal_not_here));
}

TEST_F(StartedRandom, StartUpSetsTheHashSeedAndTheMethodWords) {
    EXPECT_NE(hashtable::seed(), 0u);
    EXPECT_EQ(hashtable::seed(), hashtable::DEFAULT_SEED);
    EXPECT_GT(checksum::symbol_of(checksum::Method::tcp), 0);
    EXPECT_EQ(checksum::method_of(checksum::symbol_of(checksum::Method::sha256)), checksum::Method::sha256);
    EXPECT_GT(compression::symbol_of(compression::Method::zlib), 0);
    EXPECT_EQ(compression::method_of(compression::symbol_of(compression::Method::zstd)), compression::Method::zstd);
}

}  // namespace
}  // namespace kel::test
