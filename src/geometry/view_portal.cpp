#include <cmath>

#include "geometry/records.h"
#include "kzLib/geometry.h"
#include "math/vec3_ops.h"

kzResult kzGetOffAxisViewPortal(kzCamera* camera, kzVec3f eye, kzVec3f cornerUp,
                                kzVec3f cornerOrigin, kzVec3f cornerRight) {
    if (!camera) return KZ_ERROR_INVALID_ARGUMENT;
    const kzVec3f_p origin = toVector(cornerOrigin);
    const kzVec3f_p widthVector = vec3::sub(toVector(cornerRight), origin);
    const kzVec3f_p heightVector = vec3::sub(toVector(cornerUp), origin);
    const float width = vec3::length(widthVector);
    const float height = vec3::length(heightVector);
    const kzVec3f_p right = vec3::normalisedOrZero(widthVector);
    const kzVec3f_p up = vec3::normalisedOrZero(heightVector);

    // The view looks along the rectangle's normal, whatever the eye's place.
    const kzVec3f_p direction = vec3::cross(up, right);
    const kzVec3f_p frameUp = vec3::cross(right, direction);

    const kzVec3f_p offset = vec3::sub(toVector(eye), origin);
    const float alongWidth = vec3::dot(right, offset);
    const float alongHeight = vec3::dot(up, offset);
    const float distance = std::fabs(vec3::dot(direction, offset));

    camera->position = eye;
    camera->direction = toRecord(direction);
    camera->up = toRecord(frameUp);
    camera->left = -alongWidth / distance;
    camera->right = (width - alongWidth) / distance;
    camera->bottom = -alongHeight / distance;
    camera->top = (height - alongHeight) / distance;
    const float halfHeightTangent = (height * 0.5f) / distance;
    camera->fovY = static_cast<float>(2.0 * std::atan(static_cast<double>(halfHeightTangent)));
    camera->aspect = width / height;
    camera->shiftX = (-2.0f * alongWidth) / width + 1.0f;
    camera->shiftY = (-2.0f * alongHeight) / height + 1.0f;
    return KZ_OK;
}
