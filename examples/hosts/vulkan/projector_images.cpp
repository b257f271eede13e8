#include "projector_images.h"

#include <algorithm>
#include <stdexcept>

#ifdef KZHOST_WITH_GLFW
#include <GLFW/glfw3.h>
#endif

namespace {

const VkImageSubresourceRange kColour{VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};

VkRenderPass createCompatibleRenderPass(VkDevice device, VkFormat format)
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
    const VkAttachmentReference reference{0, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL};
    VkSubpassDescription subpass{};
    subpass.pipelineBindPoint = VK_PIPELINE_BIND_POINT_GRAPHICS;
    subpass.colorAttachmentCount = 1;
    subpass.pColorAttachments = &reference;
    VkSubpassDependency dependency{};
    dependency.srcSubpass = VK_SUBPASS_EXTERNAL;
    dependency.dstSubpass = 0;
    dependency.srcStageMask = VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT;
    dependency.dstStageMask = VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT;
    dependency.dstAccessMask = VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT;
    VkRenderPassCreateInfo info{};
    info.sType = VK_STRUCTURE_TYPE_RENDER_PASS_CREATE_INFO;
    info.attachmentCount = 1;
    info.pAttachments = &attachment;
    info.subpassCount = 1;
    info.pSubpasses = &subpass;
    info.dependencyCount = 1;
    info.pDependencies = &dependency;
    VkRenderPass renderPass = VK_NULL_HANDLE;
    check(vkCreateRenderPass(device, &info, nullptr, &renderPass), "vkCreateRenderPass");
    return renderPass;
}

VkImageView createView(VkDevice device, VkImage image, VkFormat format)
{
    VkImageViewCreateInfo info{};
    info.sType = VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO;
    info.image = image;
    info.viewType = VK_IMAGE_VIEW_TYPE_2D;
    info.format = format;
    info.subresourceRange = kColour;
    VkImageView view = VK_NULL_HANDLE;
    check(vkCreateImageView(device, &info, nullptr, &view), "vkCreateImageView");
    return view;
}

class OffscreenImages : public ProjectorImages {
public:
    OffscreenImages(Device& device, uint32_t width, uint32_t height, uint32_t count)
        : ProjectorImages(device, VK_FORMAT_R8G8B8A8_UNORM, {width, height})
    {
        for (uint32_t i = 0; i < count; ++i) {
            VkImageCreateInfo info{};
            info.sType = VK_STRUCTURE_TYPE_IMAGE_CREATE_INFO;
            info.imageType = VK_IMAGE_TYPE_2D;
            info.format = format_;
            info.extent = {width, height, 1};
            info.mipLevels = 1;
            info.arrayLayers = 1;
            info.samples = VK_SAMPLE_COUNT_1_BIT;
            info.tiling = VK_IMAGE_TILING_OPTIMAL;
            info.usage = VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT;
            VkImage image = VK_NULL_HANDLE;
            check(vkCreateImage(device_.device, &info, nullptr, &image), "vkCreateImage");
            images_.push_back(image);
            VkMemoryRequirements requirements;
            vkGetImageMemoryRequirements(device_.device, image, &requirements);
            VkMemoryAllocateInfo allocation{};
            allocation.sType = VK_STRUCTURE_TYPE_MEMORY_ALLOCATE_INFO;
            allocation.allocationSize = requirements.size;
            allocation.memoryTypeIndex =
                device_.memoryType(requirements.memoryTypeBits, VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT);
            VkDeviceMemory memory = VK_NULL_HANDLE;
            check(vkAllocateMemory(device_.device, &allocation, nullptr, &memory), "vkAllocateMemory");
            memory_.push_back(memory);
            check(vkBindImageMemory(device_.device, image, memory, 0), "vkBindImageMemory");
            views_.push_back(createView(device_.device, image, format_));
        }
        makeFramebuffers(views_);
    }

