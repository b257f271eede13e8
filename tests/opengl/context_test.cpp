// Creating and destroying OpenGL contexts, the correction programs and the
// context-wide setters.

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "kzLib.h"
#include "opengl/opengl_records.h"
#include "opengl/shader_sources.h"
#include "support/gl_fixture.h"

namespace {

using dovav::test::OpenGLTest;

class OpenGLContextTest : public OpenGLTest {};

TEST_F(OpenGLContextTest, CreatesBothProgramsWithDefaults)
{
    for (kzTextureTarget target : {KZ_TEXTURE_TARGET_2D, KZ_TEXTURE_TARGET_RECTANGLE, kzTextureTarget(7)}) {
        SCOPED_TRACE(int(target));
        kzContextOpenGL* context = nullptr;
        ASSERT_EQ(kzCreateContextOpenGL(&context, target), KZ_OK);
        ASSERT_NE(context, nullptr);
        EXPECT_EQ(context->kind, KZ_CONTEXT_OPENGL);
        EXPECT_STREQ(context->errorString, "");
        EXPECT_EQ(context->nearClip, 0.5f);
        EXPECT_EQ(context->farClip, 5000.0f);
        EXPECT_EQ(context->target, target);
        EXPECT_EQ(context->width, 0u);
        for (const kzOpenGLShader* shader : {context->staticShader, context->dynamicShader}) {
            ASSERT_NE(shader, nullptr);
            EXPECT_TRUE(glIsProgram(shader->program));
            GLint linked = GL_FALSE;
            glGetProgramiv(shader->program, GL_LINK_STATUS, &linked);
            EXPECT_EQ(linked, GL_TRUE);
        }
        EXPECT_EQ(kzDestroyContextOpenGL(context), KZ_OK);
    }
}

// The scene sampler's type follows the target: a rectangle sampler only for
// KZ_TEXTURE_TARGET_RECTANGLE, a 2D sampler for every other value.
TEST_F(OpenGLContextTest, SceneSamplerTypeFollowsTarget)
{
    const struct {
        kzTextureTarget target;
        const char* macro;
        GLenum samplerType;
    } cases[] = {
        {KZ_TEXTURE_TARGET_2D, "#define KZ_TEXTURE_TARGET_2D\n", GL_SAMPLER_2D},
        {KZ_TEXTURE_TARGET_RECTANGLE, "#define KZ_TEXTURE_TARGET_RECTANGLE\n", GL_SAMPLER_2D_RECT},
        {kzTextureTarget(-3), "#define KZ_TEXTURE_TARGET_2D\n", GL_SAMPLER_2D},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.target));
        for (bool dynamic : {false, true}) {
            const std::string source = kzOpenGLFragmentSource(c.target, dynamic);
            EXPECT_EQ(source.rfind(std::string("#version 330\n") + c.macro, 0), 0u);
        }
        kzContextOpenGL* context = nullptr;
        ASSERT_EQ(kzCreateContextOpenGL(&context, c.target), KZ_OK);
        for (const kzOpenGLShader* shader : {context->staticShader, context->dynamicShader}) {
            const GLint location = glGetUniformLocation(shader->program, "source");
            ASSERT_GE(location, 0);
            GLint count = 0;
            glGetProgramiv(shader->program, GL_ACTIVE_UNIFORMS, &count);
            GLenum type = 0;
            for (GLint i = 0; i < count; ++i) {
                char name[64] = {};
                GLint size = 0;
                GLenum uniformType = 0;
                glGetActiveUniform(shader->program, GLuint(i), sizeof name, nullptr, &size,
                                   &uniformType, name);
                if (std::strcmp(name, "source") == 0)
                    type = uniformType;
            }
            EXPECT_EQ(type, c.samplerType);
        }
        kzDestroyContextOpenGL(context);
    }
}

// The declared defaults of the programs' uniforms, before any draw sets them.
TEST_F(OpenGLContextTest, UniformDefaults)
{
    kzContextOpenGL* context = nullptr;
    ASSERT_EQ(kzCreateContextOpenGL(&context, KZ_TEXTURE_TARGET_2D), KZ_OK);
    for (const kzOpenGLShader* shader : {context->staticShader, context->dynamicShader}) {
        const struct {
            const char* name;
            float value;
        } defaults[] = {{"gamma", 2.2f}, {"inputGamma", 1.0f}, {"outputGamma", 1.0f}};
        for (const auto& d : defaults) {
            float value = -1.0f;
            glGetUniformfv(shader->program, glGetUniformLocation(shader->program, d.name), &value);
            EXPECT_FLOAT_EQ(value, d.value) << d.name;
        }
    }
    GLint flip = -1;
    const GLuint dynamic = context->dynamicShader->program;
    glGetUniformiv(dynamic, glGetUniformLocation(dynamic, "flip_v"), &flip);
    EXPECT_EQ(flip, 0);
    kzDestroyContextOpenGL(context);
}

