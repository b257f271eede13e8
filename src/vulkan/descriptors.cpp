#include <algorithm>
#include <array>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "vulkan/vulkan_records.h"

namespace {

// Binding 0 is the uniform block; binding 1 samples the host's scene image and
// the masks follow from binding 2 on.
constexpr uint32_t kStaticSamplerCount = 4;
constexpr uint32_t kDynamicSamplerCount = 5;
constexpr uint32_t kMaxSamplerCount = kDynamicSamplerCount;

// Negative counts are treated as none.
size_t imageCount(int n)
{
    return n < 1 ? 0 : size_t(n);
}

bool createDescriptorPool(kzContextVulkan* context, VkDescriptorPool& pool, int n,
                          uint32_t samplersPerSet)
{
    if (n < 1)
        return false;
    const uint32_t sets = uint32_t(n);
    const VkDescriptorPoolSize sizes[] = {
        {VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER, sets},
        {VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, samplersPerSet * sets}};
    VkDescriptorPoolCreateInfo info{};
    info.sType = VK_STRUCTURE_TYPE_DESCRIPTOR_POOL_CREATE_INFO;
    info.maxSets = sets;
    info.poolSizeCount = uint32_t(std::size(sizes));
    info.pPoolSizes = sizes;
    VkDescriptorPool created = VK_NULL_HANDLE;
    if (kz_vk_defs::vkCreateDescriptorPool(context->device, &info, nullptr, &created) != VK_SUCCESS)
        return false;
    pool = created;
    return true;
}

// Leaves descriptorSets empty when the allocation fails.
bool allocateDescriptorSets(kzContextVulkan* context, kzCorrectionDataVulkan& data, int n,
                            VkDescriptorSetLayout layout)
{
    if (n < 1)
        return false;
    const std::vector<VkDescriptorSetLayout> layouts(imageCount(n), layout);
    std::vector<VkDescriptorSet> sets(layouts.size(), VK_NULL_HANDLE);
    VkDescriptorSetAllocateInfo info{};
    info.sType = VK_STRUCTURE_TYPE_DESCRIPTOR_SET_ALLOCATE_INFO;
    info.descriptorPool = data.descriptorPool;
    info.descriptorSetCount = uint32_t(layouts.size());
    info.pSetLayouts = layouts.data();
    if (kz_vk_defs::vkAllocateDescriptorSets(context->device, &info, sets.data()) != VK_SUCCESS) {
        data.descriptorSets.clear();
        return false;
    }
    data.descriptorSets = std::move(sets);
    return true;
}

VkImageView maskView(const kzContextVulkan* context, const kzVulkanTexture& texture)
{
    return texture.view != VK_NULL_HANDLE ? texture.view : context->fallbackTexture.view;
}

// What binding 1 onwards of set i samples, in binding order; the type's
// sampler count says how many of them its layout has.
std::array<VkImageView, kMaxSamplerCount> sampledViews(const kzContextVulkan* context,
                                                       const kzCorrectionDataVulkan& data,
                                                       size_t i)
{
    return {data.imageViews[i], maskView(context, data.blendingTexture),
            maskView(context, data.secondaryBlendingTexture),
            maskView(context, data.blacklevelTexture),
            maskView(context, data.directionalShadingTexture)};
}

VkWriteDescriptorSet descriptorWrite(VkDescriptorSet set, uint32_t binding, VkDescriptorType type)
{
    VkWriteDescriptorSet write{};
    write.sType = VK_STRUCTURE_TYPE_WRITE_DESCRIPTOR_SET;
    write.dstSet = set;
    write.dstBinding = binding;
    write.dstArrayElement = 0;
    write.descriptorCount = 1;
    write.descriptorType = type;
    return write;
}

void writeDescriptorSet(kzContextVulkan* context, VkDescriptorSet set, VkBuffer uniformBuffer,
                        const std::array<VkImageView, kMaxSamplerCount>& views,
                        uint32_t samplerCount)
{
    const VkDescriptorBufferInfo block = {uniformBuffer, 0, kzVulkanUniformBlockSize};
    std::array<VkDescriptorImageInfo, kMaxSamplerCount> images{};
    std::array<VkWriteDescriptorSet, kMaxSamplerCount + 1> writes{};
    writes[0] = descriptorWrite(set, 0, VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER);
    writes[0].pBufferInfo = &block;
    for (uint32_t k = 0; k < samplerCount; ++k) {
        images[k] = {context->sampler, views[k], VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL};
        writes[k + 1] = descriptorWrite(set, k + 1, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER);
        writes[k + 1].pImageInfo = &images[k];
    }
    kz_vk_defs::vkUpdateDescriptorSets(context->device, samplerCount + 1, writes.data(), 0, nullptr);
}

// Sets that every per-image vector has an entry for; a record whose vectors
// disagree in length is never read past the shortest.
size_t writableSetCount(const kzCorrectionDataVulkan& data, int n)
{
    return std::min({imageCount(n), data.descriptorSets.size(), data.uniformBuffers.size(),
                     data.imageViews.size()});
}

// A set whose own handle, uniform buffer or scene view is missing cannot be
// written validly and is left as it is.
bool canWriteSet(const kzCorrectionDataVulkan& data, size_t i)
{
    return data.descriptorSets[i] != VK_NULL_HANDLE && data.uniformBuffers[i] != VK_NULL_HANDLE &&
           data.imageViews[i] != VK_NULL_HANDLE;
}

bool updateDescriptorSets(kzContextVulkan* context, kzCorrectionDataVulkan& data, int n,
                          uint32_t samplerCount)
{
    const size_t count = writableSetCount(data, n);
    for (size_t i = 0; i < count; ++i) {
        if (canWriteSet(data, i))
            writeDescriptorSet(context, data.descriptorSets[i], data.uniformBuffers[i],
                               sampledViews(context, data, i), samplerCount);
    }
    return true;
}

void* mapWholeMemory(kzContextVulkan* context, VkDeviceMemory memory)
{
    void* mapped = nullptr;
    if (kz_vk_defs::vkMapMemory(context->device, memory, 0, VK_WHOLE_SIZE, 0, &mapped) != VK_SUCCESS)
        throw std::runtime_error("failed to map uniform buffer memory!");
    return mapped;
}

// Entry i is stored as soon as it exists, so that a throw part-way leaves the
// vectors holding only handles the release path can free.
void createUniformBuffer(kzContextVulkan* context, kzCorrectionDataVulkan& data, size_t i)
{
    VkBuffer buffer = VK_NULL_HANDLE;
    VkDeviceMemory memory = VK_NULL_HANDLE;
    kzVulkanCreateBuffer(context, kzVulkanUniformBlockSize, VK_BUFFER_USAGE_UNIFORM_BUFFER_BIT,
                         VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT,
                         buffer, memory);
    data.uniformBuffers[i] = buffer;
    data.uniformBuffersMemory[i] = memory;
    data.uniformBuffersMapped[i] = mapWholeMemory(context, memory);
}

void freeCommandBuffers(kzContextVulkan* context, std::vector<VkCommandBuffer>& commandBuffers)
{
    std::vector<VkCommandBuffer> allocated;
    std::copy_if(commandBuffers.begin(), commandBuffers.end(), std::back_inserter(allocated),
                 [](VkCommandBuffer buffer) { return buffer != VK_NULL_HANDLE; });
    if (!allocated.empty())
        kz_vk_defs::vkFreeCommandBuffers(context->device, context->commandPool,
                                         uint32_t(allocated.size()), allocated.data());
    commandBuffers.clear();
}

// Freeing mapped memory unmaps it.
void destroyUniformBuffers(kzContextVulkan* context, kzCorrectionDataVulkan& data)
{
    for (VkBuffer buffer : data.uniformBuffers) {
        if (buffer != VK_NULL_HANDLE)
            kz_vk_defs::vkDestroyBuffer(context->device, buffer, nullptr);
    }
    for (VkDeviceMemory memory : data.uniformBuffersMemory) {
        if (memory != VK_NULL_HANDLE)
            kz_vk_defs::vkFreeMemory(context->device, memory, nullptr);
    }
    data.uniformBuffers.clear();
    data.uniformBuffersMemory.clear();
    data.uniformBuffersMapped.clear();
}

// The pool takes its sets with it.
void destroyDescriptorPool(kzContextVulkan* context, kzCorrectionDataVulkan& data)
{
    if (data.descriptorPool != VK_NULL_HANDLE)
        kz_vk_defs::vkDestroyDescriptorPool(context->device, data.descriptorPool, nullptr);
    data.descriptorPool = VK_NULL_HANDLE;
    data.descriptorSets.clear();
}

}  // namespace