    ~OffscreenImages() override
    {
        for (VkImageView view : views_)
            vkDestroyImageView(device_.device, view, nullptr);
        for (VkImage image : images_)
            vkDestroyImage(device_.device, image, nullptr);
        for (VkDeviceMemory memory : memory_)
            vkFreeMemory(device_.device, memory, nullptr);
    }

    VkSemaphore acquire(uint32_t& index) override
    {
        index = next_;
        next_ = (next_ + 1) % count();
        return VK_NULL_HANDLE;
    }
    bool present(uint32_t, VkSemaphore) override { return true; }
    bool interactive() const override { return false; }
    std::vector<uint8_t> readRgb(uint32_t index) override;

private:
    std::vector<VkImage> images_;
    std::vector<VkDeviceMemory> memory_;
    std::vector<VkImageView> views_;
    uint32_t next_ = 0;
};

std::vector<uint8_t> OffscreenImages::readRgb(uint32_t index)
{
    const VkDeviceSize size = VkDeviceSize(extent_.width) * extent_.height * 4;
    VkBufferCreateInfo bufferInfo{};
    bufferInfo.sType = VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO;
    bufferInfo.size = size;
    bufferInfo.usage = VK_BUFFER_USAGE_TRANSFER_DST_BIT;
    VkBuffer buffer = VK_NULL_HANDLE;
    check(vkCreateBuffer(device_.device, &bufferInfo, nullptr, &buffer), "vkCreateBuffer");
    VkMemoryRequirements requirements;
    vkGetBufferMemoryRequirements(device_.device, buffer, &requirements);
    VkMemoryAllocateInfo allocation{};
    allocation.sType = VK_STRUCTURE_TYPE_MEMORY_ALLOCATE_INFO;
    allocation.allocationSize = requirements.size;
    allocation.memoryTypeIndex = device_.memoryType(
        requirements.memoryTypeBits, VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT);
    VkDeviceMemory memory = VK_NULL_HANDLE;
    check(vkAllocateMemory(device_.device, &allocation, nullptr, &memory), "vkAllocateMemory");
    check(vkBindBufferMemory(device_.device, buffer, memory, 0), "vkBindBufferMemory");

    VkCommandBufferAllocateInfo commandInfo{};

    commandInfo.sType = VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO;
    commandInfo.commandPool = device_.commandPool;
    commandInfo.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
    commandInfo.commandBufferCount = 1;
    VkCommandBuffer commands = VK_NULL_HANDLE;
    check(vkAllocateCommandBuffers(device_.device, &commandInfo, &commands), "vkAllocateCommandBuffers");
    VkCommandBufferBeginInfo begin{};
    begin.sType = VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO;
    begin.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
    vkBeginCommandBuffer(commands, &begin);
    VkImageMemoryBarrier barrier{};
    barrier.sType = VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER;
    barrier.srcAccessMask = VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT;
    barrier.dstAccessMask = VK_ACCESS_TRANSFER_READ_BIT;
    barrier.oldLayout = VK_IMAGE_LAYOUT_PRESENT_SRC_KHR;
    barrier.newLayout = VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL;
    barrier.srcQueueFamilyIndex = barrier.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.image = images_[index];
    barrier.subresourceRange = kColour;
    vkCmdPipelineBarrier(commands, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, VK_PIPELINE_STAGE_TRANSFER_BIT, 0,
                         0, nullptr, 0, nullptr, 1, &barrier);
    VkBufferImageCopy region{};
    region.imageSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
    region.imageExtent = {extent_.width, extent_.height, 1};
    vkCmdCopyImageToBuffer(commands, images_[index], VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, buffer, 1, &region);
    vkEndCommandBuffer(commands);
    VkSubmitInfo submit{};
    submit.sType = VK_STRUCTURE_TYPE_SUBMIT_INFO;
    submit.commandBufferCount = 1;
    submit.pCommandBuffers = &commands;
    check(vkQueueSubmit(device_.queue, 1, &submit, VK_NULL_HANDLE), "vkQueueSubmit");
    check(vkQueueWaitIdle(device_.queue), "vkQueueWaitIdle");
    vkFreeCommandBuffers(device_.device, device_.commandPool, 1, &commands);

    void* mapped = nullptr;
    check(vkMapMemory(device_.device, memory, 0, size, 0, &mapped), "vkMapMemory");
    const auto* rgba = static_cast<const uint8_t*>(mapped);
    std::vector<uint8_t> rgb(size_t(extent_.width) * extent_.height * 3);
    for (size_t pixel = 0; pixel < rgb.size() / 3; ++pixel)
        std::copy(rgba + 4 * pixel, rgba + 4 * pixel + 3, rgb.begin() + std::ptrdiff_t(3 * pixel));
    vkUnmapMemory(device_.device, memory);
    vkDestroyBuffer(device_.device, buffer, nullptr);
    vkFreeMemory(device_.device, memory, nullptr);
    return rgb;
}

