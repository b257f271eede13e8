#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "vulkan/vulkan_records.h"

namespace {

// Memory of the first type that fits the requirements. Throws, having
// allocated nothing, when no type fits or the allocation fails.
VkDeviceMemory allocateMemory(kzContextVulkan* context, const VkMemoryRequirements& requirements,
                              uint32_t properties, const char* failure)
{
    VkMemoryAllocateInfo allocateInfo{};
    allocateInfo.sType = VK_STRUCTURE_TYPE_MEMORY_ALLOCATE_INFO;
    allocateInfo.allocationSize = requirements.size;
    allocateInfo.memoryTypeIndex =
        kzVulkanFindMemoryType(context, requirements.memoryTypeBits, properties);
    VkDeviceMemory memory = VK_NULL_HANDLE;
    if (kz_vk_defs::vkAllocateMemory(context->device, &allocateInfo, nullptr, &memory) !=
        VK_SUCCESS)
        throw std::runtime_error(failure);
    return memory;
}

void freeMemory(kzContextVulkan* context, VkDeviceMemory memory)
{
    if (memory != VK_NULL_HANDLE)
        kz_vk_defs::vkFreeMemory(context->device, memory, nullptr);
}

VkBuffer createBufferObject(kzContextVulkan* context, VkDeviceSize size, uint32_t usage)
{
    VkBufferCreateInfo bufferInfo{};
    bufferInfo.sType = VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO;
    bufferInfo.size = size;
    bufferInfo.usage = usage;
    bufferInfo.sharingMode = VK_SHARING_MODE_EXCLUSIVE;
    VkBuffer buffer = VK_NULL_HANDLE;
    if (kz_vk_defs::vkCreateBuffer(context->device, &bufferInfo, nullptr, &buffer) != VK_SUCCESS)
        throw std::runtime_error("failed to create vertex buffer!");
    return buffer;
}

// Memory bound to the buffer at offset 0; throws with nothing left allocated.
VkDeviceMemory allocateBufferMemory(kzContextVulkan* context, VkBuffer buffer, uint32_t properties)
{
    VkMemoryRequirements requirements{};
    kz_vk_defs::vkGetBufferMemoryRequirements(context->device, buffer, &requirements);
    VkDeviceMemory memory =
        allocateMemory(context, requirements, properties, "failed to allocate vertex buffer memory!");
    if (kz_vk_defs::vkBindBufferMemory(context->device, buffer, memory, 0) != VK_SUCCESS) {
        freeMemory(context, memory);
        throw std::runtime_error("failed to bind buffer memory!");
    }
    return memory;
}

VkImage createImageObject(kzContextVulkan* context, uint32_t width, uint32_t height,
                          VkFormat format, VkImageTiling tiling, uint32_t usage,
                          uint32_t arrayLayers, uint32_t flags)
{
    VkImageCreateInfo imageInfo{};
    imageInfo.sType = VK_STRUCTURE_TYPE_IMAGE_CREATE_INFO;
    imageInfo.flags = flags;
    imageInfo.imageType = VK_IMAGE_TYPE_2D;
    imageInfo.format = format;
    imageInfo.extent = {width, height, 1};
    imageInfo.mipLevels = 1;
    imageInfo.arrayLayers = arrayLayers;
    imageInfo.samples = VK_SAMPLE_COUNT_1_BIT;
    imageInfo.tiling = tiling;
    imageInfo.usage = usage;
    imageInfo.sharingMode = VK_SHARING_MODE_EXCLUSIVE;
    imageInfo.initialLayout = VK_IMAGE_LAYOUT_UNDEFINED;
    VkImage image = VK_NULL_HANDLE;
    if (kz_vk_defs::vkCreateImage(context->device, &imageInfo, nullptr, &image) != VK_SUCCESS)
        throw std::runtime_error("failed to create image!");
    return image;
}

// Memory bound to the image at offset 0; throws with nothing left allocated.
VkDeviceMemory allocateImageMemory(kzContextVulkan* context, VkImage image, uint32_t properties)
{
    VkMemoryRequirements requirements{};
    kz_vk_defs::vkGetImageMemoryRequirements(context->device, image, &requirements);
    VkDeviceMemory memory =
        allocateMemory(context, requirements, properties, "failed to allocate image memory!");
    if (kz_vk_defs::vkBindImageMemory(context->device, image, memory, 0) != VK_SUCCESS) {
        freeMemory(context, memory);
        throw std::runtime_error("failed to bind image memory!");
    }
    return memory;
}

VkImageSubresourceRange colourLayers(uint32_t layerCount)
{
    return {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, layerCount};
}

struct LayoutTransition {
    VkAccessFlags sourceAccess;
    VkAccessFlags destinationAccess;
    VkPipelineStageFlags sourceStage;
    VkPipelineStageFlags destinationStage;
};

// Throws before anything is recorded, so an unsupported pair leaves no
// command buffer behind.
LayoutTransition layoutTransition(VkImageLayout oldLayout, VkImageLayout newLayout)
{
    if (oldLayout == VK_IMAGE_LAYOUT_UNDEFINED && newLayout == VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL)
        return {0, VK_ACCESS_TRANSFER_WRITE_BIT, VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT,
                VK_PIPELINE_STAGE_TRANSFER_BIT};
    if (oldLayout == VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL &&
        newLayout == VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL)
        return {VK_ACCESS_TRANSFER_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT,
                VK_PIPELINE_STAGE_TRANSFER_BIT, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT};
    throw std::runtime_error("unsupported layout transition!");
}

}  // namespace

