#include "geometry/records.h"
#include "kzLib/geometry.h"
#include "math/angles.h"

namespace {

kzMatrix4x4_p projectionOf(const kzCamera& camera) {
    kzMatrix4x4_p p;
    p.makePerspectiveMatrix(camera.fovY * kDegreesPerRadian, camera.aspect, camera.nearClip,
                            camera.farClip);
    // Shear the symmetric frustum off centre (a not-a-number shift compares
    // unequal to 0 and is applied too).
    if (camera.shiftX != 0.0f)
        for (int i = 0; i < 4; ++i) p.m[4 * i] += p.m[4 * i + 3] * -camera.shiftX;
    if (camera.shiftY != 0.0f)
        for (int i = 0; i < 4; ++i) p.m[4 * i + 1] += p.m[4 * i + 3] * -camera.shiftY;
    return p;
}

kzMatrix4x4_p modelViewOf(const kzCamera& camera) {
    const kzVec3f_p eye = toVector(camera.position);
    const kzVec3f_p direction = toVector(camera.direction);
    const kzVec3f_p centre(eye.x + direction.x, eye.y + direction.y, eye.z + direction.z);
    kzMatrix4x4_p view;
    view.makeLookAtViewMatrix(eye, centre, toVector(camera.up));
    return view;
}

kzMatrix4x4_p modelViewProjectionOf(const kzCamera& camera) {
    kzMatrix4x4_p product;
    product.makeFromMultiplicationOf(modelViewOf(camera), projectionOf(camera));
    return product;
}

}  // namespace

kzResult kzGetProjectionMatrix(kzMatrix4x4* matrix, kzCamera camera) {
    if (!matrix) return KZ_ERROR_INVALID_ARGUMENT;
    *matrix = toRecord(projectionOf(camera));
    return KZ_OK;
}

kzResult kzGetOrthoMatrix(kzMatrix4x4* matrix, float left, float right, float bottom, float top,
                          float zNear, float zFar) {
    if (!matrix) return KZ_ERROR_INVALID_ARGUMENT;
    kzMatrix4x4_p ortho;
    ortho.makeOrthoMatrix(left, right, bottom, top, zNear, zFar);
    *matrix = toRecord(ortho);
    return KZ_OK;
}

kzResult kzGetModelViewMatrix(kzMatrix4x4* matrix, kzCamera camera) {
    if (!matrix) return KZ_ERROR_INVALID_ARGUMENT;
    *matrix = toRecord(modelViewOf(camera));
    return KZ_OK;
}

kzResult kzGetModelViewProjectionMatrix(kzMatrix4x4* matrix, kzCamera camera) {
    if (!matrix) return KZ_ERROR_INVALID_DATA;
    *matrix = toRecord(modelViewProjectionOf(camera));
    return KZ_OK;
}

kzResult kzGetTransposedMatrix(const kzMatrix4x4* source, kzMatrix4x4* destination) {
    if (!source || !destination) return KZ_ERROR_INVALID_DATA;
    const kzMatrix4x4 copy = *source;  // destination may be source
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) destination->m[4 * r + c] = copy.m[4 * c + r];
    return KZ_OK;
}

kzResult kzGetWorldToScreen(kzVec2f* screen, kzVec3f point, kzCamera camera) {
    if (!screen) return KZ_ERROR_INVALID_ARGUMENT;
    const kzMatrix4x4_p mvp = modelViewProjectionOf(camera);
    const float* m = mvp.m;
    const float w = point.x * m[3] + point.y * m[7] + point.z * m[11] + m[15];
    const float x = point.x * m[0] + point.y * m[4] + point.z * m[8] + m[12];
    const float y = point.x * m[1] + point.y * m[5] + point.z * m[9] + m[13];
    const float k = 1.0f / w;
    *screen = kzVec2f{(x * k + 1.0f) * 0.5f, (1.0f - y * k) * 0.5f};
    return KZ_OK;
}
