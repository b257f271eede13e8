#include <cstring>

#include "core/error_text.h"
#include "kzLib/geometry.h"
#include "vulkan/vulkan_records.h"

using namespace kz_vk_defs;

namespace {

// The per-image uniform block as the correction programs declare it (std140).
struct UniformBlock {
    float mvp[16];
    float camera_mvp[16];
    float camera_position[4];
    float features[kzFeatureCount];  // features1 then features2
    float gamma;
    float inputGamma;
    float outputGamma;
    uint32_t flip_v;
};
static_assert(sizeof(UniformBlock) == kzVulkanUniformBlockSize, "192-byte uniform block");
static_assert(offsetof(UniformBlock, camera_position) == 128 && offsetof(UniformBlock, features) == 144 &&
                  offsetof(UniformBlock, gamma) == 176 && offsetof(UniformBlock, flip_v) == 188,
              "uniform block offsets");

kzCorrectionDataVulkan* findCorrection(kzContextVulkan* context)
{
    auto found = context->corrections.find(context->activeChannel);
    if (found != context->corrections.end())
        return &found->second;
    kzSetErrorText(context, kzErrorLimitVulkan, "No correction data available for channel %i",
                   context->activeChannel);
    return nullptr;
}

kzResult reportNoCorrection(kzContextVulkan* context)
{
    kzSetErrorText(context, kzErrorLimitVulkan, "No correction data available for channel %i",
                   context->activeChannel);
    return KZ_ERROR_INVALID_DATA;
}

// The active channel's record for the frame hooks: it must exist, its channel
// must still be configured, and it must have a camera (a record stored for a
// channel without configuration has none and gives no view).
kzResult findViewableChannel(kzContextVulkan* context, kzCorrectionDataVulkan*& data)
{
    if (!context)
        return KZ_ERROR_INVALID_ARGUMENT;
    data = findCorrection(context);
    if (!data)
        return KZ_ERROR_INVALID_DATA;
    if (!context->configurations.count(context->activeChannel)) {
        kzSetErrorText(context, kzErrorLimitVulkan, "No configuration data available for channel %i",
                       context->activeChannel);
        return KZ_ERROR_INVALID_DATA;
    }
    if (!data->camera)
        return reportNoCorrection(context);
    return KZ_OK;
}

// Re-aims a dynamic channel's camera from the eye through its target
// rectangle; false when the channel has no target rectangle.
bool aimDynamicCamera(kzCorrectionDataVulkan& data, kzVec3f eye)
{
    if (data.correctionType != KZ_CORRECTION_DYNAMIC || !data.hasTargetRect)
        return false;
    const kzTargetRect& rect = data.targetRect;
    kzGetOffAxisViewPortal(data.camera.get(), eye, rect.corners[0], rect.corners[1], rect.corners[3]);
    return true;
}

// The pass setters need the active channel's record, drawable or not.
template <typename Change>
kzResult changeActiveChannelPasses(kzContextVulkan* context, Change change)
{
    if (!context)
        return KZ_ERROR_INVALID_ARGUMENT;
    kzCorrectionDataVulkan* data = findCorrection(context);
    if (!data)
        return KZ_ERROR_INVALID_DATA;
    change(*data);
    return KZ_OK;
}

}  // namespace

kzResult kzPreDraw_Vulkan(kzContextVulkan* context, kzVec3f eye, kzVec3f* orientation,
                          kzMatrix4x4* projection)
{
    kzCorrectionDataVulkan* data = nullptr;
    if (kzResult result = findViewableChannel(context, data); result != KZ_OK)
        return result;
    switch (data->correctionType) {
    case KZ_CORRECTION_STATIC:
        break;
    case KZ_CORRECTION_DYNAMIC:
        // The camera follows the eye only when a projection is asked for; then
        // the angles are those of this eye, else of the last update. Without
        // a target rectangle there is no view to give.
        if (projection && !aimDynamicCamera(*data, eye))
            projection = nullptr;
        break;
    default:
        return KZ_OK;
    }
    if (projection)
        kzGetProjectionMatrix(projection, *data->camera);
    if (orientation)
        kzGetOrientation(orientation, data->camera->direction, data->camera->up);
    return KZ_OK;
}

kzResult kzPreDraw_Vulkan_1(kzContextVulkan* context, kzVec3f eye, kzCamera* camera)
{
    kzCorrectionDataVulkan* data = nullptr;
    if (kzResult result = findViewableChannel(context, data); result != KZ_OK)
        return result;
    if (!camera)
        return KZ_OK;
    if (data->correctionType == KZ_CORRECTION_STATIC ||
        (data->correctionType == KZ_CORRECTION_DYNAMIC && aimDynamicCamera(*data, eye)))
        *camera = *data->camera;
    return KZ_OK;
}

kzResult kzPostDraw_Vulkan(kzContextVulkan* context, VkFramebuffer framebuffer,
                           VkCommandBuffer& commandBuffer, unsigned imageIndex)
{
    kzCorrectionDataVulkan* data = nullptr;
    if (kzResult result = findViewableChannel(context, data); result != KZ_OK)
        return result;
    if (imageIndex >= data->imageViews.size()) {
        kzSetErrorText(context, kzErrorLimitVulkan,
                       "Image index %u is beyond the %zu image views of channel %i", imageIndex,
                       data->imageViews.size(), context->activeChannel);
        return KZ_ERROR_INVALID_ARGUMENT;
    }
    if (!data->hasImageObjects() || data->cmesh.vertexBuffer == VK_NULL_HANDLE)
        return reportNoCorrection(context);
    kzVulkanUpdateUniformBuffers(context, *data, imageIndex);
    kzVulkanRecordCommandBuffer(context, *data, framebuffer, commandBuffer, imageIndex,
                                kzCorrectionType(data->correctionType));
    return KZ_OK;
}

