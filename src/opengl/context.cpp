#include <string>

#include "opengl/opengl_records.h"
#include "opengl/shader_sources.h"

namespace {

// The programs are GLSL 3.30 with vertex array objects: a desktop context of
// at least 3.3 is needed, and without a current context libepoxy would abort
// on the first call past OpenGL 1.0.
bool openGL33IsCurrent()
{
    const int version = epoxy_gl_version();
    return version >= 33 && epoxy_is_desktop_gl();
}

bool compileProgram(kzContextOpenGL& context, kzOpenGLShader** shader, const char* vertexSource,
                    bool dynamic)
{
    const std::string fragmentSource = kzOpenGLFragmentSource(context.target, dynamic);
    return kzOpenGLCreateShader(shader, vertexSource, fragmentSource.c_str(), context.errorString,
                                kzErrorLimitOpenGL);
}

void freeContext(kzContextOpenGL* context)
{
    for (auto& entry : context->corrections)
        kzOpenGLReleaseCorrectionData(entry.second);
    context->corrections.clear();
    kzOpenGLFreeShader(context->staticShader);
    kzOpenGLFreeShader(context->dynamicShader);
    kzOpenGLFreeShader(context->bakeShader);
    for (kzOpenGLShader* shader : context->tableShaders)
        kzOpenGLFreeShader(shader);
    if (context->emptyVertexArray && kzOpenGLContextIsCurrent())
        glDeleteVertexArrays(1, &context->emptyVertexArray);
    context->configurations.clear();
    delete context;
}

}  // namespace

kzResult kzCreateContext_OpenGL(kzContextOpenGL** context, kzTextureTarget target)
{
    if (!context)
        return KZ_ERROR_INVALID_ARGUMENT;
    if (!openGL33IsCurrent())
        return KZ_ERROR_NOT_SUPPORTED;

    auto* created = new kzContextOpenGL(target);
    if (!compileProgram(*created, &created->staticShader, kzShaderCorrectionStaticVertex, false) ||
        !compileProgram(*created, &created->dynamicShader, kzShaderCorrectionDynamicVertex, true)) {
        freeContext(created);
        return KZ_ERROR_OPENGL;
    }
    *context = created;
    return KZ_OK;
}

kzResult kzDestroyContext_OpenGL(kzContextOpenGL* context)
{
    if (!context)
        return KZ_ERROR_INVALID_ARGUMENT;
    freeContext(context);
    return KZ_OK;
}

kzResult kzSetClippingPlanes_OpenGL(kzContextOpenGL* context, float nearClip, float farClip)
{
    if (!context)
        return KZ_ERROR_INVALID_ARGUMENT;
    context->nearClip = nearClip;
    context->farClip = farClip;
    for (auto& entry : context->corrections) {
        if (kzCamera* camera = entry.second.camera) {
            camera->farClip = farClip;
            camera->nearClip = nearClip;
        }
    }
    return KZ_OK;
}

kzResult kzSetFlipWarpmeshVerticesY_OpenGL(kzContextOpenGL* context, bool flip)
{
    if (!context)
        return KZ_ERROR_INVALID_ARGUMENT;
    context->flipWarpmeshVerticesY = flip;
    return KZ_OK;
}

kzResult kzSetFlipWarpmeshTexcoordsV_OpenGL(kzContextOpenGL* context, bool flip)
{
    if (!context)
        return KZ_ERROR_INVALID_ARGUMENT;
    context->flipWarpmeshTexcoordsV = flip;
    return KZ_OK;
}
