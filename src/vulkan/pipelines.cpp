#include <cstddef>
#include <iterator>
#include <vector>

#include "vulkan/shader_programs.h"
#include "vulkan/vulkan_records.h"

namespace {

// Binding 0 is the uniform block; the scene and mask samplers follow it.
constexpr uint32_t kStaticSamplerCount = 4;
constexpr uint32_t kDynamicSamplerCount = 5;

VkAttachmentDescription colourAttachment(VkFormat format)
{
    VkAttachmentDescription attachment{};
    attachment.format = format;
    attachment.samples = VK_SAMPLE_COUNT_1_BIT;
    attachment.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
    attachment.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    attachment.stencilLoadOp = VK_ATTACHMENT_LOAD_OP_DONT_CARE;
    attachment.stencilStoreOp = VK_ATTACHMENT_STORE_OP_DONT_CARE;
    attachment.initialLayout = VK_IMAGE_LAYOUT_UNDEFINED;
    attachment.finalLayout = VK_IMAGE_LAYOUT_PRESENT_SRC_KHR;
    return attachment;
}

VkSubpassDescription colourSubpass(const VkAttachmentReference* colour)
{
    VkSubpassDescription subpass{};
    subpass.pipelineBindPoint = VK_PIPELINE_BIND_POINT_GRAPHICS;
    subpass.colorAttachmentCount = 1;
    subpass.pColorAttachments = colour;
    return subpass;
}

VkSubpassDependency externalDependency()
{
    VkSubpassDependency dependency{};
    dependency.srcSubpass = VK_SUBPASS_EXTERNAL;
    dependency.dstSubpass = 0;
    dependency.srcStageMask = VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT;
    dependency.dstStageMask = VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT;
    dependency.srcAccessMask = 0;
    dependency.dstAccessMask = VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT;
    return dependency;
}

VkDescriptorSetLayoutBinding layoutBinding(uint32_t binding, VkDescriptorType type,
                                           VkShaderStageFlags stages)
{
    VkDescriptorSetLayoutBinding entry{};
    entry.binding = binding;
    entry.descriptorType = type;
    entry.descriptorCount = 1;
    entry.stageFlags = stages;
    return entry;
}

std::vector<VkDescriptorSetLayoutBinding> layoutBindings(uint32_t samplerCount)
{
    std::vector<VkDescriptorSetLayoutBinding> bindings;
    bindings.push_back(layoutBinding(0, VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER,
                                     VK_SHADER_STAGE_VERTEX_BIT | VK_SHADER_STAGE_FRAGMENT_BIT));
    for (uint32_t binding = 1; binding <= samplerCount; ++binding)
        bindings.push_back(layoutBinding(binding, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER,
                                         VK_SHADER_STAGE_FRAGMENT_BIT));
    return bindings;
}

bool createSetLayout(kzContextVulkan* context, uint32_t samplerCount, VkDescriptorSetLayout& layout)
{
    const std::vector<VkDescriptorSetLayoutBinding> bindings = layoutBindings(samplerCount);
    VkDescriptorSetLayoutCreateInfo info{};
    info.sType = VK_STRUCTURE_TYPE_DESCRIPTOR_SET_LAYOUT_CREATE_INFO;
    info.bindingCount = uint32_t(bindings.size());
    info.pBindings = bindings.data();
    VkDescriptorSetLayout created = VK_NULL_HANDLE;
    if (kz_vk_defs::vkCreateDescriptorSetLayout(context->device, &info, nullptr, &created) !=
        VK_SUCCESS)
        return false;
    layout = created;
    return true;
}

const VkVertexInputBindingDescription kStaticVertexBinding = {
    0, sizeof(kzVulkanStaticVertex), VK_VERTEX_INPUT_RATE_VERTEX};

const VkVertexInputAttributeDescription kStaticVertexAttributes[] = {
    {0, 0, VK_FORMAT_R32G32_SFLOAT, offsetof(kzVulkanStaticVertex, position)},
    {1, 0, VK_FORMAT_R32G32_SFLOAT, offsetof(kzVulkanStaticVertex, texcoord_warped)},
};

const VkVertexInputBindingDescription kVertexBinding = {
    0, sizeof(kzVulkanCorrectionVertex), VK_VERTEX_INPUT_RATE_VERTEX};

const VkVertexInputAttributeDescription kVertexAttributes[] = {
    {0, 0, VK_FORMAT_R32G32B32_SFLOAT, offsetof(kzVulkanCorrectionVertex, position)},
    {1, 0, VK_FORMAT_R32G32_SFLOAT, offsetof(kzVulkanCorrectionVertex, texcoord_warped)},
    {2, 0, VK_FORMAT_R32G32_SFLOAT, offsetof(kzVulkanCorrectionVertex, texcoord_unwarped)},
    {3, 0, VK_FORMAT_R32G32B32_SFLOAT, offsetof(kzVulkanCorrectionVertex, normal)},
    {4, 0, VK_FORMAT_R32G32B32_SFLOAT, offsetof(kzVulkanCorrectionVertex, tangent)},
    {5, 0, VK_FORMAT_R32G32B32_SFLOAT, offsetof(kzVulkanCorrectionVertex, position1)},
};

const VkDynamicState kDynamicStates[] = {VK_DYNAMIC_STATE_VIEWPORT, VK_DYNAMIC_STATE_SCISSOR};

VkPipelineShaderStageCreateInfo shaderStage(VkShaderStageFlagBits stage, VkShaderModule module)
{
    VkPipelineShaderStageCreateInfo info{};
    info.sType = VK_STRUCTURE_TYPE_PIPELINE_SHADER_STAGE_CREATE_INFO;
    info.stage = stage;
    info.module = module;
    info.pName = "main";
    return info;
}

// Full-screen pipelines make their triangle from the vertex index and read no
// vertex buffer.
VkPipelineVertexInputStateCreateInfo vertexInputState(kzVulkanVertexInput input)
{
    VkPipelineVertexInputStateCreateInfo info{};
    info.sType = VK_STRUCTURE_TYPE_PIPELINE_VERTEX_INPUT_STATE_CREATE_INFO;
    if (input == kzVulkanVertexInput::staticMesh) {
        info.vertexBindingDescriptionCount = 1;
        info.pVertexBindingDescriptions = &kStaticVertexBinding;
        info.vertexAttributeDescriptionCount = uint32_t(std::size(kStaticVertexAttributes));
        info.pVertexAttributeDescriptions = kStaticVertexAttributes;
    } else if (input == kzVulkanVertexInput::dynamicMesh) {
        info.vertexBindingDescriptionCount = 1;
        info.pVertexBindingDescriptions = &kVertexBinding;
        info.vertexAttributeDescriptionCount = uint32_t(std::size(kVertexAttributes));
        info.pVertexAttributeDescriptions = kVertexAttributes;
    }
    return info;
}

VkPipelineInputAssemblyStateCreateInfo inputAssemblyState()
{
    VkPipelineInputAssemblyStateCreateInfo info{};
    info.sType = VK_STRUCTURE_TYPE_PIPELINE_INPUT_ASSEMBLY_STATE_CREATE_INFO;
    info.topology = VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST;
    info.primitiveRestartEnable = VK_FALSE;
    return info;
}

// Viewport and scissor are set when the command buffer is recorded.
VkPipelineViewportStateCreateInfo viewportState()
{
    VkPipelineViewportStateCreateInfo info{};
    info.sType = VK_STRUCTURE_TYPE_PIPELINE_VIEWPORT_STATE_CREATE_INFO;
    info.viewportCount = 1;
    info.scissorCount = 1;
    return info;
}

VkPipelineDynamicStateCreateInfo dynamicState()
{
    VkPipelineDynamicStateCreateInfo info{};
    info.sType = VK_STRUCTURE_TYPE_PIPELINE_DYNAMIC_STATE_CREATE_INFO;
    info.dynamicStateCount = uint32_t(std::size(kDynamicStates));
    info.pDynamicStates = kDynamicStates;
    return info;
}

VkPipelineRasterizationStateCreateInfo rasterizationState(VkCullModeFlags cullMode)
{
    VkPipelineRasterizationStateCreateInfo info{};
    info.sType = VK_STRUCTURE_TYPE_PIPELINE_RASTERIZATION_STATE_CREATE_INFO;
    info.depthClampEnable = VK_FALSE;
    info.rasterizerDiscardEnable = VK_FALSE;
    info.polygonMode = VK_POLYGON_MODE_FILL;
    info.cullMode = cullMode;
    info.frontFace = VK_FRONT_FACE_CLOCKWISE;
    info.depthBiasEnable = VK_FALSE;
    info.lineWidth = 1.0f;
    return info;
}

VkPipelineMultisampleStateCreateInfo multisampleState()
{
    VkPipelineMultisampleStateCreateInfo info{};
    info.sType = VK_STRUCTURE_TYPE_PIPELINE_MULTISAMPLE_STATE_CREATE_INFO;
    info.rasterizationSamples = VK_SAMPLE_COUNT_1_BIT;
    info.sampleShadingEnable = VK_FALSE;
    info.minSampleShading = 1.0f;
    info.alphaToCoverageEnable = VK_FALSE;
    info.alphaToOneEnable = VK_FALSE;
    return info;
}

VkPipelineColorBlendAttachmentState opaqueAttachment()
{
    VkPipelineColorBlendAttachmentState attachment{};
    attachment.blendEnable = VK_FALSE;
    attachment.srcColorBlendFactor = VK_BLEND_FACTOR_ONE;
    attachment.dstColorBlendFactor = VK_BLEND_FACTOR_ZERO;
    attachment.colorBlendOp = VK_BLEND_OP_ADD;
    attachment.srcAlphaBlendFactor = VK_BLEND_FACTOR_ONE;
    attachment.dstAlphaBlendFactor = VK_BLEND_FACTOR_ZERO;
    attachment.alphaBlendOp = VK_BLEND_OP_ADD;
    attachment.colorWriteMask = VK_COLOR_COMPONENT_R_BIT | VK_COLOR_COMPONENT_G_BIT |
                                VK_COLOR_COMPONENT_B_BIT | VK_COLOR_COMPONENT_A_BIT;
    return attachment;
}

VkPipelineColorBlendStateCreateInfo colourBlendState(
    const VkPipelineColorBlendAttachmentState* attachment)
{
    VkPipelineColorBlendStateCreateInfo info{};
    info.sType = VK_STRUCTURE_TYPE_PIPELINE_COLOR_BLEND_STATE_CREATE_INFO;
    info.logicOpEnable = VK_FALSE;
    info.logicOp = VK_LOGIC_OP_COPY;
    info.attachmentCount = 1;
    info.pAttachments = attachment;
    return info;
}

// The two modules of one pipeline, destroyed when the pipeline has been made
// (or has failed): a pipeline does not need its modules once created.
class ShaderModules {
public:
    explicit ShaderModules(kzContextVulkan* context) : context_(context) {}
    ~ShaderModules()
    {
        destroy(vertex);
        destroy(fragment);
    }
    ShaderModules(const ShaderModules&) = delete;
    ShaderModules& operator=(const ShaderModules&) = delete;

