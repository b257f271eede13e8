#include <memory>
#include <utility>
#include <vector>

#include "config/channel_warpmap.h"
#include "core/error_text.h"
#include "core/messages.h"
#include "kzLib/calibration.h"
#include "vulkan/vulkan_records.h"

using namespace kz_vk_defs;

namespace {

// Owns a record under construction; releases what it holds (also when an
// exception leaves the set-up) unless the record was handed to the context.
class PendingRecord {
public:
    explicit PendingRecord(kzContextVulkan* context) : context_(context) {}
    ~PendingRecord() { kzVulkanReleaseCorrectionData(context_, data); }
    PendingRecord(const PendingRecord&) = delete;
    PendingRecord& operator=(const PendingRecord&) = delete;
    kzCorrectionDataVulkan take() { return std::exchange(data, kzCorrectionDataVulkan{}); }

    kzCorrectionDataVulkan data;

private:
    kzContextVulkan* context_;
};

bool isKnownType(int32_t type)
{
    return type == KZ_CORRECTION_STATIC || type == KZ_CORRECTION_DYNAMIC;
}

// A mask the configuration does not name leaves its pass off without a word;
// only a named mask that fails is reported.
void loadMask(kzContextVulkan* context, const char* path, const char* format,
              kzVulkanTexture& texture, kzCorrectionPass& pass)
{
    if (path[0] == '\0') {
        kzLockCorrectionPass(pass);
        return;
    }
    // A mask never needs more texels than the output it is drawn over.
    const calib::MaskFit fit = calib::maskFitForOutput(context->width, context->height);
    if (!kzVulkanCreateTextureFromFile(context, path, texture, fit)) {
        kzSetErrorText(context, kzErrorLimitVulkan, format, path);
        kzLockCorrectionPass(pass);
    }
}

void loadMasks(kzContextVulkan* context, const kzConfigurationData& configuration,
               kzCorrectionDataVulkan& data)
{
    loadMask(context, configuration.blending, "Failed to create blending texture from %s",
             data.blendingTexture, data.blendingPass);
    loadMask(context, configuration.secondaryBlending,
             "Failed to create secondary blending texture from %s", data.secondaryBlendingTexture,
             data.secondaryBlendingPass);
    loadMask(context, configuration.blacklevel, "Failed to create blc texture from %s",
             data.blacklevelTexture, data.blacklevelPass);
    loadMask(context, configuration.directionalShading, "Failed to create color texture from %s",
             data.directionalShadingTexture, data.directionalShadingPass);
}

// Uniform blocks, descriptor pool and sets, and command buffers for each of
// the record's image views. Failures leave the record without them (it is then
// not drawn); Vulkan errors inside the buffer helpers throw.
void buildImageObjects(kzContextVulkan* context, kzCorrectionDataVulkan& data)
{
    const int n = int(data.imageViews.size());
    if (n < 1)
        return;
    try {
        kzVulkanCreateUniformBuffers(context, data, n);
    } catch (...) {
        kzVulkanReleaseImageObjects(context, data);
        throw;
    }
    const bool dynamic = data.correctionType == KZ_CORRECTION_DYNAMIC;
    const bool sets = dynamic ? kzVulkanCreateDynamicDescriptorPool(context, data.descriptorPool, n) &&
                                    kzVulkanCreateDynamicDescriptorSets(context, data, n)
                              : kzVulkanCreateStaticDescriptorPool(context, data.descriptorPool, n) &&
                                    kzVulkanCreateStaticDescriptorSets(context, data, n);
    if (!sets || !kzVulkanCreateCommandBuffers(context, data, n))
        kzVulkanReleaseImageObjects(context, data);
}

// A static channel with per-image objects gets a table at the output size;
// one already made for this size and these images is kept (its bake key says
// whether it must be baked again). Without a table the channel draws its mesh.
void prepareTable(kzContextVulkan* context, kzCorrectionDataVulkan& data)
{
    if (data.correctionType != KZ_CORRECTION_STATIC || !data.hasImageObjects())
        return;
    const kzVulkanCorrectionTable& table = data.table;
    if (table.drawable(data.imageViews.size()) && table.width == context->width &&
        table.height == context->height) {
        kzVulkanUpdateTableDescriptorSets(context, data);
        return;
    }
    if (!kzVulkanCreateCorrectionTable(context, data))
        kzLogMessage(KZ_MESSAGE_WARNING, "No correction table for a %ux%u output: the channel draws its mesh",
                     context->width, context->height);
}

// What a type's build step returns, and whether the record is kept.
struct BuildOutcome {
    kzResult result;
    bool store;
};

// Static channel: camera file and warp map; nothing is kept on failure.
BuildOutcome buildStatic(kzContextVulkan* context, const kzConfigurationData& configuration,
                         kzCorrectionDataVulkan& data)
{
    if (kzResult result = kzLoadCameraFromFile(configuration.frustum, data.camera.get());
        result != KZ_OK) {
        kzSetErrorText(context, kzErrorLimitVulkan, "Failed to load camera configuration from %s",
                       configuration.frustum);
        return {result, false};
    }
    if (kzLoadChannelWarpmap(*context, context->activeChannel, configuration.warpmap, &data.warpMesh) != KZ_OK) {
        kzSetErrorText(context, kzErrorLimitVulkan, "Failed to load warping from %s",
                       configuration.warpmap);
        return {KZ_ERROR_VULKAN, false};
    }
    data.grid = kzSummariseGrid(data.warpMesh);
    if (!kzVulkanCreateCorrectionMesh(context, &data.warpMesh, data.cmesh)) {
        kzSetErrorText(context, kzErrorLimitVulkan, "Failed to create warp mesh");
        return {KZ_ERROR_VULKAN, false};
    }
    data.warpMesh.release();  // the buffers hold all that is drawn from it
    buildImageObjects(context, data);
    prepareTable(context, data);
    return {KZ_OK, true};
}

// Dynamic channel: target rectangle and screen shape. A missing target leaves
// the channel without a per-frame view; a missing shape keeps the record
// without mesh buffers.
BuildOutcome buildDynamic(kzContextVulkan* context, const kzConfigurationData& configuration,
                          kzCorrectionDataVulkan& data)
{
    if (kzLoadTargetRectFromFile(configuration.target, &data.targetRect) == KZ_OK) {
        data.hasTargetRect = true;
    } else {
        kzSetErrorText(context, kzErrorLimitVulkan, "Failed to load target rectangle from %s",
                       configuration.target);
    }
    const kzResult result = kzLoadScreenShapeFromFile(configuration.shape, &data.screenShape, 0);
    data.grid = kzSummariseGrid(data.screenShape);
    if (result != KZ_OK) {
        kzSetErrorText(context, kzErrorLimitVulkan, "Failed to load screen shape from %s",
                       configuration.shape);
    } else if (data.screenShape.width != 0 && data.screenShape.height != 0 &&
               !kzVulkanCreateDynamicCorrectionMesh(context, &data.screenShape, data.cmesh)) {
        kzSetErrorText(context, kzErrorLimitVulkan, "Failed to create warp mesh");
        return {KZ_ERROR_VULKAN, false};
    }
    buildImageObjects(context, data);
    return {result, true};
}

kzResult buildRecord(kzContextVulkan* context, unsigned channel,
                     std::vector<VkImageView> imageViews)
{
    PendingRecord pending(context);
    kzCorrectionDataVulkan& data = pending.data;
    data.imageViews = std::move(imageViews);
    auto found = context->configurations.find(channel);
    if (found == context->configurations.end()) {
        kzSetErrorText(context, kzErrorLimitVulkan, "No configuration found for channel %i", channel);
        context->corrections.emplace(channel, pending.take());
        return KZ_ERROR_INVALID_DATA;
    }
    const kzConfigurationData& configuration = found->second;

    data.camera = std::make_unique<kzCamera>();
    data.camera->farClip = context->farClip;
    data.camera->nearClip = context->nearClip;
    loadMasks(context, configuration, data);
    data.gamma = configuration.gamma;
    data.inputGamma = configuration.inputGamma;
    data.outputGamma = configuration.outputGamma;

    BuildOutcome outcome{KZ_ERROR_INVALID_DATA, true};
    data.correctionType = configuration.type;
    switch (configuration.type) {
    case KZ_CORRECTION_STATIC:
        outcome = buildStatic(context, configuration, data);
        break;
    case KZ_CORRECTION_DYNAMIC:
        outcome = buildDynamic(context, configuration, data);
        break;
    default:
        // Kept with its camera and masks; without per-image objects it is never drawn.
        data.correctionType = -1;
        kzSetErrorText(context, kzErrorLimitVulkan, "Unknown configuration type for channel %i",
                       channel);
        break;
    }
    kzVulkanNoteSetUp(*context, channel, outcome.store, data);
    if (outcome.store)
        context->corrections.emplace(channel, pending.take());
    return outcome.result;
}

// A record is rebuilt from scratch when it was stored without a usable
// configuration, or for a correction type other than the one now configured.
// Whether a mask would load at another size for the context's output size
// (it was reduced, or would be now).
bool maskNeedsRefit(const kzContextVulkan* context, const kzVulkanTexture& texture)
{
    return texture.view != VK_NULL_HANDLE &&
           !calib::maskMatchesFit(int(texture.width), int(texture.height), int(texture.storedWidth),
                                  int(texture.storedHeight),
                                  calib::maskFitForOutput(context->width, context->height));
}

bool needsRebuild(const kzContextVulkan* context, const kzCorrectionDataVulkan& data,
                  const kzConfigurationData& configuration)
{
    return !data.camera || data.correctionType != configuration.type ||
           maskNeedsRefit(context, data.blendingTexture) ||
           maskNeedsRefit(context, data.secondaryBlendingTexture) ||
           maskNeedsRefit(context, data.blacklevelTexture) ||
           maskNeedsRefit(context, data.directionalShadingTexture);
}

// Switching to a known channel: new scene image views. The per-image objects
// are made again when the number of images changed, else only the descriptor
// sets are rewritten.
kzResult rebindRecord(kzContextVulkan* context, kzCorrectionDataVulkan& data,
                      std::vector<VkImageView> imageViews)
{
    const bool sameCount = imageViews.size() == data.imageViews.size();
    data.imageViews = std::move(imageViews);
    if (!sameCount || !data.hasImageObjects()) {
        kzVulkanReleaseImageObjects(context, data);
        buildImageObjects(context, data);
    } else {
        const int n = int(data.imageViews.size());
        if (data.correctionType == KZ_CORRECTION_DYNAMIC)
            kzVulkanUpdateDynamicDescriptorSets(context, data, n);
        else
            kzVulkanUpdateStaticDescriptorSets(context, data, n);
    }
    prepareTable(context, data);
    return KZ_OK;
}

}  // namespace

