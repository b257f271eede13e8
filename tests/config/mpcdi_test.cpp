// MPCDI calibrations loaded through kzLoadConfigurationFromFile and written
// back with kzExportMpcdi: each profile's mapping onto channels, what is
// refused and why, hostile archives, the scratch folder's lifetime, and the
// native -> MPCDI -> native round trip.

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/context_header.h"
#include "kzLib.h"
#include "support/calibration_writer.h"
#include "support/mpcdi_writer.h"
#include "support/temp_dir.h"

namespace {

using namespace dovav::test;

constexpr double kPi = 3.14159265358979323846;

// A 7 x 5 warp: the lookup is affine in the output position.
PfmSample lookup(uint32_t column, uint32_t row)
{
    return {0.05f + 0.15f * float(column), 0.9f - 0.2f * float(row), 0.0f};
}

double ramp(int column, int, int component)
{
    return 0.2 + 0.1 * column + 0.05 * component;
}

std::string readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

bool sameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

class MpcdiTest : public ::testing::Test {
protected:
    // An archive of the document and the maps its regions name.
    std::string archive(const std::string& name, const std::string& document,
                        std::map<std::string, std::string> members = {})
    {
        members.emplace("mpcdi.xml", document);
        const std::string path = dir.path() + "/" + name;
        writeZip(path, members);
        return path;
    }

    static MpcdiRegion region(const std::string& id, bool withMaps = true)
    {
        MpcdiRegion r;
        r.id = id;
        r.warp.path = id + "/warp.pfm";
        if (withMaps) {
            r.alpha = {id + "/alpha.png", 1, 8, 1.8};
            r.beta = {id + "/beta.png", 3, 16, std::nullopt};
        }
        return r;
    }

    static std::map<std::string, std::string> maps(const std::vector<std::string>& ids, bool bigEndian = false)
    {
        std::map<std::string, std::string> members;
        for (const std::string& id : ids) {
            members[id + "/warp.pfm"] = pfmBytes(7, 5, lookup, bigEndian);
            members[id + "/alpha.png"] = pngSamples(4, 3, 1, 8, ramp);
            members[id + "/beta.png"] = pngSamples(4, 3, 3, 16, ramp);
        }
        return members;
    }

    kzResult load(const std::string& path) { return kzLoadConfigurationFromFile(&header, path.c_str()); }

    TempDir dir;
    kzContextHeader header{KZ_CONTEXT_D3D9};
};

TEST_F(MpcdiTest, EachProfileBecomesChannelsInDocumentOrder)
{
    MpcdiRegion left = region("left"), right = region("right");
    right.alpha.gammaEmbedded = 2.4;
    left.frustum = MpcdiFrustum{20, 10, 0, 30, -25, 20, -15};
    right.frustum = MpcdiFrustum{-20, 0, 5, 25, -30, 20, -20};
    const struct {
        const char* profile;
        const char* version;
        int32_t type;
    } cases[] = {{"2d", "1.0", KZ_CORRECTION_STATIC}, {"3d", "2.0", KZ_CORRECTION_STATIC}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.profile);
        kzContextHeader loaded(KZ_CONTEXT_D3D9);
        const std::string path = archive(std::string(c.profile) + ".mpcdi",
                                         mpcdiDocument(c.profile, c.version, {left, right}), maps({"left", "right"}));
        ASSERT_EQ(kzLoadConfigurationFromFile(&loaded, path.c_str()), KZ_OK) << loaded.errorString;
        ASSERT_EQ(loaded.configurations.size(), 2u);
        EXPECT_EQ(loaded.origins.at(1).regionId, "left");
        EXPECT_EQ(loaded.origins.at(2).regionId, "right");
        const kzConfigurationData& first = loaded.configurations.at(1);
        EXPECT_EQ(first.type, c.type);
        EXPECT_FLOAT_EQ(first.gamma, 1.8f);  // gammaEmbedded of the alpha map
        EXPECT_FLOAT_EQ(loaded.configurations.at(2).gamma, 2.4f);

        kzMesh warp;
        ASSERT_EQ(kzLoadWarpmapFromFile(first.warpmap, &warp, 0, 0), KZ_OK);
        EXPECT_EQ(warp.width, 7u);
        EXPECT_EQ(warp.height, 5u);
        EXPECT_TRUE(sameBits(warp.texcoords[7 * 2 + 3].x, lookup(3, 2)[0]));
        EXPECT_EQ(readFile(first.blending), pngSamples(4, 3, 1, 8, ramp));
        EXPECT_EQ(readFile(first.blacklevel), pngSamples(4, 3, 3, 16, ramp));

        kzCamera camera{};
        ASSERT_EQ(kzLoadCameraFromFile(first.frustum, &camera), KZ_OK);
        if (std::string(c.profile) == "3d") {
            // Yaw turns right, pitch up; the edges are the tangents of their angles.
            EXPECT_GT(camera.direction.x, 0.0f);
            EXPECT_GT(camera.direction.y, 0.0f);
            EXPECT_NEAR(camera.direction.y, std::sin(10 * kPi / 180), 1e-6);
            EXPECT_NEAR(camera.left, std::tan(-25 * kPi / 180), 1e-6);
            EXPECT_NEAR(camera.right, std::tan(30 * kPi / 180), 1e-6);
            EXPECT_NEAR(camera.bottom, std::tan(-15 * kPi / 180), 1e-6);
            EXPECT_NEAR(camera.top, std::tan(20 * kPi / 180), 1e-6);
            // A positive roll lifts the left side: the image's up leans right.
            kzCamera rolled{};
            ASSERT_EQ(kzLoadCameraFromFile(loaded.configurations.at(2).frustum, &rolled), KZ_OK);
            EXPECT_LT(rolled.direction.x, 0.0f);  // yaw -20: turned left
            EXPECT_GT(rolled.up.x, 0.05f);
        } else {
            EXPECT_FLOAT_EQ(camera.aspect, 64.0f / 48.0f);  // the region's resolution
            EXPECT_FLOAT_EQ(camera.direction.z, -1.0f);
        }
    }
}

