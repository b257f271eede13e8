#include <cmath>
#include <cstdio>
#include <memory>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#pragma GCC diagnostic pop

#include "warp_grid.h"

namespace dovav {
namespace {

bool writeText(const std::string& path, const std::string& text)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    return file && std::fwrite(text.data(), 1, text.size(), file.get()) == text.size() &&
           std::fclose(file.release()) == 0;
}

// Nine significant digits read back to the same float.
std::string number(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", double(value));
    return text;
}

// The intensities as a grey mask, one pixel per grid point, the top row
// (smallest y) first.
bool writeIntensity(const WarpGrid& grid, const std::string& path)
{
    const bool bottomUp = grid.position.front().y > grid.position.back().y;
    std::vector<unsigned char> pixels(grid.intensity.size());
    for (uint32_t row = 0; row < grid.height; ++row) {
        const uint32_t from = bottomUp ? grid.height - 1 - row : row;
        for (uint32_t column = 0; column < grid.width; ++column)
            pixels[size_t(row) * grid.width + column] =
                (unsigned char)std::lround(grid.intensity[size_t(from) * grid.width + column] * 255.0f);
    }
    return stbi_write_png(path.c_str(), int(grid.width), int(grid.height), 1, pixels.data(), int(grid.width)) != 0;
}

}  // namespace

bool writeNativeFolder(const WarpGrid& grid, const std::string& folder, std::string& problem)
{
    std::string warp = "x;y;u;v;column;row\n";
    for (uint32_t row = 0; row < grid.height; ++row) {
        for (uint32_t column = 0; column < grid.width; ++column) {
            const size_t i = size_t(row) * grid.width + column;
            warp += number(grid.position[i].x) + ";" + number(grid.position[i].y) + ";" + number(grid.lookup[i].x) +
                    ";" + number(grid.lookup[i].y) + ";" + std::to_string(column) + ";" + std::to_string(row) + "\n";
        }
    }
    std::string channel = "  <channel id=\"1\" warpmap=\"warp.csv\" frustum=\"camera.csv\"";
    if (!grid.intensity.empty()) {
        if (!writeIntensity(grid, folder + "/intensity.png")) {
            problem = "cannot write " + folder + "/intensity.png";
            return false;
        }
        channel += " secondary-blending=\"intensity.png\"";
    }
    const std::string configuration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kzCorrection>\n  <type>0</type>\n"
                                      "  <gamma>2.2</gamma>\n" + channel + "/>\n</kzCorrection>\n";
    const std::string camera = "camera\n0;0;0;0;0;0;0;0;0;0;-1;1;-1;1;0;0\n";
    if (!writeText(folder + "/warp.csv", warp) || !writeText(folder + "/camera.csv", camera) ||
        !writeText(folder + "/display.xml", configuration)) {
        problem = "cannot write into " + folder;
        return false;
    }
    return true;
}

}  // namespace dovav
