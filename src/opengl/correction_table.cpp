#include "opengl/correction_table.h"

#include <cstring>
#include <new>
#include <string>

#include "core/messages.h"
#include "kzLib/geometry.h"
#include "opengl/shader_sources.h"

namespace {

// Tables above this many texels (16 bytes each, 1 GiB in all) are not made.
constexpr uint64_t kMaxTableTexels = uint64_t(1) << 26;

bool fitsLimits(uint32_t width, uint32_t height)
{
    if (width == 0 || height == 0 || uint64_t(width) * height > kMaxTableTexels)
        return false;
    GLint maxTexture = 0;
    GLint maxViewport[2] = {};
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, maxViewport);
    return int64_t(width) <= maxTexture && int64_t(height) <= maxTexture &&
           int64_t(width) <= maxViewport[0] && int64_t(height) <= maxViewport[1];
}

bool buildShader(kzOpenGLShader*& shader, const char* vertexSource, const std::string& fragmentSource)
{
    if (shader)
        return true;
    char log[512] = {};
    if (kzOpenGLCreateShader(&shader, vertexSource, fragmentSource.c_str(), log, sizeof log))
        return true;
    kzLogMessage(KZ_MESSAGE_WARNING, "Correction table program failed to build: %s", log);
    return false;
}

int tableVariant(const kzCorrectionDataOpenGL& data)
{
    return (data.inputGamma != 1.0f ? 1 : 0) | (data.outputGamma != 1.0f ? 2 : 0);
}

// The programs a table needs, built the first time any channel needs them.
bool buildPrograms(kzContextOpenGL& context, const kzCorrectionDataOpenGL& data)
{
    const int variant = tableVariant(data);
    if (!context.emptyVertexArray)
        glGenVertexArrays(1, &context.emptyVertexArray);
    return context.emptyVertexArray != 0 &&
           buildShader(context.bakeShader, kzShaderCorrectionStaticVertex, kzOpenGLBakeFragmentSource()) &&
           buildShader(context.tableShaders[variant], kzShaderTableVertex,
                       kzOpenGLTableFragmentSource(context.target, variant & 1, variant & 2));
}

// Gives the table's texture storage of width x height (making the texture
// and its framebuffer the first time; a resize keeps both names) and says
// whether the framebuffer is complete.
bool allocate(kzOpenGLCorrectionTable& table, uint32_t width, uint32_t height)
{
    GLint previousTexture = 0;
    GLint previousFramebuffer = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previousTexture);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &previousFramebuffer);

    const bool fresh = table.texture == 0;
    if (fresh)
        glGenTextures(1, &table.texture);
    glBindTexture(GL_TEXTURE_2D, table.texture);
    if (fresh) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    }
    // Storage only: a pixel-unpack buffer the host left bound would be read.
    GLint unpackBuffer = 0;
    glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING, &unpackBuffer);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32UI, GLsizei(width), GLsizei(height), 0, GL_RGBA_INTEGER,
                 GL_UNSIGNED_INT, nullptr);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, GLuint(unpackBuffer));
    glBindTexture(GL_TEXTURE_2D, GLuint(previousTexture));

    if (!table.framebuffer)
        glGenFramebuffers(1, &table.framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, table.framebuffer);
    if (fresh)
        glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, table.texture, 0);
    const bool complete = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(previousFramebuffer));
    table.width = width;
    table.height = height;
    table.baked = false;
    return complete;
}

void release(kzOpenGLCorrectionTable& table)
{
    if (kzOpenGLContextIsCurrent()) {
        glDeleteFramebuffers(1, &table.framebuffer);
        glDeleteTextures(1, &table.texture);
    }
    table = kzOpenGLCorrectionTable{};
}

// The host's state that a bake changes beyond what PostDraw documents.
class HostTarget {
public:
    HostTarget()
    {
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &framebuffer_);
        glGetIntegerv(GL_VIEWPORT, viewport_);
        scissor_ = glIsEnabled(GL_SCISSOR_TEST);
        glGetBooleanv(GL_COLOR_WRITEMASK, colorMask_);
    }
    ~HostTarget()
    {
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(framebuffer_));
        glViewport(viewport_[0], viewport_[1], viewport_[2], viewport_[3]);
        if (scissor_)
            glEnable(GL_SCISSOR_TEST);
        glColorMask(colorMask_[0], colorMask_[1], colorMask_[2], colorMask_[3]);
    }
    HostTarget(const HostTarget&) = delete;
    HostTarget& operator=(const HostTarget&) = delete;

private:
    GLint framebuffer_ = 0;
    GLint viewport_[4] = {};
    GLboolean scissor_ = GL_FALSE;
    GLboolean colorMask_[4] = {};
};

GLuint textureName(const kzOpenGLTexture* texture)
{
    return texture ? texture->id : 0;
}

void bindTexture(GLint unit, GLenum target, GLuint texture)
{
    glActiveTexture(GL_TEXTURE0 + GLenum(unit));
    glBindTexture(target, texture);
}

}  // namespace