bool kzVulkanCreateStaticDescriptorPool(kzContextVulkan* context, VkDescriptorPool& pool, int n)
{
    return createDescriptorPool(context, pool, n, kStaticSamplerCount);
}

bool kzVulkanCreateDynamicDescriptorPool(kzContextVulkan* context, VkDescriptorPool& pool, int n)
{
    return createDescriptorPool(context, pool, n, kDynamicSamplerCount);
}

bool kzVulkanCreateStaticDescriptorSets(kzContextVulkan* context, kzCorrectionDataVulkan& data, int n)
{
    return allocateDescriptorSets(context, data, n, context->staticDescriptorSetLayout) &&
           kzVulkanUpdateStaticDescriptorSets(context, data, n);
}

bool kzVulkanCreateDynamicDescriptorSets(kzContextVulkan* context, kzCorrectionDataVulkan& data, int n)
{
    return allocateDescriptorSets(context, data, n, context->dynamicDescriptorSetLayout) &&
           kzVulkanUpdateDynamicDescriptorSets(context, data, n);
}

bool kzVulkanUpdateStaticDescriptorSets(kzContextVulkan* context, kzCorrectionDataVulkan& data, int n)
{
    return updateDescriptorSets(context, data, n, kStaticSamplerCount);
}

bool kzVulkanUpdateDynamicDescriptorSets(kzContextVulkan* context, kzCorrectionDataVulkan& data, int n)
{
    return updateDescriptorSets(context, data, n, kDynamicSamplerCount);
}

