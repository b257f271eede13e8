// The per-frame entry points: PreDraw's view, PostDraw's uniforms and the GL
// state it leaves, and the correction pass switches.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "kzLib.h"
#include "opengl/opengl_records.h"
#include "support/calibration_writer.h"
#include "support/gl_fixture.h"
#include "support/temp_dir.h"

namespace {

using namespace dovav::test;

// Channel 1 static (identity warp map, camera file, all four masks), channel
// 2 static with no masks at all, in one configuration.
class FrameHooksTest : public OpenGLTest {
protected:
    void SetUp() override
    {
        OpenGLTest::SetUp();
        target = std::make_unique<headless::GLFramebuffer>(32, 32);
        const std::string mask = pngBytes(Image::filled(4, 4, 128, 128, 128));
        dir.write("warp.csv", warpMapText(3, 3, [](float x, float y) { return kzVec2f{x, y}; }));
        dir.write("camera.csv", cameraText({1, 2, 3}, {30, 10, 0}, -0.5f, 0.5f, -0.25f, 0.25f));
        for (const char* name : {"blend.png", "secondary.png", "black.png", "shading.png"})
            dir.write(name, mask);
        const std::string channels =
            channelElement(1, {{"warpmap", "warp.csv"}, {"frustum", "camera.csv"},
                               {"blending", "blend.png"}, {"secondary-blending", "secondary.png"},
                               {"blacklevel", "black.png"}, {"directional-shading", "shading.png"}}) +
            channelElement(2, {{"warpmap", "warp.csv"}, {"frustum", "camera.csv"}});
        const std::string config = dir.write("display.xml", configurationText(0, 2.2f, 1.0f, 1.0f, channels));
        ASSERT_EQ(kzCreateContextOpenGL(&context, KZ_TEXTURE_TARGET_2D), KZ_OK);
        ASSERT_EQ(kzLoadConfigurationFromFileOpenGL(context, config.c_str()), KZ_OK);
    }
    void TearDown() override
    {
        EXPECT_EQ(kzDestroyContextOpenGL(context), KZ_OK);
        target.reset();
        OpenGLTest::TearDown();
    }

    // The program a static channel's pass settings reach: the static mesh
    // program, or the program that bakes the channel's table.
    GLuint staticProgram(kzCorrectionMethod method) const
    {
        return method == KZ_CORRECTION_METHOD_MESH ? context->staticShader->program
                                                   : context->bakeShader->program;
    }

    // Checks the features the static program received in the last draw.
    // Slots the compiler found unused have no location and are checked on
    // the values computed for the upload instead.
    void expectFeatures(const std::vector<float>& expected, kzCorrectionMethod method)
    {
        float computed[kzFeatureCount];
        kzComputeFeatures(context->corrections.at(context->activeChannel), computed);
        EXPECT_EQ(std::vector<float>(computed, computed + kzFeatureCount), expected);
        const GLuint program = staticProgram(method);
        for (int i = 0; i < kzFeatureCount; ++i) {
            const std::string name = "features[" + std::to_string(i) + "]";
            const GLint location = glGetUniformLocation(program, name.c_str());
            float value = -1.0f;
            if (location >= 0) {
                glGetUniformfv(program, location, &value);
                EXPECT_EQ(value, expected[size_t(i)]) << name;
            }
        }
    }

