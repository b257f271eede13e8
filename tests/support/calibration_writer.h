// Writes calibration files for tests: warp maps, screen shapes, camera and
// target rectangle files, PNG masks and configuration files, in the formats
// the library's loaders read.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "kzLib/types.h"

namespace dovav::test {

// An RGBA8 image, rows top to bottom (the order of the image file).
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;

    static Image filled(int width, int height, uint8_t r, uint8_t g, uint8_t b);
    // Every pixel from f(column, row) -> {r, g, b}.
    static Image generated(int width, int height,
                           const std::function<void(int column, int row, uint8_t rgb[3])>& f);
    const uint8_t* pixel(int column, int row) const { return &rgba[(size_t(row) * width + column) * 4]; }
};

std::string pngBytes(const Image& image);

// An 8-bit grey PNG (one component a pixel) of level(column, row).
std::string greyPngBytes(int width, int height, const std::function<uint8_t(int column, int row)>& level);

// A grey PNG (colour type 0) from its filtered scanlines as the format
// stores them (each starting with its filter byte), Adam7 passes one after
// the other when `interlaced`.
std::string greyPngFromScanlines(int width, int height, int depth, bool interlaced, const std::string& scanlines);

// A grey PNG of 1, 2 or 4 bits a pixel, samples packed as the format stores
// them, each sample(column, row) in 0 .. 2^depth - 1.
std::string packedGreyPngBytes(int width, int height, int depth,
                               const std::function<unsigned(int column, int row)>& sample);

// A 1-bit grey PNG of width x height pixels all set (white) or all clear
// (black): small for even the largest mask, since its rows compress to
// almost nothing.
std::string uniformBitPngBytes(int width, int height, bool set);

// Warp map text of a width x height grid: output position (x, y) in the unit
// square from column/(width-1), row/(height-1) (or place(x, y) where given),
// and texture coordinate lookup(x, y).
std::string warpMapText(uint32_t width, uint32_t height,
                        const std::function<kzVec2f(float x, float y)>& lookup,
                        const std::function<kzVec2f(float x, float y)>& place = nullptr);

// Three samples of one PFM point.
using PfmSample = std::array<float, 3>;

// PFM bytes of a width x height three-channel map; sample(column, row) for
// each grid point, row 0 at the top. `bottomRowFirst` stores the rows in the
// PFM format's own order, `bigEndian` the samples with a positive scale.
std::string pfmBytes(uint32_t width, uint32_t height,
                     const std::function<PfmSample(uint32_t column, uint32_t row)>& sample,
                     bool bigEndian = false, bool bottomRowFirst = false);

// One screen-shape grid point in library axes (y up); the writer converts it
// to the file's z-up axes.
struct ShapePoint {
    kzVec3f position;
    kzVec2f texcoord;
    kzVec3f normal;
    kzVec3f tangent;
};

// Screen shape text (13 fields a line) of a width x height grid from point(column, row).
std::string screenShapeText(uint32_t width, uint32_t height,
                            const std::function<ShapePoint(uint32_t column, uint32_t row)>& point);

// Camera file: eye in library axes, heading/pitch/roll in degrees and the
// frustum extents at unit distance.
std::string cameraText(kzVec3f eye, kzVec3f angles, float left, float right, float bottom, float top);

// Target rectangle file from its corners in library axes, facing along -z
// with no rotation.
std::string targetRectText(kzVec3f upperLeft, kzVec3f upperRight, kzVec3f lowerRight,
                           kzVec3f lowerLeft);

// A <channel .../> element with the given attributes ("name", "value" pairs).
std::string channelElement(unsigned id, const std::vector<std::pair<std::string, std::string>>& attributes);

// A configuration document with global type and gammas and the given channel elements.
std::string configurationText(int type, float gamma, float inputGamma, float outputGamma,
                              const std::string& channels);

}  // namespace dovav::test
