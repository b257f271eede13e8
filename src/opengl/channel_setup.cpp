#include <cstdlib>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "config/channel_warpmap.h"
#include "core/error_text.h"
#include "kzLib/calibration.h"
#include "opengl/correction_table.h"
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

// A mask the configuration does not name leaves its pass off without a word;
// only a named mask that fails is reported.
void loadMask(kzContextOpenGL* context, const char* path, kzOpenGLTexture*& texture,
              kzCorrectionPass& pass)
{
    if (path[0] == '\0') {
        kzLockCorrectionPass(pass);
        return;
    }
    // A mask never needs more texels than the output it is drawn over.
    const calib::MaskFit fit = calib::maskFitForOutput(context->width, context->height);
    if (!kzOpenGLCreateTextureFromFile(path, &texture, fit)) {
        kzSetErrorText(context, kzErrorLimitOpenGL, "Failed to create texture from %s", path);
        kzLockCorrectionPass(pass);
    }
}

// Loads a mask again when the output size changed what its load would give
// (it was reduced, or would be now); the old texture stays if that fails.
void refitMask(const char* path, const calib::MaskFit& fit, kzOpenGLTexture*& texture)
{
    if (!texture || calib::maskMatchesFit(texture->width, texture->height, texture->storedWidth,
                                          texture->storedHeight, fit))
        return;
    kzOpenGLTexture* refitted = nullptr;
    if (kzOpenGLCreateTextureFromFile(path, &refitted, fit)) {
        kzOpenGLFreeTexture(texture);
        texture = refitted;
    }
}

void refitMasks(kzContextOpenGL* context, unsigned channel, kzCorrectionDataOpenGL& data)
{
    const auto found = context->configurations.find(channel);
    if (found == context->configurations.end())
        return;
    const kzConfigurationData& configuration = found->second;
    const calib::MaskFit fit = calib::maskFitForOutput(context->width, context->height);
    refitMask(configuration.blending, fit, data.blendingTexture);
    refitMask(configuration.secondaryBlending, fit, data.secondaryBlendingTexture);
    refitMask(configuration.blacklevel, fit, data.blacklevelTexture);
    refitMask(configuration.directionalShading, fit, data.directionalShadingTexture);
}

// What a type's build step returns, and whether the record is kept.
struct BuildOutcome {
    kzResult result;
    bool store;
};

// Static channel: camera file and warp map; nothing is kept on failure.
BuildOutcome buildStatic(kzContextOpenGL* context, const kzConfigurationData& configuration,
                         kzCorrectionDataOpenGL& data)
{
    if (kzResult result = kzLoadCameraFromFile(configuration.frustum, data.camera); result != KZ_OK) {
        kzSetErrorText(context, kzErrorLimitOpenGL, "Failed to load camera configuration from %s",
                       configuration.frustum);
        return {result, false};
    }
    // The warp map lives in GL buffers once uploaded; the loaded copy goes.
    kzMesh warpMesh;
    if (kzLoadChannelWarpmap(*context, context->activeChannel, configuration.warpmap, &warpMesh) != KZ_OK) {
        kzSetErrorText(context, kzErrorLimitOpenGL, "Failed to load warping from %s",
                       configuration.warpmap);
        return {KZ_ERROR_OPENGL, false};
    }
    data.grid = kzSummariseGrid(warpMesh);
    if (!kzOpenGLCreateCorrectionMesh(&warpMesh, &data.cmesh, GL_STATIC_DRAW, {},
                                      kzOpenGLMeshInputs::Flat)) {
        kzSetErrorText(context, kzErrorLimitOpenGL, "Failed to create warp mesh");
        return {KZ_ERROR_OPENGL, false};
    }
    return {KZ_OK, true};
}

