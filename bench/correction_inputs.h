// Inputs both frame benchmarks correct: a warp lookup, a blend mask and a
// scene, the same for OpenGL and Vulkan so that their figures compare.
#pragma once

#include <cmath>
#include <cstdint>

#include "kzLib/types.h"
#include "support/calibration_writer.h"

namespace dovav::bench {

using dovav::test::Image;

// A mild barrel distortion with a keystone, kept inside the scene.
inline kzVec2f warpLookup(float x, float y)
{
    const float dx = x - 0.5f;
    const float dy = y - 0.5f;
    const float radial = 1.0f + 0.08f * (dx * dx + dy * dy);
    const float keystone = 1.0f - 0.05f * dy;
    return kzVec2f{0.5f + 0.92f * dx * radial * keystone, 0.5f + 0.92f * dy * radial};
}

// A soft blend ramp towards the left and right edges.
inline Image blendMask(int width, int height)
{
    return Image::generated(width, height, [width](int column, int, uint8_t rgb[3]) {
        const float x = (float(column) + 0.5f) / float(width);
        const float edge = std::fmin(std::fmin(x, 1.0f - x) / 0.15f, 1.0f);
        const auto value = uint8_t(std::lround(255.0f * edge));
        rgb[0] = rgb[1] = rgb[2] = value;
    });
}

inline Image sceneImage(int width, int height)
{
    return Image::generated(width, height, [](int column, int row, uint8_t rgb[3]) {
        rgb[0] = uint8_t(column * 7);
        rgb[1] = uint8_t(row * 5);
        rgb[2] = uint8_t(((column / 32) + (row / 32)) % 2 ? 220 : 40);
    });
}

}  // namespace dovav::bench
