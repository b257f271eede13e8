#include "core/error_text.h"
#include "kzLib/geometry.h"
#include "opengl/correction_table.h"
#include "opengl/opengl_records.h"

namespace {

struct ActiveChannel {
    kzCorrectionDataOpenGL* data = nullptr;
    const kzConfigurationData* configuration = nullptr;
};

kzCorrectionDataOpenGL* findCorrection(kzContextOpenGL* context)
{
    auto found = context->corrections.find(context->activeChannel);
    if (found != context->corrections.end())
        return &found->second;
    kzSetErrorText(context, kzErrorLimitOpenGL, "No correction data available for channel %i",
                   context->activeChannel);
    return nullptr;
}

// The active channel's record and configuration for the frame hooks (a null
// context is an invalid argument). A record
// that set-up stored without its camera or correction mesh is reported like a
// missing one and never used.
kzResult findDrawableChannel(kzContextOpenGL* context, ActiveChannel& channel)
{
    if (!context)
        return KZ_ERROR_INVALID_ARGUMENT;
    channel.data = findCorrection(context);
    if (!channel.data)
        return KZ_ERROR_INVALID_DATA;
    auto found = context->configurations.find(context->activeChannel);
    if (found == context->configurations.end()) {
        kzSetErrorText(context, kzErrorLimitOpenGL, "No configuration data available for channel %i",
                       context->activeChannel);
        return KZ_ERROR_INVALID_DATA;
    }
    channel.configuration = &found->second;
    if (!channel.data->drawable()) {
        kzSetErrorText(context, kzErrorLimitOpenGL, "No correction data available for channel %i",
                       context->activeChannel);
        return KZ_ERROR_INVALID_DATA;
    }
    return KZ_OK;
}

// Re-aims a dynamic channel's camera from the eye through its target rectangle.
void aimDynamicCamera(kzCorrectionDataOpenGL& data, kzVec3f eye)
{
    const kzTargetRect& rect = *data.targetRect;
    kzGetOffAxisViewPortal(data.camera, eye, rect.corners[0], rect.corners[1], rect.corners[3]);
}

void bindTexture(GLint unit, GLenum target, GLuint texture)
{
    glActiveTexture(GL_TEXTURE0 + GLenum(unit));
    glBindTexture(target, texture);
}

GLuint textureName(const kzOpenGLTexture* texture)
{
    return texture ? texture->id : 0;
}

// The scene texture's target. Values other than the rectangle target were
// compiled as 2D samplers, so they bind as 2D textures too.
GLenum sceneTarget(kzTextureTarget target)
{
    return target == KZ_TEXTURE_TARGET_RECTANGLE ? GL_TEXTURE_RECTANGLE : GL_TEXTURE_2D;
}

// The correction mesh drawn through the static or the dynamic program.
void drawMesh(const kzContextOpenGL& context, const kzCorrectionDataOpenGL& data, int32_t type,
              GLuint scene)
{
    float features[kzFeatureCount];
    kzComputeFeatures(data, features);
    kzMatrix4x4 mvp;
    kzGetOrthoMatrix(&mvp, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f);

    const kzOpenGLShader& shader =
        type == KZ_CORRECTION_STATIC ? *context.staticShader : *context.dynamicShader;
    const kzOpenGLUniforms& u = shader.uniforms;
    glUseProgram(shader.program);
    bindTexture(KZ_UNIT_SOURCE, sceneTarget(context.target), scene);
    bindTexture(KZ_UNIT_BLENDING, GL_TEXTURE_2D, textureName(data.blendingTexture));
    bindTexture(KZ_UNIT_BLACKLEVEL, GL_TEXTURE_2D, textureName(data.blacklevelTexture));
    bindTexture(KZ_UNIT_SECONDARY_BLENDING, GL_TEXTURE_2D, textureName(data.secondaryBlendingTexture));
    bindTexture(KZ_UNIT_DIRECTIONAL_SHADING, GL_TEXTURE_2D,
                textureName(data.directionalShadingTexture));

    glUniform1fv(u.features, kzFeatureCount, features);
    glUniformMatrix4fv(u.mvp, 1, GL_FALSE, mvp.m);
    if (type != KZ_CORRECTION_STATIC) {
        kzMatrix4x4 cameraMvp;
        kzGetModelViewProjectionMatrix(&cameraMvp, *data.camera);
        const float cameraPosition[4] = {data.camera->position.x, data.camera->position.y,
                                         data.camera->position.z, 0.0f};
        glUniformMatrix4fv(u.cameraMvp, 1, GL_FALSE, cameraMvp.m);
        glUniform1i(u.flipV, context.flipWarpmeshTexcoordsV);
        glUniform4fv(u.cameraPosition, 1, cameraPosition);
    }
    glUniform1f(u.gamma, data.gamma);
    glUniform1f(u.inputGamma, data.inputGamma);
    glUniform1f(u.outputGamma, data.outputGamma);

    glBindVertexArray(data.cmesh->vao);
    glDrawElements(GL_TRIANGLES, data.cmesh->indexCount, GL_UNSIGNED_INT, nullptr);
}

// The pass setters need the active channel's record, drawable or not.
template <typename Change>
kzResult changeActiveChannelPasses(kzContextOpenGL* context, Change change)
{
    if (!context)
        return KZ_ERROR_INVALID_ARGUMENT;
    kzCorrectionDataOpenGL* data = findCorrection(context);
    if (!data)
        return KZ_ERROR_INVALID_DATA;
    change(*data);
    return KZ_OK;
}

}  // namespace