uint32_t kzVulkanFindMemoryType(kzContextVulkan* context, uint32_t typeFilter, uint32_t properties)
{
    VkPhysicalDeviceMemoryProperties memoryProperties{};
    kz_vk_defs::vkGetPhysicalDeviceMemoryProperties(context->physicalDevice, &memoryProperties);
    for (uint32_t i = 0; i < memoryProperties.memoryTypeCount && i < VK_MAX_MEMORY_TYPES; ++i) {
        const bool allowed = (typeFilter & (1u << i)) != 0;
        const VkMemoryPropertyFlags flags = memoryProperties.memoryTypes[i].propertyFlags;
        if (allowed && (flags & properties) == properties)
            return i;
    }
    throw std::runtime_error("failed to find suitable memory type!");
}

void kzVulkanCreateBuffer(kzContextVulkan* context, VkDeviceSize size, uint32_t usage,
                          uint32_t properties, VkBuffer& buffer, VkDeviceMemory& memory)
{
    buffer = VK_NULL_HANDLE;
    memory = VK_NULL_HANDLE;
    VkBuffer created = createBufferObject(context, size, usage);
    try {
        memory = allocateBufferMemory(context, created, properties);
    } catch (...) {
        kz_vk_defs::vkDestroyBuffer(context->device, created, nullptr);
        throw;
    }
    buffer = created;
}

void kzVulkanDestroyBuffer(kzContextVulkan* context, VkBuffer& buffer, VkDeviceMemory& memory)
{
    if (buffer != VK_NULL_HANDLE)
        kz_vk_defs::vkDestroyBuffer(context->device, buffer, nullptr);
    freeMemory(context, memory);
    buffer = VK_NULL_HANDLE;
    memory = VK_NULL_HANDLE;
}

VkCommandBuffer kzVulkanBeginSingleTimeCommands(kzContextVulkan* context)
{
    VkCommandBufferAllocateInfo allocateInfo{};
    allocateInfo.sType = VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO;
    allocateInfo.commandPool = context->commandPool;
    allocateInfo.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
    allocateInfo.commandBufferCount = 1;
    VkCommandBuffer commandBuffer = VK_NULL_HANDLE;
    // Recording into a buffer that was never allocated would crash the driver.
    if (kz_vk_defs::vkAllocateCommandBuffers(context->device, &allocateInfo, &commandBuffer) != VK_SUCCESS)
        throw std::runtime_error("failed to allocate upload command buffer!");

    VkCommandBufferBeginInfo beginInfo{};
    beginInfo.sType = VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO;
    beginInfo.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
    if (kz_vk_defs::vkBeginCommandBuffer(commandBuffer, &beginInfo) != VK_SUCCESS) {
        kz_vk_defs::vkFreeCommandBuffers(context->device, context->commandPool, 1, &commandBuffer);
        throw std::runtime_error("failed to begin upload command buffer!");
    }
    return commandBuffer;
}

