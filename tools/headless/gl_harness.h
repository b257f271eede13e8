// Headless OpenGL for tests, tools and benchmarks: an EGL context on Mesa's
// surfaceless platform (llvmpipe when no GPU is present), an offscreen
// framebuffer to draw into, and read-back of its pixels. Not part of libkzLib.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <epoxy/gl.h>

namespace headless {

// Which OpenGL 3.3 profile a context offers: core has no fixed-function
// state; compatibility has it.
enum class GLProfile { Compatibility, Core };

// An OpenGL 3.3 context of either profile with no window and no surface.
// The constructor makes it current.
class GLContext {
public:
    // Null, with the reason in *error, when EGL or the context is unavailable.
    static std::unique_ptr<GLContext> create(std::string* error = nullptr,
                                             GLProfile profile = GLProfile::Compatibility);
    ~GLContext();
    GLContext(const GLContext&) = delete;
    GLContext& operator=(const GLContext&) = delete;

    bool makeCurrent();
    // Leaves the thread with no current context.
    static void releaseCurrent();

private:
    GLContext() = default;
    void* display_ = nullptr;
    void* context_ = nullptr;
};

// An RGBA8 colour attachment (and nothing else) bound as the draw and read
// framebuffer, with the viewport set to cover it.
class GLFramebuffer {
public:
    GLFramebuffer(int width, int height);
    ~GLFramebuffer();
    GLFramebuffer(const GLFramebuffer&) = delete;
    GLFramebuffer& operator=(const GLFramebuffer&) = delete;

    void bind() const;
    bool complete() const;
    int width() const { return width_; }
    int height() const { return height_; }
    GLuint colorTexture() const { return color_; }
    // Rows bottom to top as OpenGL stores them, 4 bytes per pixel.
    std::vector<uint8_t> readPixels() const;

private:
    int width_;
    int height_;
    GLuint framebuffer_ = 0;
    GLuint color_ = 0;
};

// The OpenGL implementation's own entry point of that name (not libepoxy's
// dispatch), or null.
void* glProcAddress(const char* name);

// An RGBA8 texture on `target` (GL_TEXTURE_2D or GL_TEXTURE_RECTANGLE) with
// clamp-to-edge wrapping and linear filtering; rows in upload order.
GLuint createTexture(GLenum target, int width, int height, const uint8_t* rgba);

}  // namespace headless