TEST_F(OpenGLContextTest, NullArguments)
{
    EXPECT_EQ(kzCreateContextOpenGL(nullptr, KZ_TEXTURE_TARGET_2D), KZ_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(kzDestroyContextOpenGL(nullptr), KZ_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(kzSetClippingPlanesOpenGL(nullptr, 1, 2), KZ_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(kzSetFlipWarpmeshVerticesYOpenGL(nullptr, true), KZ_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(kzSetFlipWarpmeshTexcoordsVOpenGL(nullptr, true), KZ_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(kzLoadConfigurationFromFileOpenGL(nullptr, "x.xml"), KZ_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(kzSetActiveChannelOpenGL(nullptr, 1, 2, 3), KZ_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(kzPreDrawOpenGL(nullptr, {}, nullptr, nullptr), KZ_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(kzPreDrawOpenGL_1(nullptr, {}, nullptr), KZ_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(kzPostDrawOpenGL(nullptr, 0), KZ_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(kzSetCorrectionPassOpenGL(nullptr, KZ_CORRECTION_PASS_BLENDING, true),
              KZ_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(kzSetCorrectionPassOpenGL_1(nullptr, KZ_CORRECTION_PASS_BLENDING, 1),
              KZ_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(kzSetCorrectionMethodOpenGL(nullptr, KZ_CORRECTION_METHOD_MESH), KZ_ERROR_INVALID_ARGUMENT);
}

// The method setter takes the two methods and refuses other values without
// changing the context's.
TEST_F(OpenGLContextTest, CorrectionMethodSetter)
{
    kzContextOpenGL* context = nullptr;
    ASSERT_EQ(kzCreateContextOpenGL(&context, KZ_TEXTURE_TARGET_2D), KZ_OK);
    EXPECT_EQ(context->method, KZ_CORRECTION_METHOD_BAKED);
    const struct {
        int value;
        kzResult result;
        kzCorrectionMethod after;
    } cases[] = {
        {KZ_CORRECTION_METHOD_MESH, KZ_OK, KZ_CORRECTION_METHOD_MESH},
        {2, KZ_ERROR_NOT_SUPPORTED, KZ_CORRECTION_METHOD_MESH},
        {KZ_CORRECTION_METHOD_BAKED, KZ_OK, KZ_CORRECTION_METHOD_BAKED},
        {-1, KZ_ERROR_NOT_SUPPORTED, KZ_CORRECTION_METHOD_BAKED},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kzSetCorrectionMethodOpenGL(context, kzCorrectionMethod(c.value)), c.result) << c.value;
        EXPECT_EQ(context->method, c.after) << c.value;
    }
    EXPECT_STREQ(context->errorString, "Unknown correction method -1");
    kzDestroyContextOpenGL(context);
}

// Without a current context nothing may reach libepoxy (it would abort the
// process) and nothing is allocated: the handle stays as it was.
TEST_F(OpenGLContextTest, CreationWithoutCurrentContextIsNotSupported)
{
    headless::GLContext::releaseCurrent();
    auto* sentinel = reinterpret_cast<kzContextOpenGL*>(0x1234);
    kzContextOpenGL* context = sentinel;
    const kzResult result = kzCreateContextOpenGL(&context, KZ_TEXTURE_TARGET_2D);
    dovav::test::currentGLContext();
    EXPECT_EQ(result, KZ_ERROR_NOT_SUPPORTED);
    EXPECT_EQ(context, sentinel);
}

// A context destroyed after the GL context went away releases its memory
// without touching OpenGL.
TEST_F(OpenGLContextTest, DestroyWithoutCurrentContextReleasesMemoryOnly)
{
    kzContextOpenGL* context = nullptr;
    ASSERT_EQ(kzCreateContextOpenGL(&context, KZ_TEXTURE_TARGET_2D), KZ_OK);
    const GLuint program = context->staticShader->program;
    headless::GLContext::releaseCurrent();
    const kzResult result = kzDestroyContextOpenGL(context);
    dovav::test::currentGLContext();
    EXPECT_EQ(result, KZ_OK);
    EXPECT_TRUE(glIsProgram(program));  // still owned by the GL context
    glDeleteProgram(program);
}

TEST_F(OpenGLContextTest, DestroyReleasesPrograms)
{
    kzContextOpenGL* context = nullptr;
    ASSERT_EQ(kzCreateContextOpenGL(&context, KZ_TEXTURE_TARGET_2D), KZ_OK);
    const kzOpenGLShader shaders[] = {*context->staticShader, *context->dynamicShader};
    EXPECT_EQ(kzDestroyContextOpenGL(context), KZ_OK);
    for (const kzOpenGLShader& shader : shaders) {
        EXPECT_FALSE(glIsProgram(shader.program));
        EXPECT_FALSE(glIsShader(shader.vertexShader));
        EXPECT_FALSE(glIsShader(shader.fragmentShader));
    }
}

TEST_F(OpenGLContextTest, SettersStoreInHeader)
{
    kzContextOpenGL* context = nullptr;
    ASSERT_EQ(kzCreateContextOpenGL(&context, KZ_TEXTURE_TARGET_2D), KZ_OK);
    EXPECT_EQ(kzSetClippingPlanesOpenGL(context, 0.1f, 100.0f), KZ_OK);
    EXPECT_EQ(kzSetFlipWarpmeshVerticesYOpenGL(context, true), KZ_OK);
    EXPECT_EQ(kzSetFlipWarpmeshTexcoordsVOpenGL(context, true), KZ_OK);
    EXPECT_EQ(context->nearClip, 0.1f);
    EXPECT_EQ(context->farClip, 100.0f);
    EXPECT_TRUE(context->flipWarpmeshVerticesY);
    EXPECT_TRUE(context->flipWarpmeshTexcoordsV);
    kzDestroyContextOpenGL(context);
}

class ShaderBuildTest : public OpenGLTest {};

const char* const kBrokenSource = "#version 330\nvoid main() { undeclared = 1; }\n";
const char* const kFragmentSource =
    "#version 330\nlayout(location = 0) out vec3 color;\nvoid main() { color = vec3(1.0); }\n";
const char* const kVertexSource = "#version 330\nvoid main() { gl_Position = vec4(0.0); }\n";

TEST_F(ShaderBuildTest, NullOutputWritesInvalidPointer)
{
    char error[64] = {};
    EXPECT_FALSE(kzOpenGLCreateShader(nullptr, kVertexSource, kFragmentSource, error, sizeof error));
    EXPECT_STREQ(error, "kzInvalidPointer");
    char small[4] = {'x', 'x', 'x', 'x'};
    EXPECT_FALSE(kzOpenGLCreateShader(nullptr, kVertexSource, kFragmentSource, small, sizeof small));
    EXPECT_STREQ(small, "kzI");
}

// Compile failures leave the compiler's log (vertex) or nothing (fragment) in
// the buffer, print the log, delete both shader objects and keep the output.
TEST_F(ShaderBuildTest, CompileFailures)
{
    const struct {
        const char* vertex;
        const char* fragment;
        const char* printed;
        bool logInBuffer;
    } cases[] = {
        {kBrokenSource, kFragmentSource, "Vertex shader error: ", true},
        {kVertexSource, kBrokenSource, "Fragment shader error: ", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.printed);
        kzOpenGLShader* shader = reinterpret_cast<kzOpenGLShader*>(0x10);
        char error[260] = {};
        const GLuint nextName = glCreateShader(GL_VERTEX_SHADER);
        glDeleteShader(nextName);
        testing::internal::CaptureStdout();
        EXPECT_FALSE(kzOpenGLCreateShader(&shader, c.vertex, c.fragment, error, sizeof error));
        const std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(printed.rfind(c.printed, 0), 0u) << printed;
        EXPECT_EQ(shader, reinterpret_cast<kzOpenGLShader*>(0x10));
        EXPECT_EQ(std::strlen(error) > 0, c.logInBuffer) << error;
        if (c.logInBuffer) {
            EXPECT_NE(printed.find(error), std::string::npos);
        }
        for (GLuint name = nextName; name < nextName + 4; ++name)
            EXPECT_FALSE(glIsShader(name)) << name;
    }
}

TEST_F(ShaderBuildTest, LinkFailureLeavesLogAndNoObjects)
{
    // Both stages compile; the fragment stage has no main, which only the
    // linker notices.
    const char* fragment = "#version 330\nfloat helper() { return 1.0; }\n";
    const char* vertex = kVertexSource;
    kzOpenGLShader* shader = nullptr;
    char error[260] = {};
    const GLuint nextName = glCreateProgram();
    glDeleteProgram(nextName);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(kzOpenGLCreateShader(&shader, vertex, fragment, error, sizeof error));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(shader, nullptr);
    EXPECT_GT(std::strlen(error), 0u);
    for (GLuint name = nextName; name < nextName + 4; ++name) {
        EXPECT_FALSE(glIsShader(name)) << name;
        EXPECT_FALSE(glIsProgram(name)) << name;
    }
}

TEST_F(ShaderBuildTest, FreeAcceptsNull)
{
    kzOpenGLFreeShader(nullptr);
    kzOpenGLShader* shader = nullptr;
    char error[260] = {};
    ASSERT_TRUE(kzOpenGLCreateShader(&shader, kVertexSource, kFragmentSource, error, sizeof error));
    const kzOpenGLShader copy = *shader;
    kzOpenGLFreeShader(shader);
    EXPECT_FALSE(glIsProgram(copy.program));
    EXPECT_FALSE(glIsShader(copy.vertexShader));
}

}  // namespace