void kzVulkanEndSingleTimeCommands(kzContextVulkan* context, VkCommandBuffer commandBuffer)
{
    VkSubmitInfo submitInfo{};
    submitInfo.sType = VK_STRUCTURE_TYPE_SUBMIT_INFO;
    submitInfo.commandBufferCount = 1;
    submitInfo.pCommandBuffers = &commandBuffer;
    const bool done = kz_vk_defs::vkEndCommandBuffer(commandBuffer) == VK_SUCCESS &&
                      kz_vk_defs::vkQueueSubmit(context->queue, 1, &submitInfo, VK_NULL_HANDLE) == VK_SUCCESS &&
                      kz_vk_defs::vkQueueWaitIdle(context->queue) == VK_SUCCESS;
    kz_vk_defs::vkFreeCommandBuffers(context->device, context->commandPool, 1, &commandBuffer);
    if (!done)
        throw std::runtime_error("failed to submit upload commands!");
}

void kzVulkanCopyBuffer(kzContextVulkan* context, VkBuffer source, VkBuffer destination,
                        VkDeviceSize size)
{
    VkCommandBuffer commandBuffer = kzVulkanBeginSingleTimeCommands(context);
    const VkBufferCopy region{0, 0, size};
    kz_vk_defs::vkCmdCopyBuffer(commandBuffer, source, destination, 1, &region);
    kzVulkanEndSingleTimeCommands(context, commandBuffer);
}

void kzVulkanCreateImage(kzContextVulkan* context, uint32_t width, uint32_t height, VkFormat format,
                         VkImageTiling tiling, uint32_t usage, uint32_t properties, VkImage& image,
                         VkDeviceMemory& memory, uint32_t arrayLayers, uint32_t flags)
{
    image = VK_NULL_HANDLE;
    memory = VK_NULL_HANDLE;
    VkImage created =
        createImageObject(context, width, height, format, tiling, usage, arrayLayers, flags);
    try {
        memory = allocateImageMemory(context, created, properties);
    } catch (...) {
        kz_vk_defs::vkDestroyImage(context->device, created, nullptr);
        throw;
    }
    image = created;
}

void kzVulkanTransitionImageLayout(kzContextVulkan* context, VkImage image, VkFormat /*format*/,
                                   VkImageLayout oldLayout, VkImageLayout newLayout,
                                   uint32_t layerCount)
{
    const LayoutTransition transition = layoutTransition(oldLayout, newLayout);

    VkImageMemoryBarrier barrier{};
    barrier.sType = VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER;
    barrier.srcAccessMask = transition.sourceAccess;
    barrier.dstAccessMask = transition.destinationAccess;
    barrier.oldLayout = oldLayout;
    barrier.newLayout = newLayout;
    barrier.srcQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.image = image;
    barrier.subresourceRange = colourLayers(layerCount);

    VkCommandBuffer commandBuffer = kzVulkanBeginSingleTimeCommands(context);
    kz_vk_defs::vkCmdPipelineBarrier(commandBuffer, transition.sourceStage,
                                     transition.destinationStage, 0, 0, nullptr, 0, nullptr, 1,
                                     &barrier);
    kzVulkanEndSingleTimeCommands(context, commandBuffer);
}

void kzVulkanCopyBufferToImage(kzContextVulkan* context, VkBuffer buffer, VkImage image,
                               uint32_t width, uint32_t height, uint32_t layerCount)
{
    VkBufferImageCopy region{};
    region.bufferOffset = 0;
    region.bufferRowLength = 0;
    region.bufferImageHeight = 0;
    region.imageSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, layerCount};
    region.imageOffset = {0, 0, 0};
    region.imageExtent = {width, height, 1};

    VkCommandBuffer commandBuffer = kzVulkanBeginSingleTimeCommands(context);
    kz_vk_defs::vkCmdCopyBufferToImage(commandBuffer, buffer, image,
                                       VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1, &region);
    kzVulkanEndSingleTimeCommands(context, commandBuffer);
}

