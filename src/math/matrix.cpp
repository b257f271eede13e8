// Construction, products, rotation blocks and axis normalisation.
#include <cfloat>
#include <cmath>

#include "kzLib/math.h"
#include "math/invert.h"

namespace {

// The product a x b in float, summed over k in order.
kzMatrix4x4_p product(const kzMatrix4x4_p& a, const kzMatrix4x4_p& b) {
    kzMatrix4x4_p out;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            out.m[4 * r + c] = a.m[4 * r] * b.m[c] + a.m[4 * r + 1] * b.m[4 + c] +
                               a.m[4 * r + 2] * b.m[8 + c] + a.m[4 * r + 3] * b.m[12 + c];
    return out;
}

}  // namespace

kzMatrix4x4_p::kzMatrix4x4_p(float m0, float m1, float m2, float m3, float m4, float m5, float m6,
                             float m7, float m8, float m9, float m10, float m11, float m12,
                             float m13, float m14, float m15) {
    set(m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15);
}

void kzMatrix4x4_p::set(float m0, float m1, float m2, float m3, float m4, float m5, float m6,
                        float m7, float m8, float m9, float m10, float m11, float m12, float m13,
                        float m14, float m15) {
    const float values[16] = {m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15};
    for (int i = 0; i < 16; ++i) m[i] = values[i];
}

void kzMatrix4x4_p::makeIdentityMatrix() {
    set(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
}

void kzMatrix4x4_p::makeScaleMatrix(float x, float y, float z) {
    set(x, 0, 0, 0, 0, y, 0, 0, 0, 0, z, 0, 0, 0, 0, 1);
}

void kzMatrix4x4_p::makeScaleMatrix(const kzVec3f_p& v) { makeScaleMatrix(v.x, v.y, v.z); }

void kzMatrix4x4_p::makeTranslationMatrix(float x, float y, float z) {
    set(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1);
}

void kzMatrix4x4_p::makeTranslationMatrix(const kzVec3f_p& v) {
    makeTranslationMatrix(v.x, v.y, v.z);
}

void kzMatrix4x4_p::setTranslation(float x, float y, float z) {
    m[12] = x;
    m[13] = y;
    m[14] = z;
}

void kzMatrix4x4_p::setTranslation(const kzVec3f_p& v) { setTranslation(v.x, v.y, v.z); }

void kzMatrix4x4_p::setRotate(const kzQuaternion_p& q) {
    const double n = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
    if (std::fabs(n) <= DBL_MIN) {
        m[0] = 1; m[1] = 0; m[2] = 0;
        m[4] = 0; m[5] = 1; m[6] = 0;
        m[8] = 0; m[9] = 0; m[10] = 1;
        return;
    }
    // A unit quaternion skips the division so that its matrix is exact.
    const double s = n == 1.0 ? 2.0 : 2.0 / n;
    const double x = q.x, y = q.y, z = q.z, w = q.w;
    const double xx = x * x * s, yy = y * y * s, zz = z * z * s;
    const double xy = x * y * s, xz = x * z * s, yz = y * z * s;
    const double wx = w * x * s, wy = w * y * s, wz = w * z * s;
    m[0] = static_cast<float>(1.0 - (yy + zz));
    m[1] = static_cast<float>(xy + wz);
    m[2] = static_cast<float>(xz - wy);
    m[4] = static_cast<float>(xy - wz);
    m[5] = static_cast<float>(1.0 - (xx + zz));
    m[6] = static_cast<float>(yz + wx);
    m[8] = static_cast<float>(xz + wy);
    m[9] = static_cast<float>(yz - wx);
    m[10] = static_cast<float>(1.0 - (xx + yy));
}

kzQuaternion_p kzMatrix4x4_p::getRotate() const {
    float a[4][4];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) a[r][c] = m[4 * r + c];

    // Remove the scale of each axis column (a zero column gives infinities).
    for (int c = 0; c < 3; ++c) {
        const float len = std::sqrt(a[0][c] * a[0][c] + a[1][c] * a[1][c] + a[2][c] * a[2][c]);
        for (int r = 0; r < 4; ++r) a[r][c] /= len;
    }

    float q[4];
    const float trace = a[0][0] + a[1][1] + a[2][2] + 1.0f;
    if (trace > 0.0f) {
        const float s = std::sqrt(trace);
        const float k = 0.5f / s;
        q[0] = (a[1][2] - a[2][1]) * k;
        q[1] = (a[2][0] - a[0][2]) * k;
        q[2] = (a[0][1] - a[1][0]) * k;
        q[3] = 0.5f * s;
    } else {
        static const int next[3] = {1, 2, 0};
        int i = a[1][1] > a[0][0] ? 1 : 0;
        if (a[2][2] > a[i][i]) i = 2;
        const int j = next[i], k = next[j];
        const float difference = a[i][i] - (a[j][j] + a[k][k]);
        float s = static_cast<float>(std::sqrt(static_cast<double>(difference) + 1.0));
        q[i] = 0.5f * s;
        if (s != 0.0f) s = 0.5f / s;
        q[3] = (a[j][k] - a[k][j]) * s;
        q[j] = (a[i][j] + a[j][i]) * s;
        q[k] = (a[i][k] + a[k][i]) * s;
    }
    return {q[0], q[1], q[2], q[3]};
}

