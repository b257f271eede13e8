// Camera matrices: projection, model-view, their product, the orthographic
// matrix, world-to-screen and transposition.

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kzLib.h"
#include "support/math_expect.h"

namespace {

using dovav::test::matricesNear;

const float kPi = 3.14159265358979f;

kzCamera axisCamera(float fovY, float aspect, float nearClip, float farClip)
{
    kzCamera c{};
    c.fovY = fovY;
    c.aspect = aspect;
    c.nearClip = nearClip;
    c.farClip = farClip;
    c.direction = {0, 0, -1};
    c.up = {0, 1, 0};
    return c;
}

// A camera whose derived fields agree with its extents, as the camera files
// and the view portal fill them.
kzCamera cameraFromExtents(float left, float right, float bottom, float top)
{
    kzCamera c = axisCamera(float(2 * std::atan((top - bottom) / 2.0)), (right - left) / (top - bottom), 0.5f, 500.0f);
    c.left = left, c.right = right, c.bottom = bottom, c.top = top;
    c.shiftX = (right + left) / (right - left);
    c.shiftY = (top + bottom) / (top - bottom);
    return c;
}

kzMatrix4x4_p asClass(const kzMatrix4x4& m)
{
    kzMatrix4x4_p c;
    std::memcpy(c.m, m.m, sizeof c.m);
    return c;
}

TEST(CameraMatricesTest, ProjectionOfAnAxisCamera)
{
    struct Case {
        float shiftX, shiftY;
    };
    for (const Case& c : std::vector<Case>{{0, 0}, {-1, 0}, {0, 0.5f}, {0.25f, -0.75f}}) {
        SCOPED_TRACE(::testing::PrintToString(std::vector<float>{c.shiftX, c.shiftY}));
        kzCamera camera = axisCamera(kPi / 2, 1, 1, 3);
        camera.shiftX = c.shiftX;
        camera.shiftY = c.shiftY;
        kzMatrix4x4 m;
        ASSERT_EQ(KZ_OK, kzGetProjectionMatrix(&m, camera));
        const float expected[16] = {1, 0, 0, 0, 0, 1, 0, 0, c.shiftX, c.shiftY, -2, -1, 0, 0, -3, 0};
        EXPECT_TRUE(matricesNear(m.m, expected, 1e-6f));
    }
}

TEST(CameraMatricesTest, ProjectionEqualsTheFrustumOfTheExtents)
{
    struct Extents {
        float left, right, bottom, top;
    };
    const std::vector<Extents> cases = {
        {-1, 1, -1, 1}, {-2, 0, -1, 1}, {-0.3f, 0.9f, -0.6f, 0.2f}, {0.1f, 0.7f, 0.05f, 0.45f}, {-1.7f, -0.2f, -0.4f, 0.9f}};
    for (const Extents& e : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::vector<float>{e.left, e.right, e.bottom, e.top}));
        const kzCamera camera = cameraFromExtents(e.left, e.right, e.bottom, e.top);
        kzMatrix4x4 m;
        ASSERT_EQ(KZ_OK, kzGetProjectionMatrix(&m, camera));
        kzMatrix4x4_p frustum;
        const double n = camera.nearClip;
        frustum.makeFrustumMatrix(e.left * n, e.right * n, e.bottom * n, e.top * n, n, camera.farClip);
        EXPECT_TRUE(matricesNear(asClass(m), frustum, 1e-5f));
    }
}

TEST(CameraMatricesTest, ModelViewOfAxisCameras)
{
    kzCamera camera = axisCamera(1, 1, 1, 10);
    kzMatrix4x4 m;
    ASSERT_EQ(KZ_OK, kzGetModelViewMatrix(&m, camera));
    EXPECT_TRUE(matricesNear(asClass(m), kzMatrix4x4_p(), 0));
    camera.position = {1, 2, 3};
    ASSERT_EQ(KZ_OK, kzGetModelViewMatrix(&m, camera));
    kzMatrix4x4_p moved;
    moved.makeTranslationMatrix(-1, -2, -3);
    EXPECT_TRUE(matricesNear(asClass(m), moved, 0));
}

