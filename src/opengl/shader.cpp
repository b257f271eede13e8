#include <cstring>
#include <vector>

#include "core/messages.h"
#include "opengl/opengl_records.h"

namespace {

void copyText(char* buffer, size_t size, const char* text)
{
    if (!buffer || size == 0)
        return;
    std::strncpy(buffer, text, size - 1);
    buffer[size - 1] = '\0';
}

GLsizei bufferSize(size_t size)
{
    return size > 0x7fffffff ? 0x7fffffff : GLsizei(size);
}

bool compile(GLuint shader, const char* source)
{
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint status = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    return status == GL_TRUE;
}

void deleteShaders(GLuint vertexShader, GLuint fragmentShader)
{
    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);
}

// Sampler units never change, so they are set once here; the host's program
// binding is put back afterwards.
void bindSamplerUnits(GLuint program)
{
    const struct {
        const char* name;
        GLint unit;
    } samplers[] = {
        {"source", KZ_UNIT_SOURCE},
        {"blending", KZ_UNIT_BLENDING},
        {"blacklevel", KZ_UNIT_BLACKLEVEL},
        {"secondary_blending", KZ_UNIT_SECONDARY_BLENDING},
        {"directional_shading", KZ_UNIT_DIRECTIONAL_SHADING},
        {"table", KZ_UNIT_TABLE},
    };
    GLint previous = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &previous);
    glUseProgram(program);
    for (const auto& sampler : samplers)
        glUniform1i(glGetUniformLocation(program, sampler.name), sampler.unit);
    glUseProgram(GLuint(previous));
}

kzOpenGLUniforms uniformLocations(GLuint program)
{
    kzOpenGLUniforms u;
    u.features = glGetUniformLocation(program, "features");
    u.mvp = glGetUniformLocation(program, "mvp");
    u.cameraMvp = glGetUniformLocation(program, "camera_mvp");
    u.cameraPosition = glGetUniformLocation(program, "camera_position");
    u.flipV = glGetUniformLocation(program, "flip_v");
    u.gamma = glGetUniformLocation(program, "gamma");
    u.inputGamma = glGetUniformLocation(program, "inputGamma");
    u.outputGamma = glGetUniformLocation(program, "outputGamma");
    return u;
}

}  // namespace

bool kzOpenGLCreateShader(kzOpenGLShader** shader, const char* vertexSource,
                          const char* fragmentSource, char* errorBuffer, size_t errorBufferSize)
{
    if (!shader) {
        copyText(errorBuffer, errorBufferSize, "kzInvalidPointer");
        return false;
    }
    GLuint vertexShader = glCreateShader(GL_VERTEX_SHADER);
    GLuint fragmentShader = glCreateShader(GL_FRAGMENT_SHADER);

    if (!compile(vertexShader, vertexSource)) {
        if (errorBuffer && errorBufferSize > 0) {
            errorBuffer[0] = '\0';
            glGetShaderInfoLog(vertexShader, bufferSize(errorBufferSize), nullptr, errorBuffer);
        }
        kzPrintMessage(KZ_MESSAGE_ERROR, "Vertex shader error: %s",
                       errorBuffer && errorBufferSize ? errorBuffer : "");
        deleteShaders(vertexShader, fragmentShader);
        return false;
    }

    if (!compile(fragmentShader, fragmentSource)) {
        GLint length = 0;
        glGetShaderiv(fragmentShader, GL_INFO_LOG_LENGTH, &length);
        std::vector<char> log(size_t(length > 0 ? length : 0) + 1, '\0');
        glGetShaderInfoLog(fragmentShader, GLsizei(log.size()), nullptr, log.data());
        kzPrintMessage(KZ_MESSAGE_ERROR, "Fragment shader error: %s", log.data());
        deleteShaders(vertexShader, fragmentShader);
        return false;
    }

    GLuint program = glCreateProgram();
    glAttachShader(program, vertexShader);
    glAttachShader(program, fragmentShader);
    glLinkProgram(program);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        if (errorBuffer && errorBufferSize > 0) {
            errorBuffer[0] = '\0';
            glGetProgramInfoLog(program, bufferSize(errorBufferSize), nullptr, errorBuffer);
        }
        glDetachShader(program, vertexShader);
        glDetachShader(program, fragmentShader);
        deleteShaders(vertexShader, fragmentShader);
        glDeleteProgram(program);
        return false;
    }

    bindSamplerUnits(program);
    *shader = new kzOpenGLShader{program, vertexShader, fragmentShader, uniformLocations(program)};
    return true;
}

void kzOpenGLFreeShader(kzOpenGLShader* shader)
{
    if (!shader)
        return;
    if (kzOpenGLContextIsCurrent()) {
        glDetachShader(shader->program, shader->vertexShader);
        glDetachShader(shader->program, shader->fragmentShader);
        glDeleteShader(shader->vertexShader);
        glDeleteShader(shader->fragmentShader);
        glDeleteProgram(shader->program);
    }
    delete shader;
}
