#include "vk_harness.h"

#include <dlfcn.h>

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace headless {

namespace {

const char* const kValidationLayer = "VK_LAYER_KHRONOS_validation";
const VkImageSubresourceRange kColorRange{VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};

void check(VkResult result, const char* call)
{
    if (result != VK_SUCCESS)
        throw std::runtime_error(std::string("Vulkan: ") + call + " failed with VkResult " + std::to_string(result));
}

VKAPI_ATTR VkBool32 VKAPI_CALL recordMessage(VkDebugUtilsMessageSeverityFlagBitsEXT severity,
                                             VkDebugUtilsMessageTypeFlagsEXT,
                                             const VkDebugUtilsMessengerCallbackDataEXT* data, void* sink)
{
    // Called from inside Vulkan: nothing may be thrown through it.
    try {
        std::string text = severity & VK_DEBUG_UTILS_MESSAGE_SEVERITY_ERROR_BIT_EXT ? "[error] " : "[warning] ";
        text += data->pMessageIdName ? data->pMessageIdName : "-";
        text += ": ";
        text += data->pMessage ? data->pMessage : "";
        (*static_cast<std::vector<std::string>**>(sink))->push_back(std::move(text));
    } catch (...) {
    }
    return VK_FALSE;
}

VkDebugUtilsMessengerCreateInfoEXT messengerInfo(std::vector<std::string>** sink)
{
    return {VK_STRUCTURE_TYPE_DEBUG_UTILS_MESSENGER_CREATE_INFO_EXT, nullptr, 0,
            VK_DEBUG_UTILS_MESSAGE_SEVERITY_WARNING_BIT_EXT | VK_DEBUG_UTILS_MESSAGE_SEVERITY_ERROR_BIT_EXT,
            VK_DEBUG_UTILS_MESSAGE_TYPE_GENERAL_BIT_EXT | VK_DEBUG_UTILS_MESSAGE_TYPE_VALIDATION_BIT_EXT |
                VK_DEBUG_UTILS_MESSAGE_TYPE_PERFORMANCE_BIT_EXT,
            recordMessage, sink};
}

bool layerInstalled(const char* name)
{
    uint32_t count = 0;
    vkEnumerateInstanceLayerProperties(&count, nullptr);
    std::vector<VkLayerProperties> layers(count);
    vkEnumerateInstanceLayerProperties(&count, layers.data());
    for (uint32_t i = 0; i < count && i < layers.size(); ++i)
        if (std::strcmp(layers[i].layerName, name) == 0)
            return true;
    return false;
}

// Lavapipe is the one device of type CPU; hardware drivers without their GPU list nothing.
VkPhysicalDevice findCpuDevice(VkInstance instance)
{
    uint32_t count = 0;
    check(vkEnumeratePhysicalDevices(instance, &count, nullptr), "vkEnumeratePhysicalDevices");
    std::vector<VkPhysicalDevice> devices(count);
    if (count > 0)
        check(vkEnumeratePhysicalDevices(instance, &count, devices.data()), "vkEnumeratePhysicalDevices");
    std::string others;
    for (VkPhysicalDevice device : devices) {
        VkPhysicalDeviceProperties properties;
        vkGetPhysicalDeviceProperties(device, &properties);
        if (properties.deviceType == VK_PHYSICAL_DEVICE_TYPE_CPU)
            return device;
        others += std::string(others.empty() ? ": " : ", ") + properties.deviceName;
    }
    throw std::runtime_error("Vulkan: no CPU device (lavapipe, from mesa-vulkan-drivers) among " +
                             std::to_string(count) + " devices" + others);
}

uint32_t findGraphicsQueueFamily(VkPhysicalDevice device)
{
    uint32_t count = 0;
    vkGetPhysicalDeviceQueueFamilyProperties(device, &count, nullptr);
    std::vector<VkQueueFamilyProperties> families(count);
    vkGetPhysicalDeviceQueueFamilyProperties(device, &count, families.data());
    for (uint32_t i = 0; i < count; ++i)
        if (families[i].queueFlags & VK_QUEUE_GRAPHICS_BIT)
            return i;
    throw std::runtime_error("Vulkan: the CPU device has no graphics queue");
}

// Lavapipe keeps memory it never frees in its globals. Were the loader to unload it at
// vkDestroyInstance, LeakSanitizer would report that memory under no module name a
// suppression could match, once per device; kept loaded, the memory stays reachable.
void keepLavapipeLoaded()
{
    if (void* lavapipe = dlopen("libvulkan_lvp.so", RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE))
        dlclose(lavapipe);
}

bool isSrgb(VkFormat format)
{
    return format == VK_FORMAT_R8G8B8A8_SRGB || format == VK_FORMAT_B8G8R8A8_SRGB ||
           format == VK_FORMAT_A8B8G8R8_SRGB_PACK32;
}

// Pixels move through host memory as 4 bytes each, so only 8-bit four-component formats will do.
// The size is checked here because the layer merely reports an oversized image and lavapipe
// then creates it.
void requireImage(const VulkanDevice& device, VkFormat format, VkImageUsageFlags usage, uint32_t width,
                  uint32_t height)
{
    const std::string name = "Vulkan harness: format " + std::to_string(format);
    if (!isSrgb(format) && format != VK_FORMAT_R8G8B8A8_UNORM && format != VK_FORMAT_B8G8R8A8_UNORM &&
        format != VK_FORMAT_A8B8G8R8_UNORM_PACK32)
        throw std::runtime_error(name + " is not an 8-bit four-component format");
    VkImageFormatProperties limits;
    if (vkGetPhysicalDeviceImageFormatProperties(device.physicalDevice(), format, VK_IMAGE_TYPE_2D,
                                                 VK_IMAGE_TILING_OPTIMAL, usage, 0, &limits) != VK_SUCCESS)
        throw std::runtime_error(name + " does not support the image's usage");
    if (width == 0 || height == 0 || width > limits.maxExtent.width || height > limits.maxExtent.height)
        throw std::runtime_error(name + ": " + std::to_string(width) + "x" + std::to_string(height) +
                                 " is empty or larger than " + std::to_string(limits.maxExtent.width) + "x" +
                                 std::to_string(limits.maxExtent.height));
}

VkImage createImage(VkDevice device, uint32_t width, uint32_t height, VkFormat format, VkImageUsageFlags usage)
{
    const VkImageCreateInfo info{VK_STRUCTURE_TYPE_IMAGE_CREATE_INFO, nullptr, 0, VK_IMAGE_TYPE_2D, format,
                                 {width, height, 1}, 1, 1, VK_SAMPLE_COUNT_1_BIT, VK_IMAGE_TILING_OPTIMAL, usage,
                                 VK_SHARING_MODE_EXCLUSIVE, 0, nullptr, VK_IMAGE_LAYOUT_UNDEFINED};
    VkImage image = VK_NULL_HANDLE;
    check(vkCreateImage(device, &info, nullptr, &image), "vkCreateImage");
    return image;
}

VkDeviceMemory allocate(const VulkanDevice& device, const VkMemoryRequirements& requirements,
                        VkMemoryPropertyFlags properties)
{
    const VkMemoryAllocateInfo info{VK_STRUCTURE_TYPE_MEMORY_ALLOCATE_INFO, nullptr, requirements.size,
                                    device.findMemoryType(requirements.memoryTypeBits, properties)};
    VkDeviceMemory memory = VK_NULL_HANDLE;
    check(vkAllocateMemory(device.device(), &info, nullptr, &memory), "vkAllocateMemory");
    return memory;
}

// Allocates device-local memory for `image` into *memory, then binds it.
void bindImageMemory(const VulkanDevice& device, VkImage image, VkDeviceMemory* memory)
{
    VkMemoryRequirements requirements;
    vkGetImageMemoryRequirements(device.device(), image, &requirements);
    *memory = allocate(device, requirements, VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT);
    check(vkBindImageMemory(device.device(), image, *memory, 0), "vkBindImageMemory");
}

VkImageView createView(VkDevice device, VkImage image, VkFormat format)
{
    const VkImageViewCreateInfo info{VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO, nullptr, 0, image,
                                     VK_IMAGE_VIEW_TYPE_2D, format, {}, kColorRange};
    VkImageView view = VK_NULL_HANDLE;
    check(vkCreateImageView(device, &info, nullptr, &view), "vkCreateImageView");
    return view;
}

// One colour attachment cleared on load and left for presentation, with the
// one external dependency on colour output that the correction's render pass
// has: the layer holds passes whose dependencies differ incompatible, so a host's
// framebuffer pass must match the library's in this.
VkRenderPass createPresentRenderPass(VkDevice device, VkFormat format)
{
    const VkAttachmentDescription attachment{
        0, format, VK_SAMPLE_COUNT_1_BIT, VK_ATTACHMENT_LOAD_OP_CLEAR, VK_ATTACHMENT_STORE_OP_STORE,
        VK_ATTACHMENT_LOAD_OP_DONT_CARE, VK_ATTACHMENT_STORE_OP_DONT_CARE, VK_IMAGE_LAYOUT_UNDEFINED,
        VK_IMAGE_LAYOUT_PRESENT_SRC_KHR};
    const VkAttachmentReference reference{0, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL};
    const VkSubpassDescription subpass{
        0, VK_PIPELINE_BIND_POINT_GRAPHICS, 0, nullptr, 1, &reference, nullptr, nullptr, 0, nullptr};
    const VkSubpassDependency dependency{VK_SUBPASS_EXTERNAL,
                                         0,
                                         VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT,
                                         VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT,
                                         0,
                                         VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT,
                                         0};
    const VkRenderPassCreateInfo info{
        VK_STRUCTURE_TYPE_RENDER_PASS_CREATE_INFO, nullptr, 0, 1, &attachment, 1, &subpass, 1, &dependency};
    VkRenderPass renderPass = VK_NULL_HANDLE;
    check(vkCreateRenderPass(device, &info, nullptr, &renderPass), "vkCreateRenderPass");
    return renderPass;
}

VkImageMemoryBarrier layoutBarrier(VkImage image, VkImageLayout from, VkImageLayout to, VkAccessFlags srcAccess,
                                   VkAccessFlags dstAccess)
{
    return {VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER, nullptr, srcAccess, dstAccess, from, to,
            VK_QUEUE_FAMILY_IGNORED, VK_QUEUE_FAMILY_IGNORED, image, kColorRange};
}

VkBufferImageCopy wholeImage(uint32_t width, uint32_t height)
{
    return {0, 0, 0, {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1}, {0, 0, 0}, {width, height, 1}};
}

// A host-visible, coherent buffer, mapped for its whole life.
class HostBuffer {
public:
    HostBuffer(const VulkanDevice& device, VkDeviceSize size, VkBufferUsageFlags usage) : device_(device.device())
    {
        try {
            const VkBufferCreateInfo info{VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO, nullptr, 0, size, usage,
                                          VK_SHARING_MODE_EXCLUSIVE, 0, nullptr};
            check(vkCreateBuffer(device_, &info, nullptr, &buffer_), "vkCreateBuffer");
            VkMemoryRequirements requirements;
            vkGetBufferMemoryRequirements(device_, buffer_, &requirements);
            memory_ = allocate(device, requirements,
                               VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT);
            check(vkBindBufferMemory(device_, buffer_, memory_, 0), "vkBindBufferMemory");
            check(vkMapMemory(device_, memory_, 0, VK_WHOLE_SIZE, 0, &data_), "vkMapMemory");
        } catch (...) {
            release();
            throw;
        }
    }
    ~HostBuffer() { release(); }
    HostBuffer(const HostBuffer&) = delete;
    HostBuffer& operator=(const HostBuffer&) = delete;

    VkBuffer buffer() const { return buffer_; }
    uint8_t* data() const { return static_cast<uint8_t*>(data_); }

private:
    void release()
    {
        if (data_)
            vkUnmapMemory(device_, memory_);
        vkDestroyBuffer(device_, buffer_, nullptr);
        vkFreeMemory(device_, memory_, nullptr);
    }

    VkDevice device_;
    VkBuffer buffer_ = VK_NULL_HANDLE;
    VkDeviceMemory memory_ = VK_NULL_HANDLE;
    void* data_ = nullptr;
};

// Records commands into a fresh primary command buffer from the device's pool, submits them and waits.
template <typename Record>
void runCommands(VulkanDevice& device, Record record)
{
    const VkCommandBufferAllocateInfo allocation{VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO, nullptr,
                                                 device.commandPool(), VK_COMMAND_BUFFER_LEVEL_PRIMARY, 1};
    VkCommandBuffer commands = VK_NULL_HANDLE;
    check(vkAllocateCommandBuffers(device.device(), &allocation, &commands), "vkAllocateCommandBuffers");
    struct FreeOnExit {
        VulkanDevice& device;
        VkCommandBuffer commands;
        ~FreeOnExit() { vkFreeCommandBuffers(device.device(), device.commandPool(), 1, &commands); }
    } freeOnExit{device, commands};

    const VkCommandBufferBeginInfo begin{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO, nullptr,
                                         VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT, nullptr};
    check(vkBeginCommandBuffer(commands, &begin), "vkBeginCommandBuffer");
    record(commands);
    check(vkEndCommandBuffer(commands), "vkEndCommandBuffer");
    device.submitAndWait(commands);
}

// The clear value a format stores as `byte`: SRGB formats encode the linear value on store.
float clearComponent(uint8_t byte, bool srgb)
{
    const float value = byte / 255.0f;
    if (!srgb)
        return value;
    return value <= 0.04045f ? value / 12.92f : std::pow((value + 0.055f) / 1.055f, 2.4f);
}

std::vector<std::string>& destructionMessages()
{
    static std::vector<std::string> messages;
    return messages;
}

}  // namespace

std::unique_ptr<VulkanDevice> VulkanDevice::create(std::string* error, Options options)
{
    std::unique_ptr<VulkanDevice> device(new VulkanDevice);
    try {
        device->initialise(options);
    } catch (const std::exception& failure) {
        if (error)
            *error = failure.what();
        return nullptr;
    }
    return device;
}

void VulkanDevice::initialise(const Options& options)
{
    createInstance(options);
    keepLavapipeLoaded();
    physicalDevice_ = findCpuDevice(instance_);
    vkGetPhysicalDeviceMemoryProperties(physicalDevice_, &memoryProperties_);
    queueFamily_ = findGraphicsQueueFamily(physicalDevice_);
    createDevice();
}

void VulkanDevice::createInstance(const Options& options)
{
    if (options.validation && !layerInstalled(kValidationLayer))
        throw std::runtime_error("Vulkan: VK_LAYER_KHRONOS_validation is not installed (vulkan-validationlayers)");
    const VkApplicationInfo application{
        VK_STRUCTURE_TYPE_APPLICATION_INFO, nullptr, "dovav headless", 0, nullptr, 0, VK_API_VERSION_1_0};
    // VK_KHR_surface only because the device's VK_KHR_swapchain requires it.
    const char* const extensions[] = {VK_EXT_DEBUG_UTILS_EXTENSION_NAME, VK_KHR_SURFACE_EXTENSION_NAME,
                                      VK_EXT_VALIDATION_FEATURES_EXTENSION_NAME};
    const bool synchronization = options.validation && options.synchronization;
    // Chained here, the messenger also hears about vkCreateInstance and vkDestroyInstance.
    const VkDebugUtilsMessengerCreateInfoEXT messenger = messengerInfo(&sink_);
    const VkValidationFeatureEnableEXT enabled = VK_VALIDATION_FEATURE_ENABLE_SYNCHRONIZATION_VALIDATION_EXT;
    const VkValidationFeaturesEXT features{VK_STRUCTURE_TYPE_VALIDATION_FEATURES_EXT, &messenger, 1, &enabled, 0, nullptr};
    const void* chain = synchronization ? static_cast<const void*>(&features) : &messenger;
    const VkInstanceCreateInfo info{VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO, chain, 0, &application,
                                    options.validation ? 1u : 0u, &kValidationLayer, synchronization ? 3u : 2u,
                                    extensions};
    check(vkCreateInstance(&info, nullptr, &instance_), "vkCreateInstance");

    auto createMessenger = reinterpret_cast<PFN_vkCreateDebugUtilsMessengerEXT>(
        vkGetInstanceProcAddr(instance_, "vkCreateDebugUtilsMessengerEXT"));
    destroyMessenger_ = reinterpret_cast<PFN_vkDestroyDebugUtilsMessengerEXT>(
        vkGetInstanceProcAddr(instance_, "vkDestroyDebugUtilsMessengerEXT"));
    if (!createMessenger || !destroyMessenger_)
        throw std::runtime_error("Vulkan: no vkCreateDebugUtilsMessengerEXT despite VK_EXT_debug_utils");
    check(createMessenger(instance_, &messenger, nullptr, &messenger_), "vkCreateDebugUtilsMessengerEXT");
}

void VulkanDevice::createDevice()
{
    const float priority = 1.0f;
    const VkDeviceQueueCreateInfo queue{
        VK_STRUCTURE_TYPE_DEVICE_QUEUE_CREATE_INFO, nullptr, 0, queueFamily_, 1, &priority};
    const char* const extension = VK_KHR_SWAPCHAIN_EXTENSION_NAME;
    const VkDeviceCreateInfo info{
        VK_STRUCTURE_TYPE_DEVICE_CREATE_INFO, nullptr, 0, 1, &queue, 0, nullptr, 1, &extension, nullptr};
    check(vkCreateDevice(physicalDevice_, &info, nullptr, &device_), "vkCreateDevice");
    vkGetDeviceQueue(device_, queueFamily_, 0, &queue_);

    const VkCommandPoolCreateInfo pool{VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO, nullptr,
                                       VK_COMMAND_POOL_CREATE_RESET_COMMAND_BUFFER_BIT, queueFamily_};
    check(vkCreateCommandPool(device_, &pool, nullptr, &commandPool_), "vkCreateCommandPool");
}

VulkanDevice::~VulkanDevice()
{
    destructionMessages().clear();
    sink_ = &destructionMessages();
    if (device_) {
        vkDeviceWaitIdle(device_);
        vkDestroyCommandPool(device_, commandPool_, nullptr);
        vkDestroyDevice(device_, nullptr);
    }
    if (messenger_)
        destroyMessenger_(instance_, messenger_, nullptr);
    vkDestroyInstance(instance_, nullptr);
}

const std::vector<std::string>& VulkanDevice::messagesAtDestruction()
{
    return destructionMessages();
}

void VulkanDevice::submitAndWait(VkCommandBuffer commandBuffer)
{
    const VkFenceCreateInfo fenceInfo{VK_STRUCTURE_TYPE_FENCE_CREATE_INFO, nullptr, 0};
    VkFence fence = VK_NULL_HANDLE;
    check(vkCreateFence(device_, &fenceInfo, nullptr, &fence), "vkCreateFence");
    const VkSubmitInfo submit{
        VK_STRUCTURE_TYPE_SUBMIT_INFO, nullptr, 0, nullptr, nullptr, 1, &commandBuffer, 0, nullptr};
    VkResult result = vkQueueSubmit(queue_, 1, &submit, fence);
    if (result == VK_SUCCESS)
        result = vkWaitForFences(device_, 1, &fence, VK_TRUE, UINT64_MAX);
    vkDestroyFence(device_, fence, nullptr);
    check(result, "vkQueueSubmit or vkWaitForFences");
}

uint32_t VulkanDevice::findMemoryType(uint32_t typeBits, VkMemoryPropertyFlags properties) const
{
    for (uint32_t i = 0; i < memoryProperties_.memoryTypeCount; ++i)
        if ((typeBits & (1u << i)) && (memoryProperties_.memoryTypes[i].propertyFlags & properties) == properties)
            return i;
    throw std::runtime_error("Vulkan: no memory type with properties " + std::to_string(properties));
}

VulkanTarget::VulkanTarget(VulkanDevice& device, uint32_t width, uint32_t height, VkFormat format)
    : device_(device), width_(width), height_(height), format_(format)
{
    try {
        const VkImageUsageFlags usage = VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT;
        requireImage(device, format, usage, width, height);
        image_ = createImage(device.device(), width, height, format, usage);
        bindImageMemory(device, image_, &memory_);
        view_ = createView(device.device(), image_, format);
        renderPass_ = createPresentRenderPass(device.device(), format);
        const VkFramebufferCreateInfo info{
            VK_STRUCTURE_TYPE_FRAMEBUFFER_CREATE_INFO, nullptr, 0, renderPass_, 1, &view_, width, height, 1};
        check(vkCreateFramebuffer(device.device(), &info, nullptr, &framebuffer_), "vkCreateFramebuffer");
        const uint8_t transparent[4] = {0, 0, 0, 0};
        fill(transparent);
    } catch (...) {
        release();
        throw;
    }
}

VulkanTarget::~VulkanTarget()
{
    release();
}

void VulkanTarget::release()
{
    const VkDevice device = device_.device();
    vkDestroyFramebuffer(device, framebuffer_, nullptr);
    vkDestroyRenderPass(device, renderPass_, nullptr);
    vkDestroyImageView(device, view_, nullptr);
    vkDestroyImage(device, image_, nullptr);
    vkFreeMemory(device, memory_, nullptr);
}

std::vector<uint8_t> VulkanTarget::readPixels()
{
    const VkDeviceSize size = VkDeviceSize(width_) * height_ * 4;
    HostBuffer staging(device_, size, VK_BUFFER_USAGE_TRANSFER_DST_BIT);
    runCommands(device_, [&](VkCommandBuffer commands) {
        const VkImageMemoryBarrier toCopy =
            layoutBarrier(image_, VK_IMAGE_LAYOUT_PRESENT_SRC_KHR, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL,
                          VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT, VK_ACCESS_TRANSFER_READ_BIT);
        vkCmdPipelineBarrier(commands, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, VK_PIPELINE_STAGE_TRANSFER_BIT,
                             0, 0, nullptr, 0, nullptr, 1, &toCopy);
        const VkBufferImageCopy region = wholeImage(width_, height_);
        vkCmdCopyImageToBuffer(commands, image_, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, staging.buffer(), 1, &region);
        const VkImageMemoryBarrier back = layoutBarrier(image_, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL,
                                                        VK_IMAGE_LAYOUT_PRESENT_SRC_KHR, 0, 0);
        const VkBufferMemoryBarrier toHost{VK_STRUCTURE_TYPE_BUFFER_MEMORY_BARRIER, nullptr,
                                           VK_ACCESS_TRANSFER_WRITE_BIT, VK_ACCESS_HOST_READ_BIT,
                                           VK_QUEUE_FAMILY_IGNORED, VK_QUEUE_FAMILY_IGNORED, staging.buffer(), 0,
                                           VK_WHOLE_SIZE};
        vkCmdPipelineBarrier(commands, VK_PIPELINE_STAGE_TRANSFER_BIT,
                             VK_PIPELINE_STAGE_HOST_BIT | VK_PIPELINE_STAGE_BOTTOM_OF_PIPE_BIT, 0, 0, nullptr, 1,
                             &toHost, 1, &back);
    });
    return std::vector<uint8_t>(staging.data(), staging.data() + size);
}

void VulkanTarget::fill(const uint8_t rgba[4])
{
    VkClearValue clear{};
    for (int i = 0; i < 4; ++i)
        clear.color.float32[i] = clearComponent(rgba[i], i < 3 && isSrgb(format_));
    runCommands(device_, [&](VkCommandBuffer commands) {
        const VkRenderPassBeginInfo begin{VK_STRUCTURE_TYPE_RENDER_PASS_BEGIN_INFO, nullptr, renderPass_,
                                          framebuffer_, {{0, 0}, {width_, height_}}, 1, &clear};
        vkCmdBeginRenderPass(commands, &begin, VK_SUBPASS_CONTENTS_INLINE);
        vkCmdEndRenderPass(commands);
    });
}

VulkanSceneImage::VulkanSceneImage(VulkanDevice& device, uint32_t width, uint32_t height, const uint8_t* rgba,
                                   VkFormat format)
    : device_(device)
{
    try {
        const VkImageUsageFlags usage = VK_IMAGE_USAGE_SAMPLED_BIT | VK_IMAGE_USAGE_TRANSFER_DST_BIT;
        requireImage(device, format, usage, width, height);
        image_ = createImage(device.device(), width, height, format, usage);
        bindImageMemory(device, image_, &memory_);
        view_ = createView(device.device(), image_, format);
        upload(width, height, rgba);
    } catch (...) {
        release();
        throw;
    }
}

VulkanSceneImage::~VulkanSceneImage()
{
    release();
}

void VulkanSceneImage::release()
{
    const VkDevice device = device_.device();
    vkDestroyImageView(device, view_, nullptr);
    vkDestroyImage(device, image_, nullptr);
    vkFreeMemory(device, memory_, nullptr);
}

void VulkanSceneImage::upload(uint32_t width, uint32_t height, const uint8_t* rgba)
{
    const size_t size = size_t(width) * height * 4;
    HostBuffer staging(device_, size, VK_BUFFER_USAGE_TRANSFER_SRC_BIT);
    if (rgba)
        std::memcpy(staging.data(), rgba, size);
    else
        std::memset(staging.data(), 0, size);
    runCommands(device_, [&](VkCommandBuffer commands) {
        const VkImageMemoryBarrier toCopy = layoutBarrier(image_, VK_IMAGE_LAYOUT_UNDEFINED,
                                                          VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 0,
                                                          VK_ACCESS_TRANSFER_WRITE_BIT);
        vkCmdPipelineBarrier(commands, VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT, VK_PIPELINE_STAGE_TRANSFER_BIT, 0, 0,
                             nullptr, 0, nullptr, 1, &toCopy);
        const VkBufferImageCopy region = wholeImage(width, height);
        vkCmdCopyBufferToImage(commands, staging.buffer(), image_, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1, &region);
        const VkImageMemoryBarrier toSample =
            layoutBarrier(image_, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL,
                          VK_ACCESS_TRANSFER_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT);
        vkCmdPipelineBarrier(commands, VK_PIPELINE_STAGE_TRANSFER_BIT, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, 0, 0,
                             nullptr, 0, nullptr, 1, &toSample);
    });
}

VkShaderModule createShaderModule(VkDevice device, const uint32_t* words, size_t bytes)
{
    const VkShaderModuleCreateInfo info{VK_STRUCTURE_TYPE_SHADER_MODULE_CREATE_INFO, nullptr, 0, bytes, words};
    VkShaderModule module = VK_NULL_HANDLE;
    check(vkCreateShaderModule(device, &info, nullptr, &module), "vkCreateShaderModule");
    return module;
}

VkPipeline createFullScreenPipeline(VkDevice device, VkRenderPass renderPass, VkPipelineLayout layout,
                                    VkShaderModule vertex, VkShaderModule fragment, uint32_t width,
                                    uint32_t height)
{
    const VkPipelineShaderStageCreateInfo stages[] = {
        {VK_STRUCTURE_TYPE_PIPELINE_SHADER_STAGE_CREATE_INFO, nullptr, 0, VK_SHADER_STAGE_VERTEX_BIT, vertex, "main",
         nullptr},
        {VK_STRUCTURE_TYPE_PIPELINE_SHADER_STAGE_CREATE_INFO, nullptr, 0, VK_SHADER_STAGE_FRAGMENT_BIT, fragment,
         "main", nullptr},
    };
    VkPipelineVertexInputStateCreateInfo vertexInput{};
    vertexInput.sType = VK_STRUCTURE_TYPE_PIPELINE_VERTEX_INPUT_STATE_CREATE_INFO;
    VkPipelineInputAssemblyStateCreateInfo inputAssembly{};
    inputAssembly.sType = VK_STRUCTURE_TYPE_PIPELINE_INPUT_ASSEMBLY_STATE_CREATE_INFO;
    inputAssembly.topology = VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST;
    const VkViewport viewport{0.0f, 0.0f, float(width), float(height), 0.0f, 1.0f};
    const VkRect2D scissor{{0, 0}, {width, height}};
    VkPipelineViewportStateCreateInfo viewportState{};
    viewportState.sType = VK_STRUCTURE_TYPE_PIPELINE_VIEWPORT_STATE_CREATE_INFO;
    viewportState.viewportCount = 1;
    viewportState.pViewports = &viewport;
    viewportState.scissorCount = 1;
    viewportState.pScissors = &scissor;
    VkPipelineRasterizationStateCreateInfo rasterization{};
    rasterization.sType = VK_STRUCTURE_TYPE_PIPELINE_RASTERIZATION_STATE_CREATE_INFO;
    rasterization.polygonMode = VK_POLYGON_MODE_FILL;
    rasterization.cullMode = VK_CULL_MODE_NONE;
    rasterization.frontFace = VK_FRONT_FACE_COUNTER_CLOCKWISE;
    rasterization.lineWidth = 1.0f;
    VkPipelineMultisampleStateCreateInfo multisample{};
    multisample.sType = VK_STRUCTURE_TYPE_PIPELINE_MULTISAMPLE_STATE_CREATE_INFO;
    multisample.rasterizationSamples = VK_SAMPLE_COUNT_1_BIT;
    VkPipelineColorBlendAttachmentState blendAttachment{};
    blendAttachment.colorWriteMask =
        VK_COLOR_COMPONENT_R_BIT | VK_COLOR_COMPONENT_G_BIT | VK_COLOR_COMPONENT_B_BIT | VK_COLOR_COMPONENT_A_BIT;
    VkPipelineColorBlendStateCreateInfo blend{};
    blend.sType = VK_STRUCTURE_TYPE_PIPELINE_COLOR_BLEND_STATE_CREATE_INFO;
    blend.attachmentCount = 1;
    blend.pAttachments = &blendAttachment;

    VkGraphicsPipelineCreateInfo info{};
    info.sType = VK_STRUCTURE_TYPE_GRAPHICS_PIPELINE_CREATE_INFO;
    info.stageCount = 2;
    info.pStages = stages;
    info.pVertexInputState = &vertexInput;
    info.pInputAssemblyState = &inputAssembly;
    info.pViewportState = &viewportState;
    info.pRasterizationState = &rasterization;
    info.pMultisampleState = &multisample;
    info.pColorBlendState = &blend;
    info.layout = layout;
    info.renderPass = renderPass;
    VkPipeline pipeline = VK_NULL_HANDLE;
    check(vkCreateGraphicsPipelines(device, VK_NULL_HANDLE, 1, &info, nullptr, &pipeline), "vkCreateGraphicsPipelines");
    return pipeline;
}

}  // namespace headless
