// Building a channel the first time it is made active: what each outcome
// stores, reports and releases.

#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kzLib.h"
#include "opengl/opengl_records.h"
#include "support/calibration_writer.h"
#include "support/gl_fixture.h"
#include "support/temp_dir.h"

namespace {

using namespace dovav::test;

class ChannelSetupTest : public OpenGLTest {
protected:
    void SetUp() override
    {
        OpenGLTest::SetUp();
        namesBefore = liveGLNames();
        ASSERT_EQ(kzCreateContextOpenGL(&context, KZ_TEXTURE_TARGET_2D), KZ_OK);
        mask = dir.write("mask.png", pngBytes(Image::filled(4, 4, 255, 255, 255)));
        dir.write("warp.csv", warpMapText(3, 3, [](float x, float y) { return kzVec2f{x, y}; }));
        dir.write("camera.csv", cameraText({0, 0, 0}, {0, 0, 0}, -1, 1, -0.5f, 0.5f));
        dir.write("target.csv", targetRectText({-1, 1, -2}, {1, 1, -2}, {1, -1, -2}, {-1, -1, -2}));
        dir.write("shape.csv", screenShapeText(3, 2, [](uint32_t column, uint32_t row) {
                      return ShapePoint{{float(column) - 1, float(row), -2},
                                        {0.2f + 0.3f * float(column), 0.3f + 0.4f * float(row)},
                                        {0, 0, 1},
                                        {1, 0, 0}};
                  }));
    }
    void TearDown() override
    {
        EXPECT_EQ(kzDestroyContextOpenGL(context), KZ_OK);
        // Destroying the context releases every GL object it made.
        EXPECT_TRUE(liveGLNames() == namesBefore);
        OpenGLTest::TearDown();
    }

    // Loads a configuration of the given type whose channels have these attributes.
    void configure(int type, const std::string& channels)
    {
        const std::string path = dir.write("display" + std::to_string(configured++) + ".xml",
                                           configurationText(type, 2.2f, 1.0f, 1.0f, channels));
        ASSERT_EQ(kzLoadConfigurationFromFileOpenGL(context, path.c_str()), KZ_OK);
    }

    std::string staticChannel(unsigned id, const std::string& warp = "warp.csv",
                              const std::string& camera = "camera.csv")
    {
        return channelElement(id, {{"warpmap", warp}, {"frustum", camera}, {"blending", "mask.png"},
                                   {"secondary-blending", "mask.png"}, {"blacklevel", "mask.png"},
                                   {"directional-shading", "mask.png"}});
    }

    std::string dynamicChannel(unsigned id, const std::string& shape = "shape.csv",
                               const std::string& target = "target.csv")
    {
        return channelElement(id, {{"shape", shape}, {"target", target}, {"blending", "mask.png"},
                                   {"blacklevel", "mask.png"}});
    }

    const kzCorrectionDataOpenGL* record(unsigned channel)
    {
        auto found = context->corrections.find(channel);
        return found == context->corrections.end() ? nullptr : &found->second;
    }

    std::string error() const { return context->errorString; }

