#include "support/channel_reports.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "core/context_header.h"
#include "support/calibration_writer.h"
#include "support/message_recorder.h"
#include "support/temp_dir.h"

namespace dovav::test {
namespace {

std::string errorText(void* context)
{
    char text[400] = {};
    kzGetErrorString(context, text, sizeof text - 1);
    return text;
}

void load(const BackEnd& backEnd, const TempDir& dir, int type, const std::string& channels)
{
    static int configured = 0;
    const std::string path = dir.write("display" + std::to_string(configured++) + ".xml",
                                       configurationText(type, 2.2f, 1.5f, 0.8f, channels));
    ASSERT_EQ(kzLoadConfigurationFromFile(backEnd.context, path.c_str()), KZ_OK);
}

ShapePoint shapePoint(uint32_t column, uint32_t row)
{
    return {{float(column) - 1, float(row), -2}, {0.2f + 0.3f * float(column), 0.3f + 0.4f * float(row)},
            {0, 0, 1}, {1, 0, 0}};
}

void writeCalibration(const TempDir& dir)
{
    dir.write("camera.csv", cameraText({0.5f, 1, 2}, {10, 5, 0}, -1, 1, -0.5f, 0.5f));
    dir.write("warp.csv", warpMapText(3, 3, [](float x, float y) { return kzVec2f{x, y}; }));
    dir.write("target.csv", targetRectText({-1, 1, -2}, {1, 1, -2}, {1, -1, -2}, {-1, -1, -2}));
    dir.write("shape.csv", screenShapeText(3, 2, shapePoint));
    dir.write("white.png", pngBytes(Image::filled(4, 4, 255, 255, 255)));
}

bool sameCamera(const kzCamera& a, const kzCamera& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

void checkTruncatedWarpMapIsExplained(const BackEnd& backEnd)
{
    TempDir dir;
    writeCalibration(dir);
    // Cut in the middle of line 7 (the sixth point): three of its six fields are left.
    const std::string text = warpMapText(3, 3, [](float x, float y) { return kzVec2f{x, y}; });
    size_t lineStart = 0;
    for (int line = 1; line < 7; ++line)
        lineStart = text.find('\n', lineStart) + 1;
    const std::string cut = text.substr(0, lineStart) + "1;0.5;1";
    const std::string warp = dir.write("cut.csv", cut);
    load(backEnd, dir, KZ_CORRECTION_STATIC,
         channelElement(1, {{"warpmap", "cut.csv"}, {"frustum", "camera.csv"}}));

    MessageRecorder recorder;
    testing::internal::CaptureStdout();
    EXPECT_EQ(backEnd.activate(1), backEnd.warpFailure);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "with a callback set nothing is printed";
    EXPECT_EQ(errorText(backEnd.context), "Failed to load warping from " + warp);

    const auto messages = recorder.messages();
    ASSERT_EQ(messages.size(), 2u) << recorder.text();
    EXPECT_EQ(messages[0].first, KZ_MESSAGE_ERROR);
    EXPECT_EQ(messages[0].second, "Warp map " + warp + ", line 7: not a grid point");
    EXPECT_EQ(messages[1], std::make_pair(KZ_MESSAGE_ERROR, errorText(backEnd.context)))
        << "the error text follows the loader's reason";
}

void checkUnnamedMasksAreSilent(const BackEnd& backEnd)
{
    TempDir dir;
    writeCalibration(dir);
    const std::string broken = dir.write("broken.png", "not an image");
    load(backEnd, dir, KZ_CORRECTION_STATIC,
         channelElement(1, {{"warpmap", "warp.csv"}, {"frustum", "camera.csv"}}) +
             channelElement(4, {{"warpmap", "warp.csv"}, {"frustum", "camera.csv"}}) +
             channelElement(3, {{"warpmap", "warp.csv"}, {"frustum", "camera.csv"},
                                {"blending", "white.png"}, {"blacklevel", "broken.png"}}));
    load(backEnd, dir, KZ_CORRECTION_DYNAMIC,
         channelElement(2, {{"shape", "shape.csv"}, {"target", "target.csv"}}));

    {
        MessageRecorder recorder;
        testing::internal::CaptureStdout();
        for (unsigned channel : {1u, 2u})
            EXPECT_EQ(backEnd.activate(channel), KZ_OK) << channel;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(recorder.text(), "");
        EXPECT_EQ(errorText(backEnd.context), "");

        // A named mask that does not load is still told.
        EXPECT_EQ(backEnd.activate(3), KZ_OK);
        EXPECT_NE(errorText(backEnd.context).find(broken), std::string::npos);
        EXPECT_TRUE(recorder.anyContains({errorText(backEnd.context)})) << recorder.text();
    }
    // Nor is anything printed without a callback.
    testing::internal::CaptureStdout();
    EXPECT_EQ(backEnd.activate(4), KZ_OK);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

void checkChannelInfo(const BackEnd& backEnd)
{
    TempDir dir;
    writeCalibration(dir);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    dir.write("holes.csv", warpMapText(3, 3, [&](float x, float y) {
                  return x == 0.5f && y == 0.5f ? kzVec2f{nan, y} : kzVec2f{x, y};
              }));
    load(backEnd, dir, KZ_CORRECTION_STATIC,
         channelElement(1, {{"warpmap", "holes.csv"}, {"frustum", "camera.csv"},
                            {"blending", "white.png"}, {"directional-shading", "white.png"}}));
    load(backEnd, dir, KZ_CORRECTION_DYNAMIC,
         channelElement(2, {{"shape", "shape.csv"}, {"target", "target.csv"},
                            {"secondary-blending", "white.png"}, {"blacklevel", "white.png"}}));
    static_cast<kzContextHeader*>(backEnd.context)->origins[2].regionId = "wall-left";

    const std::string root = dir.path() + "/";
    const struct {
        unsigned channel;
        int32_t type;
        std::string paths[KZ_CHANNEL_FILE_COUNT];  // by role
        const char* regionId;
        uint32_t gridWidth, gridHeight, invalidPoints;
    } cases[] = {
        {1, KZ_CORRECTION_STATIC,
         {root + "holes.csv", root + "camera.csv", "", "", root + "white.png", "", "", root + "white.png"},
         "", 3, 3, 1},
        {2, KZ_CORRECTION_DYNAMIC,
         {"", "", root + "shape.csv", root + "target.csv", "", root + "white.png", root + "white.png", ""},
         "wall-left", 3, 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.channel);
        kzChannelInfo before;
        std::memset(&before, 0x5a, sizeof before);
        ASSERT_EQ(kzGetChannelInfo(backEnd.context, c.channel, &before), KZ_OK);
        EXPECT_EQ(before.setUp, 0);
        EXPECT_EQ(before.gridWidth, 0u);
        EXPECT_EQ(before.hasCamera, 0);
        EXPECT_TRUE(sameCamera(before.camera, kzCamera{}));

        ASSERT_EQ(backEnd.activate(c.channel), KZ_OK);
        kzCamera camera{};
        if (c.type == KZ_CORRECTION_STATIC) {
            ASSERT_EQ(kzGetCamera(backEnd.context, c.channel, &camera), KZ_OK);
        } else {
            ASSERT_EQ(backEnd.preDraw({0.1f, 0.2f, 0.0f}, &camera), KZ_OK);
        }
        kzChannelInfo info;
        std::memset(&info, 0x5a, sizeof info);
        ASSERT_EQ(kzGetChannelInfo(backEnd.context, c.channel, &info), KZ_OK);
        EXPECT_EQ(info.channel, c.channel);
        EXPECT_EQ(info.type, c.type);
        EXPECT_EQ(info.gamma, 2.2f);
        EXPECT_EQ(info.inputGamma, 1.5f);
        EXPECT_EQ(info.outputGamma, 0.8f);
        for (int role = 0; role < KZ_CHANNEL_FILE_COUNT; ++role)
            EXPECT_EQ(info.paths[role], c.paths[role]) << "role " << role;
        EXPECT_STREQ(info.regionId, c.regionId);
        EXPECT_EQ(info.setUp, 1);
        EXPECT_EQ(info.gridWidth, c.gridWidth);
        EXPECT_EQ(info.gridHeight, c.gridHeight);
        EXPECT_EQ(info.invalidPoints, c.invalidPoints);
        EXPECT_EQ(info.hasCamera, 1);
        EXPECT_TRUE(sameCamera(info.camera, camera)) << "the camera set-up built and PreDraw aimed";
    }

    kzChannelInfo untouched{};
    untouched.channel = 77;
    EXPECT_EQ(kzGetChannelInfo(backEnd.context, 9, &untouched), KZ_ERROR_INVALID_DATA);
    EXPECT_EQ(untouched.channel, 77u);
}

}  // namespace dovav::test
