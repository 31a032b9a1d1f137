// Alignment and the degree reduction of the trigonometric natives.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "runtime/numbers/numeric.h"

namespace kel {
namespace {

static_assert(align_up(0, 16) == 0);
static_assert(align_up(1, 16) == 16);
static_assert(align_up(16, 16) == 16);
static_assert(align_up(17, 8) == 24);
static_assert(align_up(4097, 4096) == 8192);

double radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

TEST(DegreeToRadians, ReducesByMode) {
    struct Case {
        double angle;
        int mode;
        double reduced;  // degrees
    } cases[] = {
        {270, ANGLE_TANGENT, -90},  {270, ANGLE_COSINE, -90}, {270, ANGLE_SINE, -90},    {120, ANGLE_SINE, 60},
        {120, ANGLE_TANGENT, -60},  {120, ANGLE_COSINE, 120}, {-120, ANGLE_SINE, -60},   {-120, ANGLE_TANGENT, 60},
        {-120, ANGLE_COSINE, -120}, {750, ANGLE_SINE, 30},    {-190, ANGLE_COSINE, 170}, {-190, ANGLE_TANGENT, -10},
        {-190, ANGLE_SINE, 10},     {180, ANGLE_TANGENT, 0},  {180, ANGLE_SINE, 0},      {180, ANGLE_COSINE, 180},
        {90, ANGLE_TANGENT, 90},    {-90, ANGLE_SINE, -90},   {0, ANGLE_COSINE, 0},      {360, ANGLE_SINE, 0},
        {1e20, ANGLE_COSINE, -80},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(degree_to_radians(c.angle, c.mode), radians(c.reduced)) << c.angle << " mode " << c.mode;
}

TEST(DegreeToRadians, ReductionKeepsTheFunctionValue) {
    for (double a = -725; a <= 725; a += 12.5) {
        EXPECT_NEAR(std::sin(degree_to_radians(a, ANGLE_SINE)), std::sin(radians(a)), 1e-12) << a;
        EXPECT_NEAR(std::cos(degree_to_radians(a, ANGLE_COSINE)), std::cos(radians(a)), 1e-12) << a;
        if (std::fmod(std::fabs(a), 180.0) != 90.0) {
            EXPECT_NEAR(std::tan(degree_to_radians(a, ANGLE_TANGENT)), std::tan(radians(a)), 1e-9) << a;
        }
    }
}

TEST(DegreeToRadians, NonFiniteAnglesGiveNaN) {
    EXPECT_TRUE(std::isnan(degree_to_radians(std::nan(""), ANGLE_SINE)));
    EXPECT_TRUE(std::isnan(degree_to_radians(INFINITY, ANGLE_COSINE)));
    EXPECT_TRUE(std::isnan(degree_to_radians(-INFINITY, ANGLE_TANGENT)));
}

}  // namespace
}  // namespace kel