    bool create(const kzVulkanPipelineDescription& description)
    {
        return create(description.vertexProgram, description.vertexProgramSize, vertex) &&
               create(description.fragmentProgram, description.fragmentProgramSize, fragment);
    }

    VkShaderModule vertex = VK_NULL_HANDLE;
    VkShaderModule fragment = VK_NULL_HANDLE;

private:
    bool create(const uint32_t* words, size_t size, VkShaderModule& module)
    {
        VkShaderModule created = VK_NULL_HANDLE;
        if (!kzVulkanCreateShaderModule(context_, reinterpret_cast<const unsigned char*>(words), size,
                                        created))
            return false;
        module = created;
        return true;
    }
    void destroy(VkShaderModule module)
    {
        if (module != VK_NULL_HANDLE)
            kz_vk_defs::vkDestroyShaderModule(context_->device, module, nullptr);
    }

    kzContextVulkan* context_;
};

// Stores the layout and the pipeline only when both were made.
bool createPipeline(kzContextVulkan* context, kzVulkanPipelineDescription description,
                    VkDescriptorSetLayout setLayout, VkPipelineLayout& layout, VkPipeline& pipeline)
{
    VkPipelineLayout createdLayout = VK_NULL_HANDLE;
    if (!kzVulkanCreatePipelineLayout(context, setLayout, createdLayout))
        return false;
    description.layout = createdLayout;
    description.renderPass = context->renderPass;
    VkPipeline created = VK_NULL_HANDLE;
    if (!kzVulkanCreateGraphicsPipeline(context, description, created)) {
        kz_vk_defs::vkDestroyPipelineLayout(context->device, createdLayout, nullptr);
        return false;
    }
    layout = createdLayout;
    pipeline = created;
    return true;
}

}  // namespace