void kzMatrix4x4_p::makeRotationMatrix(const kzQuaternion_p& q) {
    makeIdentityMatrix();
    setRotate(q);
}

void kzMatrix4x4_p::makeRotationMatrix(float angle, const kzVec3f_p& axis) {
    kzQuaternion_p q;
    q.makeRotate(angle, axis);
    makeRotationMatrix(q);
}

void kzMatrix4x4_p::makeRotationMatrix(float angle, float x, float y, float z) {
    kzQuaternion_p q;
    q.makeRotate(angle, x, y, z);
    makeRotationMatrix(q);
}

void kzMatrix4x4_p::makeRotationMatrix(const kzVec3f_p& from, const kzVec3f_p& to) {
    kzQuaternion_p q;
    q.makeRotate(from, to);
    makeRotationMatrix(q);
}

void kzMatrix4x4_p::makeRotationMatrix(float angle1, const kzVec3f_p& axis1, float angle2,
                                       const kzVec3f_p& axis2, float angle3,
                                       const kzVec3f_p& axis3) {
    kzQuaternion_p q;
    q.makeRotate(angle1, axis1, angle2, axis2, angle3, axis3);
    makeRotationMatrix(q);
}

// The products go through a temporary, so any operand may be this matrix
// (squaring in place included) with the same result as a separate destination.
void kzMatrix4x4_p::preMult(const kzMatrix4x4_p& other) { *this = product(other, *this); }

void kzMatrix4x4_p::postMult(const kzMatrix4x4_p& other) { *this = product(*this, other); }

void kzMatrix4x4_p::makeFromMultiplicationOf(const kzMatrix4x4_p& a, const kzMatrix4x4_p& b) {
    *this = product(a, b);
}

void kzMatrix4x4_p::makeOrthoNormalOf(const kzMatrix4x4_p& source) {
    const kzMatrix4x4_p copy = source;
    *this = copy;
    for (int c = 0; c < 3; ++c) {
        const float x = copy.m[c], y = copy.m[c + 4], z = copy.m[c + 8];
        const double lengthSquared = x * x + y * y + z * z;
        if (std::fabs(1.0 - lengthSquared) <= 1e-6 || std::fabs(lengthSquared) <= 1e-6) continue;
        const double length = std::sqrt(lengthSquared);
        m[c] = static_cast<float>(x / length);
        m[c + 4] = static_cast<float>(y / length);
        m[c + 8] = static_cast<float>(z / length);
    }
}

bool kzMatrix4x4_p::makeInvertOf(const kzMatrix4x4_p& source) {
    const bool affine = source.m[3] == 0.0f && source.m[7] == 0.0f && source.m[11] == 0.0f &&
                        source.m[15] == 1.0f;
    return affine ? invert_4x3(source, *this) : invert_4x4(source, *this);
}

kzMatrix4x4_p kzMatrix4x4_p::getInverse() const {
    kzMatrix4x4_p inverse;
    inverse.makeInvertOf(*this);
    return inverse;
}
