// Exported Vulkan entry points. Each forwards to its internal twin and turns
// an exception from the Vulkan helpers into KZ_ERROR_VULKAN with its message,
// so none crosses the library's boundary; the twins release what a failed
// call made before the exception reaches here.
#include <exception>
#include <new>
#include <utility>

#include "core/error_text.h"
#include "kzLib/configuration.h"
#include "kzLib/vulkan.h"
#include "vulkan/vulkan_records.h"

namespace {

template <typename Call>
kzResult guarded(kzContextVulkan* context, Call call)
{
    try {
        return call();
    } catch (const std::bad_alloc&) {
        if (context)
            kzSetErrorText(context, kzErrorLimitVulkan, "Out of memory");
    } catch (const std::exception& error) {
        if (context)
            kzSetErrorText(context, kzErrorLimitVulkan, "%s", error.what());
    } catch (...) {
        if (context)
            kzSetErrorText(context, kzErrorLimitVulkan, "Unknown failure");
    }
    return KZ_ERROR_VULKAN;
}

}  // namespace

KZ_API kzResult kzCreateContextVulkan(kzContextVulkan** context, VkPhysicalDevice physicalDevice,
                                      VkDevice device, VkQueue queue, VkCommandPool commandPool,
                                      VkFormat format)
{
    if (!context)
        return KZ_ERROR_INVALID_ARGUMENT;
    kzContextVulkan* created = nullptr;
    const kzResult result = guarded(nullptr, [&] {
        return kzCreateContext_Vulkan(&created, physicalDevice, device, queue, commandPool, format);
    });
    if (result == KZ_OK)
        *context = created;
    else
        kzDestroyContext_Vulkan(created);  // whatever the failed creation made
    return result;
}

KZ_API kzResult kzDestroyContextVulkan(kzContextVulkan* context)
{
    return guarded(context, [&] { return kzDestroyContext_Vulkan(context); });
}

KZ_API kzResult kzLoadConfigurationFromFileVulkan(kzContextVulkan* context, const char* path)
{
    return kzLoadConfigurationFromFile(context, path);
}

KZ_API kzResult kzSetClippingPlanesVulkan(kzContextVulkan* context, float nearClip, float farClip)
{
    return kzSetClippingPlanes_Vulkan(context, nearClip, farClip);
}

KZ_API kzResult kzSetCorrectionPassVulkan(kzContextVulkan* context, kzCorrectionPassType pass, bool enable)
{
    return kzSetCorrectionPass_Vulkan(context, pass, enable);
}

KZ_API kzResult kzSetCorrectionPassVulkan_1(kzContextVulkan* context, kzCorrectionPassType pass, float value)
{
    return kzSetCorrectionPass_Vulkan_1(context, pass, value);
}

KZ_API kzResult kzSetCorrectionMethodVulkan(kzContextVulkan* context, kzCorrectionMethod method)
{
    return kzSetCorrectionMethod_Vulkan(context, method);
}

KZ_API kzResult kzSetFlipWarpmeshVerticesYVulkan(kzContextVulkan* context, bool flip)
{
    return kzSetFlipWarpmeshVerticesY_Vulkan(context, flip);
}

KZ_API kzResult kzSetFlipWarpmeshTexcoordsVVulkan(kzContextVulkan* context, bool flip)
{
    return kzSetFlipWarpmeshTexcoordsV_Vulkan(context, flip);
}

KZ_API kzResult kzSetMaskSrgbVulkan(kzContextVulkan* context, bool srgb)
{
    return kzSetMaskSrgb_Vulkan(context, srgb);
}

KZ_API kzResult kzSetActiveChannelVulkan_1(kzContextVulkan* context, unsigned channel,
                                           const VkImageView* views, uint32_t count,
                                           unsigned width, unsigned height)
{
    if (!context)
        return KZ_ERROR_INVALID_ARGUMENT;
    if (!views && count > 0) {
        kzSetErrorText(context, kzErrorLimitVulkan, "%u image views of channel %u are null",
                       count, channel);
        return KZ_ERROR_INVALID_ARGUMENT;
    }
    return guarded(context, [&] {
        std::vector<VkImageView> imageViews(views, views + count);
        return kzSetActiveChannel_Vulkan(context, channel, std::move(imageViews), width, height);
    });
}

KZ_API kzResult kzPreDrawVulkan(kzContextVulkan* context, kzVec3f eye, kzVec3f* angles,
                                kzMatrix4x4* projection)
{
    return kzPreDraw_Vulkan(context, eye, angles, projection);
}

KZ_API kzResult kzPreDrawVulkan_1(kzContextVulkan* context, kzVec3f eye, kzCamera* camera)
{
    return kzPreDraw_Vulkan_1(context, eye, camera);
}

KZ_API kzResult kzPostDrawVulkan(kzContextVulkan* context, VkFramebuffer framebuffer,
                                 VkCommandBuffer* commandBuffer, unsigned imageIndex)
{
    if (!commandBuffer)
        return KZ_ERROR_INVALID_ARGUMENT;
    return kzPostDraw_Vulkan(context, framebuffer, *commandBuffer, imageIndex);
}
