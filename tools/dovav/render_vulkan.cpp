// dovav render on Vulkan: a lavapipe device, the scene rendered into a
// sampled colour image with a pipeline of the tool's own, the correction
// recorded by the library into an offscreen stand-in for a swap-chain image,
// and read back.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "render_backend.h"
#include "vk_harness.h"

#include "dovavScenePattern_450_frag.h"
#include "dovavScenePattern_450_vert.h"

namespace dovav::render {
namespace {

constexpr VkFormat kFormat = VK_FORMAT_R8G8B8A8_UNORM;

void check(VkResult result, const char* call)
{
    if (result != VK_SUCCESS)
        throw std::runtime_error(std::string("Vulkan: ") + call + " failed with VkResult " +
                                 std::to_string(result));
}

// The scene program's push constants.
struct SceneView {
    float inverseViewProjection[16];
    float viewportSize[2];
};

class VulkanBackend : public Backend {
public:
    VulkanBackend(std::unique_ptr<headless::VulkanDevice> device, unsigned width, unsigned height)
        : device_(std::move(device)), width_(width), height_(height)
    {
    }

    ~VulkanBackend() override
    {
        const VkDevice device = device_->device();
        vkDeviceWaitIdle(device);
        if (kz_)
            kzDestroyContextVulkan(kz_);
        if (commands_)
            vkFreeCommandBuffers(device, device_->commandPool(), 1, &commands_);
        vkDestroyPipeline(device, pipeline_, nullptr);
        vkDestroyPipelineLayout(device, layout_, nullptr);
        vkDestroyFramebuffer(device, framebuffer_, nullptr);
        vkDestroyRenderPass(device, renderPass_, nullptr);
        vkDestroyImageView(device, sceneView_, nullptr);
        vkDestroyImage(device, sceneImage_, nullptr);
        vkFreeMemory(device, sceneMemory_, nullptr);
        target_.reset();
    }

    // Throws std::runtime_error when an object cannot be made.
    std::string initialise()
    {
        VkImageFormatProperties limits;
        if (vkGetPhysicalDeviceImageFormatProperties(
                device_->physicalDevice(), kFormat, VK_IMAGE_TYPE_2D, VK_IMAGE_TILING_OPTIMAL,
                VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_SAMPLED_BIT, 0, &limits) != VK_SUCCESS)
            return "Vulkan: the device cannot render to and sample R8G8B8A8_UNORM images";
        if (width_ > limits.maxExtent.width || height_ > limits.maxExtent.height)
            return "Vulkan: " + std::to_string(width_) + "x" + std::to_string(height_) +
                   " exceeds the largest image, " + std::to_string(limits.maxExtent.width) + "x" +
                   std::to_string(limits.maxExtent.height);
        if (const kzResult result =
                kzCreateContextVulkan(&kz_, device_->physicalDevice(), device_->device(), device_->queue(),
                                      device_->commandPool(), kFormat);
            result != KZ_OK)
            return "Vulkan: no library context (result " + std::to_string(int(result)) + ")";
        target_ = std::make_unique<headless::VulkanTarget>(*device_, width_, height_, kFormat);
        createSceneImage();
        createRenderPass();
        createPipeline();
        const VkCommandBufferAllocateInfo allocation{VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO, nullptr,
                                                     device_->commandPool(), VK_COMMAND_BUFFER_LEVEL_PRIMARY, 1};
        check(vkAllocateCommandBuffers(device_->device(), &allocation, &commands_), "vkAllocateCommandBuffers");
        return {};
    }

    void* context() override { return kz_; }

    kzResult loadConfiguration(const char* path) override
    {
        return kzLoadConfigurationFromFileVulkan(kz_, path);
    }

    kzResult activate(unsigned channel) override
    {
        // One scene image stands for the images of a swap chain of one.
        return kzSetActiveChannelVulkan(kz_, channel, {sceneView_}, width_, height_);
    }

    kzResult preDraw(kzVec3f eye, kzCamera* camera) override { return kzPreDrawVulkan_1(kz_, eye, camera); }

    kzResult setPass(kzCorrectionPassType pass, bool enable) override
    {
        return kzSetCorrectionPassVulkan(kz_, pass, enable);
    }