bool kzVulkanCreatePipelineLayout(kzContextVulkan* context, VkDescriptorSetLayout setLayout,
                                  VkPipelineLayout& layout)
{
    VkPipelineLayoutCreateInfo info{};
    info.sType = VK_STRUCTURE_TYPE_PIPELINE_LAYOUT_CREATE_INFO;
    info.setLayoutCount = 1;
    info.pSetLayouts = &setLayout;
    VkPipelineLayout created = VK_NULL_HANDLE;
    if (kz_vk_defs::vkCreatePipelineLayout(context->device, &info, nullptr, &created) != VK_SUCCESS)
        return false;
    layout = created;
    return true;
}

bool kzVulkanCreateGraphicsPipeline(kzContextVulkan* context, const kzVulkanPipelineDescription& description,
                                    VkPipeline& pipeline)
{
    ShaderModules modules(context);
    if (!modules.create(description))
        return false;
    VkPipelineShaderStageCreateInfo stages[] = {
        shaderStage(VK_SHADER_STAGE_VERTEX_BIT, modules.vertex),
        shaderStage(VK_SHADER_STAGE_FRAGMENT_BIT, modules.fragment)};
    stages[1].pSpecializationInfo = description.fragmentConstants;
    const VkPipelineVertexInputStateCreateInfo vertexInput = vertexInputState(description.vertexInput);
    const VkPipelineInputAssemblyStateCreateInfo inputAssembly = inputAssemblyState();
    const VkPipelineViewportStateCreateInfo viewport = viewportState();
    const VkPipelineRasterizationStateCreateInfo rasterization = rasterizationState(description.cullMode);
    const VkPipelineMultisampleStateCreateInfo multisample = multisampleState();
    const VkPipelineColorBlendAttachmentState attachment = opaqueAttachment();
    const VkPipelineColorBlendStateCreateInfo colourBlend = colourBlendState(&attachment);
    const VkPipelineDynamicStateCreateInfo dynamic = dynamicState();

    VkGraphicsPipelineCreateInfo info{};
    info.sType = VK_STRUCTURE_TYPE_GRAPHICS_PIPELINE_CREATE_INFO;
    info.stageCount = uint32_t(std::size(stages));
    info.pStages = stages;
    info.pVertexInputState = &vertexInput;
    info.pInputAssemblyState = &inputAssembly;
    info.pViewportState = &viewport;
    info.pRasterizationState = &rasterization;
    info.pMultisampleState = &multisample;
    info.pColorBlendState = &colourBlend;
    info.pDynamicState = &dynamic;
    info.layout = description.layout;
    info.renderPass = description.renderPass;
    info.subpass = 0;
    info.basePipelineHandle = VK_NULL_HANDLE;
    info.basePipelineIndex = -1;

    VkPipeline created = VK_NULL_HANDLE;
    if (kz_vk_defs::vkCreateGraphicsPipelines(context->device, VK_NULL_HANDLE, 1, &info, nullptr,
                                              &created) != VK_SUCCESS)
        return false;
    pipeline = created;
    return true;
}