    TempDir dir;
    std::string mask;
    kzContextOpenGL* context = nullptr;
    GLNames namesBefore;
    int configured = 0;
};

TEST_F(ChannelSetupTest, StaticChannelBuildsEverything)
{
    configure(0, staticChannel(3));
    ASSERT_EQ(kzSetActiveChannelOpenGL(context, 3, 640, 480), KZ_OK);
    const kzCorrectionDataOpenGL* data = record(3);
    ASSERT_NE(data, nullptr);
    ASSERT_NE(data->camera, nullptr);
    EXPECT_EQ(data->camera->left, -1.0f);
    EXPECT_EQ(data->camera->farClip, 5000.0f);  // the camera file's planes
    for (const kzOpenGLTexture* texture : {data->blendingTexture, data->secondaryBlendingTexture,
                                           data->blacklevelTexture, data->directionalShadingTexture})
        EXPECT_NE(texture, nullptr);
    ASSERT_NE(data->cmesh, nullptr);
    EXPECT_EQ(data->cmesh->indexCount, 24);
    // The warp map lives in the buffers only: positions as x, y pairs and the
    // warped lookup; the static program needs nothing else.
    const struct {
        kzOpenGLAttribute attribute;
        GLint bytes;
    } buffers[] = {{KZ_ATTRIBUTE_POSITION, 9 * 8}, {KZ_ATTRIBUTE_TEXCOORD_WARPED, 9 * 8},
                   {KZ_ATTRIBUTE_TEXCOORD_UNWARPED, 0}, {KZ_ATTRIBUTE_NORMAL, 0},
                   {KZ_ATTRIBUTE_TANGENT, 0}, {KZ_ATTRIBUTE_POSITION1, 0}};
    for (const auto& buffer : buffers) {
        GLint bytes = -1;
        glBindBuffer(GL_ARRAY_BUFFER, data->cmesh->buffers[buffer.attribute]);
        glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &bytes);
        EXPECT_EQ(bytes, buffer.bytes) << buffer.attribute;
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    EXPECT_EQ(data->screenShape, nullptr);
    EXPECT_EQ(data->targetRect, nullptr);
    EXPECT_EQ(data->gamma, 2.2f);
    EXPECT_FALSE(data->blendingPass.locked);
    EXPECT_EQ(context->activeChannel, 3u);
    EXPECT_EQ(context->width, 640u);
    EXPECT_EQ(context->height, 480u);
    EXPECT_EQ(error(), "");
}

// A channel already built only becomes active again: no GL object is made.
TEST_F(ChannelSetupTest, SecondActivationOnlySwitches)
{
    configure(0, staticChannel(3) + staticChannel(4));
    ASSERT_EQ(kzSetActiveChannelOpenGL(context, 3, 10, 20), KZ_OK);
    ASSERT_EQ(kzSetActiveChannelOpenGL(context, 4, 10, 20), KZ_OK);
    const GLNames built = liveGLNames();
    EXPECT_EQ(kzSetActiveChannelOpenGL(context, 3, 30, 40), KZ_OK);
    EXPECT_TRUE(liveGLNames() == built);
    EXPECT_EQ(context->activeChannel, 3u);
    EXPECT_EQ(context->width, 30u);
    EXPECT_EQ(context->height, 40u);
}

// A static channel activated under the mesh method gets its table when the
// context switches to the baked method; dynamic channels never get one.
TEST_F(ChannelSetupTest, SwitchingToBakedGivesTheActiveChannelATable)
{
    configure(0, staticChannel(3));
    configure(1, dynamicChannel(4));
    ASSERT_EQ(kzSetCorrectionMethodOpenGL(context, KZ_CORRECTION_METHOD_MESH), KZ_OK);
    ASSERT_EQ(kzSetActiveChannelOpenGL(context, 4, 16, 8), KZ_OK);
    ASSERT_EQ(kzSetActiveChannelOpenGL(context, 3, 16, 8), KZ_OK);
    EXPECT_EQ(record(3)->table, nullptr);
    ASSERT_EQ(kzSetCorrectionMethodOpenGL(context, KZ_CORRECTION_METHOD_BAKED), KZ_OK);
    ASSERT_NE(record(3)->table, nullptr);
    EXPECT_EQ(record(3)->table->width, 16u);
    EXPECT_EQ(record(3)->table->height, 8u);
    EXPECT_FALSE(record(3)->table->baked);  // baked by the next draw
    ASSERT_EQ(kzSetActiveChannelOpenGL(context, 4, 16, 8), KZ_OK);
    EXPECT_EQ(record(4)->table, nullptr);
}

// A pixel-unpack buffer the host left bound is not read for the table's
// storage (it is far too small: GL would refuse the allocation) and is still
// bound afterwards.
TEST_F(ChannelSetupTest, TableIgnoresHostUnpackBuffer)
{
    configure(0, staticChannel(3));
    GLuint unpackBuffer = 0;
    glGenBuffers(1, &unpackBuffer);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, unpackBuffer);
    glBufferData(GL_PIXEL_UNPACK_BUFFER, 16, nullptr, GL_STREAM_DRAW);
    ASSERT_EQ(kzSetActiveChannelOpenGL(context, 3, 64, 32), KZ_OK);
    GLint bound = 0;
    glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING, &bound);
    EXPECT_EQ(GLuint(bound), unpackBuffer);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    glDeleteBuffers(1, &unpackBuffer);
    ASSERT_NE(record(3)->table, nullptr);
    EXPECT_EQ(drainGLErrors(), "");
}