    kzResult draw(const kzCamera& camera, Scene scene, Image& output) override
    {
        SceneView view{};
        // Vulkan's window y points down: with clip y negated, the top of the view lands in
        // row 0 of the scene image, which the correction samples at v = 0.
        if (scene == Scene::Pattern && !sceneUnprojection(camera, true, view.inverseViewProjection))
            throw std::runtime_error("the channel's camera gives no invertible view");
        view.viewportSize[0] = float(width_);
        view.viewportSize[1] = float(height_);
        recordScene(view, scene);
        device_->submitAndWait(commands_);

        VkCommandBuffer correction = VK_NULL_HANDLE;
        const kzResult result = kzPostDrawVulkan(kz_, target_->framebuffer(), &correction, 0);
        if (result != KZ_OK)
            return result;
        device_->submitAndWait(correction);
        output = rgbFromRgba(target_->readPixels(), width_, height_, false);
        return KZ_OK;
    }

private:
    void createSceneImage()
    {
        const VkDevice device = device_->device();
        const VkImageCreateInfo image{VK_STRUCTURE_TYPE_IMAGE_CREATE_INFO,
                                      nullptr,
                                      0,
                                      VK_IMAGE_TYPE_2D,
                                      kFormat,
                                      {width_, height_, 1},
                                      1,
                                      1,
                                      VK_SAMPLE_COUNT_1_BIT,
                                      VK_IMAGE_TILING_OPTIMAL,
                                      VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_SAMPLED_BIT,
                                      VK_SHARING_MODE_EXCLUSIVE,
                                      0,
                                      nullptr,
                                      VK_IMAGE_LAYOUT_UNDEFINED};
        check(vkCreateImage(device, &image, nullptr, &sceneImage_), "vkCreateImage");
        VkMemoryRequirements requirements;
        vkGetImageMemoryRequirements(device, sceneImage_, &requirements);
        const VkMemoryAllocateInfo allocation{
            VK_STRUCTURE_TYPE_MEMORY_ALLOCATE_INFO, nullptr, requirements.size,
            device_->findMemoryType(requirements.memoryTypeBits, VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT)};
        check(vkAllocateMemory(device, &allocation, nullptr, &sceneMemory_), "vkAllocateMemory");
        check(vkBindImageMemory(device, sceneImage_, sceneMemory_, 0), "vkBindImageMemory");
        const VkImageViewCreateInfo view{VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO,
                                         nullptr,
                                         0,
                                         sceneImage_,
                                         VK_IMAGE_VIEW_TYPE_2D,
                                         kFormat,
                                         {},
                                         {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1}};
        check(vkCreateImageView(device, &view, nullptr, &sceneView_), "vkCreateImageView");
    }

    // Every pixel is written, so nothing is loaded; the pass leaves the image
    // in SHADER_READ_ONLY_OPTIMAL for the correction, which reads it after it.
    void createRenderPass()
    {
        const VkAttachmentDescription attachment{0,
                                                 kFormat,
                                                 VK_SAMPLE_COUNT_1_BIT,
                                                 VK_ATTACHMENT_LOAD_OP_DONT_CARE,
                                                 VK_ATTACHMENT_STORE_OP_STORE,
                                                 VK_ATTACHMENT_LOAD_OP_DONT_CARE,
                                                 VK_ATTACHMENT_STORE_OP_DONT_CARE,
                                                 VK_IMAGE_LAYOUT_UNDEFINED,
                                                 VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL};
        const VkAttachmentReference reference{0, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL};
        const VkSubpassDescription subpass{
            0, VK_PIPELINE_BIND_POINT_GRAPHICS, 0, nullptr, 1, &reference, nullptr, nullptr, 0, nullptr};
        const VkSubpassDependency dependencies[] = {
            // The previous correction's reads finish before the scene is drawn over.
            {VK_SUBPASS_EXTERNAL, 0, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
             VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, 0, VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT, 0},
            // The scene is written before the correction samples it.
            {0, VK_SUBPASS_EXTERNAL, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT,
             VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT,
             VK_ACCESS_SHADER_READ_BIT, 0},
        };
        const VkRenderPassCreateInfo info{
            VK_STRUCTURE_TYPE_RENDER_PASS_CREATE_INFO, nullptr, 0, 1, &attachment, 1, &subpass, 2, dependencies};
        check(vkCreateRenderPass(device_->device(), &info, nullptr, &renderPass_), "vkCreateRenderPass");
        const VkFramebufferCreateInfo framebuffer{
            VK_STRUCTURE_TYPE_FRAMEBUFFER_CREATE_INFO, nullptr, 0, renderPass_, 1, &sceneView_, width_, height_, 1};
        check(vkCreateFramebuffer(device_->device(), &framebuffer, nullptr, &framebuffer_), "vkCreateFramebuffer");
    }

