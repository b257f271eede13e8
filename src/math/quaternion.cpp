#include <cmath>

#include "kzLib/math.h"
#include "math/angles.h"
#include "math/quaternion_ops.h"
#include "math/vec3_ops.h"

namespace {

float dot4(const kzQuaternion_p& a, const kzQuaternion_p& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
}

}  // namespace

void kzQuaternion_p::makeRotate(float angle, float ax, float ay, float az) {
    const float length = std::sqrt(ax * ax + ay * ay + az * az);
    if (length < 1e-7f) {
        *this = kzQuaternion_p();
        return;
    }
    const float inverseLength = 1.0f / length;
    const float halfAngle = static_cast<float>(angle * kRadiansPerDegree) * 0.5f;
    const float s = std::sin(halfAngle);
    const float c = std::cos(halfAngle);
    x = ax * s * inverseLength;
    y = ay * s * inverseLength;
    z = az * s * inverseLength;
    w = c;
}

void kzQuaternion_p::makeRotate(float angle, const kzVec3f_p& axis) {
    makeRotate(angle, axis.x, axis.y, axis.z);
}

void kzQuaternion_p::makeRotate(float angle1, const kzVec3f_p& axis1, float angle2,
                                const kzVec3f_p& axis2, float angle3, const kzVec3f_p& axis3) {
    kzQuaternion_p q1, q2, q3;
    q1.makeRotate(angle1, axis1);
    q2.makeRotate(angle2, axis2);
    q3.makeRotate(angle3, axis3);
    *this = hamiltonProduct(q3, hamiltonProduct(q2, q1));
}

void kzQuaternion_p::makeRotate(const kzVec3f_p& from, const kzVec3f_p& to) {
    kzVec3f_p f = from;
    kzVec3f_p v = to;

    const double fromNorm = vec3::dot(f, f);
    double length = 1.0;
    if (fromNorm < 0.9999999 || fromNorm > 1.0000001) {
        length = std::sqrt(fromNorm);
        if (length != 0.0)
            f = kzVec3f_p(static_cast<float>(f.x / length), static_cast<float>(f.y / length),
                          static_cast<float>(f.z / length));
    }
    const double toNorm = vec3::dot(v, v);
    if (toNorm < 0.9999999 || toNorm > 1.0000001) {
        // Vectors of the same length share the root taken above.
        if (!(toNorm > fromNorm - 1e-7 && toNorm < fromNorm + 1e-7)) length = std::sqrt(toNorm);
        if (length != 0.0)
            v = kzVec3f_p(static_cast<float>(v.x / length), static_cast<float>(v.y / length),
                          static_cast<float>(v.z / length));
    }

    const double dotPlusOne = static_cast<double>(vec3::dot(f, v)) + 1.0;
    if (dotPlusOne < 1e-7) {
        // Opposite directions: a half turn about any axis perpendicular to from.
        const auto halfTurn = [this](double ax, double ay, double az) {
            *this = kzQuaternion_p(static_cast<float>(ax), static_cast<float>(ay),
                                   static_cast<float>(az), 0.0f);
        };
        if (std::fabs(f.x) < 0.6f) {
            const double s = std::sqrt(1.0 - static_cast<double>(f.x) * f.x);
            halfTurn(0.0, f.z / s, -f.y / s);
        } else if (std::fabs(f.y) < 0.6f) {
            const double s = std::sqrt(1.0 - static_cast<double>(f.y) * f.y);
            halfTurn(-f.z / s, 0.0, f.x / s);
        } else {
            const double s = std::sqrt(1.0 - static_cast<double>(f.z) * f.z);
            halfTurn(f.y / s, -f.x / s, 0.0);
        }
        return;
    }

    const double s = std::sqrt(dotPlusOne * 0.5);  // cosine of half the angle
    const kzVec3f_p c = vec3::cross(f, v);
    const float d = static_cast<float>(s + s);
    if (d != 0.0f)
        *this = kzQuaternion_p(c.x / d, c.y / d, c.z / d, static_cast<float>(s));
    else
        *this = kzQuaternion_p(c.x, c.y, c.z, static_cast<float>(s));
}

