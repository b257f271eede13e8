// Recording of the baked correction: the bake of a static channel's table
// (its own render pass, before the frame's correction pass) and the flat
// full-screen draw from the table inside the correction pass.
#include "vulkan/vulkan_records.h"

using namespace kz_vk_defs;

kzVulkanBakeKey kzVulkanCurrentBakeKey(const kzContextVulkan* context, const kzCorrectionDataVulkan& data)
{
    kzVulkanBakeKey key;
    kzComputeFeatures(data, key.features);
    key.gamma = data.gamma;
    key.width = context->width;
    key.height = context->height;
    return key;
}

void kzVulkanRecordBake(kzContextVulkan* context, kzCorrectionDataVulkan& data, VkCommandBuffer commands,
                        unsigned imageIndex)
{
    const kzVulkanCorrectionTable& table = data.table;
    const VkExtent2D extent{table.width, table.height};
    VkClearValue clear{};  // all zero: not covered
    VkRenderPassBeginInfo pass{};
    pass.sType = VK_STRUCTURE_TYPE_RENDER_PASS_BEGIN_INFO;
    pass.renderPass = context->bakeRenderPass;
    pass.framebuffer = table.framebuffer;
    pass.renderArea = {{0, 0}, extent};
    pass.clearValueCount = 1;
    pass.pClearValues = &clear;
    vkCmdBeginRenderPass(commands, &pass, VK_SUBPASS_CONTENTS_INLINE);
    if (data.cmesh.indexBuffer != VK_NULL_HANDLE) {
        vkCmdBindPipeline(commands, VK_PIPELINE_BIND_POINT_GRAPHICS, context->bakePipeline);
        const VkViewport viewport{0.0f, 0.0f, float(extent.width), float(extent.height), 0.0f, 1.0f};
        vkCmdSetViewport(commands, 0, 1, &viewport);
        const VkRect2D scissor{{0, 0}, extent};
        vkCmdSetScissor(commands, 0, 1, &scissor);
        vkCmdBindDescriptorSets(commands, VK_PIPELINE_BIND_POINT_GRAPHICS, context->staticPipelineLayout, 0, 1,
                                &data.descriptorSets[imageIndex], 0, nullptr);
        kzVulkanDrawCorrectionMesh(data.cmesh, commands);
    }
    vkCmdEndRenderPass(commands);
}

void kzVulkanRecordFlatDraw(kzContextVulkan* context, kzCorrectionDataVulkan& data, VkCommandBuffer commands,
                            unsigned imageIndex)
{
    vkCmdBindPipeline(commands, VK_PIPELINE_BIND_POINT_GRAPHICS, data.table.pipeline);
    vkCmdBindDescriptorSets(commands, VK_PIPELINE_BIND_POINT_GRAPHICS, context->flatPipelineLayout, 0, 1,
                            &data.table.descriptorSets[imageIndex], 0, nullptr);
    vkCmdDraw(commands, 3, 1, 0, 0);
}
