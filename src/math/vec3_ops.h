// Float vector arithmetic shared by the matrix, quaternion and view-geometry
// code. Every step is single precision, as the callers' results depend on it.
#pragma once

#include <cmath>

#include "kzLib/math.h"

namespace vec3 {

inline kzVec3f_p add(const kzVec3f_p& a, const kzVec3f_p& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

inline kzVec3f_p sub(const kzVec3f_p& a, const kzVec3f_p& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

inline kzVec3f_p scale(const kzVec3f_p& v, float s) { return {v.x * s, v.y * s, v.z * s}; }

inline float dot(const kzVec3f_p& a, const kzVec3f_p& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

inline kzVec3f_p cross(const kzVec3f_p& a, const kzVec3f_p& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline float length(const kzVec3f_p& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

// v divided by its length, or (0, 0, 0) when the length is not positive.
inline kzVec3f_p normalisedOrZero(const kzVec3f_p& v) {
    const float len = length(v);
    if (len > 0.0f) return {v.x / len, v.y / len, v.z / len};
    return {0.0f, 0.0f, 0.0f};
}

// v divided by its length, or v itself when the length is not positive.
inline kzVec3f_p normalisedOrSelf(const kzVec3f_p& v) {
    const float len = length(v);
    if (len > 0.0f) return {v.x / len, v.y / len, v.z / len};
    return v;
}

}  // namespace vec3
