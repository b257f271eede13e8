// The host's own scene, rendered into one sampled image per projector image:
// three balls circling above a chequered floor under a sky, ray-cast per pixel
// from the view the library gives for the tracked eye. It stands for whatever
// a real host renders. Its render pass leaves each image in
// SHADER_READ_ONLY_OPTIMAL and makes its writes visible to fragment-shader
// reads, which is what the correction that samples it needs.
#pragma once

#include <vector>

#include <kzLib.h>
#include <kzLib/vulkan.h>

#include "device.h"

class Scene {
public:
    // Throws std::runtime_error when something cannot be made.
    Scene(Device& device, VkExtent2D extent, uint32_t images);
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // The views to hand to kzSetActiveChannelVulkan, one per projector image.
    const std::vector<VkImageView>& views() const { return views_; }
    // Records rendering scene image `index` at `seconds` as the channel camera
    // sees it from its eye (camera.position).
    void record(VkCommandBuffer commands, uint32_t index, const kzCamera& camera, float seconds) const;

private:
    Device& device_;
    VkExtent2D extent_;
    VkRenderPass renderPass_ = VK_NULL_HANDLE;
    VkPipelineLayout layout_ = VK_NULL_HANDLE;
    VkPipeline pipeline_ = VK_NULL_HANDLE;
    std::vector<VkImage> images_;
    std::vector<VkDeviceMemory> memory_;
    std::vector<VkImageView> views_;
    std::vector<VkFramebuffer> framebuffers_;
};