TEST(CameraMatricesTest, WorldToScreenIsTheModelViewProjectionByHand)
{
    kzCamera camera = axisCamera(kPi / 2, 1, 1, 3);
    const struct {
        kzVec3f point;
        float x, y;
    } axisCases[] = {{{0, 0, -2}, 0.5f, 0.5f}, {{1, 0, -2}, 0.75f, 0.5f}, {{0, 1, -2}, 0.5f, 0.25f}, {{-2, -2, -2}, 0, 1}};
    for (const auto& c : axisCases) {
        kzVec2f screen{};
        ASSERT_EQ(KZ_OK, kzGetWorldToScreen(&screen, c.point, camera));
        EXPECT_NEAR(c.x, screen.x, 1e-6);
        EXPECT_NEAR(c.y, screen.y, 1e-6);
    }

    // A general camera: MVP = view x projection, applied to the point by hand.
    std::mt19937 random(23);
    std::uniform_real_distribution<float> spread(-3.0f, 3.0f);
    for (int i = 0; i < 100; ++i) {
        kzCamera general = cameraFromExtents(-0.8f, 0.5f, -0.3f, 0.6f);
        general.position = {spread(random), spread(random), spread(random)};
        kzGetDirAndUp(&general.direction, &general.up, {spread(random) * 50, spread(random) * 20, spread(random) * 10});
        kzMatrix4x4 view, projection, mvp;
        ASSERT_EQ(KZ_OK, kzGetModelViewMatrix(&view, general));
        ASSERT_EQ(KZ_OK, kzGetProjectionMatrix(&projection, general));
        ASSERT_EQ(KZ_OK, kzGetModelViewProjectionMatrix(&mvp, general));
        kzMatrix4x4_p product;
        product.makeFromMultiplicationOf(asClass(view), asClass(projection));
        EXPECT_TRUE(matricesNear(asClass(mvp), product, 0));

        const kzVec3f p{spread(random), spread(random), spread(random)};
        double clip[4];
        for (int c = 0; c < 4; ++c)
            clip[c] = double(p.x) * mvp.m[c] + double(p.y) * mvp.m[4 + c] + double(p.z) * mvp.m[8 + c] + mvp.m[12 + c];
        if (std::fabs(clip[3]) < 0.1) continue;  // near the eye plane the division amplifies rounding
        kzVec2f screen{};
        ASSERT_EQ(KZ_OK, kzGetWorldToScreen(&screen, p, general));
        EXPECT_NEAR((clip[0] / clip[3] + 1) * 0.5, screen.x, 1e-4) << "#" << i;
        EXPECT_NEAR((1 - clip[1] / clip[3]) * 0.5, screen.y, 1e-4) << "#" << i;
    }
}

TEST(CameraMatricesTest, OrthoOfTheUnitSquare)
{
    kzMatrix4x4 m;
    ASSERT_EQ(KZ_OK, kzGetOrthoMatrix(&m, 0, 1, 0, 1, 0, 1));
    const float expected[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, -2, 0, -1, -1, -1, 1};
    EXPECT_TRUE(matricesNear(m.m, expected, 0));
}

TEST(CameraMatricesTest, Transposition)
{
    kzMatrix4x4 source, destination;
    for (int i = 0; i < 16; ++i) source.m[i] = float(i);
    ASSERT_EQ(KZ_OK, kzGetTransposedMatrix(&source, &destination));
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(source.m[4 * c + r], destination.m[4 * r + c]);
    ASSERT_EQ(KZ_OK, kzGetTransposedMatrix(&source, &source));  // in place
    EXPECT_TRUE(matricesNear(source.m, destination.m, 0));
}

// Every function reports a null output with its own code and writes nothing.
TEST(CameraMatricesTest, NullPointers)
{
    const kzCamera camera = axisCamera(1, 1, 1, 10);
    kzMatrix4x4 matrix;
    for (float& v : matrix.m) v = 7;
    EXPECT_EQ(KZ_ERROR_INVALID_ARGUMENT, kzGetProjectionMatrix(nullptr, camera));
    EXPECT_EQ(KZ_ERROR_INVALID_ARGUMENT, kzGetModelViewMatrix(nullptr, camera));
    EXPECT_EQ(KZ_ERROR_INVALID_DATA, kzGetModelViewProjectionMatrix(nullptr, camera));
    EXPECT_EQ(KZ_ERROR_INVALID_ARGUMENT, kzGetOrthoMatrix(nullptr, 0, 1, 0, 1, 0, 1));
    EXPECT_EQ(KZ_ERROR_INVALID_ARGUMENT, kzGetWorldToScreen(nullptr, {0, 0, -1}, camera));
    EXPECT_EQ(KZ_ERROR_INVALID_DATA, kzGetTransposedMatrix(&matrix, nullptr));
    EXPECT_EQ(KZ_ERROR_INVALID_DATA, kzGetTransposedMatrix(nullptr, &matrix));
    for (float v : matrix.m) EXPECT_EQ(7, v) << "a null source wrote the destination";
}

TEST(CameraMatricesTest, DegenerateCamerasAreNotACrash)
{
    kzCamera camera = axisCamera(0, 0, 1, 1);  // zero field of view, aspect and depth range
    camera.shiftX = std::nanf("");
    kzMatrix4x4 m;
    EXPECT_EQ(KZ_OK, kzGetProjectionMatrix(&m, camera));
    EXPECT_TRUE(std::isnan(m.m[8])) << "a not-a-number shift is applied";
    kzVec2f screen;
    EXPECT_EQ(KZ_OK, kzGetWorldToScreen(&screen, {0, 0, 0}, camera));
}

}  // namespace
