// Comparisons of matrices, vectors and quaternions for the math and geometry
// tests, with the failing element named in the message.
#pragma once

#include <cmath>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "kzLib.h"

namespace dovav::test {

inline ::testing::AssertionResult matricesNear(const float* actual, const float* expected,
                                               float tolerance)
{
    for (int i = 0; i < 16; ++i) {
        // Scale the tolerance with the element so that large entries (far
        // clipping terms, translations) are compared relative to their size.
        const float allowed = tolerance * std::fmax(1.0f, std::fabs(expected[i]));
        if (!(std::fabs(actual[i] - expected[i]) <= allowed))
            return ::testing::AssertionFailure()
                   << "element " << i << " is " << actual[i] << ", expected " << expected[i]
                   << " (tolerance " << allowed << ")";
    }
    return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult matricesNear(const kzMatrix4x4_p& actual,
                                               const kzMatrix4x4_p& expected, float tolerance)
{
    return matricesNear(actual.m, expected.m, tolerance);
}

inline ::testing::AssertionResult componentsNear(const float* actual, const float* expected,
                                                 int count, float tolerance)
{
    for (int i = 0; i < count; ++i)
        if (!(std::fabs(actual[i] - expected[i]) <= tolerance))
            return ::testing::AssertionFailure()
                   << "component " << i << " is " << actual[i] << ", expected " << expected[i];
    return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult vectorsNear(const kzVec3f_p& actual, const kzVec3f_p& expected,
                                              float tolerance)
{
    return componentsNear(&actual.x, &expected.x, 3, tolerance);
}

inline ::testing::AssertionResult vectorsNear(const kzVec3f& actual, const kzVec3f& expected,
                                              float tolerance)
{
    return componentsNear(&actual.x, &expected.x, 3, tolerance);
}

inline ::testing::AssertionResult quaternionsNear(const kzQuaternion_p& actual,
                                                  const kzQuaternion_p& expected, float tolerance)
{
    return componentsNear(&actual.x, &expected.x, 4, tolerance);
}

// A unit quaternion drawn uniformly from the rotations.
inline kzQuaternion_p randomRotation(std::mt19937& random)
{
    std::normal_distribution<float> normal;
    kzQuaternion_p q(normal(random), normal(random), normal(random), normal(random));
    const float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    return {q.x / length, q.y / length, q.z / length, q.w / length};
}

}  // namespace dovav::test
