// The Vulkan commands the back-end uses, resolved at run time from the loader
// the host application has already loaded. The library never links or loads
// the loader itself; every Vulkan call of the back-end goes through here.
#pragma once

#include <vulkan/vulkan_core.h>

#define KZ_VULKAN_COMMANDS(X)                  \
    X(vkGetPhysicalDeviceMemoryProperties)     \
    X(vkGetPhysicalDeviceFormatProperties)     \
    X(vkQueueSubmit)                           \
    X(vkQueueWaitIdle)                         \
    X(vkDeviceWaitIdle)                        \
    X(vkAllocateMemory)                        \
    X(vkFreeMemory)                            \
    X(vkMapMemory)                             \
    X(vkUnmapMemory)                           \
    X(vkBindBufferMemory)                      \
    X(vkBindImageMemory)                       \
    X(vkGetBufferMemoryRequirements)           \
    X(vkGetImageMemoryRequirements)            \
    X(vkCreateBuffer)                          \
    X(vkDestroyBuffer)                         \
    X(vkCreateImage)                           \
    X(vkDestroyImage)                          \
    X(vkCreateImageView)                       \
    X(vkDestroyImageView)                      \
    X(vkCreateShaderModule)                    \
    X(vkDestroyShaderModule)                   \
    X(vkCreateGraphicsPipelines)               \
    X(vkDestroyPipeline)                       \
    X(vkCreatePipelineLayout)                  \
    X(vkDestroyPipelineLayout)                 \
    X(vkCreateSampler)                         \
    X(vkDestroySampler)                        \
    X(vkCreateDescriptorSetLayout)             \
    X(vkDestroyDescriptorSetLayout)            \
    X(vkCreateDescriptorPool)                  \
    X(vkDestroyDescriptorPool)                 \
    X(vkAllocateDescriptorSets)                \
    X(vkUpdateDescriptorSets)                  \
    X(vkCreateRenderPass)                      \
    X(vkDestroyRenderPass)                     \
    X(vkCreateFramebuffer)                     \
    X(vkDestroyFramebuffer)                    \
    X(vkAllocateCommandBuffers)                \
    X(vkFreeCommandBuffers)                    \
    X(vkBeginCommandBuffer)                    \
    X(vkEndCommandBuffer)                      \
    X(vkResetCommandBuffer)                    \
    X(vkCmdBindPipeline)                       \
    X(vkCmdSetViewport)                        \
    X(vkCmdSetScissor)                         \
    X(vkCmdBindDescriptorSets)                 \
    X(vkCmdBindIndexBuffer)                    \
    X(vkCmdBindVertexBuffers)                  \
    X(vkCmdDraw)                               \
    X(vkCmdDrawIndexed)                        \
    X(vkCmdCopyBuffer)                         \
    X(vkCmdCopyBufferToImage)                  \
    X(vkCmdPipelineBarrier)                    \
    X(vkCmdBeginRenderPass)                    \
    X(vkCmdEndRenderPass)

namespace kz_vk_defs {

#define KZ_DECLARE_VULKAN_COMMAND(name) extern PFN_##name name;
KZ_VULKAN_COMMANDS(KZ_DECLARE_VULKAN_COMMAND)
#undef KZ_DECLARE_VULKAN_COMMAND

}  // namespace kz_vk_defs

// Number of commands in the table.
#define KZ_COUNT_VULKAN_COMMAND(name) +1
constexpr int kzVulkanCommandCount = 0 KZ_VULKAN_COMMANDS(KZ_COUNT_VULKAN_COMMAND);
#undef KZ_COUNT_VULKAN_COMMAND

// Resolves every command from an already loaded libvulkan.so.1, once for the
// process: after the first success the table never changes and later calls
// return true at once. Safe to call from several threads. False when the
// loader is not in the process or a command is missing; the table then holds
// null for each missing command and the next call tries again.
bool initVK();
