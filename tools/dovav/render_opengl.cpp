// dovav render on OpenGL: an EGL surfaceless context (llvmpipe without a
// GPU), the scene rendered into a framebuffer texture, the correction drawn
// into a second framebuffer and read back.

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "gl_harness.h"
#include "render_backend.h"
#include "scene_pattern_glsl.h"

namespace dovav::render {
namespace {

const char kSceneVertexProgram[] = R"(#version 330
// One triangle covering the viewport.
void main()
{
    vec2 corner = vec2((gl_VertexID << 1) & 2, gl_VertexID & 2);
    gl_Position = vec4(2.0 * corner - 1.0, 0.0, 1.0);
}
)";

const char kSceneFragmentHead[] = R"(#version 330
uniform mat4 inverseViewProjection;
uniform vec2 viewportSize;
)";

GLuint compile(GLenum stage, const std::string& source)
{
    const GLuint shader = glCreateShader(stage);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled != GL_TRUE) {
        char log[2048] = {};
        glGetShaderInfoLog(shader, sizeof log - 1, nullptr, log);
        glDeleteShader(shader);
        throw std::runtime_error(std::string("OpenGL: the test scene program does not compile: ") + log);
    }
    return shader;
}

GLuint linkSceneProgram()
{
    const GLuint vertex = compile(GL_VERTEX_SHADER, kSceneVertexProgram);
    GLuint fragment = 0;
    try {
        fragment = compile(GL_FRAGMENT_SHADER, std::string(kSceneFragmentHead) + kScenePatternSource);
    } catch (...) {
        glDeleteShader(vertex);
        throw;
    }
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        char log[2048] = {};
        glGetProgramInfoLog(program, sizeof log - 1, nullptr, log);
        glDeleteProgram(program);
        throw std::runtime_error(std::string("OpenGL: the test scene program does not link: ") + log);
    }
    return program;
}

// The library prints a line on standard output for every mask texture it
// cannot load, unconfigured masks included; dovav render reports configured
// masks that cannot be opened itself.
class QuietStandardOutput {
public:
    QuietStandardOutput()
    {
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0)
            dup2(null, STDOUT_FILENO);
        if (null >= 0)
            close(null);
    }
    ~QuietStandardOutput()
    {
        std::fflush(stdout);
        if (saved_ >= 0) {
            dup2(saved_, STDOUT_FILENO);
            close(saved_);
        }
    }
    QuietStandardOutput(const QuietStandardOutput&) = delete;
    QuietStandardOutput& operator=(const QuietStandardOutput&) = delete;

private:
    int saved_ = -1;
};

class OpenGLBackend : public Backend {
public:
    OpenGLBackend(std::unique_ptr<headless::GLContext> gl, unsigned width, unsigned height)
        : gl_(std::move(gl)), width_(width), height_(height)
    {
    }

    ~OpenGLBackend() override
    {
        gl_->makeCurrent();
        if (kz_)
            kzDestroyContextOpenGL(kz_);
        glDeleteProgram(program_);
        glDeleteVertexArrays(1, &vertexArray_);
        scene_.reset();
        output_.reset();
    }