bool kzOpenGLTableKey::operator==(const kzOpenGLTableKey& other) const
{
    return std::memcmp(features, other.features, sizeof features) == 0 && gamma == other.gamma &&
           width == other.width && height == other.height;
}

bool kzOpenGLPrepareCorrectionTable(kzContextOpenGL& context, kzCorrectionDataOpenGL& data,
                                    uint32_t width, uint32_t height)
{
    if (data.table && data.table->width == width && data.table->height == height)
        return true;
    if (!data.cmesh || !fitsLimits(width, height) || !buildPrograms(context, data)) {
        kzOpenGLFreeCorrectionTable(data);
        return false;
    }
    if (!data.table) {
        data.table = new (std::nothrow) kzOpenGLCorrectionTable;
        if (!data.table)
            return false;
    }
    if (!allocate(*data.table, width, height)) {
        kzLogMessage(KZ_MESSAGE_WARNING, "No %ux%u correction table: its framebuffer is incomplete",
                     width, height);
        kzOpenGLFreeCorrectionTable(data);
        return false;
    }
    return true;
}

void kzOpenGLPrepareChannelTable(kzContextOpenGL& context, uint32_t channel,
                                 kzCorrectionDataOpenGL& data)
{
    auto found = context.configurations.find(channel);
    if (context.method != KZ_CORRECTION_METHOD_BAKED || found == context.configurations.end() ||
        found->second.type != KZ_CORRECTION_STATIC || !data.drawable())
        return;
    if (!kzOpenGLPrepareCorrectionTable(context, data, context.width, context.height))
        kzLogMessage(KZ_MESSAGE_INFO, "Channel %u is drawn with its mesh at %ux%u", channel,
                     context.width, context.height);
}

void kzOpenGLFreeCorrectionTable(kzCorrectionDataOpenGL& data)
{
    if (!data.table)
        return;
    release(*data.table);
    delete data.table;
    data.table = nullptr;
}

kzOpenGLTableKey kzOpenGLCurrentTableKey(const kzContextOpenGL& context,
                                         const kzCorrectionDataOpenGL& data)
{
    kzOpenGLTableKey key;
    kzComputeFeatures(data, key.features);
    key.gamma = data.gamma;
    key.width = context.width;
    key.height = context.height;
    return key;
}

bool kzOpenGLTableDrawable(const kzContextOpenGL& context, const kzCorrectionDataOpenGL& data,
                           const kzOpenGLTableKey& key)
{
    return context.method == KZ_CORRECTION_METHOD_BAKED && data.table &&
           data.table->width == key.width && data.table->height == key.height;
}

void kzOpenGLBakeCorrectionTable(const kzContextOpenGL& context, kzCorrectionDataOpenGL& data,
                                 const kzOpenGLTableKey& key)
{
    kzOpenGLCorrectionTable& table = *data.table;
    HostTarget host;
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, table.framebuffer);
    glViewport(0, 0, GLsizei(table.width), GLsizei(table.height));
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    // Texels the mesh does not reach keep the coverage bit clear.
    const GLuint uncovered[4] = {0, 0, 0, 0};
    glClearBufferuiv(GL_COLOR, 0, uncovered);

    const kzOpenGLShader& shader = *context.bakeShader;
    glUseProgram(shader.program);
    kzMatrix4x4 mvp;
    kzGetOrthoMatrix(&mvp, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f);
    glUniformMatrix4fv(shader.uniforms.mvp, 1, GL_FALSE, mvp.m);
    glUniform1fv(shader.uniforms.features, kzFeatureCount, key.features);
    glUniform1f(shader.uniforms.gamma, key.gamma);
    bindTexture(KZ_UNIT_BLENDING, GL_TEXTURE_2D, textureName(data.blendingTexture));
    bindTexture(KZ_UNIT_BLACKLEVEL, GL_TEXTURE_2D, textureName(data.blacklevelTexture));
    bindTexture(KZ_UNIT_SECONDARY_BLENDING, GL_TEXTURE_2D, textureName(data.secondaryBlendingTexture));
    glBindVertexArray(data.cmesh->vao);
    glDrawElements(GL_TRIANGLES, data.cmesh->indexCount, GL_UNSIGNED_INT, nullptr);
    table.key = key;
    table.baked = true;
}

void kzOpenGLDrawCorrectionTable(const kzContextOpenGL& context, const kzCorrectionDataOpenGL& data,
                                 GLuint scene)
{
    const kzOpenGLShader& shader = *context.tableShaders[tableVariant(data)];
    glUseProgram(shader.program);
    glUniform1f(shader.uniforms.inputGamma, data.inputGamma);
    glUniform1f(shader.uniforms.outputGamma, data.outputGamma);
    bindTexture(KZ_UNIT_TABLE, GL_TEXTURE_2D, data.table->texture);
    bindTexture(KZ_UNIT_SOURCE,
                context.target == KZ_TEXTURE_TARGET_RECTANGLE ? GL_TEXTURE_RECTANGLE : GL_TEXTURE_2D,
                scene);
    glBindVertexArray(context.emptyVertexArray);
    glDrawArrays(GL_TRIANGLES, 0, 3);
}