// A region without a warp file draws its content unwarped.
TEST_F(MpcdiTest, RegionWithoutWarpFileGetsTheIdentity)
{
    MpcdiRegion bare;
    bare.id = "bare";
    ASSERT_EQ(load(archive("bare.mpcdi", mpcdiDocument("2d", "1.0", {bare}))), KZ_OK) << header.errorString;
    kzMesh warp;
    ASSERT_EQ(kzLoadWarpmapFromFile(header.configurations.at(1).warpmap, &warp, 0, 0), KZ_OK);
    ASSERT_EQ(warp.width * warp.height, 4u);
    for (uint32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(warp.vertices[i].x, warp.texcoords[i].x);
        EXPECT_EQ(warp.vertices[i].y, warp.texcoords[i].y);
    }
}

// A flat a3 screen: the target rectangle is the screen itself, and the
// screen shape holds its points in metres with their output positions.
TEST_F(MpcdiTest, AdvancedProfileFramesTheScreenPoints)
{
    MpcdiRegion screen = region("screen", false);
    screen.geometricUnit = "mm";
    auto point = [](uint32_t column, uint32_t row) -> PfmSample {
        return {-1500.0f + 500.0f * float(column), 1000.0f - 500.0f * float(row), -2000.0f};
    };
    const std::string path = archive("a3.mpcdi", mpcdiDocument("a3", "2.0", {screen}),
                                     {{"screen/warp.pfm", pfmBytes(7, 5, point)}});
    ASSERT_EQ(load(path), KZ_OK) << header.errorString;
    const kzConfigurationData& channel = header.configurations.at(1);
    EXPECT_EQ(channel.type, KZ_CORRECTION_DYNAMIC);
    kzTargetRect rect{};
    ASSERT_EQ(kzLoadTargetRectFromFile(channel.target, &rect), KZ_OK);
    const kzVec3f expected[4] = {{-1.5f, 1, -2}, {-1.5f, -1, -2}, {1.5f, 1, -2}, {1.5f, -1, -2}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(rect.corners[i].x, expected[i].x, 1e-5) << i;
        EXPECT_NEAR(rect.corners[i].y, expected[i].y, 1e-5) << i;
        EXPECT_NEAR(rect.corners[i].z, expected[i].z, 1e-5) << i;
    }
    EXPECT_NEAR(rect.direction.z, -1.0f, 1e-6);
    EXPECT_NEAR(rect.up.y, 1.0f, 1e-6);
    kzMesh shape;
    ASSERT_EQ(kzLoadScreenShapeFromFile(channel.shape, &shape, 0), KZ_OK);
    ASSERT_EQ(shape.width, 7u);
    ASSERT_EQ(shape.height, 5u);
    EXPECT_FLOAT_EQ(shape.vertices[8].x, -1.0f);
    EXPECT_FLOAT_EQ(shape.vertices[8].y, 0.5f);
    EXPECT_FLOAT_EQ(shape.vertices[8].z, -2.0f);
    EXPECT_FLOAT_EQ(shape.texcoords[8].x, 1.0f / 6.0f);
    EXPECT_FLOAT_EQ(shape.texcoords[8].y, 0.25f);
}