#ifdef KZHOST_WITH_GLFW
// The window is not resizable, so the swap chain should never go out of date.
// A host whose window is makes the swap chain again at the new size and sets
// the channel active again with the new scene views and size.
void checkSwapchain(VkResult result, const char* call)
{
    if (result != VK_SUBOPTIMAL_KHR)
        check(result, call);
}

class SwapchainImages : public ProjectorImages {
public:
    SwapchainImages(Device& device, VkSurfaceKHR surface, VkSurfaceFormatKHR surfaceFormat, VkExtent2D extent,
                    uint32_t minImages, VkSurfaceTransformFlagBitsKHR transform, GLFWwindow* window)
        : ProjectorImages(device, surfaceFormat.format, extent), window_(window)
    {
        VkSwapchainCreateInfoKHR info{};
        info.sType = VK_STRUCTURE_TYPE_SWAPCHAIN_CREATE_INFO_KHR;
        info.surface = surface;
        info.minImageCount = minImages;
        info.imageFormat = surfaceFormat.format;
        info.imageColorSpace = surfaceFormat.colorSpace;
        info.imageExtent = extent;
        info.imageArrayLayers = 1;
        info.imageUsage = VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT;
        info.preTransform = transform;
        info.compositeAlpha = VK_COMPOSITE_ALPHA_OPAQUE_BIT_KHR;
        info.presentMode = VK_PRESENT_MODE_FIFO_KHR;
        info.clipped = VK_TRUE;
        check(vkCreateSwapchainKHR(device_.device, &info, nullptr, &swapchain_), "vkCreateSwapchainKHR");
        uint32_t count = 0;
        vkGetSwapchainImagesKHR(device_.device, swapchain_, &count, nullptr);
        std::vector<VkImage> images(count);
        vkGetSwapchainImagesKHR(device_.device, swapchain_, &count, images.data());
        for (VkImage image : images)
            views_.push_back(createView(device_.device, image, format_));
        makeFramebuffers(views_);
        VkSemaphoreCreateInfo semaphore{};
        semaphore.sType = VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO;
        check(vkCreateSemaphore(device_.device, &semaphore, nullptr, &acquired_), "vkCreateSemaphore");
    }

    ~SwapchainImages() override
    {
        vkDestroySemaphore(device_.device, acquired_, nullptr);
        for (VkImageView view : views_)
            vkDestroyImageView(device_.device, view, nullptr);
        vkDestroySwapchainKHR(device_.device, swapchain_, nullptr);
    }

    VkSemaphore acquire(uint32_t& index) override
    {
        checkSwapchain(vkAcquireNextImageKHR(device_.device, swapchain_, UINT64_MAX, acquired_, VK_NULL_HANDLE,
                                             &index),
                       "vkAcquireNextImageKHR");
        return acquired_;
    }

    bool present(uint32_t index, VkSemaphore rendered) override
    {
        VkPresentInfoKHR info{};
        info.sType = VK_STRUCTURE_TYPE_PRESENT_INFO_KHR;
        info.waitSemaphoreCount = 1;
        info.pWaitSemaphores = &rendered;
        info.swapchainCount = 1;
        info.pSwapchains = &swapchain_;
        info.pImageIndices = &index;
        checkSwapchain(vkQueuePresentKHR(device_.queue, &info), "vkQueuePresentKHR");
        glfwPollEvents();
        return !glfwWindowShouldClose(window_);
    }

