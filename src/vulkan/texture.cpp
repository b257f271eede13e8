#include <cstring>
#include <stdexcept>
#include <vector>

#include "config/mask_image.h"
#include "vulkan/vulkan_records.h"

namespace {

// A 1 x 1 opaque white RGBA PNG.
const unsigned char kFallbackImage[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d,
    0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01,
    0x08, 0x06, 0x00, 0x00, 0x00, 0x1f, 0x15, 0xc4, 0x89, 0x00, 0x00, 0x00,
    0x0b, 0x49, 0x44, 0x41, 0x54, 0x78, 0xda, 0x63, 0xf8, 0x0f, 0x04, 0x00,
    0x09, 0xfb, 0x03, 0xfd, 0x68, 0xfa, 0x1c, 0xcc, 0x00, 0x00, 0x00, 0x00,
    0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82,
};

// Masks are sampled as stored unless the context asks for the sRGB reading.
VkFormat maskFormat(const kzContextVulkan* context)
{
    return context->maskSrgb ? VK_FORMAT_R8G8B8A8_SRGB : VK_FORMAT_R8G8B8A8_UNORM;
}

// The one-component format of the same reading as an RGBA mask format.
VkFormat greyFormat(VkFormat rgba)
{
    return rgba == VK_FORMAT_R8G8B8A8_SRGB ? VK_FORMAT_R8_SRGB : VK_FORMAT_R8_UNORM;
}

// Whether optimal-tiled images of `format` can be filled by a copy and
// sampled with linear filtering (one-component sRGB is optional in Vulkan).
bool sampledWithLinearFilter(kzContextVulkan* context, VkFormat format)
{
    constexpr VkFormatFeatureFlags needed = VK_FORMAT_FEATURE_SAMPLED_IMAGE_BIT |
                                            VK_FORMAT_FEATURE_SAMPLED_IMAGE_FILTER_LINEAR_BIT |
                                            VK_FORMAT_FEATURE_TRANSFER_DST_BIT;
    VkFormatProperties properties{};
    kz_vk_defs::vkGetPhysicalDeviceFormatProperties(context->physicalDevice, format, &properties);
    return (properties.optimalTilingFeatures & needed) == needed;
}

// What is uploaded: the mask's own pixels, or a grey mask spread to RGBA
// where the device cannot sample its one-component format.
struct Upload {
    VkFormat format;
    bool grey;
    const unsigned char* bytes;
    VkDeviceSize size;
    std::vector<unsigned char> spread;
};

void prepareUpload(kzContextVulkan* context, const calib::MaskPixels& pixels, Upload& upload)
{
    const VkDeviceSize count = VkDeviceSize(pixels.width()) * VkDeviceSize(pixels.height());
    const VkFormat rgba = maskFormat(context);
    upload.grey = pixels.channels() == 1 && sampledWithLinearFilter(context, greyFormat(rgba));
    upload.format = upload.grey ? greyFormat(rgba) : rgba;
    upload.bytes = pixels.pixels();
    upload.size = count * (upload.grey ? 1 : 4);
    if (pixels.channels() == 1 && !upload.grey) {
        upload.spread.resize(size_t(count) * 4);
        for (size_t i = 0; i < size_t(count); ++i) {
            std::memset(&upload.spread[i * 4], pixels.pixels()[i], 3);
            upload.spread[i * 4 + 3] = 255;
        }
        upload.bytes = upload.spread.data();
    }
}

// A 2D view of the texture's image; a grey one reads as (grey, grey, grey, 1).
bool createView(kzContextVulkan* context, kzVulkanTexture& texture, const Upload& upload)
{
    VkImageViewCreateInfo info{};
    info.sType = VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO;
    info.image = texture.image;
    info.viewType = VK_IMAGE_VIEW_TYPE_2D;
    info.format = upload.format;
    if (upload.grey) {
        info.components = {VK_COMPONENT_SWIZZLE_R, VK_COMPONENT_SWIZZLE_R, VK_COMPONENT_SWIZZLE_R,
                           VK_COMPONENT_SWIZZLE_ONE};
    }
    info.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
    return kz_vk_defs::vkCreateImageView(context->device, &info, nullptr, &texture.view) == VK_SUCCESS;
}

// The host-visible buffer the decoded pixels pass through on their way to the
// image; destroyed with its memory when the upload ends, however it ends.
class StagingBuffer {
public:
    StagingBuffer(kzContextVulkan* context, VkDeviceSize size) : context_(context), size_(size)
    {
        kzVulkanCreateBuffer(context_, size_, VK_BUFFER_USAGE_TRANSFER_SRC_BIT,
                             VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT |
                                 VK_MEMORY_PROPERTY_HOST_COHERENT_BIT,
                             buffer_, memory_);
    }
    ~StagingBuffer() { kzVulkanDestroyBuffer(context_, buffer_, memory_); }
    StagingBuffer(const StagingBuffer&) = delete;
    StagingBuffer& operator=(const StagingBuffer&) = delete;

