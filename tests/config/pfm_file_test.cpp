// PFM warp maps: both byte orders and row orders give the same mesh, NaN
// samples stay invalid points, and malformed or lying headers fail before
// anything is allocated, with the mesh left as it was.

#include <cmath>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "config/channel_warpmap.h"
#include "kzLib.h"
#include "support/calibration_writer.h"
#include "support/temp_dir.h"

namespace {

using namespace dovav::test;

// A 3 x 2 map with distinct samples and one invalid point.
PfmSample sample(uint32_t column, uint32_t row)
{
    if (column == 1 && row == 1)
        return {NAN, 0.5f, 0.0f};
    return {0.1f * float(column) + 0.01f, 0.3f * float(row) + 0.02f, 7.0f};
}

bool sameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

class PfmWarpmapTest : public ::testing::Test {
protected:
    TempDir dir;
    kzMesh mesh;
};

TEST_F(PfmWarpmapTest, ByteAndRowOrdersGiveTheSameGrid)
{
    const struct {
        const char* name;
        bool bigEndian, bottomRowFirst;
    } cases[] = {
        {"little-endian, top row first", false, false},
        {"big-endian, top row first", true, false},
        {"little-endian, bottom row first", false, true},
        {"big-endian, bottom row first", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.write("warp.pfm", pfmBytes(3, 2, sample, c.bigEndian, c.bottomRowFirst));
        ASSERT_EQ(kzLoadWarpmapInRowOrder(path.c_str(), &mesh, 0, 0,
                                          c.bottomRowFirst ? calib::PfmRows::BottomFirst
                                                           : calib::PfmRows::TopFirst),
                  KZ_OK);
        ASSERT_EQ(mesh.width, 3u);
        ASSERT_EQ(mesh.height, 2u);
        for (uint32_t row = 0; row < 2; ++row) {
            for (uint32_t column = 0; column < 3; ++column) {
                const size_t i = row * 3 + column;
                const PfmSample expected = sample(column, row);
                EXPECT_EQ(mesh.vertices[i].x, float(column) / 2.0f);
                EXPECT_EQ(mesh.vertices[i].y, float(row));
                EXPECT_EQ(mesh.vertices[i].z, 0.0f);
                EXPECT_TRUE(sameBits(mesh.texcoords[i].x, expected[0])) << i;
                EXPECT_TRUE(sameBits(mesh.texcoords[i].y, expected[1])) << i;
                EXPECT_EQ(mesh.normals[i].x, 0.0f);
            }
        }
    }
}

// The public loader reads top row first and applies its flips as for text.
TEST_F(PfmWarpmapTest, PublicLoaderAndFlips)
{
    const std::string path = dir.write("warp.pfm", pfmBytes(3, 2, sample));
    ASSERT_EQ(kzLoadWarpmapFromFile(path.c_str(), &mesh, 1, 1), KZ_OK);
    EXPECT_EQ(mesh.vertices[0].y, 1.0f);
    EXPECT_EQ(mesh.vertices[3].y, 0.0f);
    EXPECT_EQ(mesh.texcoords[0].y, 1.0f - sample(0, 0)[1]);
    EXPECT_TRUE(std::isnan(mesh.texcoords[4].x));
}

// The configuration's warpmap-rows attribute reaches channel set-up's loader.
TEST_F(PfmWarpmapTest, ConfigurationChoosesTheRowOrder)
{
    const std::string path = dir.write("warp.pfm", pfmBytes(3, 2, sample, false, true));
    const std::string configuration = dir.write(
        "display.xml", configurationText(KZ_CORRECTION_STATIC, 2.2f, 1.0f, 1.0f,
                                         channelElement(1, {{"warpmap", "warp.pfm"},
                                                            {"warpmap-rows", "bottom-first"}}) +
                                             channelElement(2, {{"warpmap", "warp.pfm"}})));
    kzContextHeader header(KZ_CONTEXT_D3D9);
    ASSERT_EQ(kzLoadConfigurationFromFile(&header, configuration.c_str()), KZ_OK);
    const float topSample = sample(0, 0)[1];
    ASSERT_EQ(kzLoadChannelWarpmap(header, 1, path.c_str(), &mesh), KZ_OK);
    EXPECT_EQ(mesh.texcoords[0].y, topSample);  // read bottom first: the top row is where it belongs
    ASSERT_EQ(kzLoadChannelWarpmap(header, 2, path.c_str(), &mesh), KZ_OK);
    EXPECT_NE(mesh.texcoords[0].y, topSample);  // read top first: the rows swap
}

TEST_F(PfmWarpmapTest, MalformedFilesLeaveTheMeshUntouched)
{
    const std::string good = pfmBytes(3, 2, sample);
    const std::string samples = good.substr(good.size() - 3 * 2 * 12);
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"one channel", "Pf\n3 2\n-1.0\n" + samples},
        {"zero width", "PF\n0 2\n-1.0\n"},
        {"ten-digit width", "PF\n1000000000 1\n-1.0\n" + samples},
        {"more than 2^32 points", "PF\n999999999 999999999\n-1.0\n" + samples},
        {"one sample short", good.substr(0, good.size() - 1)},
        {"scale 0", "PF\n3 2\n0\n" + samples},
        {"scale not a number", "PF\n3 2\nnan\n" + samples},
        {"scale text", "PF\n3 2\n-1x\n" + samples},
        {"no white space after the scale", "PF\n3 2\n-1.0"},
        {"header longer than 128 bytes", "PF" + std::string(130, ' ') + "3 2\n-1.0\n" + samples},
        {"negative height", "PF\n3 -2\n-1.0\n" + samples},
    };
    const std::string reference = dir.write("reference.pfm", good);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(kzLoadWarpmapFromFile(reference.c_str(), &mesh, 0, 0), KZ_OK);
        const kzVec3f* before = mesh.vertices;
        const std::string path = dir.write("bad.pfm", c.bytes);
        EXPECT_EQ(kzLoadWarpmapFromFile(path.c_str(), &mesh, 0, 0), KZ_ERROR_INVALID_DATA);
        EXPECT_EQ(mesh.vertices, before);
        EXPECT_EQ(mesh.width, 3u);
    }
}

}  // namespace
