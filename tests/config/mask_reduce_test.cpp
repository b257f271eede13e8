// Reducing masks to the output size: each target texel is the exact area
// average of what it covers, rounded to the nearest byte.

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "config/mask_reduce.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct ReduceCase {
    const char* name;
    int sourceWidth, sourceHeight, sourceChannels;
    Bytes source;
    int targetWidth, targetHeight, channels;
    Bytes expected;
};

Bytes reduce(const ReduceCase& c)
{
    calib::AreaReducer reducer(c.sourceWidth, c.sourceHeight, c.targetWidth, c.targetHeight, c.channels);
    const size_t stride = size_t(c.sourceWidth) * size_t(c.sourceChannels);
    for (int row = 0; row < c.sourceHeight; ++row)
        reducer.addRow(c.source.data() + size_t(row) * stride, c.sourceChannels);
    return reducer.pixels();
}

TEST(AreaReducer, AveragesTheAreaEachTexelCovers)
{
    const ReduceCase cases[] = {
        {"same size is a copy", 3, 2, 1, {1, 2, 3, 4, 5, 6}, 3, 2, 1, {1, 2, 3, 4, 5, 6}},
        {"2x2 blocks", 4, 2, 1, {0, 10, 20, 30, 40, 50, 60, 70}, 2, 1, 1, {25, 45}},
        // Three columns onto two: the middle one is split half and half.
        {"3 columns onto 2", 3, 1, 1, {0, 90, 180}, 2, 1, 1, {30, 150}},
        {"3 rows onto 2", 1, 3, 1, {0, 90, 180}, 1, 2, 1, {30, 150}},
        {"5 onto 3, both ways", 5, 1, 1, {0, 50, 100, 150, 200}, 3, 1, 1, {20, 100, 180}},
        {"halves round up", 2, 1, 1, {0, 1}, 1, 1, 1, {1}},
        {"a whole image to one texel", 3, 3, 1, {9, 0, 0, 0, 0, 0, 0, 0, 0}, 1, 1, 1, {1}},
        {"grey and alpha: the grey", 2, 1, 2, {10, 255, 30, 0}, 1, 1, 1, {20}},
        {"RGB to RGBA, opaque", 2, 1, 3, {10, 20, 30, 30, 40, 50}, 1, 1, 4, {20, 30, 40, 255}},
        {"RGBA keeps alpha", 2, 1, 4, {10, 20, 30, 0, 30, 40, 50, 100}, 1, 1, 4, {20, 30, 40, 50}},
        {"grey spread to RGBA", 1, 1, 1, {77}, 1, 1, 4, {77, 77, 77, 255}},
    };
    for (const ReduceCase& c : cases)
        EXPECT_EQ(c.expected, reduce(c)) << c.name;
}

// Large factors: a pattern of full and empty texels reduces to its coverage,
// and a uniform image stays uniform whatever the ratio.
TEST(AreaReducer, LargeRatiosKeepCoverageAndUniformity)
{
    const int width = 1000, height = 600;
    Bytes stripes(size_t(width) * height);
    for (size_t i = 0; i < stripes.size(); ++i)
        stripes[i] = (i % width) % 4 == 0 ? 255 : 0;  // a quarter of the columns lit
    // Four columns a texel: exactly one lit in each.
    for (uint8_t value : reduce({"stripes by 4", width, height, 1, stripes, 250, 3, 1, {}}))
        EXPECT_EQ(64, value);  // 255 / 4 rounded
    // An uneven ratio cuts stripes at texel edges, but keeps the coverage.
    const Bytes reduced = reduce({"stripes by 27.03", width, height, 1, stripes, 37, 23, 1, {}});
    ASSERT_EQ(size_t(37 * 23), reduced.size());
    double sum = 0;
    for (uint8_t value : reduced)
        sum += value;
    EXPECT_NEAR(255.0 / 4, sum / double(reduced.size()), 0.5);

    const Bytes uniform(size_t(width) * height, 200);
    for (uint8_t value : reduce({"uniform", width, height, 1, uniform, 999, 7, 1, {}}))
        EXPECT_EQ(200, value);
}

}  // namespace
