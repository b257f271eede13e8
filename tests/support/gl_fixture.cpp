#include "support/gl_fixture.h"

#include <cstdio>
#include <memory>

namespace dovav::test {

headless::GLContext* currentGLContext(std::string* error)
{
    static std::string creationError;
    static std::unique_ptr<headless::GLContext> context = headless::GLContext::create(&creationError);
    if (!context) {
        if (error)
            *error = creationError;
        return nullptr;
    }
    context->makeCurrent();
    return context.get();
}

std::string drainGLErrors()
{
    std::string errors;
    for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError()) {
        char text[16];
        std::snprintf(text, sizeof text, "%s0x%04x", errors.empty() ? "" : " ", error);
        errors += text;
    }
    return errors;
}

}  // namespace dovav::test
