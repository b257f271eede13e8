// Matrix class: products and aliasing, inversion on both paths, projections
// with their inverse queries, rotation blocks, look-at frames.

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kzLib.h"
#include "math/invert.h"
#include "support/math_expect.h"

namespace {

using dovav::test::matricesNear;
using dovav::test::quaternionsNear;
using dovav::test::randomRotation;
using dovav::test::vectorsNear;

const kzMatrix4x4_p kIdentity;

kzMatrix4x4_p translation(float x, float y, float z)
{
    kzMatrix4x4_p t;
    t.makeTranslationMatrix(x, y, z);
    return t;
}

kzMatrix4x4_p product(const kzMatrix4x4_p& a, const kzMatrix4x4_p& b)
{
    kzMatrix4x4_p p;
    p.makeFromMultiplicationOf(a, b);
    return p;
}

// Random affine matrix: rotation x non-uniform scale (signs included) x translation.
kzMatrix4x4_p randomAffine(std::mt19937& random)
{
    std::uniform_real_distribution<float> scale(0.5f, 3.0f), offset(-10.0f, 10.0f);
    std::bernoulli_distribution mirror(0.3);
    kzMatrix4x4_p m, s;
    m.makeRotationMatrix(randomRotation(random));
    s.makeScaleMatrix(scale(random) * (mirror(random) ? -1.0f : 1.0f), scale(random),
                      scale(random) * (mirror(random) ? -1.0f : 1.0f));
    m.postMult(s);
    m.setTranslation(offset(random), offset(random), offset(random));
    return m;
}

// Random general matrix: an affine one with a projective last column, kept
// well away from singular (the Schur complement m15 - t A^-1 p stays above
// 0.4) so that float rounding alone limits the accuracy of its inverse.
kzMatrix4x4_p randomProjective(std::mt19937& random)
{
    std::uniform_real_distribution<float> small(-0.03f, 0.03f), last(1.0f, 1.3f);
    kzMatrix4x4_p m = randomAffine(random);
    for (int i = 12; i < 15; ++i) m.m[i] *= 0.3f;
    m.m[3] = small(random);
    m.m[7] = small(random);
    m.m[11] = small(random);
    m.m[15] = last(random);
    return m;
}

TEST(MatrixTest, ProductAppliesTheLeftOperandFirst)
{
    kzMatrix4x4_p scale;
    scale.makeScaleMatrix(2, 3, 4);
    // Row-vector points: scale, then translate.
    const kzMatrix4x4_p both = product(scale, translation(1, 2, 3));
    EXPECT_TRUE(matricesNear(both, kzMatrix4x4_p(2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 1, 2, 3, 1), 0));
    const kzMatrix4x4_p reversed = product(translation(1, 2, 3), scale);
    EXPECT_TRUE(matricesNear(reversed, kzMatrix4x4_p(2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 2, 6, 12, 1), 0));
}

TEST(MatrixTest, EveryOperandMayBeTheDestination)
{
    std::mt19937 random(7);
    const kzMatrix4x4_p a = randomProjective(random), b = randomProjective(random);
    const kzMatrix4x4_p ab = product(a, b), aa = product(a, a);

    using M = kzMatrix4x4_p;
    struct Case {
        const char* name;
        M (*run)(M a, M b);  // the product computed into one of its operands
        const M& expected;
    };
    const std::vector<Case> cases = {
        {"this is a", [](M a, M b) { a.makeFromMultiplicationOf(a, b); return a; }, ab},
        {"this is b", [](M a, M b) { b.makeFromMultiplicationOf(a, b); return b; }, ab},
        {"postMult", [](M a, M b) { a.postMult(b); return a; }, ab},
        {"preMult", [](M a, M b) { b.preMult(a); return b; }, ab},
        {"a x a in place", [](M a, M) { a.makeFromMultiplicationOf(a, a); return a; }, aa},
        {"postMult of itself", [](M a, M) { a.postMult(a); return a; }, aa},
        {"preMult of itself", [](M a, M) { a.preMult(a); return a; }, aa},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(matricesNear(c.run(a, b), c.expected, 0.0f));
    }
}

TEST(MatrixTest, InversionEdgeCases)
{
    kzMatrix4x4_p result;
    ASSERT_TRUE(result.makeInvertOf(translation(1, 2, 3)));
    EXPECT_TRUE(matricesNear(result, translation(-1, -2, -3), 0.0f));

    kzMatrix4x4_p half;
    half.m[15] = 0.5f;  // not affine: the general path
    ASSERT_TRUE(result.makeInvertOf(half));
    kzMatrix4x4_p doubled;
    doubled.m[15] = 2.0f;
    EXPECT_TRUE(matricesNear(result, doubled, 0.0f));

    const kzMatrix4x4_p zero(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_FALSE(result.makeInvertOf(zero));
    const kzMatrix4x4_p rankThree(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2);
    EXPECT_FALSE(result.makeInvertOf(rankThree));

    // A not-a-number element never leaves an index out of range.
    const float nan = std::nanf("");
    const kzMatrix4x4_p poisoned(nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan);
    EXPECT_FALSE(result.makeInvertOf(poisoned));
}

TEST(MatrixTest, InverseTimesSourceIsTheIdentity)
{
    std::mt19937 random(42);
    for (int i = 0; i < 200; ++i) {
        const bool affine = i % 2 == 0;
        const kzMatrix4x4_p source = affine ? randomAffine(random) : randomProjective(random);
        SCOPED_TRACE((affine ? "affine #" : "general #") + std::to_string(i));

        kzMatrix4x4_p inverse;
        ASSERT_TRUE(inverse.makeInvertOf(source));
        EXPECT_TRUE(matricesNear(product(inverse, source), kIdentity, 2e-5f));
        EXPECT_TRUE(matricesNear(product(source, inverse), kIdentity, 2e-5f));

        kzMatrix4x4_p inPlace = source;
        ASSERT_TRUE(inPlace.makeInvertOf(inPlace));
        EXPECT_TRUE(matricesNear(inPlace, inverse, 0.0f));
        EXPECT_TRUE(matricesNear(source.getInverse(), inverse, 0.0f));

        // Both paths agree wherever both apply, and the affine path also
        // handles a projective last column when called directly.
        kzMatrix4x4_p general, cofactors;
        ASSERT_TRUE(invert_4x4(source, general));
        ASSERT_TRUE(invert_4x3(source, cofactors));
        EXPECT_TRUE(matricesNear(product(general, source), kIdentity, 2e-5f));
        EXPECT_TRUE(matricesNear(product(cofactors, source), kIdentity, 2e-5f));
    }
}

TEST(MatrixTest, ProjectionQueriesRecoverTheirParameters)
{
    kzMatrix4x4_p perspective;
    perspective.makePerspectiveMatrix(90, 2, 1, 100);
    double left = 0, right = 0, bottom = 0, top = 0, zNear = 0, zFar = 0;
    ASSERT_TRUE(perspective.getFrustum(left, right, bottom, top, zNear, zFar));
    EXPECT_NEAR(-2, left, 1e-5);
    EXPECT_NEAR(2, right, 1e-5);
    EXPECT_NEAR(-1, bottom, 1e-5);
    EXPECT_NEAR(1, top, 1e-5);
    EXPECT_NEAR(1, zNear, 1e-5);
    EXPECT_NEAR(100, zFar, 1e-2);  // m[10] is close to -1 in float
    double fovy = 0, aspect = 0;
    ASSERT_TRUE(perspective.getPerspective(fovy, aspect, zNear, zFar));
    EXPECT_NEAR(90, fovy, 1e-4);
    EXPECT_NEAR(2, aspect, 1e-6);

    struct Box {
        double left, right, bottom, top, zNear, zFar;
    };
    for (const Box& b : std::vector<Box>{{-1, 1, -1, 1, 1, 10}, {-0.2, 0.7, -0.4, 0.1, 0.5, 50},
                                         {0.1, 0.9, 0.2, 0.6, 2, 20}}) {
        kzMatrix4x4_p frustum, ortho;
        frustum.makeFrustumMatrix(b.left, b.right, b.bottom, b.top, b.zNear, b.zFar);
        ortho.makeOrthoMatrix(b.left, b.right, b.bottom, b.top, b.zNear, b.zFar);
        for (const kzMatrix4x4_p* m : {&frustum, &ortho}) {
            const bool isFrustum = m == &frustum;
            SCOPED_TRACE(isFrustum ? "frustum" : "ortho");
            double l = 0, r = 0, bo = 0, t = 0, n = 0, f = 0;
            ASSERT_TRUE(isFrustum ? m->getFrustum(l, r, bo, t, n, f) : m->getOrtho(l, r, bo, t, n, f));
            const double tolerance = 1e-5 * b.zFar;
            EXPECT_NEAR(b.left, l, tolerance);
            EXPECT_NEAR(b.right, r, tolerance);
            EXPECT_NEAR(b.bottom, bo, tolerance);
            EXPECT_NEAR(b.top, t, tolerance);
            EXPECT_NEAR(b.zNear, n, tolerance);
            EXPECT_NEAR(b.zFar, f, tolerance * b.zFar);
        }
    }
}

TEST(MatrixTest, ProjectionQueriesRefuseOtherMatrices)
{
    kzMatrix4x4_p perspective, ortho;
    perspective.makePerspectiveMatrix(60, 1.5, 0.5, 500);
    ortho.makeOrthoMatrix(0, 1, 0, 1, 0, 1);
    double a = 7, b = 7, c = 7, d = 7, e = 7, f = 7;
    EXPECT_FALSE(perspective.getOrtho(a, b, c, d, e, f));
    EXPECT_FALSE(ortho.getFrustum(a, b, c, d, e, f));
    EXPECT_FALSE(ortho.getPerspective(a, b, c, d));
    for (double value : {a, b, c, d, e, f}) EXPECT_EQ(7, value) << "a refused query wrote an output";
}

TEST(MatrixTest, OrthoMatrixOfTheUnitSquare)
{
    kzMatrix4x4_p ortho;
    ortho.makeOrthoMatrix(0, 1, 0, 1, 0, 1);
    EXPECT_TRUE(matricesNear(ortho, kzMatrix4x4_p(2, 0, 0, 0, 0, 2, 0, 0, 0, 0, -2, 0, -1, -1, -1, 1), 0));
}

TEST(MatrixTest, SetRotateWritesOnlyTheRotationBlock)
{
    struct Case {
        kzQuaternion_p q;
        float expected[9];  // elements 0-2, 4-6, 8-10
    };
    const float h = std::sqrt(0.5f);
    const std::vector<Case> cases = {
        {{0, 0, 0, 0}, {1, 0, 0, 0, 1, 0, 0, 0, 1}},  // degenerate: identity
        {{0, 0, 0, 2}, {1, 0, 0, 0, 1, 0, 0, 0, 1}},  // 2/n compensates the length
        {{0, 0, h, h}, {0, 1, 0, -1, 0, 0, 0, 0, 1}},  // +90 about z: m[1] = sin, m[4] = -sin
        {{h, 0, 0, h}, {1, 0, 0, 0, 0, 1, 0, -1, 0}},
        {{0, 0, 2 * h, 2 * h}, {0, 1, 0, -1, 0, 0, 0, 0, 1}},  // not unit: same rotation
    };
    const int block[9] = {0, 1, 2, 4, 5, 6, 8, 9, 10};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::vector<float>{c.q.x, c.q.y, c.q.z, c.q.w}));
        kzMatrix4x4_p m(9, 9, 9, 3, 9, 9, 9, 7, 9, 9, 9, 11, 12, 13, 14, 15);
        m.setRotate(c.q);
        for (int i = 0; i < 9; ++i) EXPECT_NEAR(c.expected[i], m.m[block[i]], 1e-6) << "element " << block[i];
        EXPECT_TRUE(m.m[3] == 3 && m.m[7] == 7 && m.m[11] == 11 && m.m[12] == 12 && m.m[13] == 13 &&
                    m.m[14] == 14 && m.m[15] == 15);
    }
}