// Outcomes of a first activation: the result, the message and what is kept.
TEST_F(ChannelSetupTest, FailureTable)
{
    dir.write("bad-warp.csv", "header\n0;0;0;0;0;0\n0;0;0;0;5;5\n");
    const std::string missing = dir.path() + "/missing.csv";
    configure(0, staticChannel(1, "missing.csv") + staticChannel(2, "warp.csv", "missing.csv") +
                     staticChannel(3, "bad-warp.csv"));
    configure(1, dynamicChannel(11, "missing.csv") + dynamicChannel(12, "shape.csv", "missing.csv"));
    configure(5, staticChannel(21));

    const struct {
        unsigned channel;
        kzResult result;
        std::string message;
        bool stored;
        bool mesh;
    } cases[] = {
        {1, KZ_ERROR_OPENGL, "Failed to load warping from " + missing, false, false},
        {2, KZ_ERROR_FILE, "Failed to load camera configuration from " + missing, false, false},
        {3, KZ_ERROR_OPENGL, "Failed to load warping from " + dir.path() + "/bad-warp.csv", false, false},
        {7, KZ_ERROR_INVALID_DATA, "No configuration found for channel 7", true, false},
        {11, KZ_ERROR_FILE, "Failed to load screen shape from " + missing, true, false},
        {12, KZ_OK, "Failed to load target rectangle from " + missing, true, true},
        {21, KZ_ERROR_INVALID_DATA, "Unknown configuration type for channel 21", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.channel);
        const GLNames before = liveGLNames();
        EXPECT_EQ(kzSetActiveChannelOpenGL(context, c.channel, 8, 9), c.result);
        EXPECT_EQ(error(), c.message);
        EXPECT_EQ(context->activeChannel, c.channel);
        EXPECT_EQ(context->width, 8u);
        const kzCorrectionDataOpenGL* data = record(c.channel);
        ASSERT_EQ(data != nullptr, c.stored);
        if (!c.stored) {
            // Whatever was built on the way (textures, meshes) is gone again.
            EXPECT_TRUE(liveGLNames() == before);
            continue;
        }
        EXPECT_EQ(data->cmesh != nullptr, c.mesh);
        // A stored record counts as built: activating again does nothing.
        EXPECT_EQ(kzSetActiveChannelOpenGL(context, c.channel, 8, 9), KZ_OK);
    }
    // The record of an unknown type keeps its camera and masks; a failed shape keeps its target.
    EXPECT_NE(record(21)->camera, nullptr);
    EXPECT_NE(record(21)->blendingTexture, nullptr);
    EXPECT_NE(record(11)->targetRect, nullptr);
    EXPECT_EQ(record(11)->screenShape, nullptr);
    EXPECT_EQ(record(12)->targetRect, nullptr);
    EXPECT_EQ(record(7)->camera, nullptr);
}

// A channel whose warp map failed is retried, and builds once the file is there.
TEST_F(ChannelSetupTest, FailedStaticChannelIsRetried)
{
    configure(0, staticChannel(1, "later.csv"));
    EXPECT_EQ(kzSetActiveChannelOpenGL(context, 1, 1, 1), KZ_ERROR_OPENGL);
    EXPECT_EQ(record(1), nullptr);
    dir.write("later.csv", warpMapText(2, 2, [](float x, float y) { return kzVec2f{x, y}; }));
    EXPECT_EQ(kzSetActiveChannelOpenGL(context, 1, 1, 1), KZ_OK);
    ASSERT_NE(record(1), nullptr);
    EXPECT_NE(record(1)->cmesh, nullptr);
}