    void createPipeline()
    {
        const VkDevice device = device_->device();
        const VkPushConstantRange pushConstants{VK_SHADER_STAGE_FRAGMENT_BIT, 0, sizeof(SceneView)};
        const VkPipelineLayoutCreateInfo layout{
            VK_STRUCTURE_TYPE_PIPELINE_LAYOUT_CREATE_INFO, nullptr, 0, 0, nullptr, 1, &pushConstants};
        check(vkCreatePipelineLayout(device, &layout, nullptr, &layout_), "vkCreatePipelineLayout");

        struct Modules {
            VkDevice device;
            VkShaderModule vertex = VK_NULL_HANDLE;
            VkShaderModule fragment = VK_NULL_HANDLE;
            ~Modules()
            {
                vkDestroyShaderModule(device, vertex, nullptr);
                vkDestroyShaderModule(device, fragment, nullptr);
            }
        } modules{device};
        modules.vertex =
            headless::createShaderModule(device, dovavScenePattern_450_vert, sizeof dovavScenePattern_450_vert);
        modules.fragment =
            headless::createShaderModule(device, dovavScenePattern_450_frag, sizeof dovavScenePattern_450_frag);
        pipeline_ = headless::createFullScreenPipeline(device, renderPass_, layout_, modules.vertex, modules.fragment,
                                                       width_, height_);
    }

    // A white scene is cleared inside the same pass, which keeps its layout
    // change and its ordering against the correction.
    void recordScene(const SceneView& view, Scene scene)
    {
        const VkCommandBufferBeginInfo begin{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO, nullptr,
                                             VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT, nullptr};
        check(vkBeginCommandBuffer(commands_, &begin), "vkBeginCommandBuffer");
        const VkRenderPassBeginInfo pass{VK_STRUCTURE_TYPE_RENDER_PASS_BEGIN_INFO, nullptr, renderPass_,
                                         framebuffer_, {{0, 0}, {width_, height_}}, 0, nullptr};
        vkCmdBeginRenderPass(commands_, &pass, VK_SUBPASS_CONTENTS_INLINE);
        if (scene == Scene::White) {
            const VkClearAttachment white{VK_IMAGE_ASPECT_COLOR_BIT, 0, {{{1.0f, 1.0f, 1.0f, 1.0f}}}};
            const VkClearRect all{{{0, 0}, {width_, height_}}, 0, 1};
            vkCmdClearAttachments(commands_, 1, &white, 1, &all);
        } else {
            vkCmdBindPipeline(commands_, VK_PIPELINE_BIND_POINT_GRAPHICS, pipeline_);
            vkCmdPushConstants(commands_, layout_, VK_SHADER_STAGE_FRAGMENT_BIT, 0, sizeof view, &view);
            vkCmdDraw(commands_, 3, 1, 0, 0);
        }
        vkCmdEndRenderPass(commands_);
        check(vkEndCommandBuffer(commands_), "vkEndCommandBuffer");
    }

    std::unique_ptr<headless::VulkanDevice> device_;
    unsigned width_;
    unsigned height_;
    kzContextVulkan* kz_ = nullptr;
    std::unique_ptr<headless::VulkanTarget> target_;
    VkImage sceneImage_ = VK_NULL_HANDLE;
    VkDeviceMemory sceneMemory_ = VK_NULL_HANDLE;
    VkImageView sceneView_ = VK_NULL_HANDLE;
    VkRenderPass renderPass_ = VK_NULL_HANDLE;
    VkFramebuffer framebuffer_ = VK_NULL_HANDLE;
    VkPipelineLayout layout_ = VK_NULL_HANDLE;
    VkPipeline pipeline_ = VK_NULL_HANDLE;
    VkCommandBuffer commands_ = VK_NULL_HANDLE;
};

}  // namespace

std::unique_ptr<Backend> createVulkanBackend(unsigned width, unsigned height, std::string& error)
{
    // The validation layer is a development package; the library's tests run under it.
    std::unique_ptr<headless::VulkanDevice> device =
        headless::VulkanDevice::create(&error, headless::VulkanDevice::Options{false});
    if (!device) {
        error = "Vulkan is not available: " + error;
        return nullptr;
    }
    auto backend = std::make_unique<VulkanBackend>(std::move(device), width, height);
    error = backend->initialise();
    if (!error.empty())
        return nullptr;
    return backend;
}

}  // namespace dovav::render