    VkBuffer buffer() const { return buffer_; }

    void fill(const unsigned char* bytes)
    {
        void* mapped = nullptr;
        if (kz_vk_defs::vkMapMemory(context_->device, memory_, 0, size_, 0, &mapped) != VK_SUCCESS)
            throw std::runtime_error("failed to map staging buffer memory!");
        std::memcpy(mapped, bytes, size_t(size_));
        kz_vk_defs::vkUnmapMemory(context_->device, memory_);
    }

private:
    kzContextVulkan* context_;
    VkDeviceSize size_;
    VkBuffer buffer_ = VK_NULL_HANDLE;
    VkDeviceMemory memory_ = VK_NULL_HANDLE;
};

// Copies the staging buffer into the texture's image and leaves the image
// ready for sampling.
void fillImage(kzContextVulkan* context, VkBuffer staging, const kzVulkanTexture& texture,
               VkFormat format, uint32_t width, uint32_t height)
{
    kzVulkanTransitionImageLayout(context, texture.image, format, VK_IMAGE_LAYOUT_UNDEFINED,
                                  VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1);
    kzVulkanCopyBufferToImage(context, staging, texture.image, width, height, 1);
    kzVulkanTransitionImageLayout(context, texture.image, format,
                                  VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL,
                                  VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL, 1);
}

// The texture's image and memory, holding the pixels. Throws with neither
// the staging buffer nor the image left behind.
void uploadImage(kzContextVulkan* context, const calib::MaskPixels& pixels, const Upload& upload,
                 kzVulkanTexture& texture)
{
    const uint32_t width = uint32_t(pixels.width());
    const uint32_t height = uint32_t(pixels.height());
    StagingBuffer staging(context, upload.size);
    staging.fill(upload.bytes);
    kzVulkanCreateImage(context, width, height, upload.format, VK_IMAGE_TILING_OPTIMAL,
                        VK_IMAGE_USAGE_TRANSFER_DST_BIT | VK_IMAGE_USAGE_SAMPLED_BIT,
                        VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT, texture.image, texture.memory, 1, 0);
    try {
        fillImage(context, staging.buffer(), texture, upload.format, width, height);
    } catch (...) {
        kzVulkanFreeTexture(context, &texture);
        throw;
    }
}

bool createTexture(kzContextVulkan* context, const calib::MaskPixels& pixels,
                   kzVulkanTexture& texture)
{
    Upload upload;
    prepareUpload(context, pixels, upload);
    uploadImage(context, pixels, upload, texture);
    if (!createView(context, texture, upload)) {
        kzVulkanFreeTexture(context, &texture);
        return false;
    }
    texture.width = uint32_t(pixels.width());
    texture.height = uint32_t(pixels.height());
    texture.storedWidth = uint32_t(pixels.storedWidth());
    texture.storedHeight = uint32_t(pixels.storedHeight());
    return true;
}

}  // namespace

bool kzVulkanCreateTextureFromFile(kzContextVulkan* context, const char* path,
                                   kzVulkanTexture& texture, calib::MaskFit fit)
{
    if (!path || !*path)
        return false;
    calib::MaskPixels pixels;
    if (!pixels.decodeFile(path, fit))
        return false;
    return createTexture(context, pixels, texture);
}

bool kzVulkanCreateTextureFromMemory(kzContextVulkan* context, const unsigned char* data, int length,
                                     kzVulkanTexture& texture, calib::MaskFit fit)
{
    if (!data)
        return false;
    calib::MaskPixels pixels;
    if (!pixels.decodeMemory(data, length, fit))
        return false;
    return createTexture(context, pixels, texture);
}

void kzVulkanFreeTexture(kzContextVulkan* context, kzVulkanTexture* texture)
{
    if (!texture)
        return;
    if (texture->view != VK_NULL_HANDLE)
        kz_vk_defs::vkDestroyImageView(context->device, texture->view, nullptr);
    if (texture->image != VK_NULL_HANDLE)
        kz_vk_defs::vkDestroyImage(context->device, texture->image, nullptr);
    if (texture->memory != VK_NULL_HANDLE)
        kz_vk_defs::vkFreeMemory(context->device, texture->memory, nullptr);
    *texture = kzVulkanTexture{};
}

const unsigned char* kzVulkanFallbackImage(int* length)
{
    if (length)
        *length = int(sizeof kFallbackImage);
    return kFallbackImage;
}
