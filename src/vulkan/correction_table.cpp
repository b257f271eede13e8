// A static channel's correction table and what draws from it: the image (an
// attachment of the bake and sampled by the flat pass), its framebuffer, the
// flat pipeline for the channel's gammas and a descriptor set per scene image.
#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "vulkan/shader_programs.h"
#include "vulkan/vulkan_records.h"

using namespace kz_vk_defs;

namespace {

constexpr VkFormat kTableFormat = VK_FORMAT_R32G32B32A32_UINT;

bool createFramebuffer(kzContextVulkan* context, kzVulkanCorrectionTable& table)
{
    VkFramebufferCreateInfo info{};
    info.sType = VK_STRUCTURE_TYPE_FRAMEBUFFER_CREATE_INFO;
    info.renderPass = context->bakeRenderPass;
    info.attachmentCount = 1;
    info.pAttachments = &table.view;
    info.width = table.width;
    info.height = table.height;
    info.layers = 1;
    return vkCreateFramebuffer(context->device, &info, nullptr, &table.framebuffer) == VK_SUCCESS;
}

// Input and output gamma become constants of the fragment program, so that a
// gamma of 1 costs nothing per pixel.
bool createFlatPipeline(kzContextVulkan* context, const kzCorrectionDataVulkan& data,
                        kzVulkanCorrectionTable& table)
{
    const float gammas[2] = {data.inputGamma, data.outputGamma};
    const VkSpecializationMapEntry entries[2] = {{0, 0, sizeof(float)}, {1, sizeof(float), sizeof(float)}};
    const VkSpecializationInfo constants{2, entries, sizeof(gammas), gammas};
    kzVulkanPipelineDescription description;
    description.vertexProgram = kzShaderCorrectionFlatVulkan_450_vert;
    description.vertexProgramSize = kzShaderCorrectionFlatVulkan_450_vert_size;
    description.fragmentProgram = kzShaderCorrectionFlatVulkan_450_frag;
    description.fragmentProgramSize = kzShaderCorrectionFlatVulkan_450_frag_size;
    description.fragmentConstants = &constants;
    description.vertexInput = kzVulkanVertexInput::none;
    description.layout = context->flatPipelineLayout;
    description.renderPass = context->renderPass;
    return kzVulkanCreateGraphicsPipeline(context, description, table.pipeline);
}

bool createDescriptorSets(kzContextVulkan* context, size_t count, kzVulkanCorrectionTable& table)
{
    const VkDescriptorPoolSize size{VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, uint32_t(2 * count)};
    VkDescriptorPoolCreateInfo pool{};
    pool.sType = VK_STRUCTURE_TYPE_DESCRIPTOR_POOL_CREATE_INFO;
    pool.maxSets = uint32_t(count);
    pool.poolSizeCount = 1;
    pool.pPoolSizes = &size;
    if (vkCreateDescriptorPool(context->device, &pool, nullptr, &table.descriptorPool) != VK_SUCCESS)
        return false;
    const std::vector<VkDescriptorSetLayout> layouts(count, context->flatDescriptorSetLayout);
    std::vector<VkDescriptorSet> sets(count, VK_NULL_HANDLE);
    VkDescriptorSetAllocateInfo allocation{};
    allocation.sType = VK_STRUCTURE_TYPE_DESCRIPTOR_SET_ALLOCATE_INFO;
    allocation.descriptorPool = table.descriptorPool;
    allocation.descriptorSetCount = uint32_t(count);
    allocation.pSetLayouts = layouts.data();
    if (vkAllocateDescriptorSets(context->device, &allocation, sets.data()) != VK_SUCCESS)
        return false;
    table.descriptorSets = std::move(sets);
    return true;
}

void makeTable(kzContextVulkan* context, kzCorrectionDataVulkan& data, kzVulkanCorrectionTable& table)
{
    table.width = context->width;
    table.height = context->height;
    kzVulkanCreateImage(context, table.width, table.height, kTableFormat, VK_IMAGE_TILING_OPTIMAL,
                        VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_SAMPLED_BIT,
                        VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT, table.image, table.memory, 1, 0);
    if (!kzVulkanCreateImageView(context, table.image, table.view, kTableFormat, VK_IMAGE_VIEW_TYPE_2D, 1) ||
        !createFramebuffer(context, table) || !createFlatPipeline(context, data, table) ||
        !createDescriptorSets(context, data.imageViews.size(), table))
        throw std::runtime_error("failed to create the correction table");
}

}  // namespace

bool kzVulkanBakeKey::operator==(const kzVulkanBakeKey& other) const
{
    return std::memcmp(features, other.features, sizeof(features)) == 0 && gamma == other.gamma &&
           width == other.width && height == other.height;
}

bool kzVulkanCreateCorrectionTable(kzContextVulkan* context, kzCorrectionDataVulkan& data)
{
    kzVulkanFreeCorrectionTable(context, data.table);
    if (data.imageViews.empty() || context->width == 0 || context->height == 0)
        return false;
    kzVulkanCorrectionTable table;
    try {
        makeTable(context, data, table);
    } catch (const std::exception&) {
        kzVulkanFreeCorrectionTable(context, table);
        return false;
    }
    data.table = std::move(table);
    kzVulkanUpdateTableDescriptorSets(context, data);
    return true;
}

void kzVulkanUpdateTableDescriptorSets(kzContextVulkan* context, kzCorrectionDataVulkan& data)
{
    kzVulkanCorrectionTable& table = data.table;
    const size_t count = std::min(table.descriptorSets.size(), data.imageViews.size());
    for (size_t i = 0; i < count; ++i) {
        const VkDescriptorImageInfo images[2] = {
            {context->tableSampler, table.view, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL},
            {context->sampler, data.imageViews[i], VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL}};
        VkWriteDescriptorSet write{};
        write.sType = VK_STRUCTURE_TYPE_WRITE_DESCRIPTOR_SET;
        write.dstSet = table.descriptorSets[i];
        write.dstBinding = 0;
        write.descriptorCount = 2;  // bindings 0 and 1, consecutive and alike
        write.descriptorType = VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER;
        write.pImageInfo = images;
        vkUpdateDescriptorSets(context->device, 1, &write, 0, nullptr);
    }
}

void kzVulkanFreeCorrectionTable(kzContextVulkan* context, kzVulkanCorrectionTable& table)
{
    const VkDevice device = context->device;
    if (table.descriptorPool != VK_NULL_HANDLE)
        vkDestroyDescriptorPool(device, table.descriptorPool, nullptr);
    if (table.pipeline != VK_NULL_HANDLE)
        vkDestroyPipeline(device, table.pipeline, nullptr);
    if (table.framebuffer != VK_NULL_HANDLE)
        vkDestroyFramebuffer(device, table.framebuffer, nullptr);
    if (table.view != VK_NULL_HANDLE)
        vkDestroyImageView(device, table.view, nullptr);
    if (table.image != VK_NULL_HANDLE)
        vkDestroyImage(device, table.image, nullptr);
    if (table.memory != VK_NULL_HANDLE)
        vkFreeMemory(device, table.memory, nullptr);
    table = kzVulkanCorrectionTable{};
}