    TempDir dir;
    kzContextOpenGL* context = nullptr;
    std::unique_ptr<headless::GLFramebuffer> target;
};

kzMatrix4x4 orthoUnitSquare()
{
    kzMatrix4x4 matrix;
    kzGetOrthoMatrix(&matrix, 0, 1, 0, 1, 0, 1);
    return matrix;
}

std::vector<float> uniformFloats(GLuint program, const char* name, size_t count)
{
    std::vector<float> values(count, -1.0f);
    glGetUniformfv(program, glGetUniformLocation(program, name), values.data());
    return values;
}

TEST_F(FrameHooksTest, FeaturesFollowThePassSwitches)
{
    using P = kzCorrectionPassType;
    using Steps = std::vector<std::function<void()>>;
    auto enable = [this](P pass, bool on) { return [=] { kzSetCorrectionPassOpenGL(context, pass, on); }; };
    auto weight = [this](P pass, float w) { return [=] { kzSetCorrectionPassOpenGL_1(context, pass, w); }; };
    const struct {
        const char* label;
        unsigned channel;
        Steps steps;
        std::vector<float> features;
    } cases[] = {
        {"defaults", 1, {}, {1, 1, 1, 1, 1, 1, 0, 0}},
        {"all off", 1,
         {enable(KZ_CORRECTION_PASS_WARPING, false), enable(KZ_CORRECTION_PASS_BLENDING, false),
          enable(KZ_CORRECTION_PASS_BLACKLEVEL, false), enable(KZ_CORRECTION_PASS_SECONDARY_BLENDING, false),
          enable(KZ_CORRECTION_PASS_DIRECTIONAL_SHADING, false)},
         {0, 0, 0, 1, 0, 0, 0, 0}},
        {"secondary weight goes to slot 4", 1, {weight(KZ_CORRECTION_PASS_SECONDARY_BLENDING, 0.5f)},
         {1, 1, 1, 1, 0.5f, 1, 0, 0}},
        {"weights are kept while off", 1,
         {weight(KZ_CORRECTION_PASS_WARPING, 0.25f), enable(KZ_CORRECTION_PASS_WARPING, false),
          enable(KZ_CORRECTION_PASS_WARPING, true), weight(KZ_CORRECTION_PASS_BLACKLEVEL, 3.0f)},
         {0.25f, 1, 3, 1, 1, 1, 0, 0}},
        {"unknown pass values change nothing", 1,
         {enable(P(7), false), weight(P(-1), 0.0f), enable(P(5), false)}, {1, 1, 1, 1, 1, 1, 0, 0}},
        // Channel 2 has no masks: those passes are locked off.
        {"locked passes stay off", 2,
         {enable(KZ_CORRECTION_PASS_BLENDING, true), weight(KZ_CORRECTION_PASS_BLENDING, 1.0f),
          enable(KZ_CORRECTION_PASS_DIRECTIONAL_SHADING, true), weight(KZ_CORRECTION_PASS_WARPING, 0.5f)},
         {0.5f, 0, 0, 1, 0, 0, 0, 0}},
    };
    const GLuint scene = headless::createTexture(GL_TEXTURE_2D, 1, 1, Image::filled(1, 1, 9, 9, 9).rgba.data());
    for (kzCorrectionMethod method : {KZ_CORRECTION_METHOD_MESH, KZ_CORRECTION_METHOD_BAKED}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.label) + (method == KZ_CORRECTION_METHOD_MESH ? ", mesh" : ", baked"));
            // A fresh context per case: pass settings last for the context's life.
            kzDestroyContextOpenGL(context);
            ASSERT_EQ(kzCreateContextOpenGL(&context, KZ_TEXTURE_TARGET_2D), KZ_OK);
            ASSERT_EQ(kzSetCorrectionMethodOpenGL(context, method), KZ_OK);
            ASSERT_EQ(kzLoadConfigurationFromFileOpenGL(context, (dir.path() + "/display.xml").c_str()), KZ_OK);
            ASSERT_EQ(kzSetActiveChannelOpenGL(context, c.channel, 32, 32), KZ_OK);
            for (const auto& step : c.steps)
                step();
            ASSERT_EQ(kzPostDrawOpenGL(context, scene), KZ_OK);
            expectFeatures(c.features, method);
        }
    }
    glDeleteTextures(1, &scene);
}

// A target value the context does not know was compiled as a 2D sampler and
// draws the scene as a 2D texture, like KZ_TEXTURE_TARGET_2D.
TEST_F(FrameHooksTest, UnknownTargetDrawsAsTwoDimensional)
{
    const GLuint scene = headless::createTexture(GL_TEXTURE_2D, 2, 2, Image::filled(2, 2, 200, 100, 50).rgba.data());
    std::vector<std::vector<uint8_t>> images;
    for (kzTextureTarget sceneTarget : {KZ_TEXTURE_TARGET_2D, kzTextureTarget(7)}) {
        kzDestroyContextOpenGL(context);
        ASSERT_EQ(kzCreateContextOpenGL(&context, sceneTarget), KZ_OK);
        ASSERT_EQ(kzLoadConfigurationFromFileOpenGL(context, (dir.path() + "/display.xml").c_str()), KZ_OK);
        ASSERT_EQ(kzSetActiveChannelOpenGL(context, 2, 32, 32), KZ_OK);
        target->bind();
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        ASSERT_EQ(kzPostDrawOpenGL(context, scene), KZ_OK);
        images.push_back(target->readPixels());
    }
    EXPECT_EQ(images[0][(16 * 32 + 16) * 4], 200);  // channel 2 has no masks: the scene as it is
    EXPECT_EQ(images[0], images[1]);
    glDeleteTextures(1, &scene);
}

