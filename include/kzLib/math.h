// Vector, matrix and quaternion classes. Their layouts match the plain records
// (kzVec2f, kzVec3f, kzMatrix4x4), so a record converts to a class by copying.
// Angles are in degrees. Storage is float; the projections and several
// rotation steps compute in double and round on store.
#pragma once

#include <type_traits>

#include "kzLib/export.h"
#include "kzLib/types.h"

class kzVec3f_p;
class kzVec4f_p;
class kzQuaternion_p;
class kzMatrix4x4_p;

class KZ_CLASS kzVec2f_p {
public:
    float x = 0.0f, y = 0.0f;

    kzVec2f_p() = default;
    kzVec2f_p(float x_, float y_) : x(x_), y(y_) {}
    // (x, y) of the source.
    explicit kzVec2f_p(const kzVec3f_p& v);
    // (x, y) of the source.
    explicit kzVec2f_p(const kzVec4f_p& v);
};

class KZ_CLASS kzVec3f_p {
public:
    float x = 0.0f, y = 0.0f, z = 0.0f;

    kzVec3f_p() = default;
    kzVec3f_p(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
};

class KZ_CLASS kzVec4f_p {
public:
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;

    kzVec4f_p() = default;
    kzVec4f_p(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
    // (x, y, z, 0): w is 0, a direction rather than a point.
    explicit kzVec4f_p(const kzVec3f_p& v);
    // (x, y, 0, 0).
    explicit kzVec4f_p(const kzVec2f_p& v);
};

// Rotation as (x, y, z, w), vector part first. Applying A and then B is B (x) A
// in the Hamilton product.
class KZ_CLASS kzQuaternion_p {
public:
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 1.0f;

    kzQuaternion_p() = default;
    kzQuaternion_p(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}

    // Rotation by angle about (x, y, z), normalised; the identity when the axis is shorter than 1e-7.
    void makeRotate(float angle, float x, float y, float z);
    // Rotation by angle about axis, normalised; the identity for a zero axis.
    void makeRotate(float angle, const kzVec3f_p& axis);
    // Rotation 1 about the fixed axis1 applied first, then 2, then 3 (q3 (x) q2 (x) q1).
    void makeRotate(float angle1, const kzVec3f_p& axis1, float angle2, const kzVec3f_p& axis2,
                    float angle3, const kzVec3f_p& axis3);
    // Shortest rotation turning the direction of from into that of to (a half turn when opposite).
    void makeRotate(const kzVec3f_p& from, const kzVec3f_p& to);
    // The same rotation through the angle between the vectors and their cross product.
    void makeRotate_original(const kzVec3f_p& from, const kzVec3f_p& to);
    // Angle in degrees and unit axis; axis (0, 0, 1) when the vector part is zero.
    void getRotate(float& angle, float& x, float& y, float& z) const;
    // Angle in degrees and unit axis as a vector.
    void getRotate(float& angle, kzVec3f_p& axis) const;
    // Spherical interpolation the shorter way round: t = 0 gives from, t = 1 gives to.
    void slerp(float t, const kzQuaternion_p& from, const kzQuaternion_p& to);
    // Turns about x, y and z in degrees, the z turn held at +-90 near the poles.
    kzVec3f_p getEuler() const;
    // The rotation of the matrix's upper 3x3 block, with its column scales removed.
    void set(const kzMatrix4x4_p& matrix);
    // matrix = the identity with this rotation in its 3x3 block.
    void get(kzMatrix4x4_p& matrix) const;
};

// 4x4 float matrix. Element 4r + c is row r, column c with points as row
// vectors (p' = p x M, translation in 12..14); the same floats are the
// column-major matrix OpenGL takes untransposed. A x B applies A first.
class KZ_CLASS kzMatrix4x4_p {
public:
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    // The identity.
    kzMatrix4x4_p() = default;
    // The 16 elements in index order.
    kzMatrix4x4_p(float m0, float m1, float m2, float m3, float m4, float m5, float m6, float m7,
                  float m8, float m9, float m10, float m11, float m12, float m13, float m14,
                  float m15);

