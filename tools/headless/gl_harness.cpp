#include "gl_harness.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

namespace headless {

namespace {

void setError(std::string* error, const char* text)
{
    if (error)
        *error = text;
}

}  // namespace

std::unique_ptr<GLContext> GLContext::create(std::string* error, GLProfile profile)
{
    // eglGetPlatformDisplayEXT is a client extension and works before any
    // display exists; the EGL 1.5 core name may be missing from older stacks.
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) {
        setError(error, "EGL has no eglGetPlatformDisplayEXT");
        return nullptr;
    }
    EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY) {
        setError(error, "no surfaceless EGL display");
        return nullptr;
    }
    if (!eglInitialize(display, nullptr, nullptr)) {
        setError(error, "eglInitialize failed");
        return nullptr;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        setError(error, "EGL has no desktop OpenGL");
        return nullptr;
    }
    // Surfaceless still needs a config that names a surface type.
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                       EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &count) || count < 1) {
        setError(error, "no EGL config for desktop OpenGL");
        return nullptr;
    }
    const bool core = profile == GLProfile::Core;
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                        EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                        core ? EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT
                                             : EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                        EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (context == EGL_NO_CONTEXT) {
        setError(error, core ? "no OpenGL 3.3 core context" : "no OpenGL 3.3 compatibility context");
        return nullptr;
    }
    std::unique_ptr<GLContext> result(new GLContext);
    result->display_ = display;
    result->context_ = context;
    if (!result->makeCurrent()) {
        setError(error, "eglMakeCurrent failed");
        return nullptr;
    }
    return result;
}

GLContext::~GLContext()
{
    if (eglGetCurrentContext() == context_)
        releaseCurrent();
    eglDestroyContext(display_, context_);
}

bool GLContext::makeCurrent()
{
    return eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_);
}

void GLContext::releaseCurrent()
{
    EGLDisplay display = eglGetCurrentDisplay();
    if (display != EGL_NO_DISPLAY)
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

GLFramebuffer::GLFramebuffer(int width, int height) : width_(width), height_(height)
{
    color_ = createTexture(GL_TEXTURE_2D, width, height, nullptr);
    glGenFramebuffers(1, &framebuffer_);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, color_, 0);
    glViewport(0, 0, width, height);
}

GLFramebuffer::~GLFramebuffer()
{
    glDeleteFramebuffers(1, &framebuffer_);
    glDeleteTextures(1, &color_);
}

void GLFramebuffer::bind() const
{
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glViewport(0, 0, width_, height_);
}

bool GLFramebuffer::complete() const
{
    bind();
    return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

std::vector<uint8_t> GLFramebuffer::readPixels() const
{
    std::vector<uint8_t> pixels(size_t(width_) * size_t(height_) * 4);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

void* glProcAddress(const char* name)
{
    return reinterpret_cast<void*>(eglGetProcAddress(name));
}

GLuint createTexture(GLenum target, int width, int height, const uint8_t* rgba)
{
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(target, texture);
    glTexParameteri(target, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(target, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(target, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    glBindTexture(target, 0);
    return texture;
}

}  // namespace headless