// A plain mpcdi.xml reads its maps from its own folder.
TEST_F(MpcdiTest, PlainDocumentReadsItsFolder)
{
    for (const auto& [name, bytes] : maps({"solo"}, true))
        dir.write(name, bytes);
    const std::string path = dir.write("mpcdi.xml", mpcdiDocument("2d", "2.0", {region("solo")}));
    ASSERT_EQ(load(path), KZ_OK) << header.errorString;
    EXPECT_EQ(header.origins.at(1).regionId, "solo");
    kzMesh warp;
    ASSERT_EQ(kzLoadWarpmapFromFile(header.configurations.at(1).warpmap, &warp, 0, 0), KZ_OK);
    EXPECT_TRUE(sameBits(warp.texcoords[34].y, lookup(6, 4)[1]));  // big-endian samples
}

TEST_F(MpcdiTest, RefusedSourcesNameTheReasonAndLeaveTheTable)
{
    const auto members = maps({"r"});
    MpcdiRegion distortion = region("r");
    distortion.extra = "      <distortionMap><path>r/d.pfm</path></distortionMap>\n";
    MpcdiRegion lut = region("r");
    lut.extra = "      <colorLUT><path>r/lut.txt</path></colorLUT>\n";
    MpcdiRegion badDepth = region("r");
    badDepth.alpha.componentDepth = 2;
    MpcdiRegion noFrustum = region("r");
    MpcdiRegion noScreen;
    noScreen.id = "r";
    const struct {
        const char* name;
        std::string document;
        std::map<std::string, std::string> members;
        const char* message;
    } cases[] = {
        {"shader-lamp profile", mpcdiDocument("sl", "2.0", {region("r")}), members, "profile sl"},
        {"version 2.5", mpcdiDocument("2d", "2.5", {region("r")}), members, "version \"2.5\""},
        {"distortion map", mpcdiDocument("2d", "2.0", {distortion}), members, "<distortionMap>"},
        {"colour look-up table", mpcdiDocument("2d", "2.0", {lut}), members, "<colorLUT>"},
        {"two-component alpha map", mpcdiDocument("2d", "2.0", {badDepth}), members, "componentDepth 2"},
        {"3d region without frustum", mpcdiDocument("3d", "2.0", {noFrustum}), members, "without a <frustum>"},
        {"a3 region without points", mpcdiDocument("a3", "2.0", {noScreen}), members, "without a warp file"},
        {"no regions", mpcdiDocument("2d", "2.0", {}), members, "no regions"},
        {"missing member", mpcdiDocument("2d", "2.0", {region("r")}), {}, "no member r/warp.pfm"},
        {"not well-formed", "<MPCDI version=\"2.0\" profile=\"2d\">", members, "not well-formed"},
    };
    ASSERT_EQ(load(dir.write("native.xml", configurationText(0, 2.2f, 1, 1, channelElement(9, {})))), KZ_OK);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        const std::string path = archive("refused" + std::to_string(i) + ".mpcdi", cases[i].document, cases[i].members);
        EXPECT_EQ(load(path), KZ_ERROR_INVALID_DATA);
        EXPECT_NE(std::string(header.errorString).find(cases[i].message), std::string::npos) << header.errorString;
        EXPECT_EQ(header.configurations.size(), 1u);
        EXPECT_TRUE(header.ownedFolders.empty());
    }
}