TEST(MatrixTest, GetRotateRemovesColumnScales)
{
    const auto scaledRotation = [](const kzQuaternion_p& q) {
        kzMatrix4x4_p m, scaled;
        m.makeRotationMatrix(q);
        scaled.makeScaleMatrix(2, 2, 2);
        scaled.postMult(m);
        return scaled;
    };
    const auto sameSign = [](kzQuaternion_p back, const kzQuaternion_p& q) {
        if (back.w * q.w + back.x * q.x + back.y * q.y + back.z * q.z < 0)
            back = kzQuaternion_p(-back.x, -back.y, -back.z, -back.w);
        return back;
    };

    // The trace path is taken whenever the trace exceeds -1; it divides by
    // 2|w|, so rotations close to a half turn lose precision in float. Away
    // from them the quaternion comes back to float accuracy.
    std::mt19937 random(3);
    for (int i = 0; i < 200; ++i) {
        const kzQuaternion_p q = randomRotation(random);
        if (std::fabs(q.w) < 0.2f) continue;
        EXPECT_TRUE(quaternionsNear(sameSign(scaledRotation(q).getRotate(), q), q, 2e-6f)) << "#" << i;
    }
    // Half turns take the largest-diagonal path.
    const float h = std::sqrt(0.5f);
    for (const kzQuaternion_p& q : {kzQuaternion_p(1, 0, 0, 0), kzQuaternion_p(0, 1, 0, 0), kzQuaternion_p(0, 0, 1, 0),
                                    kzQuaternion_p(h, h, 0, 0), kzQuaternion_p(0, 0.6f, 0.8f, 0)})
        EXPECT_TRUE(quaternionsNear(sameSign(scaledRotation(q).getRotate(), q), q, 1e-6f));
}

