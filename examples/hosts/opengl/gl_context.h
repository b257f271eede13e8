// Where the host's OpenGL context comes from: a window (GLFW) when there is a
// display, or Mesa's surfaceless EGL platform without one. Either way the
// context is desktop OpenGL 3.3, core profile (the library takes a
// compatibility profile as well), and current on this thread.
#pragma once

#include <memory>
#include <string>

class GlContext {
public:
    virtual ~GlContext() = default;
    // Shows the frame drawn into the bound draw framebuffer (a window swaps
    // its buffers); false once the user has closed the window.
    virtual bool present() = 0;
    // Whether frames are shown to someone, so the host keeps drawing.
    virtual bool interactive() const = 0;
};

// A window of width x height when `window` is asked for, the program was built
// with GLFW and a display is there; otherwise a surfaceless context. Null, with
// the reason in *error, when neither can be made.
std::unique_ptr<GlContext> createGlContext(bool window, int width, int height, std::string* error);
