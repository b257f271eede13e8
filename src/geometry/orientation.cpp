#include <cmath>

#include "geometry/records.h"
#include "kzLib/geometry.h"
#include "math/angles.h"
#include "math/vec3_ops.h"

kzResult kzGetOrientation(kzVec3f* angles, kzVec3f direction, kzVec3f up) {
    if (!angles) return KZ_ERROR_INVALID_ARGUMENT;
    const kzVec3f_p d = vec3::normalisedOrSelf(toVector(direction));
    const kzVec3f_p u = vec3::normalisedOrSelf(toVector(up));

    float heading = degreesFromRadians(std::atan2(static_cast<double>(d.x), static_cast<double>(-d.z)));
    const float pitch = degreesFromRadians(std::asin(static_cast<double>(d.y)));

    // a: y of the right vector d x u; b: y of the up vector re-orthogonalised as (d x u) x d.
    float a = d.z * u.x - d.x * u.z;
    float b = (d.x * u.y - d.y * u.x) * d.x - (d.y * u.z - d.z * u.y) * d.z;
    const float length = std::sqrt(a * a + b * b);
    if (length > 0.0f) {
        a /= length;
        b /= length;
    }
    float roll = degreesFromRadians(std::atan2(static_cast<double>(a), static_cast<double>(b)));

    // Looking straight up or down the heading is where the up vector points.
    if (d.z == 0.0f && d.x == 0.0f) {
        heading = degreesFromRadians(std::atan2(static_cast<double>(u.x), static_cast<double>(-u.z)));
        if (d.y > 0.0f) heading -= 180.0f;
        roll = 0.0f;
    }
    *angles = kzVec3f{heading, pitch, roll};
    return KZ_OK;
}

kzResult kzGetDirAndUp(kzVec3f* direction, kzVec3f* up, kzVec3f angles) {
    if (!direction || !up) return KZ_ERROR_INVALID_ARGUMENT;
    kzMatrix4x4_p rotation;
    rotation.makeRotationMatrix(angles.x, kzVec3f_p(0, 1, 0), angles.y, kzVec3f_p(1, 0, 0),
                                angles.z, kzVec3f_p(0, 0, 1));
    const float* m = rotation.m;

    // The points (0, 0, -1) and (0, 1, 0) taken through the matrix as column
    // vectors, i.e. through the transposed rotation: the camera's axes in world
    // coordinates when the rotation is read as a view rotation.
    float forward[3], upward[3];
    for (int i = 0; i < 3; ++i) {
        forward[i] = (-m[4 * i + 2] + m[4 * i + 3]) / (-m[14] + m[15]);
        upward[i] = (m[4 * i + 1] + m[4 * i + 3]) / (m[13] + m[15]);
    }
    *direction = kzVec3f{forward[0], forward[1], forward[2]};
    *up = kzVec3f{upward[0], upward[1], upward[2]};
    return KZ_OK;
}
