// Camera and target rectangle files, and kzGetCamera on a channel table.

#include <cmath>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "core/context_header.h"
#include "kzLib.h"
#include "support/temp_dir.h"

namespace {

using dovav::test::TempDir;

constexpr float kTolerance = 1e-6f;

void expectVec3(kzVec3f expected, kzVec3f actual, float tolerance = kTolerance)
{
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
}

// A data line of `count` fields: the given ones first, zeros after them.
std::string dataLine(std::initializer_list<const char*> given, size_t count)
{
    std::string line;
    size_t i = 0;
    for (const char* field : given) {
        line += (i++ ? ";" : "") + std::string(field);
    }
    for (; i < count; ++i)
        line += (i ? ";0" : "0");
    return line;
}

const std::string kUnitCamera = "0;0;0;0;0;0;0;0;0;0;-1;1;-1;1;0;0";

TEST(FrameFiles, CameraFromItsFile)
{
    TempDir dir;
    kzCamera camera;
    ASSERT_EQ(KZ_OK, kzLoadCameraFromFile(dir.write("c.txt", "camera\n" + kUnitCamera + "\n").c_str(), &camera));
    EXPECT_EQ(-1.0f, camera.left);
    EXPECT_EQ(1.0f, camera.right);
    EXPECT_EQ(-1.0f, camera.bottom);
    EXPECT_EQ(1.0f, camera.top);
    EXPECT_EQ(5000.0f, camera.farClip);
    EXPECT_EQ(0.5f, camera.nearClip);
    EXPECT_FLOAT_EQ(float(M_PI / 2), camera.fovY);
    EXPECT_EQ(1.0f, camera.aspect);
    EXPECT_EQ(0.0f, camera.shiftX);
    EXPECT_EQ(0.0f, camera.shiftY);
    expectVec3({0, 0, 0}, camera.position);
    expectVec3({0, 0, -1}, camera.direction);
    expectVec3({0, 1, 0}, camera.up);

    // An off-axis frustum, a z-up eye point and an orientation whose pitch
    // the file counts the other way round.
    std::string line = "1;2;3;30;20;10;0;0;0;0;-0.5;1.5;-0.25;0.75;0;0";
    ASSERT_EQ(KZ_OK, kzLoadCameraFromFile(dir.write("c.txt", "camera\n" + line + "\nmore\n").c_str(), &camera));
    expectVec3({1, 3, -2}, camera.position);
    EXPECT_FLOAT_EQ(float(2.0 * std::atan(0.5)), camera.fovY);
    EXPECT_FLOAT_EQ(2.0f, camera.aspect);
    EXPECT_FLOAT_EQ(0.5f, camera.shiftX);
    EXPECT_FLOAT_EQ(0.5f, camera.shiftY);
    kzVec3f direction, up;
    ASSERT_EQ(KZ_OK, kzGetDirAndUp(&direction, &up, kzVec3f{30, -20, 10}));
    expectVec3(direction, camera.direction);
    expectVec3(up, camera.up);
    kzVec3f angles;
    ASSERT_EQ(KZ_OK, kzGetOrientation(&angles, camera.direction, camera.up));
    expectVec3({30, 20, -10}, angles, 1e-4f);  // the file's own pitch comes back
}

TEST(FrameFiles, TargetRectangleFromItsFile)
{
    TempDir dir;
    // Corners in file order upper-left, upper-right, lower-right, lower-left.
    std::string line = dataLine({"9", "9", "9", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
                                 "0", "0", "0", "0", "1", "2", "0", "1", "2", "0", "0", "0", "0", "0"},
                                27);
    kzTargetRect rect;
    ASSERT_EQ(KZ_OK, kzLoadTargetRectFromFile(dir.write("t.txt", "target\n" + line).c_str(), &rect));
    expectVec3({0, 1, 0}, rect.corners[0]);
    expectVec3({0, 0, 0}, rect.corners[1]);
    expectVec3({2, 1, 0}, rect.corners[2]);
    expectVec3({2, 0, 0}, rect.corners[3]);
    expectVec3({0, 0, -1}, rect.direction);
    expectVec3({0, 1, 0}, rect.up);

    // The file's y axis points into the screen: a rectangle at file y = 2
    // lies at library z = -2, and an eye at the origin looks straight at it.
    line = dataLine({"0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
                     "-1", "2", "1", "1", "2", "1", "1", "2", "-1", "-1", "2", "-1"},
                    27);
    ASSERT_EQ(KZ_OK, kzLoadTargetRectFromFile(dir.write("t.txt", "target\n" + line).c_str(), &rect));
    kzCamera camera{};
    ASSERT_EQ(KZ_OK, kzGetOffAxisViewPortal(&camera, kzVec3f{0, 0, 0}, rect.corners[0],
                                            rect.corners[1], rect.corners[3]));
    EXPECT_FLOAT_EQ(-0.5f, camera.left);
    EXPECT_FLOAT_EQ(0.5f, camera.right);
    EXPECT_FLOAT_EQ(-0.5f, camera.bottom);
    EXPECT_FLOAT_EQ(0.5f, camera.top);
    expectVec3({0, 0, -1}, camera.direction);
}

TEST(FrameFiles, FailuresLeaveTheOutputUntouched)
{
    struct Case {
        const char* name;
        std::string text;  // empty name of a file that is missing
        kzResult expected;
    } cameraCases[] = {
        {"15 fields", "c\n" + dataLine({}, 15) + "\n", KZ_ERROR_INVALID_DATA},
        {"16 fields load", "c\n" + dataLine({}, 16) + "\n", KZ_OK},
        {"header only", "c\n", KZ_ERROR_INVALID_DATA},
        {"single line, no line feed", kUnitCamera, KZ_ERROR_INVALID_DATA},
        {"empty data line", "c\n\n" + kUnitCamera + "\n", KZ_ERROR_INVALID_DATA},
        {"empty file", "", KZ_ERROR_INVALID_DATA},
    }, targetCases[] = {
        {"26 fields", "t\n" + dataLine({}, 26) + "\n", KZ_ERROR_INVALID_DATA},
        {"27 fields load", "t\n" + dataLine({}, 27) + "\n", KZ_OK},
        {"header only", "t", KZ_ERROR_INVALID_DATA},
        {"single line", dataLine({}, 27), KZ_ERROR_INVALID_DATA},
        {"separators only", "t\n;;;;\n", KZ_ERROR_INVALID_DATA},
    };
    TempDir dir;
    // Loads `c` into a record filled with a byte pattern; a failure must
    // leave every byte of it as it was.
    auto check = [&dir](const Case& c, auto load, auto record) {
        SCOPED_TRACE(c.name);
        std::memset(&record, 0x5A, sizeof record);
        auto before = record;
        EXPECT_EQ(c.expected, load(dir.write("frame.txt", c.text).c_str(), &record));
        if (c.expected != KZ_OK) {
            EXPECT_EQ(0, std::memcmp(&record, &before, sizeof record));
        }
    };
    for (const Case& c : cameraCases)
        check(c, kzLoadCameraFromFile, kzCamera{});
    for (const Case& c : targetCases)
        check(c, kzLoadTargetRectFromFile, kzTargetRect{});

    std::string missing = dir.path() + "/missing.txt";
    kzCamera camera{};
    kzTargetRect rect{};
    EXPECT_EQ(KZ_ERROR_FILE, kzLoadCameraFromFile(missing.c_str(), &camera));
    EXPECT_EQ(KZ_ERROR_FILE, kzLoadTargetRectFromFile(missing.c_str(), &rect));
    EXPECT_EQ(KZ_ERROR_FILE, kzLoadCameraFromFile(dir.path().c_str(), &camera));
    EXPECT_EQ(KZ_ERROR_INVALID_ARGUMENT, kzLoadCameraFromFile(missing.c_str(), nullptr));
    EXPECT_EQ(KZ_ERROR_INVALID_ARGUMENT, kzLoadTargetRectFromFile(missing.c_str(), nullptr));
    EXPECT_EQ(KZ_ERROR_INVALID_ARGUMENT, kzLoadCameraFromFile(nullptr, &camera));
    EXPECT_EQ(KZ_ERROR_INVALID_ARGUMENT, kzLoadTargetRectFromFile(nullptr, &rect));
}

TEST(FrameFiles, CameraOfAChannel)
{
    TempDir dir;
    dir.write("cam.txt", "camera\n" + kUnitCamera + "\n");
    std::string xml = dir.write("display.xml",
                                "<kzCorrection><channel id=\"4\" frustum=\"cam.txt\"/>"
                                "<channel id=\"5\"/></kzCorrection>");
    kzContextHeader context(KZ_CONTEXT_VULKAN);
    ASSERT_EQ(KZ_OK, kzLoadConfigurationFromFile(&context, xml.c_str()));

    kzCamera camera{};
    EXPECT_EQ(KZ_ERROR_INVALID_CONTEXT, kzGetCamera(nullptr, 4, nullptr));
    EXPECT_EQ(KZ_ERROR_INVALID_ARGUMENT, kzGetCamera(&context, 4, nullptr));
    EXPECT_EQ(KZ_ERROR_INVALID_DATA, kzGetCamera(&context, 6, &camera));
    EXPECT_EQ(KZ_ERROR_FILE, kzGetCamera(&context, 5, &camera));  // no frustum file configured
    ASSERT_EQ(KZ_OK, kzGetCamera(&context, 4, &camera));
    EXPECT_EQ(1.0f, camera.top);
    EXPECT_EQ(5000.0f, camera.farClip);

    for (int32_t kind : {-1, 5}) {
        kzContextHeader unknown(kind);
        unknown.configurations = context.configurations;
        EXPECT_EQ(KZ_ERROR_INVALID_CONTEXT, kzGetCamera(&unknown, 4, &camera)) << kind;
    }
}

}  // namespace