    bool interactive() const override { return true; }

private:
    GLFWwindow* window_;
    VkSwapchainKHR swapchain_ = VK_NULL_HANDLE;
    std::vector<VkImageView> views_;
    VkSemaphore acquired_ = VK_NULL_HANDLE;
};
#endif

}  // namespace

ProjectorImages::ProjectorImages(Device& device, VkFormat format, VkExtent2D extent)
    : device_(device), format_(format), extent_(extent)
{
    renderPass_ = createCompatibleRenderPass(device_.device, format_);
}

ProjectorImages::~ProjectorImages()
{
    for (VkFramebuffer framebuffer : framebuffers_)
        vkDestroyFramebuffer(device_.device, framebuffer, nullptr);
    vkDestroyRenderPass(device_.device, renderPass_, nullptr);
}

void ProjectorImages::makeFramebuffers(const std::vector<VkImageView>& views)
{
    for (VkImageView view : views) {
        VkFramebufferCreateInfo info{};
        info.sType = VK_STRUCTURE_TYPE_FRAMEBUFFER_CREATE_INFO;
        info.renderPass = renderPass_;
        info.attachmentCount = 1;
        info.pAttachments = &view;
        info.width = extent_.width;
        info.height = extent_.height;
        info.layers = 1;
        VkFramebuffer framebuffer = VK_NULL_HANDLE;
        check(vkCreateFramebuffer(device_.device, &info, nullptr, &framebuffer), "vkCreateFramebuffer");
        framebuffers_.push_back(framebuffer);
    }
}

std::vector<uint8_t> ProjectorImages::readRgb(uint32_t)
{
    return {};
}

std::unique_ptr<ProjectorImages> createOffscreenImages(Device& device, uint32_t width, uint32_t height,
                                                        uint32_t count)
{
    return std::make_unique<OffscreenImages>(device, width, height, count);
}

#ifdef KZHOST_WITH_GLFW
std::unique_ptr<ProjectorImages> createSwapchainImages(Device& device, VkSurfaceKHR surface, GLFWwindow* window)
{
    VkSurfaceCapabilitiesKHR capabilities;
    check(vkGetPhysicalDeviceSurfaceCapabilitiesKHR(device.physicalDevice, surface, &capabilities),
          "vkGetPhysicalDeviceSurfaceCapabilitiesKHR");
    uint32_t count = 0;
    vkGetPhysicalDeviceSurfaceFormatsKHR(device.physicalDevice, surface, &count, nullptr);
    std::vector<VkSurfaceFormatKHR> formats(count);
    vkGetPhysicalDeviceSurfaceFormatsKHR(device.physicalDevice, surface, &count, formats.data());
    if (formats.empty())
        throw std::runtime_error("the window surface offers no format");
    // A UNORM format, so the correction's output gamma alone decides the encoding;
    // with an _SRGB format the hardware would encode once more on write.
    VkSurfaceFormatKHR chosen = formats[0];
    for (const VkSurfaceFormatKHR& format : formats) {
        if (format.format == VK_FORMAT_B8G8R8A8_UNORM || format.format == VK_FORMAT_R8G8B8A8_UNORM)
            chosen = format;
    }
    VkExtent2D extent = capabilities.currentExtent;
    if (extent.width == UINT32_MAX) {
        int width = 0, height = 0;
        glfwGetFramebufferSize(window, &width, &height);
        extent = {uint32_t(width), uint32_t(height)};
    }
    uint32_t images = capabilities.minImageCount + 1;
    if (capabilities.maxImageCount > 0)
        images = std::min(images, capabilities.maxImageCount);
    return std::make_unique<SwapchainImages>(device, surface, chosen, extent, images, capabilities.currentTransform,
                                             window);
}
#endif