// The mesh a dynamic channel uploads: the shape with each vertex moved to its
// texture coordinate on the output. It borrows the shape's other arrays.
class OutputLayout {
public:
    OutputLayout(const kzMesh& shape, bool flipVerticesY)
    {
        const size_t count = size_t(shape.width) * size_t(shape.height);
        mesh_.vertices = static_cast<kzVec3f*>(std::malloc(count * sizeof(kzVec3f) + 1));
        if (!mesh_.vertices)
            throw std::bad_alloc();
        for (size_t i = 0; i < count; ++i) {
            const kzVec2f uv = shape.texcoords[i];
            mesh_.vertices[i] = kzVec3f{uv.x, flipVerticesY ? 1.0f - uv.y : uv.y, 0.0f};
        }
        mesh_.texcoords = shape.texcoords;
        mesh_.normals = shape.normals;
        mesh_.tangents = shape.tangents;
        mesh_.width = shape.width;
        mesh_.height = shape.height;
    }
    ~OutputLayout()
    {
        mesh_.texcoords = nullptr;
        mesh_.normals = nullptr;
        mesh_.tangents = nullptr;
    }
    OutputLayout(const OutputLayout&) = delete;
    OutputLayout& operator=(const OutputLayout&) = delete;

    const kzMesh* mesh() const { return &mesh_; }

private:
    kzMesh mesh_;
};

// Dynamic channel: target rectangle and screen shape. A missing target leaves
// the channel without a per-frame view; a missing shape keeps the record
// without a mesh.
BuildOutcome buildDynamic(kzContextOpenGL* context, const kzConfigurationData& configuration,
                          kzCorrectionDataOpenGL& data)
{
    data.targetRect = new kzTargetRect{};
    if (kzLoadTargetRectFromFile(configuration.target, data.targetRect) != KZ_OK) {
        kzSetErrorText(context, kzErrorLimitOpenGL, "Failed to load target rectangle from %s",
                       configuration.target);
        delete data.targetRect;
        data.targetRect = nullptr;
    }
    auto shape = std::make_unique<kzMesh>();
    if (kzResult result = kzLoadScreenShapeFromFile(configuration.shape, shape.get(), 0); result != KZ_OK) {
        kzSetErrorText(context, kzErrorLimitOpenGL, "Failed to load screen shape from %s",
                       configuration.shape);
        return {result, true};
    }
    data.screenShape = shape.release();
    const kzMesh& screen = *data.screenShape;
    data.grid = kzSummariseGrid(screen);
    const OutputLayout upload(screen, context->flipWarpmeshVerticesY);
    std::vector<kzVec3f> world(screen.vertices, screen.vertices + size_t(screen.width) * screen.height);
    if (!kzOpenGLCreateCorrectionMesh(upload.mesh(), &data.cmesh, GL_DYNAMIC_DRAW, std::move(world))) {
        kzSetErrorText(context, kzErrorLimitOpenGL, "Failed to create warp mesh");
        return {KZ_ERROR_OPENGL, false};
    }
    return {KZ_OK, true};
}

}  // namespace

void kzOpenGLReleaseCorrectionData(kzCorrectionDataOpenGL& data)
{
    kzOpenGLFreeTexture(data.blendingTexture);
    kzOpenGLFreeTexture(data.secondaryBlendingTexture);
    kzOpenGLFreeTexture(data.blacklevelTexture);
    kzOpenGLFreeTexture(data.directionalShadingTexture);
    kzOpenGLFreeCorrectionTable(data);
    kzOpenGLFreeCorrectionMesh(data.cmesh);
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
    if (auto built = context->corrections.find(channel); built != context->corrections.end()) {
        // A new output size needs a table of that size, and masks fitted to it.
        if (kzOpenGLContextIsCurrent()) {
            refitMasks(context, channel, built->second);
            kzOpenGLPrepareChannelTable(*context, channel, built->second);
        }
        return KZ_OK;
    }

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

    BuildOutcome outcome{KZ_ERROR_INVALID_DATA, true};
    switch (configuration.type) {
    case KZ_CORRECTION_STATIC:
        outcome = buildStatic(context, configuration, data);
        break;
    case KZ_CORRECTION_DYNAMIC:
        outcome = buildDynamic(context, configuration, data);
        break;
    default:
        // Kept with its camera and masks, but without a mesh it is never drawn.
        kzSetErrorText(context, kzErrorLimitOpenGL, "Unknown configuration type for channel %i",
                       channel);
        break;
    }
    kzOpenGLNoteSetUp(*context, channel, outcome.store, data);
    if (outcome.store) {
        kzCorrectionDataOpenGL& stored = context->corrections.emplace(channel, pending.take()).first->second;
        kzOpenGLPrepareChannelTable(*context, channel, stored);
    }
    return outcome.result;
}
