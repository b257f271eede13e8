// Repeated context lifetimes: create, load two configuration files, build and
// draw three channels, destroy. Every GL object the context made must be gone
// after kzDestroyContextOpenGL. Memory that is not released is reported by
// LeakSanitizer when the sanitizer build runs this test.

#include <iterator>
#include <memory>
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

constexpr int kCycles = 200;
constexpr unsigned kTargetSide = 32;

struct ChannelCase {
    unsigned id;
    kzCorrectionType type;
};

// Channels 1 and 2 come from the static configuration file, channel 3 from the
// dynamic one, loaded second into the same context. Each has all four masks.
constexpr ChannelCase kChannels[] = {
    {1, KZ_CORRECTION_STATIC},
    {2, KZ_CORRECTION_STATIC},
    {3, KZ_CORRECTION_DYNAMIC},
};

// A GL name with the query that tells whether it still names an object.
struct GLName {
    const char* kind;
    GLuint name;
    GLboolean (*exists)(GLuint);
};

// Every GL object the context and its built channels own.
std::vector<GLName> namesOf(const kzContextOpenGL& context)
{
    std::vector<GLName> names;
    for (const kzOpenGLShader* shader : {context.staticShader, context.dynamicShader, context.bakeShader,
                                         context.tableShaders[0]}) {
        names.push_back({"program", shader->program, [](GLuint n) { return glIsProgram(n); }});
        names.push_back({"shader", shader->vertexShader, [](GLuint n) { return glIsShader(n); }});
        names.push_back({"shader", shader->fragmentShader, [](GLuint n) { return glIsShader(n); }});
    }
    names.push_back({"vertex array", context.emptyVertexArray, [](GLuint n) { return glIsVertexArray(n); }});
    for (const auto& [channel, data] : context.corrections) {
        for (const kzOpenGLTexture* texture : {data.blendingTexture, data.secondaryBlendingTexture,
                                               data.blacklevelTexture, data.directionalShadingTexture}) {
            if (texture)
                names.push_back({"texture", texture->id, [](GLuint n) { return glIsTexture(n); }});
        }
        if (!data.cmesh)
            continue;
        names.push_back({"vertex array", data.cmesh->vao, [](GLuint n) { return glIsVertexArray(n); }});
        for (GLuint buffer : data.cmesh->buffers)
            names.push_back({"buffer", buffer, [](GLuint n) { return glIsBuffer(n); }});
        names.push_back({"buffer", data.cmesh->elements, [](GLuint n) { return glIsBuffer(n); }});
        if (data.table) {
            names.push_back({"texture", data.table->texture, [](GLuint n) { return glIsTexture(n); }});
            names.push_back({"framebuffer", data.table->framebuffer, [](GLuint n) { return glIsFramebuffer(n); }});
        }
    }
    return names;
}

// The names that do (or do not) name an object, as "kind name" items.
std::string namesWhere(const std::vector<GLName>& names, bool exists)
{
    std::string listed;
    for (const GLName& name : names) {
        if ((name.exists(name.name) == GL_TRUE) == exists)
            listed += std::string(listed.empty() ? "" : ", ") + name.kind + " " + std::to_string(name.name);
    }
    return listed;
}

int textureCount(const kzCorrectionDataOpenGL& data)
{
    return (data.blendingTexture != nullptr) + (data.secondaryBlendingTexture != nullptr) +
           (data.blacklevelTexture != nullptr) + (data.directionalShadingTexture != nullptr);
}

// Whether set-up kept the calibration a channel of this type is built from
// (a static channel's warp map lives in its mesh's buffers only).
bool holdsCalibration(const kzCorrectionDataOpenGL& data, kzCorrectionType type)
{
    if (type == KZ_CORRECTION_STATIC)
        return data.cmesh != nullptr && data.table != nullptr;
    return data.screenShape != nullptr && data.targetRect != nullptr;
}

struct ContextDestroyer {
    void operator()(kzContextOpenGL* context) const { kzDestroyContextOpenGL(context); }
};