// The remaining uniforms of a static draw: matrices, gammas, flip flag. The
// bake program has no scene and no input or output gamma: those reach the
// table program.
TEST_F(FrameHooksTest, UniformsOfAStaticDraw)
{
    for (kzCorrectionMethod method : {KZ_CORRECTION_METHOD_MESH, KZ_CORRECTION_METHOD_BAKED}) {
        SCOPED_TRACE(method == KZ_CORRECTION_METHOD_MESH ? "mesh" : "baked");
        const bool mesh = method == KZ_CORRECTION_METHOD_MESH;
        ASSERT_EQ(kzSetCorrectionMethodOpenGL(context, method), KZ_OK);
        ASSERT_EQ(kzSetActiveChannelOpenGL(context, 1, 32, 32), KZ_OK);
        ASSERT_EQ(kzSetFlipWarpmeshTexcoordsVOpenGL(context, true), KZ_OK);
        ASSERT_EQ(kzPostDrawOpenGL(context, 0), KZ_OK);
        const GLuint program = staticProgram(method);
        const kzMatrix4x4 ortho = orthoUnitSquare();
        EXPECT_EQ(uniformFloats(program, "mvp", 16), std::vector<float>(ortho.m, ortho.m + 16));
        EXPECT_EQ(uniformFloats(program, "gamma", 1)[0], 2.2f);
        const GLuint colourProgram = mesh ? program : context->tableShaders[0]->program;
        EXPECT_EQ(uniformFloats(colourProgram, "inputGamma", 1)[0], 1.0f);
        EXPECT_EQ(uniformFloats(colourProgram, "outputGamma", 1)[0], 1.0f);
        const struct {
            GLuint program;
            const char* name;
            GLint unit;
        } samplers[] = {{colourProgram, "source", 0}, {program, "blending", 1}, {program, "blacklevel", 2},
                        {program, "secondary_blending", 3}, {colourProgram, "table", mesh ? -1 : 5}};
        for (const auto& sampler : samplers) {
            const GLint location = glGetUniformLocation(sampler.program, sampler.name);
            GLint unit = -1;
            if (location >= 0)
                glGetUniformiv(sampler.program, location, &unit);
            EXPECT_EQ(unit, sampler.unit) << sampler.name;
        }
    }
}