// Masks that do not load lock their pass off, and so do masks that are not
// configured; set-up still succeeds, and only the named mask that failed is reported.
TEST_F(ChannelSetupTest, UnloadableMasksLockTheirPasses)
{
    dir.write("broken.png", "not an image");
    configure(0, channelElement(1, {{"warpmap", "warp.csv"}, {"frustum", "camera.csv"},
                                    {"blending", "broken.png"}, {"blacklevel", "mask.png"}}));
    EXPECT_EQ(kzSetActiveChannelOpenGL(context, 1, 1, 1), KZ_OK);
    EXPECT_EQ(error(), "Failed to create texture from " + dir.path() + "/broken.png");
    const kzCorrectionDataOpenGL* data = record(1);
    ASSERT_NE(data, nullptr);
    const struct {
        const kzCorrectionPass& pass;
        const kzOpenGLTexture* texture;
        bool locked;
    } passes[] = {
        {data->blendingPass, data->blendingTexture, true},
        {data->secondaryBlendingPass, data->secondaryBlendingTexture, true},
        {data->blacklevelPass, data->blacklevelTexture, false},
        {data->directionalShadingPass, data->directionalShadingTexture, true},
        {data->warpingPass, nullptr, false},
    };
    for (const auto& p : passes) {
        SCOPED_TRACE(int(p.pass.type));
        EXPECT_EQ(p.pass.locked, p.locked);
        EXPECT_EQ(p.pass.enabled, !p.locked);
        EXPECT_EQ(p.pass.weight, 1.0f);
        if (p.pass.type != KZ_CORRECTION_PASS_WARPING) {
            EXPECT_EQ(p.texture == nullptr, p.locked);
        }
    }
}

// A dynamic vertex sits on the output at its texture coordinate, flipped
// vertically when the context asks for it; the world position travels along.
TEST_F(ChannelSetupTest, DynamicMeshPlacesVerticesAtTexcoords)
{
    configure(1, dynamicChannel(1) + dynamicChannel(2));
    ASSERT_EQ(kzSetActiveChannelOpenGL(context, 1, 1, 1), KZ_OK);
    ASSERT_EQ(kzSetFlipWarpmeshVerticesYOpenGL(context, true), KZ_OK);
    ASSERT_EQ(kzSetActiveChannelOpenGL(context, 2, 1, 1), KZ_OK);
    const struct {
        unsigned channel;
        float y;
    } cases[] = {{1, 0.3f}, {2, 0.7f}};
    for (const auto& c : cases) {
        const kzCorrectionDataOpenGL* data = record(c.channel);
        ASSERT_NE(data, nullptr);
        ASSERT_NE(data->cmesh, nullptr);
        ASSERT_NE(data->screenShape, nullptr);
        ASSERT_NE(data->targetRect, nullptr);
        float position[3] = {};
        float world[3] = {};
        glBindBuffer(GL_ARRAY_BUFFER, data->cmesh->buffers[KZ_ATTRIBUTE_POSITION]);
        glGetBufferSubData(GL_ARRAY_BUFFER, 0, sizeof position, position);
        glBindBuffer(GL_ARRAY_BUFFER, data->cmesh->buffers[KZ_ATTRIBUTE_POSITION1]);
        glGetBufferSubData(GL_ARRAY_BUFFER, 0, sizeof world, world);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        EXPECT_FLOAT_EQ(position[0], 0.2f);
        EXPECT_FLOAT_EQ(position[1], c.y);
        EXPECT_EQ(position[2], 0.0f);
        EXPECT_FLOAT_EQ(world[0], -1.0f);
        EXPECT_FLOAT_EQ(world[1], 0.0f);
        EXPECT_FLOAT_EQ(world[2], -2.0f);
        // The dynamic camera starts from the context's clipping planes.
        EXPECT_EQ(data->camera->nearClip, 0.5f);
        EXPECT_EQ(data->camera->left, 0.0f);
    }
}