void kzVulkanCreateUniformBuffers(kzContextVulkan* context, kzCorrectionDataVulkan& data, int n)
{
    const size_t count = imageCount(n);
    data.uniformBuffers.assign(count, VK_NULL_HANDLE);
    data.uniformBuffersMemory.assign(count, VK_NULL_HANDLE);
    data.uniformBuffersMapped.assign(count, nullptr);
    for (size_t i = 0; i < count; ++i)
        createUniformBuffer(context, data, i);
}

bool kzVulkanCreateCommandBuffers(kzContextVulkan* context, kzCorrectionDataVulkan& data, int n)
{
    if (n < 1)
        return false;
    data.commandBuffers.assign(imageCount(n), VK_NULL_HANDLE);
    VkCommandBufferAllocateInfo info{};
    info.sType = VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO;
    info.commandPool = context->commandPool;
    info.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
    info.commandBufferCount = uint32_t(data.commandBuffers.size());
    if (kz_vk_defs::vkAllocateCommandBuffers(context->device, &info, data.commandBuffers.data()) !=
        VK_SUCCESS) {
        data.commandBuffers.clear();
        return false;
    }
    return true;
}

// The scene image views are the host's and stay listed: the caller rebuilds
// the per-image objects for them.
void kzVulkanReleaseImageObjects(kzContextVulkan* context, kzCorrectionDataVulkan& data)
{
    freeCommandBuffers(context, data.commandBuffers);
    destroyUniformBuffers(context, data);
    destroyDescriptorPool(context, data);
}