// PostDraw leaves culling and blending off, fill mode, no textures on units
// 0 to 5, unit 0 active and no program, and does not touch the host's
// framebuffer, viewport, depth test, scissor or colour mask (a bake changes
// and restores them).
TEST_F(FrameHooksTest, StateLeftBehind)
{
    for (kzTextureTarget sceneTarget : {KZ_TEXTURE_TARGET_2D, KZ_TEXTURE_TARGET_RECTANGLE}) {
        SCOPED_TRACE(int(sceneTarget));
        kzDestroyContextOpenGL(context);
        ASSERT_EQ(kzCreateContextOpenGL(&context, sceneTarget), KZ_OK);
        ASSERT_EQ(kzLoadConfigurationFromFileOpenGL(context, (dir.path() + "/display.xml").c_str()), KZ_OK);
        ASSERT_EQ(kzSetActiveChannelOpenGL(context, 1, 32, 32), KZ_OK);
        const GLenum glTarget = sceneTarget == KZ_TEXTURE_TARGET_2D ? GL_TEXTURE_2D : GL_TEXTURE_RECTANGLE;
        const GLenum binding = sceneTarget == KZ_TEXTURE_TARGET_2D ? GL_TEXTURE_BINDING_2D
                                                                   : GL_TEXTURE_BINDING_RECTANGLE;
        const GLuint scene = headless::createTexture(glTarget, 2, 2, Image::filled(2, 2, 1, 2, 3).rgba.data());
        GLuint hostTextures[6];
        glGenTextures(6, hostTextures);
        for (GLuint unit = 0; unit < 6; ++unit) {
            glActiveTexture(GL_TEXTURE0 + unit);
            glBindTexture(GL_TEXTURE_2D, hostTextures[unit]);
        }
        glActiveTexture(GL_TEXTURE3);
        glEnable(GL_CULL_FACE);
        glEnable(GL_BLEND);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_SCISSOR_TEST);
        glScissor(1, 2, 3, 4);
        glViewport(2, 3, 20, 21);
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        glColorMask(GL_TRUE, GL_FALSE, GL_TRUE, GL_FALSE);
        glUseProgram(context->dynamicShader->program);
        GLint hostFramebuffer = 0;
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &hostFramebuffer);

        // The first draw bakes the channel's table into a framebuffer of its own.
        ASSERT_EQ(kzPostDrawOpenGL(context, scene), KZ_OK);

        EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
        GLint value[4] = {};
        glGetIntegerv(GL_VIEWPORT, value);
        EXPECT_EQ(std::vector<GLint>(value, value + 4), (std::vector<GLint>{2, 3, 20, 21}));
        glGetIntegerv(GL_SCISSOR_BOX, value);
        EXPECT_EQ(std::vector<GLint>(value, value + 4), (std::vector<GLint>{1, 2, 3, 4}));
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, value);
        EXPECT_EQ(value[0], hostFramebuffer);
        GLboolean colorMask[4] = {};
        glGetBooleanv(GL_COLOR_WRITEMASK, colorMask);
        EXPECT_EQ(std::vector<GLboolean>(colorMask, colorMask + 4),
                  (std::vector<GLboolean>{GL_TRUE, GL_FALSE, GL_TRUE, GL_FALSE}));
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glGetIntegerv(GL_POLYGON_MODE, value);
        EXPECT_EQ(value[0], GL_FILL);
        glGetIntegerv(GL_CURRENT_PROGRAM, value);
        EXPECT_EQ(value[0], 0);
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, value);
        EXPECT_EQ(value[0], 0);
        glGetIntegerv(GL_ACTIVE_TEXTURE, value);
        EXPECT_EQ(value[0], GL_TEXTURE0);
        for (GLuint unit = 0; unit < 6; ++unit) {
            glActiveTexture(GL_TEXTURE0 + unit);
            glGetIntegerv(unit == 0 ? binding : GL_TEXTURE_BINDING_2D, value);
            EXPECT_EQ(value[0], 0) << "unit " << unit;
        }
        glActiveTexture(GL_TEXTURE0);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_SCISSOR_TEST);
        glDeleteTextures(6, hostTextures);
        glDeleteTextures(1, &scene);
        target->bind();
    }
}

TEST_F(FrameHooksTest, StaticPreDrawGivesTheCameraFileView)
{
    ASSERT_EQ(kzSetActiveChannelOpenGL(context, 1, 32, 32), KZ_OK);
    kzCamera expected{};
    ASSERT_EQ(kzGetCamera(context, 1, &expected), KZ_OK);
    kzMatrix4x4 projection{};
    ASSERT_EQ(kzGetProjectionMatrix(&projection, expected), KZ_OK);
    kzVec3f angles{};
    ASSERT_EQ(kzGetOrientation(&angles, expected.direction, expected.up), KZ_OK);

    const kzVec3f untouchedAngles{-7, -7, -7};
    kzMatrix4x4 untouchedMatrix;
    std::fill(std::begin(untouchedMatrix.m), std::end(untouchedMatrix.m), -7.0f);
    const struct {
        bool wantAngles, wantProjection;
    } cases[] = {{true, true}, {false, true}, {true, false}, {false, false}};
    for (const auto& c : cases) {
        kzVec3f a = untouchedAngles;
        kzMatrix4x4 p = untouchedMatrix;
        // The eye does not matter for a static channel.
        ASSERT_EQ(kzPreDrawOpenGL(context, {5, 6, 7}, c.wantAngles ? &a : nullptr,
                                  c.wantProjection ? &p : nullptr),
                  KZ_OK);
        const kzVec3f& wantA = c.wantAngles ? angles : untouchedAngles;
        const kzMatrix4x4& wantP = c.wantProjection ? projection : untouchedMatrix;
        EXPECT_EQ(std::vector<float>({a.x, a.y, a.z}), std::vector<float>({wantA.x, wantA.y, wantA.z}));
        EXPECT_EQ(std::vector<float>(p.m, p.m + 16), std::vector<float>(wantP.m, wantP.m + 16));
    }
    kzCamera camera{};
    ASSERT_EQ(kzPreDrawOpenGL_1(context, {5, 6, 7}, &camera), KZ_OK);
    EXPECT_EQ(std::memcmp(&camera, &expected, sizeof camera), 0);
    EXPECT_EQ(kzPreDrawOpenGL_1(context, {5, 6, 7}, nullptr), KZ_OK);
}

