// Headless Vulkan for tests, tools and benchmarks: a device on Mesa's software
// rasteriser (lavapipe) with the validation layer recording its messages, an
// offscreen image standing in for a swap-chain image, and a sampled image
// standing in for a host's rendered scene. Not part of libkzLib.
//
// Everything here is single-threaded: use a device and its images from one
// thread. Images hold a reference to their device and must be destroyed first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <vulkan/vulkan.h>

namespace headless {

// VulkanDevice::Options. Declared out here because GCC cannot use a nested
// class's member initialisers in a default argument of the enclosing class.
struct VulkanDeviceOptions {
    bool validation = true;
    // Also the layer's synchronization validation: hazards between commands,
    // within a command buffer and across submissions to the queue.
    bool synchronization = false;
};

// A Vulkan 1.0 instance and device on Mesa's software rasteriser (lavapipe),
// with the Khronos validation layer and a debug messenger recording every
// message of warning or error severity as "[severity] message-id: text".
// The device has one graphics queue, the VK_KHR_swapchain extension (so
// VK_IMAGE_LAYOUT_PRESENT_SRC_KHR is a legal layout) and no optional features.
class VulkanDevice {
public:
    using Options = VulkanDeviceOptions;
    // Null, with the reason in *error, when the loader, lavapipe or the layer is unavailable.
    static std::unique_ptr<VulkanDevice> create(std::string* error = nullptr, Options options = {});
    // Waits idle, then destroys the command pool, device, messenger and instance.
    // What the layer reports meanwhile (objects still alive at vkDestroyDevice
    // or vkDestroyInstance, say) goes to messagesAtDestruction(), not messages().
    ~VulkanDevice();
    VulkanDevice(const VulkanDevice&) = delete;
    VulkanDevice& operator=(const VulkanDevice&) = delete;

    VkInstance instance() const { return instance_; }
    VkPhysicalDevice physicalDevice() const { return physicalDevice_; }
    VkDevice device() const { return device_; }
    VkQueue queue() const { return queue_; }
    uint32_t queueFamily() const { return queueFamily_; }
    // Created with VK_COMMAND_POOL_CREATE_RESET_COMMAND_BUFFER_BIT.
    VkCommandPool commandPool() const { return commandPool_; }

    // Messages since creation or the last clear.
    const std::vector<std::string>& messages() const { return messages_; }
    void clearMessages() { messages_.clear(); }
    // Messages reported while the most recently destroyed VulkanDevice was
    // destroyed; each destruction replaces them. Empty before the first one.
    static const std::vector<std::string>& messagesAtDestruction();

    // Submits one command buffer (no semaphores) with a fence and waits for it.
    // Throws std::runtime_error when the submission or the wait fails.
    void submitAndWait(VkCommandBuffer commandBuffer);
    // The first memory type in typeBits with all of `properties`; throws
    // std::runtime_error when there is none.
    uint32_t findMemoryType(uint32_t typeBits, VkMemoryPropertyFlags properties) const;

private:
    VulkanDevice() = default;
    void initialise(const Options& options);
    void createInstance(const Options& options);
    void createDevice();