TEST(MatrixTest, OrthoNormalScalesAxesOutsideTheTolerance)
{
    const float nearlyUnit = std::sqrt(1.0000005f);
    const kzMatrix4x4_p source(nearlyUnit, 0, 0, 0.5f, 0, 2, 0, 0.25f, 0, 0, 0, 0.125f, 4, 5, 6, 7);
    kzMatrix4x4_p result;
    result.makeOrthoNormalOf(source);
    EXPECT_EQ(nearlyUnit, result.m[0]);  // |1 - L| <= 1e-6: unchanged
    EXPECT_EQ(1.0f, result.m[5]);        // squared length 4: halved
    EXPECT_EQ(0.0f, result.m[10]);       // zero axis: unchanged
    for (int i : {3, 7, 11, 12, 13, 14, 15}) EXPECT_EQ(source.m[i], result.m[i]) << "element " << i;

    kzMatrix4x4_p inPlace = source;
    inPlace.makeOrthoNormalOf(inPlace);
    EXPECT_TRUE(matricesNear(inPlace, result, 0));
}

TEST(MatrixTest, LookAtFrames)
{
    kzMatrix4x4_p view, pose;
    view.makeLookAtViewMatrix({0, 0, 0}, {0, 0, -1}, {0, 1, 0});
    pose.makeLookAtMatrix({0, 0, 0}, {0, 0, -1}, {0, 1, 0});
    EXPECT_TRUE(matricesNear(view, kIdentity, 0));
    EXPECT_TRUE(matricesNear(pose, kIdentity, 0));

    // The view matrix is the inverse of the pose, and getLookAt reads the
    // frame back from it.
    const kzVec3f_p eye(1, 2, 3), centre(4, -2, 3), up(0, 1, 0);
    view.makeLookAtViewMatrix(eye, centre, up);
    pose.makeLookAtMatrix(eye, centre, up);
    EXPECT_TRUE(matricesNear(product(pose, view), kIdentity, 1e-6f));
    kzVec3f_p eyeBack, centreBack, upBack;
    view.getLookAt(eyeBack, centreBack, upBack, 5.0f);
    EXPECT_TRUE(vectorsNear(eyeBack, eye, 1e-5f));
    EXPECT_TRUE(vectorsNear(centreBack, centre, 1e-5f));  // centre is 5 units from the eye
    EXPECT_NEAR(0, upBack.x * 3 - upBack.y * 4, 1e-6);   // up stays perpendicular to the view
}

TEST(VectorTest, ConvertingConstructors)
{
    const kzVec4f_p fromVec3(kzVec3f_p(1, 2, 3));
    EXPECT_TRUE(fromVec3.x == 1 && fromVec3.y == 2 && fromVec3.z == 3 && fromVec3.w == 0);
    const kzVec4f_p fromVec2(kzVec2f_p(1, 2));
    EXPECT_TRUE(fromVec2.x == 1 && fromVec2.y == 2 && fromVec2.z == 0 && fromVec2.w == 0);
    const kzVec2f_p fromVec4(kzVec4f_p(5, 6, 7, 8));
    EXPECT_TRUE(fromVec4.x == 5 && fromVec4.y == 6);
    const kzVec2f_p fromThree(kzVec3f_p(5, 6, 7));
    EXPECT_TRUE(fromThree.x == 5 && fromThree.y == 6);
}

}  // namespace
