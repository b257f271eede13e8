#include <cstring>
#include <stdexcept>

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

VkDeviceSize pixelBytes(const calib::MaskPixels& pixels)
{
    return VkDeviceSize(pixels.width()) * VkDeviceSize(pixels.height()) * 4;
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
               uint32_t width, uint32_t height)
{
    const VkFormat format = maskFormat(context);
    kzVulkanTransitionImageLayout(context, texture.image, format, VK_IMAGE_LAYOUT_UNDEFINED,
                                  VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1);
    kzVulkanCopyBufferToImage(context, staging, texture.image, width, height, 1);
    kzVulkanTransitionImageLayout(context, texture.image, format,
                                  VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL,
                                  VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL, 1);
}

// The texture's image and memory, holding the pixels. Throws with neither
// the staging buffer nor the image left behind.
void uploadImage(kzContextVulkan* context, const calib::MaskPixels& pixels,
                 kzVulkanTexture& texture)
{
    const uint32_t width = uint32_t(pixels.width());
    const uint32_t height = uint32_t(pixels.height());
    StagingBuffer staging(context, pixelBytes(pixels));
    staging.fill(pixels.rgba());
    kzVulkanCreateImage(context, width, height, maskFormat(context), VK_IMAGE_TILING_OPTIMAL,
                        VK_IMAGE_USAGE_TRANSFER_DST_BIT | VK_IMAGE_USAGE_SAMPLED_BIT,
                        VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT, texture.image, texture.memory, 1, 0);
    try {
        fillImage(context, staging.buffer(), texture, width, height);
    } catch (...) {
        kzVulkanFreeTexture(context, &texture);
        throw;
    }
}

bool createTexture(kzContextVulkan* context, const calib::MaskPixels& pixels,
                   kzVulkanTexture& texture)
{
    uploadImage(context, pixels, texture);
    if (!kzVulkanCreateImageView(context, texture.image, texture.view, maskFormat(context),
                                 VK_IMAGE_VIEW_TYPE_2D, 1)) {
        kzVulkanFreeTexture(context, &texture);
        return false;
    }
    texture.width = uint32_t(pixels.width());
    texture.height = uint32_t(pixels.height());
    return true;
}

}  // namespace

bool kzVulkanCreateTextureFromFile(kzContextVulkan* context, const char* path,
                                   kzVulkanTexture& texture)
{
    if (!path || !*path)
        return false;
    calib::MaskPixels pixels;
    if (!pixels.decodeFile(path))
        return false;
    return createTexture(context, pixels, texture);
}

bool kzVulkanCreateTextureFromMemory(kzContextVulkan* context, const unsigned char* data, int length,
                                     kzVulkanTexture& texture)
{
    if (!data)
        return false;
    calib::MaskPixels pixels;
    if (!pixels.decodeMemory(data, length))
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
