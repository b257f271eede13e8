#include <algorithm>
#include <cstdlib>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/error_text.h"
#include "kzLib/calibration.h"
#include "opengl/opengl_records.h"

namespace {

// Owns a record under construction; releases what it holds unless the record
// was handed to the context.
class PendingRecord {
public:
    ~PendingRecord() { kzOpenGLReleaseCorrectionData(data); }
    kzCorrectionDataOpenGL take() { return std::exchange(data, kzCorrectionDataOpenGL{}); }
    kzCorrectionDataOpenGL data;
};

void loadMask(kzContextOpenGL* context, const char* path, kzOpenGLTexture*& texture,
              kzCorrectionPass& pass)
{
    if (!kzOpenGLCreateTextureFromFile(path, &texture)) {
        kzSetErrorText(context, kzErrorLimitOpenGL, "Failed to create texture from %s", path);
        kzLockCorrectionPass(pass);
    }
}

// Static channel: camera file and warp map. Returns the result; on a non-zero
// result nothing is stored.
kzResult buildStatic(kzContextOpenGL* context, const kzConfigurationData& configuration,
                     kzCorrectionDataOpenGL& data)
{
    if (kzResult result = kzLoadCameraFromFile(configuration.frustum, data.camera); result != KZ_OK) {
        kzSetErrorText(context, kzErrorLimitOpenGL, "Failed to load camera configuration from %s",
                       configuration.frustum);
        return result;
    }
    data.warpMesh = new kzMesh;
    if (kzLoadWarpmapFromFile(configuration.warpmap, data.warpMesh, context->flipWarpmeshVerticesY,
                              context->flipWarpmeshTexcoordsV) != KZ_OK) {
        kzSetErrorText(context, kzErrorLimitOpenGL, "Failed to load warping from %s",
                       configuration.warpmap);
        return KZ_ERROR_OPENGL;
    }
    if (!kzOpenGLCreateCorrectionMesh(data.warpMesh, &data.cmesh, GL_STATIC_DRAW, {})) {
        kzSetErrorText(context, kzErrorLimitOpenGL, "Failed to create warp mesh");
        return KZ_ERROR_OPENGL;
    }
    return KZ_OK;
}

// The mesh a dynamic channel uploads: each vertex placed on the output at the
// shape's texture coordinate, everything else copied from the shape.
kzMesh outputLayoutOf(const kzMesh& shape, bool flipVerticesY)
{
    const size_t count = size_t(shape.width) * size_t(shape.height);
    kzMesh copy;
    copy.width = shape.width;
    copy.height = shape.height;
    auto duplicate = [count](const auto* source, auto*& target) {
        if (!source)
            return;
        using Element = std::remove_const_t<std::remove_pointer_t<decltype(source)>>;
        target = static_cast<Element*>(std::malloc(count * sizeof(Element) + 1));
        if (!target)
            throw std::bad_alloc();
        std::copy(source, source + count, target);
    };
    duplicate(shape.texcoords, copy.texcoords);
    duplicate(shape.normals, copy.normals);
    duplicate(shape.tangents, copy.tangents);
    copy.vertices = static_cast<kzVec3f*>(std::malloc(count * sizeof(kzVec3f) + 1));
    if (!copy.vertices)
        throw std::bad_alloc();
    for (size_t i = 0; i < count; ++i) {
        const kzVec2f uv = shape.texcoords ? shape.texcoords[i] : kzVec2f{0.0f, 0.0f};
        copy.vertices[i] = kzVec3f{uv.x, flipVerticesY ? 1.0f - uv.y : uv.y, 0.0f};
    }
    return copy;
}

// Dynamic channel: target rectangle and screen shape. A missing target leaves
// the channel without a per-frame view; a missing shape stores the record
// without a mesh.
kzResult buildDynamic(kzContextOpenGL* context, const kzConfigurationData& configuration,
                      kzCorrectionDataOpenGL& data, bool& store)
{
    data.targetRect = new kzTargetRect{};
    if (kzLoadTargetRectFromFile(configuration.target, data.targetRect) != KZ_OK) {
        kzSetErrorText(context, kzErrorLimitOpenGL, "Failed to load target rectangle from %s",
                       configuration.target);
        delete data.targetRect;
        data.targetRect = nullptr;
    }
    auto* shape = new kzMesh;
    if (kzResult result = kzLoadScreenShapeFromFile(configuration.shape, shape, 0); result != KZ_OK) {
        kzSetErrorText(context, kzErrorLimitOpenGL, "Failed to load screen shape from %s",
                       configuration.shape);
        delete shape;
        store = true;
        return result;
    }
    data.screenShape = shape;
    const size_t count = size_t(shape->width) * size_t(shape->height);
    kzMesh upload = outputLayoutOf(*shape, context->flipWarpmeshVerticesY);
    std::vector<kzVec3f> world(shape->vertices, shape->vertices + count);
    if (!kzOpenGLCreateCorrectionMesh(&upload, &data.cmesh, GL_DYNAMIC_DRAW, std::move(world))) {
        kzSetErrorText(context, kzErrorLimitOpenGL, "Failed to create warp mesh");
        return KZ_ERROR_OPENGL;
    }
    store = true;
    return KZ_OK;
}

}  // namespace