// Paths inside the archive are checked before anything is read, and no
// member may unpack beyond its budget whatever the archive declares.
TEST_F(MpcdiTest, HostileArchivesAreRefused)
{
    const std::string escaping[] = {"../warp.pfm", "/etc/passwd", "r/../../warp.pfm", "r//warp.pfm", "./warp.pfm"};
    for (const std::string& name : escaping) {
        SCOPED_TRACE(name);
        MpcdiRegion r = region("r", false);
        r.warp.path = name;
        const std::string path = archive("escape.mpcdi", mpcdiDocument("2d", "2.0", {r}),
                                         {{name, pfmBytes(7, 5, lookup)}});
        EXPECT_EQ(load(path), KZ_ERROR_INVALID_DATA);
        EXPECT_NE(std::string(header.errorString).find("leaves the calibration"), std::string::npos)
            << header.errorString;
    }
    // 17 MiB of white space packs into a few kilobytes; the document may have 16.
    const std::string bomb = mpcdiDocument("2d", "2.0", {region("r")}) + std::string(17 << 20, ' ');
    EXPECT_EQ(load(archive("bomb.mpcdi", bomb, maps({"r"}))), KZ_ERROR_INVALID_DATA);
    EXPECT_NE(std::string(header.errorString).find("unpacks to more than"), std::string::npos) << header.errorString;
}

// The converted files live as long as a channel names them.
TEST_F(MpcdiTest, ScratchFolderFollowsTheChannelTable)
{
    const std::string path = archive("two.mpcdi", mpcdiDocument("2d", "2.0", {region("a"), region("b")}), maps({"a", "b"}));
    std::string folder;
    {
        kzContextHeader context(KZ_CONTEXT_D3D9);
        ASSERT_EQ(kzLoadConfigurationFromFile(&context, path.c_str()), KZ_OK);
        ASSERT_EQ(context.ownedFolders.size(), 1u);
        folder = context.ownedFolders[0]->path();
        EXPECT_TRUE(std::filesystem::exists(folder + "display.xml"));
        // Reloading keeps one folder: the first one no channel names any more goes.
        ASSERT_EQ(kzLoadConfigurationFromFile(&context, path.c_str()), KZ_OK);
        EXPECT_EQ(context.ownedFolders.size(), 1u);
        EXPECT_FALSE(std::filesystem::exists(folder));
        folder = context.ownedFolders[0]->path();
        // Channel 1 replaced by a native record: channel 2 still needs the folder.
        ASSERT_EQ(kzLoadConfigurationFromFile(
                      &context, dir.write("one.xml", configurationText(0, 2.2f, 1, 1, channelElement(1, {}))).c_str()),
                  KZ_OK);
        EXPECT_TRUE(std::filesystem::exists(folder));
        EXPECT_TRUE(context.origins.at(1).regionId.empty());
        EXPECT_EQ(context.origins.at(2).regionId, "b");
    }
    EXPECT_FALSE(std::filesystem::exists(folder));  // gone with the context
}

