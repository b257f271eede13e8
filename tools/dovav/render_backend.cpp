#include "render_backend.h"

#include <cmath>
#include <cstring>

namespace dovav::render {

bool sceneUnprojection(const kzCamera& camera, bool flipY, float matrix[16])
{
    kzCamera atOrigin = camera;
    atOrigin.position = kzVec3f{0.0f, 0.0f, 0.0f};
    kzMatrix4x4 viewProjection;
    if (kzGetModelViewProjectionMatrix(&viewProjection, atOrigin) != KZ_OK)
        return false;
    kzMatrix4x4_p forward;
    std::memcpy(forward.m, viewProjection.m, sizeof forward.m);
    if (flipY) {
        kzMatrix4x4_p negateY;
        negateY.makeScaleMatrix(1.0f, -1.0f, 1.0f);
        forward.postMult(negateY);
    }
    kzMatrix4x4_p inverse;
    if (!inverse.makeInvertOf(forward))
        return false;
    for (float element : inverse.m) {
        if (!std::isfinite(element))
            return false;
    }
    std::memcpy(matrix, inverse.m, sizeof inverse.m);
    return true;
}

Image rgbFromRgba(const std::vector<uint8_t>& rgba, unsigned width, unsigned height, bool bottomUp)
{
    Image image;
    image.width = width;
    image.height = height;
    image.rgb.resize(size_t(width) * height * 3);
    for (unsigned row = 0; row < height; ++row) {
        const unsigned sourceRow = bottomUp ? height - 1 - row : row;
        const uint8_t* source = &rgba[size_t(sourceRow) * width * 4];
        uint8_t* destination = &image.rgb[size_t(row) * width * 3];
        for (unsigned column = 0; column < width; ++column) {
            destination[3 * column + 0] = source[4 * column + 0];
            destination[3 * column + 1] = source[4 * column + 1];
            destination[3 * column + 2] = source[4 * column + 2];
        }
    }
    return image;
}

}  // namespace dovav::render
