#include "scene.h"

namespace {

const char kVertexProgram[] = R"(#version 330
// One triangle covering the viewport.
void main()
{
    vec2 corner = vec2((gl_VertexID << 1) & 2, gl_VertexID & 2);
    gl_Position = vec4(2.0 * corner - 1.0, 0.0, 1.0);
}
)";

// World units are metres, y up; the viewer stands at the origin looking along -z.
const char kFragmentProgram[] = R"(#version 330
uniform mat4 inverseViewProjection;  // clip coordinates to world
uniform vec3 eye;
uniform vec2 viewportSize;
uniform float seconds;
out vec4 colour;

float hitSphere(vec3 origin, vec3 direction, vec3 centre, float radius)
{
    vec3 offset = origin - centre;
    float b = dot(offset, direction);
    float c = dot(offset, offset) - radius * radius;
    float discriminant = b * b - c;
    return discriminant < 0.0 ? -1.0 : -b - sqrt(discriminant);
}

void main()
{
    vec2 clip = gl_FragCoord.xy / viewportSize * 2.0 - 1.0;
    vec4 far = inverseViewProjection * vec4(clip, 1.0, 1.0);
    vec3 direction = normalize(far.xyz / far.w - eye);

    // Sky, lighter towards the horizon.
    vec3 result = mix(vec3(0.55, 0.7, 0.9), vec3(0.1, 0.25, 0.6), clamp(direction.y * 3.0, 0.0, 1.0));
    float nearest = 1e9;

    // A chequered floor 1.2 m below the eye, in 1 m squares.
    if (direction.y < 0.0) {
        float t = (-1.2 - eye.y) / direction.y;
        vec2 spot = (eye + t * direction).xz;
        float chequer = mod(floor(spot.x) + floor(spot.y), 2.0);
        result = mix(vec3(0.25), vec3(0.8), chequer) * exp(-t * 0.03);
        nearest = t;
    }

    // Three balls circling a point 6 m ahead.
    const vec3 tints[3] = vec3[3](vec3(0.9, 0.2, 0.2), vec3(0.2, 0.8, 0.3), vec3(0.95, 0.85, 0.2));
    for (int i = 0; i < 3; ++i) {
        float angle = seconds * 1.5 + float(i) * 2.094;
        vec3 centre = vec3(2.5 * sin(angle), -0.4 + 0.3 * float(i), -6.0 + 2.5 * cos(angle));
        float t = hitSphere(eye, direction, centre, 0.7);
        if (t > 0.0 && t < nearest) {
            vec3 normal = normalize(eye + t * direction - centre);
            float light = 0.25 + 0.75 * max(dot(normal, normalize(vec3(0.4, 1.0, 0.3))), 0.0);
            result = tints[i] * light;
            nearest = t;
        }
    }
    colour = vec4(result, 1.0);
}
)";

GLuint compile(GLenum stage, const char* source, std::string& error)
{
    const GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (!compiled) {
        char log[1024] = {};
        glGetShaderInfoLog(shader, sizeof log - 1, nullptr, log);
        error = std::string("scene program: ") + log;
    }
    return shader;
}

}  // namespace

Scene::Scene(int width, int height) : width_(width), height_(height)
{
    const GLuint vertex = compile(GL_VERTEX_SHADER, kVertexProgram, error_);
    const GLuint fragment = compile(GL_FRAGMENT_SHADER, kFragmentProgram, error_);
    program_ = glCreateProgram();
    glAttachShader(program_, vertex);
    glAttachShader(program_, fragment);
    glLinkProgram(program_);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(program_, GL_LINK_STATUS, &linked);
    if (!linked && error_.empty())
        error_ = "scene program does not link";
    glGenVertexArrays(1, &vertexArray_);

    glGenTextures(1, &texture_);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glBindTexture(GL_TEXTURE_2D, 0);
    glGenFramebuffers(1, &framebuffer_);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_, 0);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE && error_.empty())
        error_ = "scene framebuffer incomplete";
}

Scene::~Scene()
{
    glDeleteFramebuffers(1, &framebuffer_);
    glDeleteTextures(1, &texture_);
    glDeleteVertexArrays(1, &vertexArray_);
    glDeleteProgram(program_);
}

void Scene::render(const kzCamera& camera, float seconds)
{
    // The camera's view-projection (eye included) turned around: from a
    // pixel's clip coordinates back to the world.
    kzMatrix4x4 viewProjection;
    kzGetModelViewProjectionMatrix(&viewProjection, camera);
    kzMatrix4x4_p forward, inverse;
    for (int i = 0; i < 16; ++i)
        forward.m[i] = viewProjection.m[i];
    inverse.makeInvertOf(forward);

    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glViewport(0, 0, width_, height_);
    glUseProgram(program_);
    // kzMatrix4x4 is column-major as OpenGL takes it: no transposing.
    glUniformMatrix4fv(glGetUniformLocation(program_, "inverseViewProjection"), 1, GL_FALSE, inverse.m);
    glUniform3f(glGetUniformLocation(program_, "eye"), camera.position.x, camera.position.y, camera.position.z);
    glUniform2f(glGetUniformLocation(program_, "viewportSize"), float(width_), float(height_));
    glUniform1f(glGetUniformLocation(program_, "seconds"), seconds);
    glBindVertexArray(vertexArray_);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    glBindVertexArray(0);
    glUseProgram(0);
}