// native -> MPCDI -> native: warp samples, grid positions, masks and gammas
// bit for bit, the camera's angles to 1e-6.
TEST_F(MpcdiTest, ExportAndImportKeepTheCalibration)
{
    dir.write("warp.csv", warpMapText(7, 5, [](float x, float y) { return kzVec2f{0.1f + 0.7f * x, 0.95f - 0.8f * y * y}; }));
    dir.write("camera.csv", cameraText({0, 0, 0}, {12.5f, -7.25f, 3.0f}, -0.7f, 0.6f, -0.45f, 0.5f));
    dir.write("blend.png", pngSamples(4, 3, 1, 16, ramp));
    dir.write("black.png", pngSamples(4, 3, 3, 8, ramp));
    const std::string native = dir.write(
        "native.xml",
        configurationText(0, 1.7f, 1.0f, 1.0f,
                          channelElement(3, {{"warpmap", "warp.csv"}, {"frustum", "camera.csv"},
                                             {"blending", "blend.png"}, {"blacklevel", "black.png"},
                                             {"input-gamma", "2.4"}, {"output-gamma", "0.45"}})));
    const std::string exported = dir.path() + "/out.mpcdi";
    char message[256] = {};
    ASSERT_EQ(kzExportMpcdi(native.c_str(), exported.c_str(), nullptr, message, sizeof message), KZ_OK) << message;
    const std::string imported = dir.path() + "/imported";
    std::filesystem::create_directory(imported);
    ASSERT_EQ(kzImportMpcdi(exported.c_str(), imported.c_str(), message, sizeof message), KZ_OK) << message;

    kzContextHeader before(KZ_CONTEXT_D3D9), after(KZ_CONTEXT_D3D9);
    ASSERT_EQ(kzLoadConfigurationFromFile(&before, native.c_str()), KZ_OK);
    ASSERT_EQ(kzLoadConfigurationFromFile(&after, (imported + "/display.xml").c_str()), KZ_OK);
    const kzConfigurationData& a = before.configurations.at(3);
    const kzConfigurationData& b = after.configurations.at(1);
    EXPECT_EQ(after.origins.at(1).regionId, "channel3");
    EXPECT_TRUE(sameBits(a.gamma, b.gamma));
    EXPECT_TRUE(sameBits(a.inputGamma, b.inputGamma));
    EXPECT_TRUE(sameBits(a.outputGamma, b.outputGamma));
    EXPECT_EQ(readFile(a.blending), readFile(b.blending));
    EXPECT_EQ(readFile(a.blacklevel), readFile(b.blacklevel));

    kzMesh warpA, warpB;
    ASSERT_EQ(kzLoadWarpmapFromFile(a.warpmap, &warpA, 0, 0), KZ_OK);
    ASSERT_EQ(kzLoadWarpmapFromFile(b.warpmap, &warpB, 0, 0), KZ_OK);
    ASSERT_EQ(warpA.width * warpA.height, warpB.width * warpB.height);
    for (uint32_t i = 0; i < warpA.width * warpA.height; ++i) {
        EXPECT_TRUE(sameBits(warpA.vertices[i].x, warpB.vertices[i].x)) << i;
        EXPECT_TRUE(sameBits(warpA.vertices[i].y, warpB.vertices[i].y)) << i;
        EXPECT_TRUE(sameBits(warpA.texcoords[i].x, warpB.texcoords[i].x)) << i;
        EXPECT_TRUE(sameBits(warpA.texcoords[i].y, warpB.texcoords[i].y)) << i;
    }
    kzCamera cameraA{}, cameraB{};
    ASSERT_EQ(kzLoadCameraFromFile(a.frustum, &cameraA), KZ_OK);
    ASSERT_EQ(kzLoadCameraFromFile(b.frustum, &cameraB), KZ_OK);
    kzVec3f anglesA{}, anglesB{};
    kzGetOrientation(&anglesA, cameraA.direction, cameraA.up);
    kzGetOrientation(&anglesB, cameraB.direction, cameraB.up);
    EXPECT_NEAR(anglesA.x, anglesB.x, 1e-6);
    EXPECT_NEAR(anglesA.y, anglesB.y, 1e-6);
    EXPECT_NEAR(anglesA.z, anglesB.z, 1e-6);
    for (auto field : {&kzCamera::left, &kzCamera::right, &kzCamera::bottom, &kzCamera::top})
        EXPECT_NEAR(atan(cameraA.*field), atan(cameraB.*field), 1e-6);
}

TEST_F(MpcdiTest, ExportRefusesWhatMpcdiCannotHold)
{
    dir.write("bent.csv", "x;y;u;v;column;row\n0;0;0;0;0;0\n1;0;1;0;1;0\n0;1;0;1;0;1\n1;0.9;1;1;1;1\n");
    dir.write("camera.csv", cameraText({0, 0, 0}, {0, 0, 0}, -1, 1, -1, 1));
    dir.write("mask.tga", "not a png");
    dir.write("grid.csv", warpMapText(2, 2, [](float x, float y) { return kzVec2f{x, y}; }));
    const struct {
        const char* name;
        std::string configuration;
        const char* message;
    } cases[] = {
        {"irregular grid", configurationText(0, 2.2f, 1, 1, channelElement(1, {{"warpmap", "bent.csv"}, {"frustum", "camera.csv"}})),
         "regular output grid"},
        {"mask not a PNG",
         configurationText(0, 2.2f, 1, 1, channelElement(1, {{"warpmap", "grid.csv"}, {"frustum", "camera.csv"}, {"blending", "mask.tga"}})),
         "not a PNG"},
        {"dynamic channel", configurationText(1, 2.2f, 1, 1, channelElement(1, {})), "not static"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        const std::string path = dir.write("refused" + std::to_string(i) + ".xml", cases[i].configuration);
        char message[256] = {};
        EXPECT_EQ(kzExportMpcdi(path.c_str(), (dir.path() + "/x.mpcdi").c_str(), nullptr, message, sizeof message),
                  KZ_ERROR_INVALID_DATA);
        EXPECT_NE(std::string(message).find(cases[i].message), std::string::npos) << message;
    }
}

}  // namespace
