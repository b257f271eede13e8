// The text snapshot of a context.

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/context_header.h"
#include "kzLib.h"
#include "opengl/opengl_records.h"
#include "support/calibration_writer.h"
#include "support/gl_fixture.h"
#include "support/temp_dir.h"

namespace {

using namespace dovav::test;

std::vector<std::string> fileLines(const std::string& path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string versionLine()
{
    return std::string("version: ") + reinterpret_cast<const char*>(glGetString(GL_VERSION));
}

class ContextDumpTest : public OpenGLTest {
protected:
    void SetUp() override
    {
        OpenGLTest::SetUp();
        ASSERT_EQ(kzCreateContextOpenGL(&context, KZ_TEXTURE_TARGET_RECTANGLE), KZ_OK);
        out = dir.path() + "/dump.txt";
    }
    void TearDown() override
    {
        kzDestroyContextOpenGL(context);
        OpenGLTest::TearDown();
    }

    std::vector<std::string> headerLines(const std::string& error, size_t channels)
    {
        return {versionLine(),
                "shader: " + std::to_string(context->staticShader->program),
                "width: " + std::to_string(context->width),
                "height: " + std::to_string(context->height),
                "target: 1",
                "active: " + std::to_string(context->activeChannel),
                "errorstring: " + error,
                "configuration " + std::to_string(channels)};
    }

    TempDir dir;
    std::string out;
    kzContextOpenGL* context = nullptr;
};

TEST_F(ContextDumpTest, FreshContext)
{
    ASSERT_EQ(kzDumpContext(context, out.c_str()), KZ_OK);
    std::vector<std::string> expected = headerLines("", 0);
    expected.push_back("correction 0");
    EXPECT_EQ(fileLines(out), expected);
}

// Channel blocks in ascending order; the correction block lists only built
// channels, with their GL names and camera extents.
TEST_F(ContextDumpTest, ChannelTableAndBuiltChannels)
{
    dir.write("warp.csv", warpMapText(2, 2, [](float x, float y) { return kzVec2f{x, y}; }));
    dir.write("camera.csv", cameraText({0, 0, 0}, {0, 0, 0}, -0.5f, 2.25f, -1, 1));
    dir.write("blend.png", pngBytes(Image::filled(2, 2, 1, 2, 3)));
    const std::string channels =
        channelElement(2, {{"warpmap", "warp.csv"}, {"frustum", "camera.csv"}, {"blending", "blend.png"}}) +
        channelElement(1, {{"shape", "shape.csv"}, {"target", "target.csv"}, {"secondary-blending", "s.png"},
                           {"blacklevel", "b.png"}, {"directional-shading", "d.png"}});
    const std::string config = dir.write("display.xml", configurationText(0, 2.5f, 1, 1, channels));
    ASSERT_EQ(kzLoadConfigurationFromFileOpenGL(context, config.c_str()), KZ_OK);
    ASSERT_EQ(kzSetActiveChannelOpenGL(context, 2, 800, 600), KZ_OK);
    ASSERT_EQ(kzSetActiveChannelOpenGL(context, 4, 1024, 768), KZ_ERROR_INVALID_DATA);
    ASSERT_EQ(kzDumpContext(context, out.c_str()), KZ_OK);

    const kzCorrectionDataOpenGL& built = context->corrections.at(2);
    const std::string d = dir.path() + "/";
    std::vector<std::string> expected = headerLines("No configuration found for channel 4", 2);
    const std::vector<std::string> rest = {
        "channel: 1", "type: 0", "gamma: 2.5", "warping: ", "blending: ",
        "secondary blending: " + d + "s.png", "blacklevel: " + d + "b.png", "frustum: ",
        "target: " + d + "target.csv", "screen:" + d + "shape.csv",
        "channel: 2", "type: 0", "gamma: 2.5", "warping: " + d + "warp.csv",
        "blending: " + d + "blend.png", "secondary blending: ", "blacklevel: ",
        "frustum: " + d + "camera.csv", "target: ", "screen:",
        "correction 2",
        "channel: 2",
        "blending: " + std::to_string(built.blendingTexture->id),
        "secondary blending: 0", "blacklevel: 0",
        "cmesh: " + std::to_string(built.cmesh->vao),
        "camera: -0.5,2.25,-1,1",
        "channel: 4", "blending: 0", "secondary blending: 0", "blacklevel: 0", "cmesh: 0", "camera: 0",
    };
    expected.insert(expected.end(), rest.begin(), rest.end());
    EXPECT_EQ(fileLines(out), expected);
    EXPECT_EQ(context->width, 1024u);
}

// Without a current GL context the version is empty; everything else is still written.
TEST_F(ContextDumpTest, NoCurrentGLContext)
{
    headless::GLContext::releaseCurrent();
    const kzResult result = kzDumpContext(context, out.c_str());
    currentGLContext();
    EXPECT_EQ(result, KZ_OK);
    const std::vector<std::string> lines = fileLines(out);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0], "version: ");
    EXPECT_EQ(lines[8], "correction 0");
}

TEST_F(ContextDumpTest, Failures)
{
    kzContextHeader vulkan(KZ_CONTEXT_VULKAN), d3d9(KZ_CONTEXT_D3D9), d3d11(KZ_CONTEXT_D3D11), odd(7);
    const struct {
        const char* label;
        void* context;
        std::string path;
        bool nullPath;
        kzResult result;
    } cases[] = {
        {"null context", nullptr, out, false, KZ_ERROR_INVALID_CONTEXT},
        {"null path", context, "", true, KZ_ERROR_INVALID_DATA},
        {"vulkan", &vulkan, out, false, KZ_ERROR_INVALID_CONTEXT},
        {"d3d9", &d3d9, out, false, KZ_ERROR_INVALID_CONTEXT},
        {"d3d11", &d3d11, out, false, KZ_ERROR_INVALID_CONTEXT},
        {"unknown kind", &odd, out, false, KZ_ERROR_INVALID_CONTEXT},
        {"missing directory", context, dir.path() + "/no/such/dir/dump.txt", false, KZ_ERROR_FILE},
        // A write that fails (a full device) is reported, not passed off as done.
        {"device full", context, "/dev/full", false, KZ_ERROR_FILE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(kzDumpContext(c.context, c.nullPath ? nullptr : c.path.c_str()), c.result);
        EXPECT_FALSE(std::ifstream(out).good());  // no file created
    }
}

}  // namespace