void kzVulkanUpdateUniformBuffers(kzContextVulkan* context, kzCorrectionDataVulkan& data,
                                  unsigned imageIndex)
{
    UniformBlock block;
    kzMatrix4x4 matrix;
    kzGetOrthoMatrix(&matrix, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f);
    std::memcpy(block.mvp, matrix.m, sizeof(block.mvp));
    kzGetModelViewProjectionMatrix(&matrix, *data.camera);
    std::memcpy(block.camera_mvp, matrix.m, sizeof(block.camera_mvp));
    const kzVec3f position = data.camera->position;
    block.camera_position[0] = position.x;
    block.camera_position[1] = position.y;
    block.camera_position[2] = position.z;
    block.camera_position[3] = 0.0f;
    kzComputeFeatures(data, block.features);
    block.gamma = data.gamma;
    block.inputGamma = data.inputGamma;
    block.outputGamma = data.outputGamma;
    block.flip_v = context->flipWarpmeshTexcoordsV ? 1u : 0u;
    std::memcpy(data.uniformBuffersMapped[imageIndex], &block, sizeof(block));
}

namespace {

// A static channel draws from its table under the baked method when the
// table was made for the current output size and image views.
bool drawsFromTable(const kzContextVulkan* context, const kzCorrectionDataVulkan& data, kzCorrectionType type)
{
    const kzVulkanCorrectionTable& table = data.table;
    return type == KZ_CORRECTION_STATIC && context->correctionMethod == KZ_CORRECTION_METHOD_BAKED &&
           table.drawable(data.imageViews.size()) && table.width == context->width &&
           table.height == context->height;
}

void recordMeshDraw(kzContextVulkan* context, kzCorrectionDataVulkan& data, VkCommandBuffer commands,
                    unsigned imageIndex, bool dynamic)
{
    // A grid of one row or column has no triangles and no index buffer: the
    // pass only clears.
    const kzVulkanCorrectionMesh& mesh = data.cmesh;
    if (mesh.indexBuffer == VK_NULL_HANDLE)
        return;
    vkCmdBindPipeline(commands, VK_PIPELINE_BIND_POINT_GRAPHICS,
                      dynamic ? context->dynamicPipeline : context->staticPipeline);
    vkCmdBindDescriptorSets(commands, VK_PIPELINE_BIND_POINT_GRAPHICS,
                            dynamic ? context->dynamicPipelineLayout : context->staticPipelineLayout, 0, 1,
                            &data.descriptorSets[imageIndex], 0, nullptr);
    kzVulkanDrawCorrectionMesh(mesh, commands);
}

}  // namespace

bool kzVulkanRecordCommandBuffer(kzContextVulkan* context, kzCorrectionDataVulkan& data,
                                 VkFramebuffer framebuffer, VkCommandBuffer& commandBuffer,
                                 unsigned imageIndex, kzCorrectionType type)
{
    const VkCommandBuffer commands = data.commandBuffers[imageIndex];
    commandBuffer = commands;
    vkResetCommandBuffer(commands, 0);
    VkCommandBufferBeginInfo begin{};
    begin.sType = VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO;
    if (vkBeginCommandBuffer(commands, &begin) != VK_SUCCESS)
        return false;

    // A table is baked in the first frame that needs it, before the frame's
    // correction pass; the host submits this command buffer like any other.
    const bool flat = drawsFromTable(context, data, type);
    if (flat) {
        const kzVulkanBakeKey key = kzVulkanCurrentBakeKey(context, data);
        if (!data.table.baked || data.table.bakedWith != key) {
            kzVulkanRecordBake(context, data, commands, imageIndex);
            data.table.baked = true;
            data.table.bakedWith = key;
        }
    }

    const VkExtent2D extent{context->width, context->height};
    VkClearValue clear{};
    clear.color = {{0.0f, 0.0f, 0.0f, 1.0f}};
    VkRenderPassBeginInfo pass{};
    pass.sType = VK_STRUCTURE_TYPE_RENDER_PASS_BEGIN_INFO;
    pass.renderPass = context->renderPass;
    pass.framebuffer = framebuffer;
    pass.renderArea = {{0, 0}, extent};
    pass.clearValueCount = 1;
    pass.pClearValues = &clear;
    vkCmdBeginRenderPass(commands, &pass, VK_SUBPASS_CONTENTS_INLINE);
    const VkViewport viewport{0.0f, 0.0f, float(extent.width), float(extent.height), 0.0f, 1.0f};
    vkCmdSetViewport(commands, 0, 1, &viewport);
    const VkRect2D scissor{{0, 0}, extent};
    vkCmdSetScissor(commands, 0, 1, &scissor);
    if (flat)
        kzVulkanRecordFlatDraw(context, data, commands, imageIndex);
    else
        recordMeshDraw(context, data, commands, imageIndex, type == KZ_CORRECTION_DYNAMIC);
    vkCmdEndRenderPass(commands);
    return vkEndCommandBuffer(commands) == VK_SUCCESS;
}

kzResult kzSetCorrectionPass_Vulkan(kzContextVulkan* context, kzCorrectionPassType pass, bool enable)
{
    return changeActiveChannelPasses(
        context, [&](kzChannelPasses& passes) { kzEnableCorrectionPass(passes, pass, enable); });
}

kzResult kzSetCorrectionPass_Vulkan_1(kzContextVulkan* context, kzCorrectionPassType pass,
                                      float value)
{
    return changeActiveChannelPasses(
        context, [&](kzChannelPasses& passes) { kzWeightCorrectionPass(passes, pass, value); });
}
