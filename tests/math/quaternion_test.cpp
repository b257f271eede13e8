// Quaternion class: constructions, the reverse queries and interpolation.

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kzLib.h"
#include "support/math_expect.h"

namespace {

using dovav::test::quaternionsNear;
using dovav::test::randomRotation;
using dovav::test::vectorsNear;

const float kHalfRoot = std::sqrt(0.5f);

kzQuaternion_p hamilton(const kzQuaternion_p& p, const kzQuaternion_p& q)
{
    return {p.w * q.x + p.x * q.w + p.y * q.z - p.z * q.y, p.w * q.y - p.x * q.z + p.y * q.w + p.z * q.x,
            p.w * q.z + p.x * q.y - p.y * q.x + p.z * q.w, p.w * q.w - p.x * q.x - p.y * q.y - p.z * q.z};
}

kzQuaternion_p negated(const kzQuaternion_p& q) { return {-q.x, -q.y, -q.z, -q.w}; }

// q and -q are the same rotation.
::testing::AssertionResult sameRotation(const kzQuaternion_p& a, const kzQuaternion_p& b, float tolerance)
{
    const float dot = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    return quaternionsNear(dot < 0 ? negated(a) : a, b, tolerance);
}

kzVec3f_p rotated(const kzQuaternion_p& q, const kzVec3f_p& v)
{
    kzMatrix4x4_p m;
    m.makeRotationMatrix(q);
    return {v.x * m.m[0] + v.y * m.m[4] + v.z * m.m[8], v.x * m.m[1] + v.y * m.m[5] + v.z * m.m[9],
            v.x * m.m[2] + v.y * m.m[6] + v.z * m.m[10]};
}

TEST(QuaternionTest, AngleAndAxis)
{
    struct Case {
        float angle, x, y, z;
        kzQuaternion_p expected;
    };
    const std::vector<Case> cases = {
        {90, 0, 0, 1, {0, 0, kHalfRoot, kHalfRoot}},
        {90, 0, 0, 5, {0, 0, kHalfRoot, kHalfRoot}},  // the axis is normalised
        {90, 0, 0, 0, {0, 0, 0, 1}},                   // no axis: identity
        {90, 0, 0, 5e-8f, {0, 0, 0, 1}},               // shorter than 1e-7: identity
        {180, 1, 0, 0, {1, 0, 0, 0}},
        {-60, 0, 2, 0, {0, -0.5f, 0, std::sqrt(0.75f)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::vector<float>{c.angle, c.x, c.y, c.z}));
        kzQuaternion_p q(9, 9, 9, 9);
        q.makeRotate(c.angle, c.x, c.y, c.z);
        EXPECT_TRUE(quaternionsNear(q, c.expected, 1e-6f));
        kzQuaternion_p fromVector;
        fromVector.makeRotate(c.angle, kzVec3f_p(c.x, c.y, c.z));
        EXPECT_TRUE(quaternionsNear(fromVector, q, 0));
    }
}

TEST(QuaternionTest, RotationSenseMatchesTheMatrix)
{
    // +90 about z turns +x into +y (right-hand rule) for row-vector points.
    kzQuaternion_p q;
    q.makeRotate(90, 0, 0, 1);
    EXPECT_TRUE(vectorsNear(rotated(q, {1, 0, 0}), {0, 1, 0}, 1e-6f));
}

TEST(QuaternionTest, ThreeRotationsApplyInOrder)
{
    const kzVec3f_p yAxis(0, 1, 0), xAxis(1, 0, 0), zAxis(0, 0, 1);
    for (float heading : {-150.0f, 0.0f, 30.0f})
        for (float pitch : {-45.0f, 20.0f})
            for (float roll : {10.0f, 170.0f}) {
                kzQuaternion_p q, qh, qp, qr;
                q.makeRotate(heading, yAxis, pitch, xAxis, roll, zAxis);
                qh.makeRotate(heading, yAxis);
                qp.makeRotate(pitch, xAxis);
                qr.makeRotate(roll, zAxis);
                EXPECT_TRUE(quaternionsNear(q, hamilton(qr, hamilton(qp, qh)), 1e-6f));
                // Applying the three matrices one after the other gives the same turn.
                const kzVec3f_p v(0.3f, -0.5f, 0.8f);
                EXPECT_TRUE(vectorsNear(rotated(q, v), rotated(qr, rotated(qp, rotated(qh, v))), 1e-5f));
            }
}

TEST(QuaternionTest, ShortestRotationBetweenDirections)
{
    struct Case {
        kzVec3f_p from, to;
        kzQuaternion_p expected;
    };
    const std::vector<Case> cases = {
        {{1, 0, 0}, {0, 1, 0}, {0, 0, kHalfRoot, kHalfRoot}},
        {{3, 0, 0}, {0, 3, 0}, {0, 0, kHalfRoot, kHalfRoot}},  // same length: shared root
        {{1, 0, 0}, {2, 0, 0}, {0, 0, 0, 1}},
        {{1, 0, 0}, {-1, 0, 0}, {0, 0, 1, 0}},  // opposite: half turn about z
        {{0, 0, 1}, {0, 0, -1}, {0, 1, 0, 0}},
        {{0, 1, 0}, {0, -1, 0}, {0, 0, -1, 0}},
        {{0, 0, 0}, {1, 0, 0}, {0, 0, 0, std::sqrt(0.5f)}},  // zero from: no axis, no crash
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::vector<float>{c.from.x, c.from.y, c.from.z, c.to.x, c.to.y, c.to.z}));
        kzQuaternion_p q;
        q.makeRotate(c.from, c.to);
        EXPECT_TRUE(quaternionsNear(q, c.expected, 1e-6f));
    }
}

