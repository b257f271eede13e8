// Vulkan back-end, included explicitly by Vulkan hosts (#include <kzLib/vulkan.h>
// beside <kzLib.h>); it needs the Vulkan headers. The host creates its instance and device first (which
// loads libvulkan.so.1: the library resolves its Vulkan commands from that
// loader and never loads one itself), then the context, loads a configuration
// and sets a channel active with one scene image view per swap-chain image.
// Per frame: kzPreDrawVulkan with the eye position, render the scene into the
// image behind view i and leave it in SHADER_READ_ONLY_OPTIMAL, then
// kzPostDrawVulkan for image i and submit the command buffer it returns; the
// correction's render pass leaves swap-chain image i ready to present.
#pragma once

#include <vector>

#include <vulkan/vulkan_core.h>

#include "kzLib/export.h"
#include "kzLib/types.h"

// Creates a context on the host's device: render pass, sampler and the two correction pipelines
// for swap-chain images of `format`. The command pool must allow resetting single command buffers.
// KZ_ERROR_VULKAN when libvulkan.so.1 is not loaded or an object cannot be made; *context is
// written only on KZ_OK.
KZ_API kzResult kzCreateContextVulkan(kzContextVulkan** context, VkPhysicalDevice physicalDevice,
                                      VkDevice device, VkQueue queue, VkCommandPool commandPool,
                                      VkFormat format);

// Releases every object the context made, its command buffers included (they go back to the
// host's pool). Call it before destroying the command pool and the device, once no command buffer
// it recorded is executing; it does not wait for the device.
KZ_API kzResult kzDestroyContextVulkan(kzContextVulkan* context);

// Same as kzLoadConfigurationFromFile.
KZ_API kzResult kzLoadConfigurationFromFileVulkan(kzContextVulkan* context, const char* path);

// Stores the clipping planes and applies them to every camera built so far.
KZ_API kzResult kzSetClippingPlanesVulkan(kzContextVulkan* context, float nearClip, float farClip);

// Switches a correction pass of the active channel on or off (a pass whose mask failed to load stays off).
KZ_API kzResult kzSetCorrectionPassVulkan(kzContextVulkan* context, kzCorrectionPassType pass, bool enable);

// Sets the strength of a correction pass of the active channel (not clamped; locked passes are left alone).
KZ_API kzResult kzSetCorrectionPassVulkan_1(kzContextVulkan* context, kzCorrectionPassType pass, float value);

// How static channels are drawn from the next PostDraw on. KZ_CORRECTION_METHOD_BAKED (the
// default): the correction is baked into an output-sized table, inside the command buffer of the
// first frame that needs it (again after a pass switch or weight changes, or a new output size),
// and each frame draws one full-screen pass from it. KZ_CORRECTION_METHOD_MESH: each frame draws
// the correction mesh. Dynamic channels, and static channels whose table could not be made, always
// draw their mesh. KZ_ERROR_NOT_SUPPORTED for any other value.
KZ_API kzResult kzSetCorrectionMethodVulkan(kzContextVulkan* context, kzCorrectionMethod method);

// Flips warp map and screen shape output positions vertically for channels built afterwards.
KZ_API kzResult kzSetFlipWarpmeshVerticesYVulkan(kzContextVulkan* context, bool flip);

// Flips warp map texture coordinates and the dynamic warped lookup vertically.
KZ_API kzResult kzSetFlipWarpmeshTexcoordsVVulkan(kzContextVulkan* context, bool flip);

// Whether the masks (blend, secondary blend, black level, directional shading) of channels built
// from now on are sampled as sRGB, i.e. decoded to linear before the mask gamma is applied. Off by
// default: masks are sampled as stored, as on OpenGL, so the same files give the same picture.
// Turn it on only for masks that were made for that reading. Channels already built keep theirs.
KZ_API kzResult kzSetMaskSrgbVulkan(kzContextVulkan* context, bool srgb);

// Makes a channel active with the host's scene image views (`count` of them at `views`, one
// per swap-chain image, in swap-chain order; views may be null when count is 0) and the
// swap-chain size; the first time, builds its camera, mask textures, correction mesh and
// per-image objects. After the host made its swap chain again (a window resize), call it again
// with the new views and size: the channel draws at the new size from the next PostDraw on.
// Waits for the device to be idle. The views are copied.
KZ_API kzResult kzSetActiveChannelVulkan_1(kzContextVulkan* context, unsigned channel,
                                           const VkImageView* views, uint32_t count,
                                           unsigned width, unsigned height);

// The same with the views in a vector.
inline kzResult kzSetActiveChannelVulkan(kzContextVulkan* context, unsigned channel,
                                         const std::vector<VkImageView>& imageViews,
                                         unsigned width, unsigned height)
{
    return kzSetActiveChannelVulkan_1(context, channel, imageViews.data(),
                                      uint32_t(imageViews.size()), width, height);
}

// The active channel's view angles (degrees) and projection for the eye; either output may be null.
KZ_API kzResult kzPreDrawVulkan(kzContextVulkan* context, kzVec3f eye, kzVec3f* angles,
                                kzMatrix4x4* projection);

// The active channel's whole camera for the eye.
KZ_API kzResult kzPreDrawVulkan_1(kzContextVulkan* context, kzVec3f eye, kzCamera* camera);

// Records the correction of scene image `imageIndex` into `framebuffer` (made with a render pass
// compatible with the context's: one colour attachment of the context's format) and writes the
// command buffer to submit into *commandBuffer. Before calling it for image i, wait until the
// previous submission for image i has completed. The command buffer stays the library's: submit
// it, but never reset, re-record or free it, nor reset the pool it came from.
KZ_API kzResult kzPostDrawVulkan(kzContextVulkan* context, VkFramebuffer framebuffer,
                                 VkCommandBuffer* commandBuffer, unsigned imageIndex);
