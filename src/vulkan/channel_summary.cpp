// The Vulkan back-end's part of the channel query.

#include "vulkan/vulkan_records.h"

namespace {

const kzCamera* channelCamera(const kzContextHeader& header, uint32_t channel)
{
    const auto& context = static_cast<const kzContextVulkan&>(header);
    const auto found = context.corrections.find(channel);
    return found == context.corrections.end() ? nullptr : found->second.camera.get();
}

}  // namespace

void kzVulkanNoteSetUp(kzContextVulkan& context, uint32_t channel, bool kept,
                       const kzCorrectionDataVulkan& data)
{
    context.channelCamera = channelCamera;
    kzNoteChannelSetUp(context, channel, kept, data.grid);
}
