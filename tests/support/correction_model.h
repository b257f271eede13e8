// The correction evaluated on the CPU, for comparing what a back-end draws
// with what it should: bilinear lookups as the GPU filters them, the colour
// arithmetic of the correction program, and a comparison of read-back pixels
// that brackets each one by the lookups' error bounds.
#pragma once

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kzLib/types.h"
#include "support/calibration_writer.h"

namespace dovav::test {

using Rgb = std::array<double, 3>;

struct Uv {
    double u = 0, v = 0;
};

// What a lookup reads beyond the image's edges.
enum class Border { ClampToEdge, OpaqueBlack };

// How the stored 8-bit texels become the values the filter weights.
enum class Texels { Unorm, Srgb };

double srgbToLinear(double s);

// A linear-filtered lookup: texel centres at (i + 0.5) / size, v = 0 the
// image's first row. sRGB texels are decoded one by one before they are
// weighted.
Rgb sampleLinear(const Image& image, Uv uv, Border border, Texels texels);

struct Gammas {
    double gamma = 2.2, input = 1.0, output = 1.0;
};

// Strengths as they reach the program: 0 for a pass that is off.
struct Strengths {
    double warp = 1.0, blend = 1.0, blacklevel = 1.0, secondary = 1.0, shading = 0.0;
};

double& strength(Strengths& s, kzCorrectionPassType pass);

// What one fragment's texture lookups return, as the program's arithmetic
// sees them.
struct Lookups {
    Rgb scene{}, blend{}, secondary{}, blacklevel{}, shading{};
};

// Component k (0 to 2) of the corrected colour, in [0, 1].
double corrected(const Lookups& in, int k, const Strengths& w, const Gammas& g);

// Every scene value moved by sceneBy and every mask value by maskBy, within
// [0, 1].
Lookups shifted(Lookups in, double sceneBy, double maskBy);

// How far a lookup may be from the exact bilinear value (in units of full
// scale), and how many output levels are allowed beyond the range the
// correction spans over those lookup errors.
struct Tolerance {
    double sceneLookup = 0;
    double maskLookup = 0;
    double outputSlack = 0;
};

// Compares pixels with the model, counting the components outside the
// tolerance and keeping the largest distance from the exact value.
class PixelComparison {
public:
    explicit PixelComparison(const Tolerance& tolerance) : tolerance_(tolerance) {}

    // The colour components of an RGBA8 pixel against the correction of `in`.
    void check(const uint8_t* pixel, const Lookups& in, const Strengths& w, const Gammas& g,
               const std::string& where);
    // Component k of a pixel that must be exactly `expected`.
    void checkExact(uint8_t value, double expected, int k, const std::string& where);

    int failures() const { return failures_; }
    const std::string& firstFailure() const { return firstFailure_; }
    double worst() const { return worst_; }

private:
    void compare(double value, double exact, double lowest, double highest, int k, const std::string& where);

    Tolerance tolerance_;
    int failures_ = 0;
    std::string firstFailure_;
    double worst_ = 0.0;
};

#define EXPECT_ALL_PIXELS_MATCH(comparison)                                                     \
    EXPECT_EQ((comparison).failures(), 0) << "first mismatch at " << (comparison).firstFailure() \
                                          << "; largest deviation " << (comparison).worst()

// Largest difference of a colour component (alpha ignored) between two
// RGBA8 images of the same size.
inline int largestColourDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    int largest = a.size() == b.size() ? 0 : 256;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (i % 4 != 3)
            largest = std::max(largest, std::abs(int(a[i]) - int(b[i])));
    }
    return largest;
}

// Pixel (column, row) of a size x size RGBA8 image.
inline const uint8_t* pixelAt(const std::vector<uint8_t>& pixels, int size, int column, int row)
{
    return &pixels[(size_t(row) * size_t(size) + size_t(column)) * 4];
}

// Grid point (column, row) of a columns x rows screen shape on a cylinder
// segment: axis along y through the origin, radius 3, from 40 degrees left to
// 40 degrees right of -z, y from 1 at row 0 down to -1. The texture
// coordinate is left at zero.
ShapePoint cylinderPoint(uint32_t column, uint32_t row, uint32_t columns, uint32_t rows);

// Where the program looks up the directional-shading map for a surface point
// seen from `eye`: the direction to the eye in the point's tangent frame,
// scaled by its angle from the normal over a quarter turn.
Uv shadingLookup(const ShapePoint& p, kzVec3f eye);

}  // namespace dovav::test
