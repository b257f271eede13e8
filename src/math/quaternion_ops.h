// Hamilton product shared by the quaternion class and the decomposition.
#pragma once

#include "kzLib/math.h"

// p (x) q in float: the rotation q followed by p.
inline kzQuaternion_p hamiltonProduct(const kzQuaternion_p& p, const kzQuaternion_p& q) {
    return {p.w * q.x + p.x * q.w + p.y * q.z - p.z * q.y,
            p.w * q.y - p.x * q.z + p.y * q.w + p.z * q.x,
            p.w * q.z + p.x * q.y - p.y * q.x + p.z * q.w,
            p.w * q.w - p.x * q.x - p.y * q.y - p.z * q.z};
}
