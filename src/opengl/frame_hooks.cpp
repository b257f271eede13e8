#include "core/error_text.h"
#include "kzLib/geometry.h"
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

void setSampler(GLuint program, const char* name, GLint unit, GLenum target, GLuint texture)
{
    glUniform1i(glGetUniformLocation(program, name), unit);
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
    const kzCorrectionDataOpenGL& data = *channel.data;

    float features[kzFeatureCount];
    kzComputeFeatures(data, features);
    kzMatrix4x4 cameraMvp;
    kzGetModelViewProjectionMatrix(&cameraMvp, *data.camera);
    const float cameraPosition[4] = {data.camera->position.x, data.camera->position.y,
                                     data.camera->position.z, 0.0f};
    kzMatrix4x4 mvp;
    kzGetOrthoMatrix(&mvp, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f);

    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    const kzOpenGLShader* shader = channel.configuration->type == KZ_CORRECTION_STATIC
                                       ? context->staticShader
                                       : context->dynamicShader;
    const GLuint program = shader->program;
    glUseProgram(program);

    const GLenum target = sceneTarget(context->target);
    glUniform1i(glGetUniformLocation(program, "source"), 0);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(target, texture);
    setSampler(program, "blending", 1, GL_TEXTURE_2D, textureName(data.blendingTexture));
    setSampler(program, "blacklevel", 2, GL_TEXTURE_2D, textureName(data.blacklevelTexture));
    setSampler(program, "secondary_blending", 3, GL_TEXTURE_2D,
               textureName(data.secondaryBlendingTexture));
    setSampler(program, "directional_shading", 4, GL_TEXTURE_2D,
               textureName(data.directionalShadingTexture));

    glUniform1fv(glGetUniformLocation(program, "features"), kzFeatureCount, features);
    glUniformMatrix4fv(glGetUniformLocation(program, "mvp"), 1, GL_FALSE, mvp.m);
    glUniformMatrix4fv(glGetUniformLocation(program, "camera_mvp"), 1, GL_FALSE, cameraMvp.m);
    glUniform1i(glGetUniformLocation(program, "flip_v"), context->flipWarpmeshTexcoordsV);
    glUniform4fv(glGetUniformLocation(program, "camera_position"), 1, cameraPosition);
    glUniform1f(glGetUniformLocation(program, "gamma"), data.gamma);
    glUniform1f(glGetUniformLocation(program, "inputGamma"), data.inputGamma);
    glUniform1f(glGetUniformLocation(program, "outputGamma"), data.outputGamma);

    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glBindVertexArray(data.cmesh->vao);
    // Indices come from client memory: no element buffer is bound to the array.
    glDrawElements(GL_TRIANGLES, GLsizei(data.cmesh->indices.size()), GL_UNSIGNED_INT,
                   data.cmesh->indices.data());
    glBindVertexArray(0);

    for (GLenum unit = 4; unit >= 1; --unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(target, 0);
    glActiveTexture(GL_TEXTURE0);
    glUseProgram(0);
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
