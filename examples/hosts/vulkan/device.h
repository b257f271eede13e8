// The host's Vulkan instance and device, made the way kzLib needs them: a
// graphics queue, VK_KHR_swapchain on the device (the correction leaves its
// image in VK_IMAGE_LAYOUT_PRESENT_SRC_KHR, even offscreen) and so
// VK_KHR_surface on the instance, and a command
// pool whose command buffers can be reset one by one. The library borrows all
// of these; the host destroys them after kzDestroyContextVulkan.
#pragma once

#include <string>
#include <vector>

#include <vulkan/vulkan.h>

struct DeviceOptions {
    std::vector<const char*> instanceExtensions;  // what GLFW needs for a window; none: VK_KHR_surface
    bool validation = false;                      // the Khronos validation layer, every message an error
};

class Device {
public:
    // Throws std::runtime_error when something cannot be made.
    explicit Device(const DeviceOptions& options);
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // Picks the physical device and makes the logical one; with a surface, the
    // queue must be able to present to it.
    void open(VkSurfaceKHR surface = VK_NULL_HANDLE);

    VkInstance instance = VK_NULL_HANDLE;
    VkPhysicalDevice physicalDevice = VK_NULL_HANDLE;
    VkDevice device = VK_NULL_HANDLE;
    VkQueue queue = VK_NULL_HANDLE;
    uint32_t queueFamily = 0;
    VkCommandPool commandPool = VK_NULL_HANDLE;

    // Validation messages so far (printed as they come).
    int validationMessages() const { return messages_; }
    uint32_t memoryType(uint32_t typeBits, VkMemoryPropertyFlags properties) const;

private:
    VkDebugUtilsMessengerEXT messenger_ = VK_NULL_HANDLE;
    int messages_ = 0;
};

// Throws std::runtime_error naming the call when `result` is not VK_SUCCESS.
void check(VkResult result, const char* call);