bool kzVulkanCreateImageView(kzContextVulkan* context, VkImage image, VkImageView& view,
                             VkFormat format, VkImageViewType viewType, uint32_t layerCount)
{
    VkImageViewCreateInfo viewInfo{};
    viewInfo.sType = VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO;
    viewInfo.image = image;
    viewInfo.viewType = viewType;
    viewInfo.format = format;
    viewInfo.components = {VK_COMPONENT_SWIZZLE_IDENTITY, VK_COMPONENT_SWIZZLE_IDENTITY,
                           VK_COMPONENT_SWIZZLE_IDENTITY, VK_COMPONENT_SWIZZLE_IDENTITY};
    viewInfo.subresourceRange = colourLayers(layerCount);
    VkImageView created = VK_NULL_HANDLE;
    const bool success =
        kz_vk_defs::vkCreateImageView(context->device, &viewInfo, nullptr, &created) == VK_SUCCESS;
    view = success ? created : VK_NULL_HANDLE;
    return success;
}

bool kzVulkancreateTextureSampler(kzContextVulkan* context)
{
    // Lookups outside the unit square, in the scene or in a mask, read black.
    VkSamplerCreateInfo samplerInfo{};
    samplerInfo.sType = VK_STRUCTURE_TYPE_SAMPLER_CREATE_INFO;
    samplerInfo.magFilter = VK_FILTER_LINEAR;
    samplerInfo.minFilter = VK_FILTER_LINEAR;
    samplerInfo.mipmapMode = VK_SAMPLER_MIPMAP_MODE_LINEAR;
    samplerInfo.addressModeU = VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_BORDER;
    samplerInfo.addressModeV = VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_BORDER;
    samplerInfo.addressModeW = VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_BORDER;
    samplerInfo.mipLodBias = 0.0f;
    samplerInfo.anisotropyEnable = VK_FALSE;
    samplerInfo.maxAnisotropy = 1.0f;
    samplerInfo.compareEnable = VK_FALSE;
    samplerInfo.compareOp = VK_COMPARE_OP_ALWAYS;
    samplerInfo.minLod = 0.0f;
    samplerInfo.maxLod = 0.0f;
    samplerInfo.borderColor = VK_BORDER_COLOR_FLOAT_OPAQUE_BLACK;
    samplerInfo.unnormalizedCoordinates = VK_FALSE;
    VkSampler sampler = VK_NULL_HANDLE;
    if (kz_vk_defs::vkCreateSampler(context->device, &samplerInfo, nullptr, &sampler) != VK_SUCCESS)
        return false;
    context->sampler = sampler;
    return true;
}

bool kzVulkanCreateShaderModule(kzContextVulkan* context, const unsigned char* code, size_t size,
                                VkShaderModule& module)
{
    VkShaderModuleCreateInfo moduleInfo{};
    moduleInfo.sType = VK_STRUCTURE_TYPE_SHADER_MODULE_CREATE_INFO;
    moduleInfo.codeSize = size;
    moduleInfo.pCode = reinterpret_cast<const uint32_t*>(code);
    VkShaderModule created = VK_NULL_HANDLE;
    const bool success = kz_vk_defs::vkCreateShaderModule(context->device, &moduleInfo, nullptr,
                                                          &created) == VK_SUCCESS;
    module = success ? created : VK_NULL_HANDLE;
    return success;
}

std::vector<char> kzVulkanReadFile(const std::string& fileName)
{
    // A directory opens as a stream too, and reports a nonsensical end position.
    std::error_code error;
    std::ifstream file;
    if (std::filesystem::is_regular_file(fileName, error))
        file.open(fileName, std::ios::ate | std::ios::binary);
    const std::streamoff size = file.is_open() ? std::streamoff(file.tellg()) : -1;
    if (size < 0)
        throw std::runtime_error("failed to open file: " + fileName);
    std::vector<char> bytes(static_cast<size_t>(size));
    file.seekg(0);
    file.read(bytes.data(), size);
    return bytes;
}
