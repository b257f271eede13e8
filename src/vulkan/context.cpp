#include <memory>

#include "core/error_text.h"
#include "vulkan/vulkan_records.h"

using namespace kz_vk_defs;

namespace {

// The objects every channel shares, in creation order; false at the first
// one that cannot be made.
bool createSharedObjects(kzContextVulkan* context)
{
    return kzVulkanCreateRenderPass(context) && kzVulkancreateTextureSampler(context) &&
           kzVulkanCreateStaticDescriptorSetLayout(context) && kzVulkanCreateStaticPipeline(context) &&
           kzVulkanCreateDynamicDescriptorSetLayout(context) && kzVulkanCreateDynamicPipeline(context) &&
           kzVulkanCreateTableObjects(context);
}

bool createFallbackTexture(kzContextVulkan* context)
{
    int length = 0;
    const unsigned char* image = kzVulkanFallbackImage(&length);
    return kzVulkanCreateTextureFromMemory(context, image, length, context->fallbackTexture);
}

// Releases the Vulkan objects a context made. Destroy and free commands accept
// null handles, so a context whose creation stopped part-way goes the same way;
// without the function table nothing was made.
void releaseVulkanObjects(kzContextVulkan* context)
{
    if (!context->commandsLoaded)
        return;
    const VkDevice device = context->device;
    vkDestroySampler(device, context->sampler, nullptr);
    for (auto& [channel, data] : context->corrections)
        kzVulkanReleaseCorrectionData(context, data);
    kzVulkanFreeTexture(context, &context->fallbackTexture);
    kzVulkanReleaseTableObjects(context);
    vkDestroyDescriptorSetLayout(device, context->staticDescriptorSetLayout, nullptr);
    vkDestroyDescriptorSetLayout(device, context->dynamicDescriptorSetLayout, nullptr);
    vkDestroyPipeline(device, context->staticPipeline, nullptr);
    vkDestroyPipelineLayout(device, context->staticPipelineLayout, nullptr);
    vkDestroyPipeline(device, context->dynamicPipeline, nullptr);
    vkDestroyPipelineLayout(device, context->dynamicPipelineLayout, nullptr);
    vkDestroyRenderPass(device, context->renderPass, nullptr);
}

}  // namespace

kzResult kzCreateContext_Vulkan(kzContextVulkan** context, VkPhysicalDevice physicalDevice,
                                VkDevice device, VkQueue queue, VkCommandPool commandPool,
                                VkFormat format)
{
    if (!context)
        return KZ_ERROR_INVALID_ARGUMENT;
    auto created = std::make_unique<kzContextVulkan>();
    created->physicalDevice = physicalDevice;
    created->device = device;
    created->queue = queue;
    created->commandPool = commandPool;
    created->format = format;
    if (!initVK()) {
        kzSetErrorText(created.get(), kzErrorLimitVulkan, "Failed to initialize vulkan runtime");
        *context = created.release();
        return KZ_ERROR_VULKAN;
    }
    created->commandsLoaded = true;
    // The record is handed out before anything is created on the device, so a
    // caller of this function can destroy whatever a failure left behind.
    kzContextVulkan* record = created.release();
    *context = record;
    if (!createFallbackTexture(record))
        return KZ_ERROR_VULKAN;
    if (!createSharedObjects(record))
        return KZ_ERROR_VULKAN;
    return KZ_OK;
}

kzResult kzDestroyContext_Vulkan(kzContextVulkan* context)
{
    if (!context)
        return KZ_ERROR_INVALID_ARGUMENT;
    releaseVulkanObjects(context);
    delete context;
    return KZ_OK;
}

kzResult kzSetClippingPlanes_Vulkan(kzContextVulkan* context, float nearPlane, float farPlane)
{
    if (!context)
        return KZ_ERROR_INVALID_ARGUMENT;
    context->nearClip = nearPlane;
    context->farClip = farPlane;
    for (auto& [channel, data] : context->corrections) {
        if (data.camera) {
            data.camera->nearClip = nearPlane;
            data.camera->farClip = farPlane;
        }
    }
    return KZ_OK;
}

kzResult kzSetCorrectionMethod_Vulkan(kzContextVulkan* context, kzCorrectionMethod method)
{
    if (!context)
        return KZ_ERROR_INVALID_ARGUMENT;
    if (method != KZ_CORRECTION_METHOD_BAKED && method != KZ_CORRECTION_METHOD_MESH) {
        kzSetErrorText(context, kzErrorLimitVulkan, "Unknown correction method %d", int(method));
        return KZ_ERROR_NOT_SUPPORTED;
    }
    context->correctionMethod = method;
    return KZ_OK;
}

kzResult kzSetFlipWarpmeshVerticesY_Vulkan(kzContextVulkan* context, bool flip)
{
    if (context)
        context->flipWarpmeshVerticesY = flip;
    return KZ_OK;
}

kzResult kzSetFlipWarpmeshTexcoordsV_Vulkan(kzContextVulkan* context, bool flip)
{
    if (context)
        context->flipWarpmeshTexcoordsV = flip;
    return KZ_OK;
}

kzResult kzSetMaskSrgb_Vulkan(kzContextVulkan* context, bool srgb)
{
    if (!context)
        return KZ_ERROR_INVALID_ARGUMENT;
    context->maskSrgb = srgb;
    return KZ_OK;
}
