// The images the corrected picture goes into, one framebuffer each: a window's
// swap chain, or, headless, a few offscreen colour images standing in for one.
// Framebuffers are made with a render pass compatible with the library's: one
// colour attachment of the images' format, one sample, one subpass, one
// dependency from outside on colour-attachment output.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "device.h"

#ifdef KZHOST_WITH_GLFW
struct GLFWwindow;
#endif

class ProjectorImages {
public:
    virtual ~ProjectorImages();

    VkFormat format() const { return format_; }
    VkExtent2D extent() const { return extent_; }
    uint32_t count() const { return uint32_t(framebuffers_.size()); }
    VkFramebuffer framebuffer(uint32_t index) const { return framebuffers_[index]; }

    // The image to draw next. Returns the semaphore the drawing must wait for
    // (null when there is none to wait for).
    virtual VkSemaphore acquire(uint32_t& index) = 0;
    // Shows image `index` once `rendered` is signalled; false when the window
    // was closed. Null `rendered` only offscreen.
    virtual bool present(uint32_t index, VkSemaphore rendered) = 0;
    // Whether someone is watching (the host then keeps drawing).
    virtual bool interactive() const = 0;
    // Image `index`'s pixels as RGB rows from the top; the image must be idle
    // in PRESENT_SRC_KHR. Offscreen images only: a swap chain returns nothing.
    virtual std::vector<uint8_t> readRgb(uint32_t index);

protected:
    ProjectorImages(Device& device, VkFormat format, VkExtent2D extent);
    void makeFramebuffers(const std::vector<VkImageView>& views);

    Device& device_;
    VkFormat format_;
    VkExtent2D extent_;
    VkRenderPass renderPass_ = VK_NULL_HANDLE;
    std::vector<VkFramebuffer> framebuffers_;
};

// `count` offscreen R8G8B8A8_UNORM images of width x height.
std::unique_ptr<ProjectorImages> createOffscreenImages(Device& device, uint32_t width, uint32_t height,
                                                        uint32_t count);

#ifdef KZHOST_WITH_GLFW
// The swap chain of `surface`, made for `window`.
std::unique_ptr<ProjectorImages> createSwapchainImages(Device& device, VkSurfaceKHR surface, GLFWwindow* window);
#endif