class LeakCyclesTest : public OpenGLTest {
protected:
    void SetUp() override
    {
        OpenGLTest::SetUp();
        const Image gradient = Image::generated(4, 4, [](int column, int row, uint8_t rgb[3]) {
            rgb[0] = uint8_t(column * 60);
            rgb[1] = uint8_t(row * 60);
            rgb[2] = 128;
        });
        const std::string mask = pngBytes(gradient);
        for (const char* name : {"blend.png", "secondary.png", "black.png", "shading.png"})
            dir.write(name, mask);

        dir.write("warp.csv", warpMapText(5, 5, [](float x, float y) {
                      return kzVec2f{0.05f + 0.9f * x, 0.05f + 0.9f * y};
                  }));
        dir.write("camera.csv", cameraText({0, 0, 0}, {10, 5, 0}, -0.5f, 0.5f, -0.4f, 0.4f));
        const std::vector<std::pair<std::string, std::string>> masks = {
            {"blending", "blend.png"}, {"secondary-blending", "secondary.png"},
            {"blacklevel", "black.png"}, {"directional-shading", "shading.png"}};
        auto staticAttributes = masks;
        staticAttributes.insert(staticAttributes.end(),
                                {{"warpmap", "warp.csv"}, {"frustum", "camera.csv"}});
        auto dynamicAttributes = masks;
        dynamicAttributes.insert(dynamicAttributes.end(),
                                 {{"shape", "shape.csv"}, {"target", "target.csv"}});
        staticConfig = dir.write(
            "static.xml", configurationText(KZ_CORRECTION_STATIC, 2.2f, 1.0f, 1.0f,
                                            channelElement(1, staticAttributes) +
                                                channelElement(2, staticAttributes)));

        // A curved 5x5 screen two units in front of the origin.
        dir.write("shape.csv", screenShapeText(5, 5, [](uint32_t column, uint32_t row) {
                      const float u = float(column) / 4.0f;
                      const float v = float(row) / 4.0f;
                      const float x = 2.0f * u - 1.0f;
                      return ShapePoint{{x, 2.0f * v - 1.0f, -2.0f + 0.3f * x * x},
                                        {u, v},
                                        {0.0f, 0.0f, 1.0f},
                                        {1.0f, 0.0f, 0.0f}};
                  }));
        dir.write("target.csv", targetRectText({-1, 1, -2}, {1, 1, -2}, {1, -1, -2}, {-1, -1, -2}));
        dynamicConfig = dir.write(
            "dynamic.xml",
            configurationText(KZ_CORRECTION_DYNAMIC, 2.2f, 1.0f, 1.0f,
                              channelElement(3, dynamicAttributes)));

        target = std::make_unique<headless::GLFramebuffer>(int(kTargetSide), int(kTargetSide));
        scene = headless::createTexture(GL_TEXTURE_2D, 4, 4, gradient.rgba.data());
    }
    void TearDown() override
    {
        glDeleteTextures(1, &scene);
        target.reset();
        OpenGLTest::TearDown();
    }

    TempDir dir;
    std::string staticConfig;
    std::string dynamicConfig;
    std::unique_ptr<headless::GLFramebuffer> target;
    GLuint scene = 0;
};

TEST_F(LeakCyclesTest, DestroyReleasesEveryObjectOfEveryCycle)
{
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        kzContextOpenGL* created = nullptr;
        ASSERT_EQ(kzCreateContextOpenGL(&created, KZ_TEXTURE_TARGET_2D), KZ_OK);
        std::unique_ptr<kzContextOpenGL, ContextDestroyer> context(created);
        ASSERT_EQ(kzLoadConfigurationFromFileOpenGL(created, staticConfig.c_str()), KZ_OK);
        ASSERT_EQ(kzLoadConfigurationFromFileOpenGL(created, dynamicConfig.c_str()), KZ_OK);

        for (const ChannelCase& channel : kChannels) {
            SCOPED_TRACE("channel " + std::to_string(channel.id));
            ASSERT_EQ(kzSetActiveChannelOpenGL(created, channel.id, kTargetSide, kTargetSide), KZ_OK);
            kzVec3f angles{};
            kzMatrix4x4 projection{};
            ASSERT_EQ(kzPreDrawOpenGL(created, {0.1f, 0.0f, 0.0f}, &angles, &projection), KZ_OK);
            target->bind();
            ASSERT_EQ(kzPostDrawOpenGL(created, scene), KZ_OK);

            const auto& record = created->corrections.at(channel.id);
            ASSERT_TRUE(record.drawable());
            ASSERT_EQ(created->configurations.at(channel.id).type, channel.type);
            ASSERT_EQ(textureCount(record), 4);
            ASSERT_TRUE(holdsCalibration(record, channel.type));
        }
        ASSERT_EQ(created->corrections.size(), std::size(kChannels));

        const std::vector<GLName> names = namesOf(*created);
        ASSERT_EQ(namesWhere(names, false), "") << "missing before destroy";
        ASSERT_EQ(kzDestroyContextOpenGL(context.release()), KZ_OK);
        ASSERT_EQ(namesWhere(names, true), "") << "still alive after destroy";
        ASSERT_EQ(drainGLErrors(), "");
    }
}

}  // namespace