kzResult kzPreDraw_OpenGL(kzContextOpenGL* context, kzVec3f eye, kzVec3f* angles,
                          kzMatrix4x4* projection)
{
    ActiveChannel channel;
    if (kzResult result = findDrawableChannel(context, channel); result != KZ_OK)
        return result;
    kzCorrectionDataOpenGL& data = *channel.data;
    switch (channel.configuration->type) {
    case KZ_CORRECTION_STATIC:
        break;
    case KZ_CORRECTION_DYNAMIC:
        // Without a projection to fill the camera is not re-aimed, so the
        // angles are those of the last update.
        if (projection) {
            if (!data.targetRect)
                projection = nullptr;
            else
                aimDynamicCamera(data, eye);
        }
        break;
    default:
        return KZ_OK;
    }
    if (projection)
        kzGetProjectionMatrix(projection, *data.camera);
    if (angles)
        kzGetOrientation(angles, data.camera->direction, data.camera->up);
    return KZ_OK;
}

kzResult kzPreDraw_OpenGL_1(kzContextOpenGL* context, kzVec3f eye, kzCamera* camera)
{
    ActiveChannel channel;
    if (kzResult result = findDrawableChannel(context, channel); result != KZ_OK)
        return result;
    kzCorrectionDataOpenGL& data = *channel.data;
    if (!camera)
        return KZ_OK;
    switch (channel.configuration->type) {
    case KZ_CORRECTION_STATIC:
        *camera = *data.camera;
        break;
    case KZ_CORRECTION_DYNAMIC:
        if (data.targetRect) {
            aimDynamicCamera(data, eye);
            *camera = *data.camera;
        }
        break;
    default:
        break;
    }
    return KZ_OK;
}

kzResult kzPostDraw_OpenGL(kzContextOpenGL* context, unsigned texture)
{
    ActiveChannel channel;
    if (kzResult result = findDrawableChannel(context, channel); result != KZ_OK)
        return result;
    if (!kzOpenGLContextIsCurrent()) {
        kzSetErrorText(context, kzErrorLimitOpenGL, "No current OpenGL context for channel %i",
                       context->activeChannel);
        return KZ_ERROR_NOT_SUPPORTED;
    }
    kzCorrectionDataOpenGL& data = *channel.data;

    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    const kzOpenGLTableKey key = kzOpenGLCurrentTableKey(*context, data);
    if (channel.configuration->type == KZ_CORRECTION_STATIC &&
        kzOpenGLTableDrawable(*context, data, key)) {
        if (!data.table->baked || data.table->key != key)
            kzOpenGLBakeCorrectionTable(*context, data, key);
        kzOpenGLDrawCorrectionTable(*context, data, texture);
    } else {
        drawMesh(*context, data, channel.configuration->type, texture);
    }
    glBindVertexArray(0);

    for (GLenum unit = KZ_UNIT_TABLE; unit >= 1; --unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(sceneTarget(context->target), 0);
    glUseProgram(0);
    return KZ_OK;
}

kzResult kzSetCorrectionMethod_OpenGL(kzContextOpenGL* context, kzCorrectionMethod method)
{
    if (!context)
        return KZ_ERROR_INVALID_ARGUMENT;
    if (method != KZ_CORRECTION_METHOD_BAKED && method != KZ_CORRECTION_METHOD_MESH) {
        kzSetErrorText(context, kzErrorLimitOpenGL, "Unknown correction method %d", int(method));
        return KZ_ERROR_NOT_SUPPORTED;
    }
    context->method = method;
    // The active channel gets its table now; others get theirs when activated.
    auto found = context->corrections.find(context->activeChannel);
    if (method == KZ_CORRECTION_METHOD_BAKED && found != context->corrections.end() &&
        kzOpenGLContextIsCurrent())
        kzOpenGLPrepareChannelTable(*context, context->activeChannel, found->second);
    return KZ_OK;
}

kzResult kzSetCorrectionPass_OpenGL(kzContextOpenGL* context, kzCorrectionPassType pass, bool enable)
{
    return changeActiveChannelPasses(
        context, [&](kzChannelPasses& passes) { kzEnableCorrectionPass(passes, pass, enable); });
}

kzResult kzSetCorrectionPass_OpenGL_1(kzContextOpenGL* context, kzCorrectionPassType pass,
                                      float weight)
{
    return changeActiveChannelPasses(
        context, [&](kzChannelPasses& passes) { kzWeightCorrectionPass(passes, pass, weight); });
}