TEST(QuaternionTest, BothFromToMethodsTurnFromOntoTo)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<float> component(-2.0f, 2.0f);
    for (int i = 0; i < 200; ++i) {
        const kzVec3f_p from(component(random), component(random), component(random));
        const kzVec3f_p to(component(random), component(random), component(random));
        const float fromLength = std::sqrt(from.x * from.x + from.y * from.y + from.z * from.z);
        const float toLength = std::sqrt(to.x * to.x + to.y * to.y + to.z * to.z);
        const kzVec3f_p unitTo(to.x / toLength, to.y / toLength, to.z / toLength);
        kzQuaternion_p q, original;
        q.makeRotate(from, to);
        original.makeRotate_original(from, to);
        SCOPED_TRACE("#" + std::to_string(i));
        EXPECT_TRUE(quaternionsNear(original, q, 1e-5f));
        const kzVec3f_p turned = rotated(q, from);
        EXPECT_TRUE(vectorsNear({turned.x / fromLength, turned.y / fromLength, turned.z / fromLength}, unitTo, 1e-5f));
    }

    kzQuaternion_p q;
    q.makeRotate_original({1, 0, 0}, {0, 1, 0});
    EXPECT_TRUE(quaternionsNear(q, {0, 0, kHalfRoot, kHalfRoot}, 1e-6f));
    q.makeRotate_original({1, 0, 0}, {-1, 0, 0});  // opposite: about from x z
    EXPECT_TRUE(quaternionsNear(q, {0, -1, 0, 0}, 0));
    q.makeRotate_original({2, 0, 0}, {5, 0, 0});
    EXPECT_TRUE(quaternionsNear(q, {0, 0, 0, 1}, 0));
}

TEST(QuaternionTest, AngleAndAxisBack)
{
    struct Case {
        kzQuaternion_p q;
        float angle;
        kzVec3f_p axis;
    };
    const std::vector<Case> cases = {
        {{0, 0, 0, 1}, 0, {0, 0, 1}},
        {{0, 0, 1, 0}, 180, {0, 0, 1}},
        {{0, 0, kHalfRoot, kHalfRoot}, 90, {0, 0, 1}},
        {{0, -0.5f, 0, std::sqrt(0.75f)}, 60, {0, -1, 0}},
    };
    for (const Case& c : cases) {
        float angle = 0;
        kzVec3f_p axis;
        c.q.getRotate(angle, axis);
        EXPECT_NEAR(c.angle, angle, 1e-4);
        EXPECT_TRUE(vectorsNear(axis, c.axis, 1e-6f));
    }
}

TEST(QuaternionTest, SlerpEndpointsAndShorterPath)
{
    const kzQuaternion_p identity, halfTurn(0, 0, 1, 0);
    kzQuaternion_p q;
    q.slerp(0.5f, identity, halfTurn);
    EXPECT_TRUE(quaternionsNear(q, {0, 0, kHalfRoot, kHalfRoot}, 1e-6f));

    std::mt19937 random(5);
    for (int i = 0; i < 50; ++i) {
        const kzQuaternion_p a = randomRotation(random), b = randomRotation(random);
        SCOPED_TRACE("#" + std::to_string(i));
        q.slerp(0, a, b);
        EXPECT_TRUE(quaternionsNear(q, a, 1e-6f));
        q.slerp(1, a, b);
        EXPECT_TRUE(sameRotation(q, b, 1e-5f));
        q.slerp(0.37f, a, negated(a));  // -a is a itself: no movement at all
        EXPECT_TRUE(quaternionsNear(q, a, 1e-6f));
        // The midpoint lies on the shorter arc: equal angles to both ends, and
        // never more than half the angle between them.
        q.slerp(0.5f, a, b);
        const float toA = std::fabs(q.x * a.x + q.y * a.y + q.z * a.z + q.w * a.w);
        const float toB = std::fabs(q.x * b.x + q.y * b.y + q.z * b.z + q.w * b.w);
        EXPECT_NEAR(toA, toB, 1e-5);
        EXPECT_GE(toA, std::sqrt(0.5f) - 1e-6f);
    }
}

TEST(QuaternionTest, EulerAngles)
{
    struct Case {
        float angle;
        kzVec3f_p axis, expected;
    };
    const std::vector<Case> cases = {
        {90, {0, 1, 0}, {0, 90, 0}},
        {60, {0, 0, 1}, {0, 0, 60}},
        {90, {0, 0, 1}, {0, 0, 90}},  // the pole: z held at 90
        {-90, {0, 0, 1}, {0, 0, -90}},
        {30, {1, 0, 0}, {30, 0, 0}},
        {-40, {0, 1, 0}, {0, -40, 0}},
    };
    for (const Case& c : cases) {
        kzQuaternion_p q;
        q.makeRotate(c.angle, c.axis);
        SCOPED_TRACE(c.angle);
        EXPECT_TRUE(vectorsNear(q.getEuler(), c.expected, 1e-4f));
    }
}

TEST(QuaternionTest, MatrixRoundTrip)
{
    std::mt19937 random(9);
    for (int i = 0; i < 100; ++i) {
        const kzQuaternion_p q = randomRotation(random);
        if (std::fabs(q.w) < 0.2f) continue;  // near a half turn the trace path loses precision
        kzMatrix4x4_p m(5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5);
        q.get(m);
        kzMatrix4x4_p expected;
        expected.makeRotationMatrix(q);
        EXPECT_TRUE(dovav::test::matricesNear(m, expected, 0));
        kzQuaternion_p back;
        back.set(m);
        EXPECT_TRUE(sameRotation(back, q, 2e-6f)) << "#" << i;
    }
}

}  // namespace
