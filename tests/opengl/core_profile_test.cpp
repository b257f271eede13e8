// The back-end on a 3.3 core-profile context. Mesa draws indices from client
// memory even there, so nothing would fail on its own: every draw call the
// library makes is intercepted and the vertex array and element buffer bound
// at that moment are recorded. No indexed draw may run without an element
// buffer, and the pixels must still be the correction's.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kzLib.h"
#include "opengl/opengl_records.h"
#include "support/calibration_writer.h"
#include "support/correction_model.h"
#include "support/gl_fixture.h"
#include "support/temp_dir.h"

namespace {

using namespace dovav::test;

struct DrawCall {
    bool indexed;
    GLint vertexArray;
    GLint elementBuffer;
    const void* indices;
};

std::vector<DrawCall> recordedDraws;
PFNGLDRAWELEMENTSPROC realDrawElements = nullptr;
PFNGLDRAWARRAYSPROC realDrawArrays = nullptr;

DrawCall boundState(bool indexed, const void* indices)
{
    DrawCall call{indexed, 0, 0, indices};
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &call.vertexArray);
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &call.elementBuffer);
    return call;
}

void APIENTRY recordDrawElements(GLenum mode, GLsizei count, GLenum type, const void* indices)
{
    recordedDraws.push_back(boundState(true, indices));
    realDrawElements(mode, count, type, indices);
}

void APIENTRY recordDrawArrays(GLenum mode, GLint first, GLsizei count)
{
    recordedDraws.push_back(boundState(false, nullptr));
    realDrawArrays(mode, first, count);
}

// Routes the library's draw calls (which go through libepoxy's shared
// function pointers) through the recorders while it lives.
class DrawRecorder {
public:
    DrawRecorder()
    {
        realDrawElements = reinterpret_cast<PFNGLDRAWELEMENTSPROC>(headless::glProcAddress("glDrawElements"));
        realDrawArrays = reinterpret_cast<PFNGLDRAWARRAYSPROC>(headless::glProcAddress("glDrawArrays"));
        savedElements_ = epoxy_glDrawElements;
        savedArrays_ = epoxy_glDrawArrays;
        epoxy_glDrawElements = recordDrawElements;
        epoxy_glDrawArrays = recordDrawArrays;
        recordedDraws.clear();
    }
    ~DrawRecorder()
    {
        epoxy_glDrawElements = savedElements_;
        epoxy_glDrawArrays = savedArrays_;
    }
    DrawRecorder(const DrawRecorder&) = delete;
    DrawRecorder& operator=(const DrawRecorder&) = delete;
    bool ready() const { return realDrawElements && realDrawArrays; }

private:
    PFNGLDRAWELEMENTSPROC savedElements_;
    PFNGLDRAWARRAYSPROC savedArrays_;
};

class CoreProfileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        core = headless::GLContext::create(&error, headless::GLProfile::Core);
        ASSERT_NE(core, nullptr) << error;
        GLint mask = 0;
        glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &mask);
        ASSERT_EQ(mask, GL_CONTEXT_CORE_PROFILE_BIT);
        framebuffer = std::make_unique<headless::GLFramebuffer>(kSize, kSize);
    }
    void TearDown() override
    {
        EXPECT_EQ(drainGLErrors(), "");
        framebuffer.reset();
        core.reset();
        currentGLContext();  // the shared context is current again for later tests
    }

    static constexpr int kSize = 32;
    std::unique_ptr<headless::GLContext> core;
    std::unique_ptr<headless::GLFramebuffer> framebuffer;
    TempDir dir;
};