// A dynamic channel's view comes from the eye through its target rectangle;
// it is re-aimed only when a projection is asked for, and without a target
// rectangle only the angles are written.
TEST_F(FrameHooksTest, DynamicPreDrawAimsThroughTheTarget)
{
    dir.write("shape.csv", screenShapeText(2, 2, [](uint32_t column, uint32_t row) {
                  return ShapePoint{{float(column), float(row), -3}, {float(column), float(row)}, {0, 0, 1}, {1, 0, 0}};
              }));
    const kzVec3f ul{-1, 1, -2}, ll{-1, -1, -2}, lr{1, -1, -2};
    dir.write("target.csv", targetRectText(ul, {1, 1, -2}, lr, ll));
    const std::string config = dir.write("dynamic.xml", configurationText(1, 2.2f, 1, 1,
        channelElement(6, {{"shape", "shape.csv"}, {"target", "target.csv"}}) +
        channelElement(7, {{"shape", "shape.csv"}, {"target", "missing.csv"}})));
    ASSERT_EQ(kzLoadConfigurationFromFileOpenGL(context, config.c_str()), KZ_OK);
    ASSERT_EQ(kzSetActiveChannelOpenGL(context, 6, 32, 32), KZ_OK);

    for (const kzVec3f eye : {kzVec3f{0, 0, 0}, kzVec3f{0.5f, -0.25f, 1}}) {
        kzCamera expected = *context->corrections.at(6).camera;
        ASSERT_EQ(kzGetOffAxisViewPortal(&expected, eye, ul, ll, lr), KZ_OK);
        kzMatrix4x4 wantProjection;
        kzGetProjectionMatrix(&wantProjection, expected);
        kzVec3f wantAngles;
        kzGetOrientation(&wantAngles, expected.direction, expected.up);

        kzMatrix4x4 projection{};
        kzVec3f angles{};
        ASSERT_EQ(kzPreDrawOpenGL(context, eye, &angles, &projection), KZ_OK);
        EXPECT_EQ(std::vector<float>(projection.m, projection.m + 16),
                  std::vector<float>(wantProjection.m, wantProjection.m + 16));
        EXPECT_EQ(std::vector<float>({angles.x, angles.y, angles.z}),
                  std::vector<float>({wantAngles.x, wantAngles.y, wantAngles.z}));
        kzCamera camera{};
        ASSERT_EQ(kzPreDrawOpenGL_1(context, eye, &camera), KZ_OK);
        EXPECT_EQ(std::memcmp(&camera, &expected, sizeof camera), 0);
        EXPECT_EQ(camera.nearClip, 0.5f);  // the context's planes, not the portal's
    }
    // Angles alone do not re-aim: they stay those of the last update.
    const kzCamera last = *context->corrections.at(6).camera;
    kzVec3f angles{};
    ASSERT_EQ(kzPreDrawOpenGL(context, {9, 9, 9}, &angles, nullptr), KZ_OK);
    EXPECT_EQ(std::memcmp(context->corrections.at(6).camera, &last, sizeof last), 0);

    ASSERT_EQ(kzSetActiveChannelOpenGL(context, 7, 32, 32), KZ_OK);
    kzMatrix4x4 projection{};
    projection.m[5] = -7;
    angles = {-7, -7, -7};
    kzCamera camera{};
    camera.top = -7;
    EXPECT_EQ(kzPreDrawOpenGL(context, {}, &angles, &projection), KZ_OK);
    EXPECT_EQ(kzPreDrawOpenGL_1(context, {}, &camera), KZ_OK);
    EXPECT_EQ(projection.m[5], -7.0f);
    EXPECT_NE(angles.x, -7.0f);
    EXPECT_EQ(camera.top, -7.0f);
}