kzResult kzSetActiveChannel_Vulkan(kzContextVulkan* context, unsigned channel,
                                   std::vector<VkImageView> imageViews, unsigned width,
                                   unsigned height)
{
    if (!context)
        return KZ_ERROR_INVALID_ARGUMENT;
    if (!context->commandsLoaded) {
        kzSetErrorText(context, kzErrorLimitVulkan, "Failed to initialize vulkan runtime");
        return KZ_ERROR_VULKAN;
    }
    // A render area or a scene binding that Vulkan cannot take is refused
    // before anything changes.
    if (width == 0 || height == 0) {
        kzSetErrorText(context, kzErrorLimitVulkan, "Output size %ux%u of channel %i is empty", width,
                       height, channel);
        return KZ_ERROR_INVALID_ARGUMENT;
    }
    for (size_t i = 0; i < imageViews.size(); ++i) {
        if (imageViews[i] == VK_NULL_HANDLE) {
            kzSetErrorText(context, kzErrorLimitVulkan, "Image view %zu of channel %i is null", i,
                           channel);
            return KZ_ERROR_INVALID_ARGUMENT;
        }
    }
    context->activeChannel = channel;
    context->width = width;
    context->height = height;
    // Nothing of the channel's may be in flight while its objects change.
    vkDeviceWaitIdle(context->device);

    auto existing = context->corrections.find(channel);
    if (existing != context->corrections.end()) {
        kzCorrectionDataVulkan& data = existing->second;
        auto found = context->configurations.find(channel);
        if (found == context->configurations.end()) {
            data.imageViews = std::move(imageViews);
            kzSetErrorText(context, kzErrorLimitVulkan, "No configuration found for channel %i",
                           channel);
            return KZ_ERROR_INVALID_DATA;
        }
        if (!isKnownType(found->second.type)) {
            data.imageViews = std::move(imageViews);
            kzSetErrorText(context, kzErrorLimitVulkan, "Unknown configuration type for channel %i",
                           channel);
            return KZ_ERROR_INVALID_DATA;
        }
        if (!needsRebuild(context, data, found->second))
            return rebindRecord(context, data, std::move(imageViews));
        kzVulkanReleaseCorrectionData(context, data);
        context->corrections.erase(existing);
    }
    return buildRecord(context, channel, std::move(imageViews));
}

void kzVulkanReleaseCorrectionData(kzContextVulkan* context, kzCorrectionDataVulkan& data)
{
    kzVulkanFreeTexture(context, &data.blendingTexture);
    kzVulkanFreeTexture(context, &data.secondaryBlendingTexture);
    kzVulkanFreeTexture(context, &data.blacklevelTexture);
    kzVulkanFreeTexture(context, &data.directionalShadingTexture);
    kzVulkanFreeCorrectionMesh(context, &data.cmesh);
    kzVulkanFreeCorrectionTable(context, data.table);
    kzVulkanReleaseImageObjects(context, data);
    data = kzCorrectionDataVulkan{};
}