TEST_F(CoreProfileTest, EveryIndexedDrawReadsAnElementBufferAndPixelsAreCorrected)
{
    const Image blend = Image::filled(4, 4, 200, 180, 160);
    const Image black = Image::filled(4, 4, 30, 40, 50);
    dir.write("blend.png", pngBytes(blend));
    dir.write("black.png", pngBytes(black));
    dir.write("warp.csv", warpMapText(4, 4, [](float x, float y) { return kzVec2f{x, y}; }));
    dir.write("camera.csv", cameraText({0, 0, 0}, {0, 0, 0}, -0.5f, 0.5f, -0.5f, 0.5f));
    dir.write("shape.csv", screenShapeText(3, 3, [](uint32_t column, uint32_t row) {
                  const float u = float(column) / 2, v = float(row) / 2;
                  return ShapePoint{{2 * u - 1, 1 - 2 * v, -2}, {u, v}, {0, 0, 1}, {1, 0, 0}};
              }));
    dir.write("target.csv", targetRectText({-1, 1, -2}, {1, 1, -2}, {1, -1, -2}, {-1, -1, -2}));
    const std::string staticConfig = dir.write(
        "static.xml", configurationText(KZ_CORRECTION_STATIC, 2.2f, 1.0f, 1.0f,
                                        channelElement(1, {{"warpmap", "warp.csv"},
                                                           {"frustum", "camera.csv"},
                                                           {"blending", "blend.png"},
                                                           {"blacklevel", "black.png"}})));
    const std::string dynamicConfig = dir.write(
        "dynamic.xml", configurationText(KZ_CORRECTION_DYNAMIC, 2.2f, 1.0f, 1.0f,
                                         channelElement(2, {{"shape", "shape.csv"}, {"target", "target.csv"}})));
    const Image sceneImage = Image::filled(4, 4, 180, 90, 40);
    const GLuint scene = headless::createTexture(GL_TEXTURE_2D, 4, 4, sceneImage.rgba.data());

    Lookups uniform;
    for (int k = 0; k < 3; ++k) {
        uniform.scene[k] = sceneImage.rgba[size_t(k)] / 255.0;
        uniform.blend[k] = blend.rgba[size_t(k)] / 255.0;
        uniform.blacklevel[k] = black.rgba[size_t(k)] / 255.0;
        uniform.secondary[k] = 1.0;
    }
    Strengths staticStrengths;
    staticStrengths.secondary = 0;  // no secondary mask configured
    Strengths sceneOnly;
    sceneOnly.blend = sceneOnly.blacklevel = sceneOnly.secondary = 0;
    // The lookups are of uniform images, so only the output rounding and the
    // table's fixed-point factors separate the pixels from the model.
    const Tolerance tolerance{0, 0, 1.0};

    const struct {
        const char* name;
        kzCorrectionMethod method;
        unsigned channel;
        const Strengths& strengths;
        int indexedDraws, arrayDraws;  // of one PostDraw
    } cases[] = {
        {"static, baked", KZ_CORRECTION_METHOD_BAKED, 1, staticStrengths, 1, 1},
        {"static, mesh", KZ_CORRECTION_METHOD_MESH, 1, staticStrengths, 1, 0},
        {"dynamic", KZ_CORRECTION_METHOD_BAKED, 2, sceneOnly, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        kzContextOpenGL* context = nullptr;
        ASSERT_EQ(kzCreateContextOpenGL(&context, KZ_TEXTURE_TARGET_2D), KZ_OK);
        ASSERT_EQ(kzSetCorrectionMethodOpenGL(context, c.method), KZ_OK);
        ASSERT_EQ(kzLoadConfigurationFromFileOpenGL(context, staticConfig.c_str()), KZ_OK);
        ASSERT_EQ(kzLoadConfigurationFromFileOpenGL(context, dynamicConfig.c_str()), KZ_OK);
        ASSERT_EQ(kzSetActiveChannelOpenGL(context, c.channel, kSize, kSize), KZ_OK);
        ASSERT_EQ(kzPreDrawOpenGL(context, {0, 0, 0}, nullptr, nullptr), KZ_OK);
        framebuffer->bind();
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        {
            DrawRecorder recorder;
            ASSERT_TRUE(recorder.ready());
            ASSERT_EQ(kzPostDrawOpenGL(context, scene), KZ_OK);
        }
        int indexed = 0, arrays = 0;
        for (const DrawCall& call : recordedDraws) {
            EXPECT_NE(call.vertexArray, 0);
            if (call.indexed) {
                ++indexed;
                EXPECT_NE(call.elementBuffer, 0) << "indices from client memory";
                EXPECT_EQ(call.indices, nullptr) << "an offset into the element buffer";
            }
            arrays += !call.indexed;
        }
        EXPECT_EQ(indexed, c.indexedDraws);
        EXPECT_EQ(arrays, c.arrayDraws);
        // Every mesh the context holds keeps its element buffer bound.
        for (const auto& [channel, data] : context->corrections) {
            glBindVertexArray(data.cmesh->vao);
            GLint elements = 0;
            glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &elements);
            EXPECT_NE(elements, 0) << "channel " << channel;
        }
        glBindVertexArray(0);

        const std::vector<uint8_t> pixels = framebuffer->readPixels();
        PixelComparison comparison(tolerance);
        // The dynamic shape covers the middle of the output only.
        const int from = c.channel == 1 ? 0 : kSize / 4, to = c.channel == 1 ? kSize : 3 * kSize / 4;
        for (int row = from; row < to; ++row) {
            for (int column = from; column < to; ++column) {
                const uint8_t* pixel = pixelAt(pixels, kSize, column, row);
                comparison.check(pixel, uniform, c.strengths, Gammas{}, std::to_string(column) + "," + std::to_string(row));
                comparison.checkExact(pixel[3], 255, 3, std::to_string(column) + "," + std::to_string(row));
            }
        }
        EXPECT_ALL_PIXELS_MATCH(comparison);
        EXPECT_EQ(kzDestroyContextOpenGL(context), KZ_OK);
    }
    glDeleteTextures(1, &scene);
}

}  // namespace