bool kzVulkanCreateRenderPass(kzContextVulkan* context)
{
    const VkAttachmentDescription attachment = colourAttachment(context->format);
    const VkAttachmentReference colour = {0, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL};
    const VkSubpassDescription subpass = colourSubpass(&colour);
    const VkSubpassDependency dependency = externalDependency();

    VkRenderPassCreateInfo info{};
    info.sType = VK_STRUCTURE_TYPE_RENDER_PASS_CREATE_INFO;
    info.attachmentCount = 1;
    info.pAttachments = &attachment;
    info.subpassCount = 1;
    info.pSubpasses = &subpass;
    info.dependencyCount = 1;
    info.pDependencies = &dependency;
    VkRenderPass created = VK_NULL_HANDLE;
    if (kz_vk_defs::vkCreateRenderPass(context->device, &info, nullptr, &created) != VK_SUCCESS)
        return false;
    context->renderPass = created;
    return true;
}

bool kzVulkanCreateStaticDescriptorSetLayout(kzContextVulkan* context)
{
    return createSetLayout(context, kStaticSamplerCount, context->staticDescriptorSetLayout);
}

bool kzVulkanCreateDynamicDescriptorSetLayout(kzContextVulkan* context)
{
    return createSetLayout(context, kDynamicSamplerCount, context->dynamicDescriptorSetLayout);
}

bool kzVulkanCreateStaticPipeline(kzContextVulkan* context)
{
    kzVulkanPipelineDescription type;
    type.vertexProgram = kzShaderCorrectionStaticVulkan_450_vert;
    type.vertexProgramSize = kzShaderCorrectionStaticVulkan_450_vert_size;
    type.fragmentProgram = kzShaderCorrectionStaticVulkan_450_frag;
    type.fragmentProgramSize = kzShaderCorrectionStaticVulkan_450_frag_size;
    type.cullMode = VK_CULL_MODE_NONE;
    type.vertexInput = kzVulkanVertexInput::staticMesh;
    return createPipeline(context, type, context->staticDescriptorSetLayout,
                          context->staticPipelineLayout, context->staticPipeline);
}

bool kzVulkanCreateDynamicPipeline(kzContextVulkan* context)
{
    kzVulkanPipelineDescription type;
    type.vertexProgram = kzShaderCorrectionDynamicVulkan_450_vert;
    type.vertexProgramSize = kzShaderCorrectionDynamicVulkan_450_vert_size;
    type.fragmentProgram = kzShaderCorrectionDynamicVulkan_450_frag;
    type.fragmentProgramSize = kzShaderCorrectionDynamicVulkan_450_frag_size;
    type.cullMode = VK_CULL_MODE_BACK_BIT;
    return createPipeline(context, type, context->dynamicDescriptorSetLayout,
                          context->dynamicPipelineLayout, context->dynamicPipeline);
}