// Every frame hook reports a channel it cannot use and leaves outputs alone.
TEST_F(FrameHooksTest, ChannelsThatCannotBeDrawn)
{
    // Channel 9 is not configured: set-up stores an empty record for it.
    const struct {
        const char* label;
        unsigned channel;
        std::string message;
    } cases[] = {
        {"nothing activated", 0, "No correction data available for channel 0"},
        {"no configuration", 9, "No configuration data available for channel 9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.channel != 0) {
            EXPECT_EQ(kzSetActiveChannelOpenGL(context, c.channel, 1, 1), KZ_ERROR_INVALID_DATA);
        }
        std::strcpy(context->errorString, "");
        kzVec3f angles{-7, -7, -7};
        kzCamera camera{};
        camera.left = -7;
        EXPECT_EQ(kzPreDrawOpenGL(context, {}, &angles, nullptr), KZ_ERROR_INVALID_DATA);
        EXPECT_EQ(context->errorString, c.message);
        EXPECT_EQ(kzPreDrawOpenGL_1(context, {}, &camera), KZ_ERROR_INVALID_DATA);
        EXPECT_EQ(kzPostDrawOpenGL(context, 0), KZ_ERROR_INVALID_DATA);
        EXPECT_EQ(context->errorString, c.message);
        EXPECT_EQ(angles.x, -7.0f);
        EXPECT_EQ(camera.left, -7.0f);
    }
    // The pass setters need only the record, which channel 9 has.
    EXPECT_EQ(kzSetCorrectionPassOpenGL(context, KZ_CORRECTION_PASS_BLENDING, false), KZ_OK);
}

TEST_F(FrameHooksTest, PassSettersNeedARecord)
{
    EXPECT_EQ(kzSetCorrectionPassOpenGL_1(context, KZ_CORRECTION_PASS_BLENDING, 0.5f), KZ_ERROR_INVALID_DATA);
    EXPECT_EQ(kzSetCorrectionPassOpenGL(context, KZ_CORRECTION_PASS_BLENDING, true), KZ_ERROR_INVALID_DATA);
    EXPECT_STREQ(context->errorString, "No correction data available for channel 0");
}

// A record built while its channel had no configuration has no mesh and no
// camera; once a configuration appears the hooks still refuse it instead of
// drawing it.
TEST_F(FrameHooksTest, RecordWithoutMeshIsNeverDrawn)
{
    EXPECT_EQ(kzSetActiveChannelOpenGL(context, 5, 32, 32), KZ_ERROR_INVALID_DATA);
    const std::string late = dir.write("late.xml", configurationText(0, 2.2f, 1, 1,
        channelElement(5, {{"warpmap", "warp.csv"}, {"frustum", "camera.csv"}})));
    ASSERT_EQ(kzLoadConfigurationFromFileOpenGL(context, late.c_str()), KZ_OK);
    EXPECT_EQ(kzSetActiveChannelOpenGL(context, 5, 32, 32), KZ_OK);

    target->bind();
    glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    const auto before = target->readPixels();
    kzMatrix4x4 projection{};
    projection.m[0] = -7;
    EXPECT_EQ(kzPreDrawOpenGL(context, {}, nullptr, &projection), KZ_ERROR_INVALID_DATA);
    EXPECT_EQ(projection.m[0], -7.0f);
    EXPECT_EQ(kzPostDrawOpenGL(context, 0), KZ_ERROR_INVALID_DATA);
    EXPECT_STREQ(context->errorString, "No correction data available for channel 5");
    EXPECT_EQ(target->readPixels(), before);
}

// Drawing needs the GL context; without one PostDraw reports it instead of
// letting the loader abort the process.
TEST_F(FrameHooksTest, PostDrawWithoutCurrentContext)
{
    ASSERT_EQ(kzSetActiveChannelOpenGL(context, 1, 32, 32), KZ_OK);
    headless::GLContext::releaseCurrent();
    const kzResult result = kzPostDrawOpenGL(context, 0);
    currentGLContext();
    EXPECT_EQ(result, KZ_ERROR_NOT_SUPPORTED);
}

}  // namespace
