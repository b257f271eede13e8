// Projection and look-at constructions with their inverse queries. The
// projections compute in double and round each element on store.
#include <cmath>

#include "kzLib/math.h"
#include "math/angles.h"
#include "math/vec3_ops.h"

namespace {

// The eye frame of a look-at: b points from centre back to the eye, s to the
// right, u up.
struct LookAtFrame {
    kzVec3f_p b, s, u;
};

LookAtFrame lookAtFrame(const kzVec3f_p& eye, const kzVec3f_p& centre, const kzVec3f_p& up) {
    const kzVec3f_p b = vec3::normalisedOrZero(vec3::sub(eye, centre));
    const kzVec3f_p s = vec3::normalisedOrZero(vec3::cross(up, b));
    return {b, s, vec3::cross(b, s)};
}

void setAll(float* m, const double (&values)[16]) {
    for (int i = 0; i < 16; ++i) m[i] = static_cast<float>(values[i]);
}

}  // namespace

void kzMatrix4x4_p::makeOrthoMatrix(double left, double right, double bottom, double top,
                                    double zNear, double zFar) {
    const double tx = -(right + left) / (right - left);
    const double ty = -(top + bottom) / (top - bottom);
    const double tz = -(zFar + zNear) / (zFar - zNear);
    setAll(m, {2.0 / (right - left), 0, 0, 0,
               0, 2.0 / (top - bottom), 0, 0,
               0, 0, -2.0 / (zFar - zNear), 0,
               tx, ty, tz, 1});
}

bool kzMatrix4x4_p::getOrtho(double& left, double& right, double& bottom, double& top,
                             double& zNear, double& zFar) const {
    if (m[3] != 0.0f || m[7] != 0.0f || m[11] != 0.0f || m[15] != 1.0f) return false;
    zNear = (m[14] + 1.0) / m[10];
    zFar = (m[14] - 1.0) / m[10];
    left = -(1.0 + m[12]) / m[0];
    right = (1.0 - m[12]) / m[0];
    bottom = -(1.0 + m[13]) / m[5];
    top = (1.0 - m[13]) / m[5];
    return true;
}

void kzMatrix4x4_p::makeFrustumMatrix(double left, double right, double bottom, double top,
                                      double zNear, double zFar) {
    const double a = (right + left) / (right - left);
    const double b = (top + bottom) / (top - bottom);
    const double c = -(zFar + zNear) / (zFar - zNear);
    const double d = -2.0 * zFar * zNear / (zFar - zNear);
    setAll(m, {2.0 * zNear / (right - left), 0, 0, 0,
               0, 2.0 * zNear / (top - bottom), 0, 0,
               a, b, c, -1,
               0, 0, d, 0});
}

bool kzMatrix4x4_p::getFrustum(double& left, double& right, double& bottom, double& top,
                               double& zNear, double& zFar) const {
    if (m[3] != 0.0f || m[7] != 0.0f || m[11] != -1.0f || m[15] != 0.0f) return false;
    const double nearPlane = m[14] / (m[10] - 1.0);
    const double farPlane = m[14] / (m[10] + 1.0);
    zNear = nearPlane;
    zFar = farPlane;
    left = nearPlane * (m[8] - 1.0) / m[0];
    right = nearPlane * (m[8] + 1.0) / m[0];
    top = nearPlane * (1.0 + m[9]) / m[5];
    bottom = nearPlane * (m[9] - 1.0) / m[5];
    return true;
}

void kzMatrix4x4_p::makePerspectiveMatrix(double fovy, double aspectRatio, double zNear,
                                          double zFar) {
    const double tanHalf = std::tan(fovy * 0.5 * kRadiansPerDegree);
    const double right = aspectRatio * tanHalf * zNear;
    const double top = tanHalf * zNear;
    makeFrustumMatrix(-right, right, -top, top, zNear, zFar);
}

bool kzMatrix4x4_p::getPerspective(double& fovy, double& aspectRatio, double& zNear,
                                   double& zFar) const {
    double left = 0, right = 0, bottom = 0, top = 0;
    if (!getFrustum(left, right, bottom, top, zNear, zFar)) return false;
    fovy = (std::atan(top / zNear) - std::atan(bottom / zNear)) * kDegreesPerRadian;
    aspectRatio = (right - left) / (top - bottom);
    return true;
}

void kzMatrix4x4_p::makeLookAtViewMatrix(const kzVec3f_p& eye, const kzVec3f_p& centre,
                                         const kzVec3f_p& up) {
    const auto [b, s, u] = lookAtFrame(eye, centre, up);
    set(s.x, u.x, b.x, 0.0f,
        s.y, u.y, b.y, 0.0f,
        s.z, u.z, b.z, 0.0f,
        -vec3::dot(s, eye), -vec3::dot(u, eye), -vec3::dot(b, eye), 1.0f);
}

void kzMatrix4x4_p::makeLookAtMatrix(const kzVec3f_p& eye, const kzVec3f_p& centre,
                                     const kzVec3f_p& up) {
    const auto [b, s, u] = lookAtFrame(eye, centre, up);
    set(s.x, s.y, s.z, 0.0f,
        u.x, u.y, u.z, 0.0f,
        b.x, b.y, b.z, 0.0f,
        eye.x, eye.y, eye.z, 1.0f);
}

void kzMatrix4x4_p::getLookAt(kzVec3f_p& eye, kzVec3f_p& centre, kzVec3f_p& up,
                              float lookDistance) const {
    kzMatrix4x4_p inverse;
    inverse.makeInvertOf(*this);
    const kzVec3f_p eyePosition(inverse.m[12] / inverse.m[15], inverse.m[13] / inverse.m[15],
                                inverse.m[14] / inverse.m[15]);
    const kzVec3f_p forward =
        vec3::normalisedOrSelf(kzVec3f_p(-m[2], -m[6], -m[10]));
    up = kzVec3f_p(m[1], m[5], m[9]);
    eye = eyePosition;
    centre = vec3::add(eyePosition, vec3::scale(forward, lookDistance));
}