    VkInstance instance_ = VK_NULL_HANDLE;
    VkDebugUtilsMessengerEXT messenger_ = VK_NULL_HANDLE;
    PFN_vkDestroyDebugUtilsMessengerEXT destroyMessenger_ = nullptr;
    VkPhysicalDevice physicalDevice_ = VK_NULL_HANDLE;
    VkPhysicalDeviceMemoryProperties memoryProperties_{};
    VkDevice device_ = VK_NULL_HANDLE;
    VkQueue queue_ = VK_NULL_HANDLE;
    uint32_t queueFamily_ = 0;
    VkCommandPool commandPool_ = VK_NULL_HANDLE;
    std::vector<std::string> messages_;
    // Where the messenger records; its address is the messenger's user data.
    std::vector<std::string>* sink_ = &messages_;
};

// An offscreen colour image standing in for a swap-chain image:
// COLOR_ATTACHMENT | TRANSFER_SRC usage, optimal tiling, with a view and a
// framebuffer. The framebuffer is made with the harness's own render pass, and
// the validation layer accepts it with any pass that has one attachment of this
// format with 1 sample, one subpass using it as the only colour attachment, and
// one dependency from outside on colour-attachment output, as the library's has.
// Takes 8-bit four-component formats only (R8G8B8A8, B8G8R8A8, A8B8G8R8_PACK32,
// UNORM or SRGB). Starts cleared to transparent black in PRESENT_SRC_KHR.
// The constructor throws std::runtime_error on failure.
class VulkanTarget {
public:
    VulkanTarget(VulkanDevice& device, uint32_t width, uint32_t height,
                 VkFormat format = VK_FORMAT_R8G8B8A8_UNORM);
    ~VulkanTarget();
    VulkanTarget(const VulkanTarget&) = delete;
    VulkanTarget& operator=(const VulkanTarget&) = delete;

    VkImage image() const { return image_; }
    VkImageView view() const { return view_; }
    VkFramebuffer framebuffer() const { return framebuffer_; }
    uint32_t width() const { return width_; }
    uint32_t height() const { return height_; }
    VkFormat format() const { return format_; }

    // Copies the image, which must be in PRESENT_SRC_KHR (as a render pass
    // ending in that layout leaves it), to host memory and leaves it in that
    // layout: rows top to bottom (row 0 = y 0), 4 bytes per pixel in the
    // image's component order (B, G, R, A for B8G8R8A8).
    std::vector<uint8_t> readPixels();
    // Fills the image with one RGBA value (components in R, G, B, A order
    // whatever the format; for SRGB formats these are the stored bytes),
    // leaving it in PRESENT_SRC_KHR.
    void fill(const uint8_t rgba[4]);

private:
    void release();

    VulkanDevice& device_;
    uint32_t width_;
    uint32_t height_;
    VkFormat format_;
    VkImage image_ = VK_NULL_HANDLE;
    VkDeviceMemory memory_ = VK_NULL_HANDLE;
    VkImageView view_ = VK_NULL_HANDLE;
    VkRenderPass renderPass_ = VK_NULL_HANDLE;
    VkFramebuffer framebuffer_ = VK_NULL_HANDLE;
};

// A sampled image with a 2D view, filled from rows top to bottom (row 0 at
// v = 0), 4 bytes per pixel in the format's component order, and left in
// VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL, standing in for a host's rendered
// scene. Null `rgba` leaves it zeroed. Formats as for VulkanTarget. The
// constructor throws std::runtime_error on failure.
class VulkanSceneImage {
public:
    VulkanSceneImage(VulkanDevice& device, uint32_t width, uint32_t height, const uint8_t* rgba,
                     VkFormat format = VK_FORMAT_R8G8B8A8_UNORM);
    ~VulkanSceneImage();
    VulkanSceneImage(const VulkanSceneImage&) = delete;
    VulkanSceneImage& operator=(const VulkanSceneImage&) = delete;

    VkImage image() const { return image_; }
    VkImageView view() const { return view_; }

private:
    void release();
    void upload(uint32_t width, uint32_t height, const uint8_t* rgba);

    VulkanDevice& device_;
    VkImage image_ = VK_NULL_HANDLE;
    VkDeviceMemory memory_ = VK_NULL_HANDLE;
    VkImageView view_ = VK_NULL_HANDLE;
};

// A shader module from SPIR-V `words`, `bytes` long; throws std::runtime_error on failure.
VkShaderModule createShaderModule(VkDevice device, const uint32_t* words, size_t bytes);
// A full-screen pass without vertex input, culling or blending; the modules stay the caller's. Throws on failure.
VkPipeline createFullScreenPipeline(VkDevice device, VkRenderPass renderPass, VkPipelineLayout layout,
                                    VkShaderModule vertex, VkShaderModule fragment, uint32_t width,
                                    uint32_t height);

}  // namespace headless
