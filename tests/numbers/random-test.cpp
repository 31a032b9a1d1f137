// Uniform integers from scripted draws: the results and the number of draws,
// worked out by hand from the rejection rule (a draw at or above
// (2147483647 div n) x n is drawn again; the result is draw mod n + 1).
#include <gtest/gtest.h>

#include <vector>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/numbers/random.h"

namespace kel::test {
namespace {

// Replays a script of draws, counting them and the secure requests; the
// source installed before comes back at the end of the test.
struct ScriptedDraws : ::testing::Test {
    static inline std::vector<int32_t> script;
    static inline size_t taken = 0;
    static inline size_t secure_taken = 0;
    static int32_t next(bool secure) {
        if (secure) ++secure_taken;
        return taken < script.size() ? script[taken++] : 0;
    }
    random::Source saved = random::source();
    void play(std::vector<int32_t> draws) {
        script = std::move(draws);
        taken = 0;
        secure_taken = 0;
    }
    void SetUp() override { random::source() = random::Source{nullptr, next}; }
    void TearDown() override { random::source() = saved; }
};

TEST_F(ScriptedDraws, UniformIntegers) {
    struct Case {
        int32_t n;
        std::vector<int32_t> draws;
        int32_t expected;
        size_t taken;
    } cases[] = {
        {0, {5}, 0, 0},
        {1, {5}, 1, 1},  // one draw even with one choice
        {1, {2147483647, 9}, 1, 2},  // limit 2147483647: the top draw is rejected
        {3, {2147483646, 4}, 2, 2},  // limit 2147483646; 4 mod 3 + 1
        {3, {2147483645}, 3, 1},  // 2147483645 = 3 x 715827881 + 2
        {10, {0}, 1, 1},
        {10, {2147483639}, 10, 1},  // limit 2147483640; 2147483639 mod 10 = 9
        {-10, {7}, -8, 1},  // -(7 mod 10 + 1)
        {INT32_MIN, {0}, -1, 1},  // -1 - draw
        {INT32_MIN, {2147483647}, INT32_MIN, 1},
        {INT32_MAX, {2147483646}, INT32_MAX, 1},  // limit 2147483647
        {INT32_MAX, {2147483647, 0}, 1, 2},
    };
    for (const Case& c : cases) {
        play(c.draws);
        EXPECT_EQ(random::uniform(c.n, false), c.expected) << c.n;
        EXPECT_EQ(taken, c.taken) << c.n;
        EXPECT_EQ(secure_taken, 0u);
    }
    play({2147483646, 4});
    EXPECT_EQ(random::uniform(3, true), 2);
    EXPECT_EQ(secure_taken, 2u) << "every draw of a secure integer is secure";
}

TEST_F(ScriptedDraws, WithoutASourceADrawIsNotDone) {
    random::source() = random::Source{};
    EXPECT_EQ(random::uniform(0, false), 0) << "no draw, no source needed";
    uint32_t code = protect(catch_level::ERRORS, [] { random::uniform(5, false); });
    ASSERT_EQ(code, thrown::ERROR);
    handled();
    EXPECT_EQ(error_in_flight().id, ErrorId::internal_not_done);
}

}  // namespace
}  // namespace kel::test