TEST_F(ChannelSetupTest, ClippingPlanesReachBuiltAndLaterCameras)
{
    configure(0, staticChannel(1) + staticChannel(2));
    configure(1, dynamicChannel(3));
    ASSERT_EQ(kzSetActiveChannelOpenGL(context, 1, 1, 1), KZ_OK);
    ASSERT_EQ(kzSetActiveChannelOpenGL(context, 2, 1, 1), KZ_OK);
    ASSERT_EQ(kzSetClippingPlanesOpenGL(context, 0.1f, 100.0f), KZ_OK);
    ASSERT_EQ(kzSetActiveChannelOpenGL(context, 3, 1, 1), KZ_OK);
    for (unsigned channel : {1u, 2u, 3u}) {
        ASSERT_NE(record(channel), nullptr);
        EXPECT_EQ(record(channel)->camera->nearClip, 0.1f) << channel;
        EXPECT_EQ(record(channel)->camera->farClip, 100.0f) << channel;
    }
}

TEST_F(ChannelSetupTest, WarpMapFlagsReachTheLoader)
{
    dir.write("tilted.csv", "h\n0;0;0.25;0.125;0;0\n1;0;1;0;1;0\n0;1;0;1;0;1\n1;1;1;1;1;1\n");
    configure(0, staticChannel(1, "tilted.csv") + staticChannel(2, "tilted.csv"));
    ASSERT_EQ(kzSetActiveChannelOpenGL(context, 1, 1, 1), KZ_OK);
    kzSetFlipWarpmeshVerticesYOpenGL(context, true);
    kzSetFlipWarpmeshTexcoordsVOpenGL(context, true);
    ASSERT_EQ(kzSetActiveChannelOpenGL(context, 2, 1, 1), KZ_OK);
    // The first vertex as uploaded: position (x, y) and warped lookup (u, v).
    auto firstVertex = [&](unsigned channel) {
        float values[4] = {-1, -1, -1, -1};
        glBindBuffer(GL_ARRAY_BUFFER, record(channel)->cmesh->buffers[KZ_ATTRIBUTE_POSITION]);
        glGetBufferSubData(GL_ARRAY_BUFFER, 0, 2 * sizeof(float), values);
        glBindBuffer(GL_ARRAY_BUFFER, record(channel)->cmesh->buffers[KZ_ATTRIBUTE_TEXCOORD_WARPED]);
        glGetBufferSubData(GL_ARRAY_BUFFER, 0, 2 * sizeof(float), values + 2);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        return std::vector<float>(values, values + 4);
    };
    EXPECT_EQ(firstVertex(1), (std::vector<float>{0.0f, 0.0f, 0.25f, 0.125f}));
    EXPECT_EQ(firstVertex(2), (std::vector<float>{0.0f, 1.0f, 0.25f, 0.875f}));
}

// Building needs the GL context; switching between built channels does not.
TEST_F(ChannelSetupTest, BuildingWithoutCurrentContextIsNotSupported)
{
    configure(0, staticChannel(1) + staticChannel(2));
    ASSERT_EQ(kzSetActiveChannelOpenGL(context, 1, 1, 1), KZ_OK);
    headless::GLContext::releaseCurrent();
    const kzResult build = kzSetActiveChannelOpenGL(context, 2, 1, 1);
    const kzResult change = kzSetActiveChannelOpenGL(context, 1, 1, 1);
    currentGLContext();
    EXPECT_EQ(build, KZ_ERROR_NOT_SUPPORTED);
    EXPECT_EQ(change, KZ_OK);
    EXPECT_EQ(record(2), nullptr);
}

}  // namespace
