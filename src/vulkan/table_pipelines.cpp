// The context's objects for baked correction: the render pass and pipeline
// that write a static channel's table, and the set layout, pipeline layout and
// sampler of the full-screen pass that reads it.
#include <iterator>

#include "vulkan/shader_programs.h"
#include "vulkan/vulkan_records.h"

using namespace kz_vk_defs;

namespace {

// The table is cleared to zero (nothing covered) and left for the fragment
// shader. Frames submitted earlier may still read the table the pass
// overwrites: the first dependency waits for their fragment shading; the
// second makes the bake visible to the reads that follow it.
bool createBakeRenderPass(kzContextVulkan* context)
{
    VkAttachmentDescription attachment{};
    attachment.format = VK_FORMAT_R32G32B32A32_UINT;
    attachment.samples = VK_SAMPLE_COUNT_1_BIT;
    attachment.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
    attachment.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    attachment.stencilLoadOp = VK_ATTACHMENT_LOAD_OP_DONT_CARE;
    attachment.stencilStoreOp = VK_ATTACHMENT_STORE_OP_DONT_CARE;
    attachment.initialLayout = VK_IMAGE_LAYOUT_UNDEFINED;
    attachment.finalLayout = VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL;
    const VkAttachmentReference colour{0, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL};
    VkSubpassDescription subpass{};
    subpass.pipelineBindPoint = VK_PIPELINE_BIND_POINT_GRAPHICS;
    subpass.colorAttachmentCount = 1;
    subpass.pColorAttachments = &colour;
    const VkSubpassDependency dependencies[] = {
        {VK_SUBPASS_EXTERNAL, 0, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
         VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, 0, VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT, 0},
        {0, VK_SUBPASS_EXTERNAL, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT,
         VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT, 0},
    };
    VkRenderPassCreateInfo info{};
    info.sType = VK_STRUCTURE_TYPE_RENDER_PASS_CREATE_INFO;
    info.attachmentCount = 1;
    info.pAttachments = &attachment;
    info.subpassCount = 1;
    info.pSubpasses = &subpass;
    info.dependencyCount = uint32_t(std::size(dependencies));
    info.pDependencies = dependencies;
    return vkCreateRenderPass(context->device, &info, nullptr, &context->bakeRenderPass) == VK_SUCCESS;
}

// The static mesh program with the bake fragment program, on the static
// pipeline's layout: the bake reads the channel's uniform block and masks
// through the same descriptor set the mesh draw uses.
bool createBakePipeline(kzContextVulkan* context)
{
    kzVulkanPipelineDescription description;
    description.vertexProgram = kzShaderCorrectionStaticVulkan_450_vert;
    description.vertexProgramSize = kzShaderCorrectionStaticVulkan_450_vert_size;
    description.fragmentProgram = kzShaderCorrectionBakeVulkan_450_frag;
    description.fragmentProgramSize = kzShaderCorrectionBakeVulkan_450_frag_size;
    description.cullMode = VK_CULL_MODE_NONE;
    description.vertexInput = kzVulkanVertexInput::staticMesh;
    description.layout = context->staticPipelineLayout;
    description.renderPass = context->bakeRenderPass;
    return kzVulkanCreateGraphicsPipeline(context, description, context->bakePipeline);
}

// Binding 0 the table, binding 1 the scene.
bool createFlatSetLayout(kzContextVulkan* context)
{
    VkDescriptorSetLayoutBinding bindings[2]{};
    for (uint32_t i = 0; i < 2; ++i) {
        bindings[i].binding = i;
        bindings[i].descriptorType = VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER;
        bindings[i].descriptorCount = 1;
        bindings[i].stageFlags = VK_SHADER_STAGE_FRAGMENT_BIT;
    }
    VkDescriptorSetLayoutCreateInfo info{};
    info.sType = VK_STRUCTURE_TYPE_DESCRIPTOR_SET_LAYOUT_CREATE_INFO;
    info.bindingCount = uint32_t(std::size(bindings));
    info.pBindings = bindings;
    return vkCreateDescriptorSetLayout(context->device, &info, nullptr, &context->flatDescriptorSetLayout) ==
           VK_SUCCESS;
}

// The table is read texel by texel; integer formats take no filtering.
bool createTableSampler(kzContextVulkan* context)
{
    VkSamplerCreateInfo info{};
    info.sType = VK_STRUCTURE_TYPE_SAMPLER_CREATE_INFO;
    info.magFilter = VK_FILTER_NEAREST;
    info.minFilter = VK_FILTER_NEAREST;
    info.mipmapMode = VK_SAMPLER_MIPMAP_MODE_NEAREST;
    info.addressModeU = VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
    info.addressModeV = VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
    info.addressModeW = VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
    info.maxAnisotropy = 1.0f;
    info.borderColor = VK_BORDER_COLOR_INT_OPAQUE_BLACK;
    return vkCreateSampler(context->device, &info, nullptr, &context->tableSampler) == VK_SUCCESS;
}

}  // namespace

bool kzVulkanCreateTableObjects(kzContextVulkan* context)
{
    return createBakeRenderPass(context) && createBakePipeline(context) && createFlatSetLayout(context) &&
           kzVulkanCreatePipelineLayout(context, context->flatDescriptorSetLayout, context->flatPipelineLayout) &&
           createTableSampler(context);
}

void kzVulkanReleaseTableObjects(kzContextVulkan* context)
{
    const VkDevice device = context->device;
    vkDestroySampler(device, context->tableSampler, nullptr);
    vkDestroyPipelineLayout(device, context->flatPipelineLayout, nullptr);
    vkDestroyDescriptorSetLayout(device, context->flatDescriptorSetLayout, nullptr);
    vkDestroyPipeline(device, context->bakePipeline, nullptr);
    vkDestroyRenderPass(device, context->bakeRenderPass, nullptr);
    context->tableSampler = VK_NULL_HANDLE;
    context->flatPipelineLayout = VK_NULL_HANDLE;
    context->flatDescriptorSetLayout = VK_NULL_HANDLE;
    context->bakePipeline = VK_NULL_HANDLE;
    context->bakeRenderPass = VK_NULL_HANDLE;
}
