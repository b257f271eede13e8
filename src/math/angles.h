// Degree and radian conversion factors. The conversions multiply by these
// exact double constants; hosts compare results with their own, so the
// factors are not to be replaced by a division by pi.
#pragma once

constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kRadiansPerDegree = 0.017453292519943295;

// A double angle in radians as float degrees (rounded once, after the product).
inline float degreesFromRadians(double radians) {
    return static_cast<float>(radians * kDegreesPerRadian);
}