    // Stores the 16 elements in index order.
    void set(float m0, float m1, float m2, float m3, float m4, float m5, float m6, float m7,
             float m8, float m9, float m10, float m11, float m12, float m13, float m14, float m15);
    // The identity.
    void makeIdentityMatrix();
    // Zero except the diagonal (x, y, z, 1).
    void makeScaleMatrix(float x, float y, float z);
    // Zero except the diagonal (v.x, v.y, v.z, 1).
    void makeScaleMatrix(const kzVec3f_p& v);
    // The identity translated by (x, y, z).
    void makeTranslationMatrix(float x, float y, float z);
    // The identity translated by v.
    void makeTranslationMatrix(const kzVec3f_p& v);
    // Writes elements 12..14 only.
    void setTranslation(float x, float y, float z);
    // Writes elements 12..14 only.
    void setTranslation(const kzVec3f_p& v);
    // Writes the quaternion's rotation into the upper 3x3 block; the other elements are untouched.
    void setRotate(const kzQuaternion_p& q);
    // The rotation of the upper 3x3 block, with its column scales removed.
    kzQuaternion_p getRotate() const;
    // The identity with the quaternion's rotation.
    void makeRotationMatrix(const kzQuaternion_p& q);
    // The identity with a rotation by angle (degrees) about axis.
    void makeRotationMatrix(float angle, const kzVec3f_p& axis);
    // The identity with a rotation by angle (degrees) about (x, y, z).
    void makeRotationMatrix(float angle, float x, float y, float z);
    // The identity with the shortest rotation turning from into to.
    void makeRotationMatrix(const kzVec3f_p& from, const kzVec3f_p& to);
    // The identity with three rotations about fixed axes, the first applied first.
    void makeRotationMatrix(float angle1, const kzVec3f_p& axis1, float angle2,
                            const kzVec3f_p& axis2, float angle3, const kzVec3f_p& axis3);
    // this = other x this.
    void preMult(const kzMatrix4x4_p& other);
    // this = this x other.
    void postMult(const kzMatrix4x4_p& other);
    // this = a x b; either operand may be this matrix.
    void makeFromMultiplicationOf(const kzMatrix4x4_p& a, const kzMatrix4x4_p& b);
    // this = source with its three axis columns scaled to unit length (not made perpendicular).
    void makeOrthoNormalOf(const kzMatrix4x4_p& source);
    // this = inverse of source (affine or general path); false when source is singular.
    bool makeInvertOf(const kzMatrix4x4_p& source);
    // The inverse, or a partly reduced matrix when this one is singular.
    kzMatrix4x4_p getInverse() const;
    // Orthographic projection (OpenGL conventions).
    void makeOrthoMatrix(double left, double right, double bottom, double top, double zNear,
                         double zFar);
    // Extents of an orthographic projection; false (outputs untouched) for any other matrix.
    bool getOrtho(double& left, double& right, double& bottom, double& top, double& zNear,
                  double& zFar) const;
    // Perspective frustum with its edges at the near plane (OpenGL conventions).
    void makeFrustumMatrix(double left, double right, double bottom, double top, double zNear,
                           double zFar);
    // Extents of a frustum matrix; false (outputs untouched) for any other matrix.
    bool getFrustum(double& left, double& right, double& bottom, double& top, double& zNear,
                    double& zFar) const;
    // Symmetric perspective with a vertical field of view in degrees.
    void makePerspectiveMatrix(double fovy, double aspectRatio, double zNear, double zFar);
    // Field of view (degrees), aspect and clipping distances of a frustum matrix; false otherwise.
    bool getPerspective(double& fovy, double& aspectRatio, double& zNear, double& zFar) const;
    // World-to-eye matrix of an eye at eye looking at centre.
    void makeLookAtViewMatrix(const kzVec3f_p& eye, const kzVec3f_p& centre, const kzVec3f_p& up);
    // Eye-to-world pose of an eye at eye looking at centre.
    void makeLookAtMatrix(const kzVec3f_p& eye, const kzVec3f_p& centre, const kzVec3f_p& up);
    // Eye, a point lookDistance ahead and the up vector of this view matrix.
    void getLookAt(kzVec3f_p& eye, kzVec3f_p& centre, kzVec3f_p& up, float lookDistance) const;
    // Translation, rotation, scale (negated for a mirror) and scale-axis orientation of an affine matrix.
    void decompose(kzVec3f_p& translation, kzQuaternion_p& rotation, kzVec3f_p& scale,
                   kzQuaternion_p& scaleOrientation) const;
};

static_assert(sizeof(kzVec2f_p) == sizeof(kzVec2f) && sizeof(kzVec3f_p) == sizeof(kzVec3f) &&
                  sizeof(kzVec4f_p) == 16 && sizeof(kzQuaternion_p) == 16 &&
                  sizeof(kzMatrix4x4_p) == sizeof(kzMatrix4x4),
              "the math classes have the layouts of the plain records");
static_assert(std::is_standard_layout<kzMatrix4x4_p>::value &&
                  std::is_trivially_copyable<kzMatrix4x4_p>::value &&
                  std::is_trivially_copyable<kzVec3f_p>::value &&
                  std::is_trivially_copyable<kzQuaternion_p>::value,
              "the math classes convert to and from the records by copying");