void kzOpenGLReleaseCorrectionData(kzCorrectionDataOpenGL& data)
{
    kzOpenGLFreeTexture(data.blendingTexture);
    kzOpenGLFreeTexture(data.secondaryBlendingTexture);
    kzOpenGLFreeTexture(data.blacklevelTexture);
    kzOpenGLFreeTexture(data.directionalShadingTexture);
    kzOpenGLFreeCorrectionMesh(data.cmesh);
    delete data.warpMesh;
    delete data.camera;
    delete data.screenShape;
    delete data.targetRect;
    data = kzCorrectionDataOpenGL{};
}

kzResult kzSetActiveChannel_OpenGL(kzContextOpenGL* context, unsigned channel, unsigned width,
                                   unsigned height)
{
    if (!context)
        return KZ_ERROR_INVALID_ARGUMENT;
    context->activeChannel = channel;
    context->width = width;
    context->height = height;
    if (context->corrections.count(channel))
        return KZ_OK;

    PendingRecord pending;
    kzCorrectionDataOpenGL& data = pending.data;
    auto found = context->configurations.find(channel);
    if (found == context->configurations.end()) {
        kzSetErrorText(context, kzErrorLimitOpenGL, "No configuration found for channel %i", channel);
        context->corrections.emplace(channel, pending.take());
        return KZ_ERROR_INVALID_DATA;
    }
    if (!kzOpenGLContextIsCurrent()) {
        kzSetErrorText(context, kzErrorLimitOpenGL, "No current OpenGL context for channel %i",
                       channel);
        return KZ_ERROR_NOT_SUPPORTED;
    }
    const kzConfigurationData& configuration = found->second;

    data.camera = new kzCamera{};
    data.camera->farClip = context->farClip;
    data.camera->nearClip = context->nearClip;
    loadMask(context, configuration.blending, data.blendingTexture, data.blendingPass);
    loadMask(context, configuration.secondaryBlending, data.secondaryBlendingTexture,
             data.secondaryBlendingPass);
    loadMask(context, configuration.blacklevel, data.blacklevelTexture, data.blacklevelPass);
    loadMask(context, configuration.directionalShading, data.directionalShadingTexture,
             data.directionalShadingPass);
    data.gamma = configuration.gamma;
    data.inputGamma = configuration.inputGamma;
    data.outputGamma = configuration.outputGamma;

    kzResult result = KZ_OK;
    bool store = false;
    switch (configuration.type) {
    case KZ_CORRECTION_STATIC:
        result = buildStatic(context, configuration, data);
        store = result == KZ_OK;
        break;
    case KZ_CORRECTION_DYNAMIC:
        result = buildDynamic(context, configuration, data, store);
        break;
    default:
        kzSetErrorText(context, kzErrorLimitOpenGL, "Unknown configuration type for channel %i",
                       channel);
        result = KZ_ERROR_INVALID_DATA;
        store = true;
        break;
    }
    if (store)
        context->corrections.emplace(channel, pending.take());
    return result;
}