void kzQuaternion_p::makeRotate_original(const kzVec3f_p& from, const kzVec3f_p& to) {
    const float cosine = vec3::dot(from, to) / (vec3::length(from) * vec3::length(to));
    if (std::fabs(cosine - 1.0f) < 1e-7f) {
        *this = kzQuaternion_p();
        return;
    }
    if (std::fabs(1.0 + static_cast<double>(cosine)) < static_cast<double>(1e-7f)) {
        // Opposite directions: turn half way about from x (the axis of from's smallest component).
        kzVec3f_p axis;
        const float ax = std::fabs(from.x), ay = std::fabs(from.y), az = std::fabs(from.z);
        if (ax < ay)
            axis = ax < az ? kzVec3f_p(1, 0, 0) : kzVec3f_p(0, 0, 1);
        else
            axis = ay < az ? kzVec3f_p(0, 1, 0) : kzVec3f_p(0, 0, 1);
        const kzVec3f_p turnAxis = vec3::normalisedOrSelf(vec3::cross(from, axis));
        *this = kzQuaternion_p(turnAxis.x, turnAxis.y, turnAxis.z, 0.0f);
        return;
    }
    makeRotate(degreesFromRadians(std::acos(static_cast<double>(cosine))), vec3::cross(from, to));
}

void kzQuaternion_p::getRotate(float& angle, float& ax, float& ay, float& az) const {
    const float sinHalf = std::sqrt(x * x + y * y + z * z);
    const float result =
        degreesFromRadians(2.0 * std::atan2(static_cast<double>(sinHalf), static_cast<double>(w)));
    if (sinHalf != 0.0f) {
        const float rx = x / sinHalf, ry = y / sinHalf, rz = z / sinHalf;
        ax = rx;
        ay = ry;
        az = rz;
    } else {
        ax = 0.0f;
        ay = 0.0f;
        az = 1.0f;
    }
    angle = result;
}

void kzQuaternion_p::getRotate(float& angle, kzVec3f_p& axis) const {
    getRotate(angle, axis.x, axis.y, axis.z);
}

void kzQuaternion_p::slerp(float t, const kzQuaternion_p& from, const kzQuaternion_p& to) {
    float cosOmega = dot4(from, to);
    kzQuaternion_p target = to;
    if (cosOmega < 0.0f) {
        cosOmega = -cosOmega;
        target = kzQuaternion_p(-to.x, -to.y, -to.z, -to.w);
    }
    double a, b;
    if (1.0 - cosOmega > 1e-5) {
        const double omega = std::acos(static_cast<double>(cosOmega));
        const double sinOmega = std::sin(omega);
        a = std::sin((1.0 - t) * omega) / sinOmega;
        b = std::sin(t * omega) / sinOmega;
    } else {
        a = 1.0 - t;
        b = t;
    }
    const float fa = static_cast<float>(a), fb = static_cast<float>(b);
    const kzQuaternion_p start = from;  // this may be from or to
    x = fa * start.x + fb * target.x;
    y = fa * start.y + fb * target.y;
    z = fa * start.z + fb * target.z;
    w = fa * start.w + fb * target.w;
}

kzVec3f_p kzQuaternion_p::getEuler() const {
    const double test = x * y + z * w;
    // Near the poles the z turn is held at +-90 and the rest goes to the y turn.
    if (test > 0.499) return {0.0f, degreesFromRadians(2.0 * std::atan2(double(x), double(w))), 90.0f};
    if (test < -0.499) return {0.0f, degreesFromRadians(-2.0 * std::atan2(double(x), double(w))), -90.0f};
    const float sinX = 2 * x * w - 2 * y * z, cosX = 1 - 2 * x * x - 2 * z * z;
    const float sinY = 2 * y * w - 2 * x * z, cosY = 1 - 2 * y * y - 2 * z * z;
    return {degreesFromRadians(std::atan2(double(sinX), double(cosX))),
            degreesFromRadians(std::atan2(double(sinY), double(cosY))),
            degreesFromRadians(std::asin(2.0 * test))};
}

void kzQuaternion_p::set(const kzMatrix4x4_p& matrix) { *this = matrix.getRotate(); }

void kzQuaternion_p::get(kzMatrix4x4_p& matrix) const { matrix.makeRotationMatrix(*this); }
