// Orientation angles from a frame and a frame from angles.

#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kzLib.h"
#include "support/math_expect.h"

namespace {

using dovav::test::vectorsNear;

constexpr double kRadians = 0.017453292519943295;

TEST(OrientationTest, AnglesOfAFrame)
{
    struct Case {
        kzVec3f direction, up, expected;
    };
    const std::vector<Case> cases = {
        {{0, 0, -1}, {0, 1, 0}, {0, 0, 0}},
        {{1, 0, 0}, {0, 1, 0}, {90, 0, 0}},
        {{0, 0, -2}, {0, 3, 0}, {0, 0, 0}},    // inputs are normalised
        {{0, 1, 0}, {0, 0, 1}, {0, 90, 0}},    // straight up: heading from up, less 180
        {{0, -1, 0}, {0, 0, -1}, {0, -90, 0}}, // straight down
        {{0, 0, 0}, {1, 0, 0}, {90, 0, 0}},    // no direction: heading from up, pitch 0
        {{0, 0, -1}, {-1, 0, 0}, {0, 0, 90}},  // up tilted towards -x: positive roll
        {{0, 0, 1}, {0, 1, 0}, {180, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::vector<float>{c.direction.x, c.direction.y, c.direction.z, c.up.x, c.up.y, c.up.z}));
        kzVec3f angles{9, 9, 9};
        ASSERT_EQ(KZ_OK, kzGetOrientation(&angles, c.direction, c.up));
        EXPECT_TRUE(vectorsNear(angles, c.expected, 1e-5f));
    }
}

TEST(OrientationTest, FrameOfAngles)
{
    struct Case {
        kzVec3f angles, direction, up;
    };
    const std::vector<Case> cases = {
        {{0, 0, 0}, {0, 0, -1}, {0, 1, 0}},
        {{30, 0, 0}, {0.5f, 0, -0.8660254f}, {0, 1, 0}},
        {{0, 20, 0}, {0, -0.34202015f, -0.9396926f}, {0, 0.9396926f, -0.34202015f}},
        {{0, 0, 10}, {0, 0, -1}, {0.17364818f, 0.9848077f, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::vector<float>{c.angles.x, c.angles.y, c.angles.z}));
        kzVec3f direction{9, 9, 9}, up{9, 9, 9};
        ASSERT_EQ(KZ_OK, kzGetDirAndUp(&direction, &up, c.angles));
        EXPECT_TRUE(vectorsNear(direction, c.direction, 1e-6f));
        EXPECT_TRUE(vectorsNear(up, c.up, 1e-6f));
    }
}

// Over a grid of angles: the closed form of the frame, and the documented
// sign relation kzGetOrientation(kzGetDirAndUp(h, p, r)) == (h, -p, -r).
TEST(OrientationTest, RoundTripOverAGrid)
{
    for (float h = -170; h < 180; h += 25)
        for (float p = -85; p <= 85; p += 17)
            for (float r = -175; r <= 180; r += 35) {
                SCOPED_TRACE(::testing::PrintToString(std::vector<float>{h, p, r}));
                kzVec3f direction, up, angles;
                ASSERT_EQ(KZ_OK, kzGetDirAndUp(&direction, &up, {h, p, r}));
                const double sh = std::sin(h * kRadians), ch = std::cos(h * kRadians);
                const double sp = std::sin(p * kRadians), cp = std::cos(p * kRadians);
                const double sr = std::sin(r * kRadians), cr = std::cos(r * kRadians);
                const kzVec3f closedDirection{float(sh * cp), float(-sp), float(-ch * cp)};
                const kzVec3f closedUp{float(ch * sr + sh * cr * sp), float(cr * cp), float(sh * sr - ch * cr * sp)};
                EXPECT_TRUE(vectorsNear(direction, closedDirection, 1e-6f));
                EXPECT_TRUE(vectorsNear(up, closedUp, 1e-6f));

                ASSERT_EQ(KZ_OK, kzGetOrientation(&angles, direction, up));
                // Near +-90 pitch asin loses precision: tolerances follow.
                EXPECT_NEAR(h, angles.x, 2e-3);
                EXPECT_NEAR(-p, angles.y, 2e-3);
                EXPECT_NEAR(-r, angles.z, 2e-3);
            }
}

TEST(OrientationTest, NullOutputsWriteNothing)
{
    kzVec3f out{7, 7, 7};
    const kzVec3f seven{7, 7, 7};
    EXPECT_EQ(KZ_ERROR_INVALID_ARGUMENT, kzGetOrientation(nullptr, {0, 0, -1}, {0, 1, 0}));
    EXPECT_EQ(KZ_ERROR_INVALID_ARGUMENT, kzGetDirAndUp(&out, nullptr, {10, 20, 30}));
    EXPECT_TRUE(vectorsNear(out, seven, 0));
    EXPECT_EQ(KZ_ERROR_INVALID_ARGUMENT, kzGetDirAndUp(nullptr, &out, {10, 20, 30}));
    EXPECT_TRUE(vectorsNear(out, seven, 0));
}

}  // namespace
