// The off-axis view portal through a target rectangle.

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kzLib.h"
#include "support/math_expect.h"

namespace {

using dovav::test::vectorsNear;

kzCamera untouchedCamera()
{
    kzCamera camera;
    float* fields = &camera.left;
    for (int i = 0; i < 19; ++i) fields[i] = 100.0f + i;
    return camera;
}

TEST(ViewPortalTest, SquareRectangleFromSeveralEyes)
{
    const kzVec3f origin{-1, -1, 0}, right{1, -1, 0}, up{-1, 1, 0};
    struct Case {
        kzVec3f eye;
        float left, right, bottom, top, shiftX, shiftY;
    };
    const std::vector<Case> cases = {
        {{0, 0, 1}, -1, 1, -1, 1, 0, 0},
        {{1, 0, 1}, -2, 0, -1, 1, -1, 0},
        {{0, 0, -1}, -1, 1, -1, 1, 0, 0},  // behind the plane: mirrored eye
        {{0, 1, 2}, -0.5f, 0.5f, -1, 0, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::vector<float>{c.eye.x, c.eye.y, c.eye.z}));
        kzCamera camera = untouchedCamera();
        ASSERT_EQ(KZ_OK, kzGetOffAxisViewPortal(&camera, c.eye, up, origin, right));
        EXPECT_FLOAT_EQ(c.left, camera.left);
        EXPECT_FLOAT_EQ(c.right, camera.right);
        EXPECT_FLOAT_EQ(c.bottom, camera.bottom);
        EXPECT_FLOAT_EQ(c.top, camera.top);
        EXPECT_NEAR(c.shiftX, camera.shiftX, 1e-7);
        EXPECT_NEAR(c.shiftY, camera.shiftY, 1e-7);
        EXPECT_FLOAT_EQ(1.0f, camera.aspect);
        EXPECT_FLOAT_EQ(float(2 * std::atan(1.0 / std::fabs(c.eye.z))), camera.fovY);
        EXPECT_TRUE(vectorsNear(camera.position, c.eye, 0));
        EXPECT_TRUE(vectorsNear(camera.direction, {0, 0, -1}, 0));
        EXPECT_TRUE(vectorsNear(camera.up, {0, 1, 0}, 0));
        EXPECT_EQ(104.0f, camera.farClip);  // the clipping planes belong to the caller
        EXPECT_EQ(105.0f, camera.nearClip);
    }
}

// For any rectangle and eye, the camera sees the rectangle's corners at the
// corners of its screen, and its derived fields agree with its extents.
TEST(ViewPortalTest, RectangleCornersLandOnScreenCorners)
{
    std::mt19937 random(17);
    std::uniform_real_distribution<float> size(0.5f, 4.0f), spread(-2.0f, 2.0f), distance(1.0f, 6.0f);
    for (int i = 0; i < 200; ++i) {
        SCOPED_TRACE("#" + std::to_string(i));
        // A rectangle in a turned plane, and an eye in front of it.
        kzVec3f direction, upAxis;
        kzGetDirAndUp(&direction, &upAxis, {spread(random) * 60, spread(random) * 30, spread(random) * 20});
        const kzVec3f rightAxis{direction.y * upAxis.z - direction.z * upAxis.y,
                                direction.z * upAxis.x - direction.x * upAxis.z,
                                direction.x * upAxis.y - direction.y * upAxis.x};
        const float w = size(random), h = size(random);
        const kzVec3f centre{spread(random), spread(random), spread(random)};
        auto at = [&](float across, float along, float depth) {
            return kzVec3f{centre.x + across * rightAxis.x + along * upAxis.x + depth * direction.x,
                           centre.y + across * rightAxis.y + along * upAxis.y + depth * direction.y,
                           centre.z + across * rightAxis.z + along * upAxis.z + depth * direction.z};
        };
        const kzVec3f origin = at(-w / 2, -h / 2, 0), right = at(w / 2, -h / 2, 0), up = at(-w / 2, h / 2, 0);
        const kzVec3f eye = at(spread(random), spread(random), -distance(random));

        kzCamera camera = untouchedCamera();
        camera.nearClip = 0.1f;
        camera.farClip = 100.0f;
        ASSERT_EQ(KZ_OK, kzGetOffAxisViewPortal(&camera, eye, up, origin, right));
        EXPECT_TRUE(vectorsNear(camera.direction, direction, 1e-5f));
        EXPECT_TRUE(vectorsNear(camera.up, upAxis, 1e-5f));
        EXPECT_NEAR(camera.fovY, 2 * std::atan((camera.top - camera.bottom) / 2), 1e-4);
        EXPECT_NEAR(camera.aspect, (camera.right - camera.left) / (camera.top - camera.bottom), 1e-4);
        EXPECT_NEAR(camera.shiftX, (camera.right + camera.left) / (camera.right - camera.left), 1e-4);
        EXPECT_NEAR(camera.shiftY, (camera.top + camera.bottom) / (camera.top - camera.bottom), 1e-4);

        struct Corner {
            kzVec3f point;
            float x, y;
        };
        for (const Corner& corner : {Corner{origin, 0, 1}, Corner{right, 1, 1}, Corner{up, 0, 0},
                                     Corner{at(w / 2, h / 2, 0), 1, 0}}) {
            kzVec2f screen{};
            ASSERT_EQ(KZ_OK, kzGetWorldToScreen(&screen, corner.point, camera));
            EXPECT_NEAR(corner.x, screen.x, 1e-4);
            EXPECT_NEAR(corner.y, screen.y, 1e-4);
        }
    }
}

TEST(ViewPortalTest, DegenerateRectangleIsNotACrash)
{
    kzCamera camera = untouchedCamera();
    const kzVec3f point{1, 1, 1};
    EXPECT_EQ(KZ_OK, kzGetOffAxisViewPortal(&camera, {0, 0, 0}, point, point, point));
    EXPECT_TRUE(vectorsNear(camera.direction, {0, 0, 0}, 0));
}

TEST(ViewPortalTest, NullCamera)
{
    EXPECT_EQ(KZ_ERROR_INVALID_ARGUMENT, kzGetOffAxisViewPortal(nullptr, {0, 0, 1}, {-1, 1, 0}, {-1, -1, 0}, {1, -1, 0}));
}

}  // namespace
