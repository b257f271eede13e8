#include "gl_context.h"

#include <cstdlib>

#include <epoxy/egl.h>
#include <epoxy/gl.h>
#ifdef KZHOST_WITH_GLFW
#include <GLFW/glfw3.h>
#endif

namespace {

class SurfacelessContext : public GlContext {
public:
    ~SurfacelessContext() override
    {
        if (context_ != EGL_NO_CONTEXT) {
            eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
            eglDestroyContext(display_, context_);
        }
        if (display_ != EGL_NO_DISPLAY)
            eglTerminate(display_);
    }

    bool create(std::string* error)
    {
        display_ = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (display_ == EGL_NO_DISPLAY || !eglInitialize(display_, nullptr, nullptr) ||
            !eglBindAPI(EGL_OPENGL_API)) {
            *error = "no surfaceless EGL display with desktop OpenGL (Mesa's libegl-mesa0)";
            return false;
        }
        const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                           EGL_OPENGL_BIT, EGL_NONE};
        EGLConfig config = nullptr;
        EGLint count = 0;
        if (!eglChooseConfig(display_, configAttributes, &config, 1, &count) || count < 1) {
            *error = "no EGL configuration for desktop OpenGL";
            return false;
        }
        const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                            EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                            EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
        context_ = eglCreateContext(display_, config, EGL_NO_CONTEXT, contextAttributes);
        // Without a surface there is no default framebuffer: the host draws into its own.
        if (context_ == EGL_NO_CONTEXT || !eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_)) {
            *error = "cannot create or make current an OpenGL 3.3 context";
            return false;
        }
        return true;
    }

    bool present() override { return true; }
    bool interactive() const override { return false; }

private:
    EGLDisplay display_ = EGL_NO_DISPLAY;
    EGLContext context_ = EGL_NO_CONTEXT;
};

#ifdef KZHOST_WITH_GLFW
bool haveDisplay()
{
    return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
}

class WindowContext : public GlContext {
public:
    ~WindowContext() override
    {
        if (window_)
            glfwDestroyWindow(window_);
        glfwTerminate();
    }

    bool create(int width, int height)
    {
        if (!glfwInit())
            return false;
        glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
        glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
        glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
        glfwWindowHint(GLFW_RESIZABLE, GLFW_FALSE);
        window_ = glfwCreateWindow(width, height, "kzLib OpenGL host", nullptr, nullptr);
        if (!window_)
            return false;
        glfwMakeContextCurrent(window_);
        glfwSwapInterval(1);
        return true;
    }

    bool present() override
    {
        glfwSwapBuffers(window_);
        glfwPollEvents();
        return !glfwWindowShouldClose(window_);
    }
    bool interactive() const override { return true; }

private:
    GLFWwindow* window_ = nullptr;
};
#endif

}  // namespace

std::unique_ptr<GlContext> createGlContext(bool window, int width, int height, std::string* error)
{
#ifdef KZHOST_WITH_GLFW
    if (window && haveDisplay()) {
        auto context = std::make_unique<WindowContext>();
        if (context->create(width, height))
            return context;
        // No window after all (a display without OpenGL, say): fall back to drawing offscreen.
    }
#else
    (void)window;
    (void)width;
    (void)height;
#endif
    auto context = std::make_unique<SurfacelessContext>();
    if (!context->create(error))
        return nullptr;
    return context;
}
