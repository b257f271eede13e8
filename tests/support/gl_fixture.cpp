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

GLNames liveGLNames()
{
    GLNames names;
    for (GLuint name = 1; name < 4096; ++name) {
        if (glIsTexture(name))
            names.textures.push_back(name);
        if (glIsBuffer(name))
            names.buffers.push_back(name);
        if (glIsVertexArray(name))
            names.vertexArrays.push_back(name);
        if (glIsProgram(name))
            names.programs.push_back(name);
        if (glIsShader(name))
            names.shaders.push_back(name);
    }
    return names;
}

}  // namespace dovav::test
