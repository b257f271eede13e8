// Affine decomposition: the documented cases, recomposition of random affine
// matrices (mirrors included), and the rank-deficient paths.

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kzLib.h"
#include "math/decompose.h"
#include "support/math_expect.h"

namespace {

using dovav::test::matricesNear;
using dovav::test::quaternionsNear;
using dovav::test::randomRotation;
using dovav::test::vectorsNear;

const float kHalfRoot = std::sqrt(0.5f);

struct Parts {
    kzVec3f_p translation, scale;
    kzQuaternion_p rotation, scaleOrientation;
};

Parts decompose(const kzMatrix4x4_p& m)
{
    Parts p;
    m.decompose(p.translation, p.rotation, p.scale, p.scaleOrientation);
    return p;
}

kzMatrix4x4_p rotationMatrix(const kzQuaternion_p& q)
{
    kzMatrix4x4_p m;
    m.makeRotationMatrix(q);
    return m;
}

// Row-vector form of the parts: the scale along the axes that
// scaleOrientation turns to, then the rotation, then the translation.
kzMatrix4x4_p recompose(const Parts& p)
{
    const kzQuaternion_p& u = p.scaleOrientation;
    kzMatrix4x4_p m = rotationMatrix({-u.x, -u.y, -u.z, u.w}), scale;
    scale.makeScaleMatrix(p.scale);
    m.postMult(scale);
    m.postMult(rotationMatrix(u));
    m.postMult(rotationMatrix(p.rotation));
    m.setTranslation(p.translation);
    return m;
}

bool isFinite(const Parts& p)
{
    for (float v : {p.translation.x, p.translation.y, p.translation.z, p.scale.x, p.scale.y, p.scale.z,
                    p.rotation.x, p.rotation.y, p.rotation.z, p.rotation.w, p.scaleOrientation.x,
                    p.scaleOrientation.y, p.scaleOrientation.z, p.scaleOrientation.w})
        if (!std::isfinite(v)) return false;
    return true;
}

TEST(DecomposeTest, DocumentedCases)
{
    kzMatrix4x4_p scaledTranslation;
    scaledTranslation.makeScaleMatrix(2, 2, 2);
    scaledTranslation.setTranslation(1, 2, 3);
    kzMatrix4x4_p turnZ;
    turnZ.m[0] = 0, turnZ.m[1] = 1, turnZ.m[4] = -1, turnZ.m[5] = 0;
    kzMatrix4x4_p mirror;
    mirror.makeScaleMatrix(-1, 1, 1);
    kzMatrix4x4_p stretch;
    stretch.makeScaleMatrix(1, 2, 3);

    struct Case {
        const char* name;
        kzMatrix4x4_p matrix;
        Parts expected;
    };
    const std::vector<Case> cases = {
        {"identity", kzMatrix4x4_p(), {{0, 0, 0}, {1, 1, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}}},
        {"translated uniform scale", scaledTranslation, {{1, 2, 3}, {2, 2, 2}, {0, 0, 0, 1}, {0, 0, 0, 1}}},
        {"quarter turn about z", turnZ, {{0, 0, 0}, {1, 1, 1}, {0, 0, kHalfRoot, kHalfRoot}, {0, 0, 0, 1}}},
        // det < 0: the half turn diag(1, -1, -1) and the scale negated.
        {"mirror", mirror, {{0, 0, 0}, {-1, -1, -1}, {1, 0, 0, 0}, {0, 0, 0, 1}}},
        {"non-uniform scale", stretch, {{0, 0, 0}, {1, 2, 3}, {0, 0, 0, 1}, {0, 0, 0, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Parts p = decompose(c.matrix);
        EXPECT_TRUE(vectorsNear(p.translation, c.expected.translation, 1e-6f));
        EXPECT_TRUE(vectorsNear(p.scale, c.expected.scale, 1e-6f));
        EXPECT_TRUE(quaternionsNear(p.rotation, c.expected.rotation, 1e-6f));
        EXPECT_TRUE(quaternionsNear(p.scaleOrientation, c.expected.scaleOrientation, 1e-6f));
    }
}

TEST(DecomposeTest, RecompositionReproducesRandomAffineMatrices)
{
    std::mt19937 random(2024);
    std::uniform_real_distribution<float> scale(0.5f, 3.0f), offset(-10.0f, 10.0f);
    for (int i = 0; i < 300; ++i) {
        SCOPED_TRACE("#" + std::to_string(i));
        // Scale along turned axes, then rotate, then translate; every third
        // matrix mirrors one axis, every fifth two equal stretch factors.
        kzMatrix4x4_p m = rotationMatrix(randomRotation(random));
        kzMatrix4x4_p s;
        const float sx = scale(random), sy = i % 5 == 0 ? sx : scale(random);
        s.makeScaleMatrix(i % 3 == 0 ? -sx : sx, sy, scale(random));
        m.postMult(s);
        m.postMult(rotationMatrix(randomRotation(random)));
        m.setTranslation(offset(random), offset(random), offset(random));

        const Parts p = decompose(m);
        EXPECT_TRUE(matricesNear(recompose(p), m, 1e-5f));
        // The rotation is a unit quaternion and the scale sign follows the determinant.
        const kzQuaternion_p& q = p.rotation;
        EXPECT_NEAR(1.0f, q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w, 1e-5f);
        EXPECT_EQ(i % 3 == 0, p.scale.x < 0 && p.scale.y < 0 && p.scale.z < 0);
    }
}

TEST(DecomposeTest, RankDeficientMatricesStayFinite)
{
    kzMatrix4x4_p flat;  // rank 2: one axis squashed
    flat.makeScaleMatrix(2, 3, 0);
    flat.postMult(rotationMatrix({0.5f, 0.5f, 0.5f, 0.5f}));
    kzMatrix4x4_p line;  // rank 1
    line.makeScaleMatrix(0, 4, 0);
    line.postMult(rotationMatrix({kHalfRoot, 0, 0, kHalfRoot}));
    kzMatrix4x4_p zero;
    zero.makeScaleMatrix(0, 0, 0);
    zero.setTranslation(5, 6, 7);

    for (const kzMatrix4x4_p* m : {&flat, &line, &zero}) {
        const Parts p = decompose(*m);
        EXPECT_TRUE(isFinite(p));
        EXPECT_GE(p.scale.x, 0.0f) << "det is 0, so the scale keeps its sign";
    }
    // A rank-2 block still factors exactly.
    EXPECT_TRUE(matricesNear(recompose(decompose(flat)), flat, 1e-5f));
    const Parts zeroParts = decompose(zero);
    EXPECT_TRUE(vectorsNear(zeroParts.translation, {5, 6, 7}, 0));
    EXPECT_TRUE(vectorsNear(zeroParts.scale, {0, 0, 0}, 0));
    EXPECT_TRUE(quaternionsNear(zeroParts.rotation, {0, 0, 0, 1}, 1e-6f));
}

TEST(DecomposeTest, NotANumberInputEnds)
{
    const float nan = std::nanf("");
    const kzMatrix4x4_p poisoned(nan, 1, 0, 0, 0, nan, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    decompose(poisoned);  // must return
    const float huge = 3e38f;
    const kzMatrix4x4_p overflowing(huge, huge, 0, 0, -huge, huge, 0, 0, 0, 0, huge, 0, 0, 0, 0, 1);
    decompose(overflowing);
}

TEST(DecomposeRoutinesTest, PolarDecompositionOfARotation)
{
    const kzMatrix4x4_p r = rotationMatrix({0.1f, -0.7f, 0.3f, 0.64031242f});
    decomp::HMatrix M, Q, S;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) M[i][j] = r.m[4 * j + i];
    EXPECT_NEAR(1.0, decomp::polarDecomp(M, Q, S), 1e-6);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            EXPECT_NEAR(M[i][j], Q[i][j], 1e-6) << i << "," << j;
            EXPECT_NEAR(i == j ? 1.0 : 0.0, S[i][j], 1e-6) << i << "," << j;
        }
}

TEST(DecomposeRoutinesTest, SpectralDecompositionOfADiagonalMatrix)
{
    decomp::HMatrix S = {{4, 0, 0, 0}, {0, -2, 0, 0}, {0, 0, 7, 0}, {0, 0, 0, 1}}, U;
    const kzQuaternion_p k = decomp::spectDecomp(S, U);
    EXPECT_TRUE(quaternionsNear(k, {4, -2, 7, 1}, 0));
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_EQ(i == j ? 1.0 : 0.0, U[i][j]);
}

TEST(DecomposeRoutinesTest, SpectralDecompositionDiagonalises)
{
    // A symmetric matrix with known eigenvalues 1, 2 and 5 along turned axes.
    const kzMatrix4x4_p r = rotationMatrix({0.2f, 0.4f, -0.1f, 0.88881944f});
    const double eigen[3] = {1, 2, 5};
    decomp::HMatrix S = {}, U;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) S[i][j] += r.m[4 * i + k] * eigen[k] * r.m[4 * j + k];
    S[3][3] = 1;
    const kzQuaternion_p k = decomp::spectDecomp(S, U);
    const double found[3] = {k.x, k.y, k.z};
    // U K U^T reproduces S.
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double value = 0;
            for (int c = 0; c < 3; ++c) value += U[i][c] * found[c] * U[j][c];
            EXPECT_NEAR(S[i][j], value, 1e-6) << i << "," << j;
        }
}

}  // namespace