    // Throws std::runtime_error when an object cannot be made.
    std::string initialise()
    {
        GLint largest = 0;
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
        if (width_ > unsigned(largest) || height_ > unsigned(largest))
            return "OpenGL: " + std::to_string(width_) + "x" + std::to_string(height_) +
                   " exceeds the largest texture, " + std::to_string(largest) + " pixels a side";
        if (const kzResult result = kzCreateContextOpenGL(&kz_, KZ_TEXTURE_TARGET_2D); result != KZ_OK)
            return "OpenGL: no library context (result " + std::to_string(int(result)) + ")";
        // Calibration files count rows from the top; OpenGL counts from the bottom. Set
        // before any channel is built: warp map positions and dynamic mesh placement put
        // row 0 at the top of the framebuffer, and warp map texture coordinates and the
        // dynamic lookup take v = 0 as the top of a scene rendered the OpenGL way up.
        kzSetFlipWarpmeshVerticesYOpenGL(kz_, true);
        kzSetFlipWarpmeshTexcoordsVOpenGL(kz_, true);

        program_ = linkSceneProgram();
        inverseViewProjection_ = glGetUniformLocation(program_, "inverseViewProjection");
        viewportSize_ = glGetUniformLocation(program_, "viewportSize");
        glGenVertexArrays(1, &vertexArray_);
        scene_ = std::make_unique<headless::GLFramebuffer>(int(width_), int(height_));
        output_ = std::make_unique<headless::GLFramebuffer>(int(width_), int(height_));
        if (!scene_->complete() || !output_->complete())
            return "OpenGL: the " + std::to_string(width_) + "x" + std::to_string(height_) +
                   " framebuffers are incomplete";
        throwOnError("setting up the test scene");
        return {};
    }

    void* context() override { return kz_; }

    kzResult loadConfiguration(const char* path) override
    {
        return kzLoadConfigurationFromFileOpenGL(kz_, path);
    }

    kzResult activate(unsigned channel) override
    {
        const QuietStandardOutput quiet;
        return kzSetActiveChannelOpenGL(kz_, channel, width_, height_);
    }

    kzResult preDraw(kzVec3f eye, kzCamera* camera) override { return kzPreDrawOpenGL_1(kz_, eye, camera); }

    kzResult setPass(kzCorrectionPassType pass, bool enable) override
    {
        return kzSetCorrectionPassOpenGL(kz_, pass, enable);
    }

    kzResult draw(const kzCamera& camera, Scene scene, Image& output) override
    {
        scene_->bind();
        if (scene == Scene::White) {
            glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
            glClear(GL_COLOR_BUFFER_BIT);
        } else {
            float unprojection[16];
            if (!sceneUnprojection(camera, false, unprojection))
                throw std::runtime_error("the channel's camera gives no invertible view");
            glUseProgram(program_);
            glUniformMatrix4fv(inverseViewProjection_, 1, GL_FALSE, unprojection);
            glUniform2f(viewportSize_, float(width_), float(height_));
            glBindVertexArray(vertexArray_);
            glDrawArrays(GL_TRIANGLES, 0, 3);
            glBindVertexArray(0);
            glUseProgram(0);
        }

        output_->bind();
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        const kzResult result = kzPostDrawOpenGL(kz_, scene_->colorTexture());
        if (result != KZ_OK)
            return result;
        // glReadPixels returns the bottom row first.
        output = rgbFromRgba(output_->readPixels(), width_, height_, true);
        throwOnError("drawing");
        return KZ_OK;
    }

private:
    static void throwOnError(const char* what)
    {
        const GLenum error = glGetError();
        if (error != GL_NO_ERROR)
            throw std::runtime_error("OpenGL: error " + std::to_string(error) + " while " + what);
    }

    std::unique_ptr<headless::GLContext> gl_;
    unsigned width_;
    unsigned height_;
    kzContextOpenGL* kz_ = nullptr;
    GLuint program_ = 0;
    GLint inverseViewProjection_ = -1;
    GLint viewportSize_ = -1;
    GLuint vertexArray_ = 0;
    std::unique_ptr<headless::GLFramebuffer> scene_;
    std::unique_ptr<headless::GLFramebuffer> output_;
};

}  // namespace

std::unique_ptr<Backend> createOpenGLBackend(unsigned width, unsigned height, std::string& error)
{
    std::unique_ptr<headless::GLContext> gl = headless::GLContext::create(&error);
    if (!gl) {
        error = "OpenGL is not available: " + error;
        return nullptr;
    }
    auto backend = std::make_unique<OpenGLBackend>(std::move(gl), width, height);
    error = backend->initialise();
    if (!error.empty())
        return nullptr;
    return backend;
}

}  // namespace dovav::render
