// The Vulkan back-end's per-frame cost on lavapipe (Mesa's software
// rasteriser), with the validation layer off. <method> is 0 for the baked
// correction table, 1 for the correction mesh drawn every frame.
//  - PostDrawRecording/<points>/<method>: CPU time of one kzPostDrawVulkan
//    call for a warp map of points x points: the uniform block update and the
//    recording of the command buffer, which the timed loop never submits
//    (the table was baked in the warm-up, so no bake is recorded). Also the
//    allocations made on the calling thread during the call; which modules
//    make them is printed after the table (the library is linked statically,
//    so its own show under this program's name);
//  - CorrectedFrame1080p/<points>/<method> / PlainCopy1080p: a whole
//    corrected 1920x1080 frame (PostDraw, submission, wait) for a 64x64-point
//    and a per-pixel (1920x1080-point) warp map, beside a plain full-screen
//    copy of the same scene image into the same target (recording,
//    submission, wait); their ratios are printed after the table;
//  - RebakedFrame1080p/<points>: a baked frame whose pass weight changes
//    every frame, so that every frame bakes the table again first;
//  - PerPixelSetUp: kzSetActiveChannelVulkan of a static channel with the
//    per-pixel warp map and four 1920x1080 masks on a fresh context: time,
//    and the growth of the process's peak resident memory (VmHWM, reset
//    before each set-up) in MB. The copy is a textured draw of one
//    triangle covering the target, sampling the scene with the same filter,
//    in a render pass like the correction's: a blit or image copy would skip
//    the rasteriser and the fragment shading that every drawn frame pays for,
//    and so understate the least a correction could cost.
// Allocation counts come from allocation_counter.h, which replaces the global
// operator new / delete and glibc's malloc, calloc and realloc in this program
// (forwarding to glibc).

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "allocation_counter.h"
#include "correction_inputs.h"
#include "ratio_reporter.h"
#include "kzLib.h"
#include "kzLib/vulkan.h"
#include "support/calibration_writer.h"
#include "support/temp_dir.h"
#include "vk_harness.h"

#include "plain_copy_frag.h"
#include "plain_copy_vert.h"

namespace {

using namespace dovav::bench;
using namespace dovav::test;

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "vulkan_bench: %s\n", what.c_str());
    std::exit(1);
}

void check(VkResult result, const char* call)
{
    if (result != VK_SUCCESS)
        fail(std::string(call) + " failed with VkResult " + std::to_string(result));
}

// ---------------------------------------------------------------------------
// The scene: one context with three static channels, each with all four
// masks. Channel 64 (a 64x64-point warp map) and channel 2 (a 2x2-point one)
// have 64x64 masks for the small target; channel 1080 has the 64x64-point
// warp map and 1920x1080 masks for the full frame.

constexpr unsigned kFullChannel = 1080;
constexpr unsigned kPerPixelChannel = 1920;  // 1920x1080-point warp map, 1920x1080 masks
constexpr uint32_t kSmallSide = 64;
constexpr uint32_t kFullWidth = 1920;
constexpr uint32_t kFullHeight = 1080;
constexpr uint32_t kWarpPoints = 64;
constexpr VkFormat kFormat = VK_FORMAT_R8G8B8A8_UNORM;


// One textured triangle over the whole target, sampling one image: the least
// any correction could cost. Its render pass is made like the correction's, so
// it takes the same framebuffers.
class PlainCopy {
public:
    PlainCopy(headless::VulkanDevice& device, VkImageView source, uint32_t width, uint32_t height)
        : device_(device), width_(width), height_(height)
    {
        const VkDevice vk = device.device();
        createRenderPass();
        createPipeline(width, height);

        VkSamplerCreateInfo sampler{};
        sampler.sType = VK_STRUCTURE_TYPE_SAMPLER_CREATE_INFO;
        sampler.magFilter = VK_FILTER_LINEAR;
        sampler.minFilter = VK_FILTER_LINEAR;
        sampler.mipmapMode = VK_SAMPLER_MIPMAP_MODE_LINEAR;
        sampler.addressModeU = sampler.addressModeV = sampler.addressModeW = VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_BORDER;
        sampler.maxAnisotropy = 1.0f;
        sampler.borderColor = VK_BORDER_COLOR_FLOAT_OPAQUE_BLACK;
        check(vkCreateSampler(vk, &sampler, nullptr, &sampler_), "vkCreateSampler");

        const VkDescriptorPoolSize size{VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, 1};
        const VkDescriptorPoolCreateInfo pool{
            VK_STRUCTURE_TYPE_DESCRIPTOR_POOL_CREATE_INFO, nullptr, 0, 1, 1, &size};
        check(vkCreateDescriptorPool(vk, &pool, nullptr, &pool_), "vkCreateDescriptorPool");
        const VkDescriptorSetAllocateInfo allocation{
            VK_STRUCTURE_TYPE_DESCRIPTOR_SET_ALLOCATE_INFO, nullptr, pool_, 1, &setLayout_};
        check(vkAllocateDescriptorSets(vk, &allocation, &set_), "vkAllocateDescriptorSets");
        const VkDescriptorImageInfo image{sampler_, source, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL};
        VkWriteDescriptorSet write{};
        write.sType = VK_STRUCTURE_TYPE_WRITE_DESCRIPTOR_SET;
        write.dstSet = set_;
        write.descriptorCount = 1;
        write.descriptorType = VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER;
        write.pImageInfo = &image;
        vkUpdateDescriptorSets(vk, 1, &write, 0, nullptr);

        const VkCommandBufferAllocateInfo commands{VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO, nullptr,
                                                   device.commandPool(), VK_COMMAND_BUFFER_LEVEL_PRIMARY, 1};
        check(vkAllocateCommandBuffers(vk, &commands, &commands_), "vkAllocateCommandBuffers");
    }
    ~PlainCopy()
    {
        const VkDevice vk = device_.device();
        vkFreeCommandBuffers(vk, device_.commandPool(), 1, &commands_);
        vkDestroyDescriptorPool(vk, pool_, nullptr);
        vkDestroySampler(vk, sampler_, nullptr);
        vkDestroyPipeline(vk, pipeline_, nullptr);
        vkDestroyPipelineLayout(vk, pipelineLayout_, nullptr);
        vkDestroyDescriptorSetLayout(vk, setLayout_, nullptr);
        vkDestroyRenderPass(vk, renderPass_, nullptr);
    }
    PlainCopy(const PlainCopy&) = delete;
    PlainCopy& operator=(const PlainCopy&) = delete;

    // Records the copy into `framebuffer`, submits it and waits, as a frame of
    // the correction is recorded by PostDraw, submitted and waited for.
    void draw(VkFramebuffer framebuffer)
    {
        vkResetCommandBuffer(commands_, 0);
        VkCommandBufferBeginInfo begin{};
        begin.sType = VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO;
        check(vkBeginCommandBuffer(commands_, &begin), "vkBeginCommandBuffer");
        VkClearValue clear{};
        clear.color = {{0.0f, 0.0f, 0.0f, 1.0f}};
        const VkRenderPassBeginInfo pass{VK_STRUCTURE_TYPE_RENDER_PASS_BEGIN_INFO, nullptr, renderPass_, framebuffer,
                                         {{0, 0}, {width_, height_}}, 1, &clear};
        vkCmdBeginRenderPass(commands_, &pass, VK_SUBPASS_CONTENTS_INLINE);
        vkCmdBindPipeline(commands_, VK_PIPELINE_BIND_POINT_GRAPHICS, pipeline_);
        vkCmdBindDescriptorSets(commands_, VK_PIPELINE_BIND_POINT_GRAPHICS, pipelineLayout_, 0, 1, &set_, 0, nullptr);
        vkCmdDraw(commands_, 3, 1, 0, 0);
        vkCmdEndRenderPass(commands_);
        check(vkEndCommandBuffer(commands_), "vkEndCommandBuffer");
        device_.submitAndWait(commands_);
    }

private:
    void createRenderPass()
    {
        VkAttachmentDescription attachment{};
        attachment.format = kFormat;
        attachment.samples = VK_SAMPLE_COUNT_1_BIT;
        attachment.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
        attachment.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
        attachment.stencilLoadOp = VK_ATTACHMENT_LOAD_OP_DONT_CARE;
        attachment.stencilStoreOp = VK_ATTACHMENT_STORE_OP_DONT_CARE;
        attachment.initialLayout = VK_IMAGE_LAYOUT_UNDEFINED;
        attachment.finalLayout = VK_IMAGE_LAYOUT_PRESENT_SRC_KHR;
        const VkAttachmentReference colour{0, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL};
        VkSubpassDescription subpass{};
        subpass.pipelineBindPoint = VK_PIPELINE_BIND_POINT_GRAPHICS;
        subpass.colorAttachmentCount = 1;
        subpass.pColorAttachments = &colour;
        const VkSubpassDependency dependency{VK_SUBPASS_EXTERNAL,
                                             0,
                                             VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT,
                                             VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT,
                                             0,
                                             VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT,
                                             0};
        const VkRenderPassCreateInfo info{
            VK_STRUCTURE_TYPE_RENDER_PASS_CREATE_INFO, nullptr, 0, 1, &attachment, 1, &subpass, 1, &dependency};
        check(vkCreateRenderPass(device_.device(), &info, nullptr, &renderPass_), "vkCreateRenderPass");
    }

    void createPipeline(uint32_t width, uint32_t height)
    {
        const VkDevice vk = device_.device();
        VkDescriptorSetLayoutBinding binding{};
        binding.binding = 0;
        binding.descriptorType = VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER;
        binding.descriptorCount = 1;
        binding.stageFlags = VK_SHADER_STAGE_FRAGMENT_BIT;
        const VkDescriptorSetLayoutCreateInfo setLayout{
            VK_STRUCTURE_TYPE_DESCRIPTOR_SET_LAYOUT_CREATE_INFO, nullptr, 0, 1, &binding};
        check(vkCreateDescriptorSetLayout(vk, &setLayout, nullptr, &setLayout_), "vkCreateDescriptorSetLayout");
        VkPipelineLayoutCreateInfo layout{};
        layout.sType = VK_STRUCTURE_TYPE_PIPELINE_LAYOUT_CREATE_INFO;
        layout.setLayoutCount = 1;
        layout.pSetLayouts = &setLayout_;
        check(vkCreatePipelineLayout(vk, &layout, nullptr, &pipelineLayout_), "vkCreatePipelineLayout");

        VkShaderModule vertex = VK_NULL_HANDLE;
        VkShaderModule fragment = VK_NULL_HANDLE;
        try {
            vertex = headless::createShaderModule(vk, plainCopy_vert, sizeof plainCopy_vert);
            fragment = headless::createShaderModule(vk, plainCopy_frag, sizeof plainCopy_frag);
            pipeline_ =
                headless::createFullScreenPipeline(vk, renderPass_, pipelineLayout_, vertex, fragment, width, height);
        } catch (const std::exception& failure) {
            fail(failure.what());
        }
        vkDestroyShaderModule(vk, vertex, nullptr);
        vkDestroyShaderModule(vk, fragment, nullptr);
    }

    headless::VulkanDevice& device_;
    uint32_t width_;
    uint32_t height_;
    VkRenderPass renderPass_ = VK_NULL_HANDLE;
    VkDescriptorSetLayout setLayout_ = VK_NULL_HANDLE;
    VkPipelineLayout pipelineLayout_ = VK_NULL_HANDLE;
    VkPipeline pipeline_ = VK_NULL_HANDLE;
    VkSampler sampler_ = VK_NULL_HANDLE;
    VkDescriptorPool pool_ = VK_NULL_HANDLE;
    VkDescriptorSet set_ = VK_NULL_HANDLE;
    VkCommandBuffer commands_ = VK_NULL_HANDLE;
};

class Scene {
public:
    static Scene& get()
    {
        if (!instance)
            instance = std::make_unique<Scene>();
        return *instance;
    }
    static void release() { instance.reset(); }

    Scene()
    {
        std::string error;
        device = headless::VulkanDevice::create(&error, headless::VulkanDevice::Options{false});
        if (!device)
            fail("headless Vulkan unavailable: " + error);
        dir = std::make_unique<TempDir>();
        dir->write("warp64.csv", warpMapText(kWarpPoints, kWarpPoints, warpLookup));
        dir->write("warp2.csv", warpMapText(2, 2, warpLookup));
        dir->write("camera.csv", cameraText({0, 0, 0}, {0, 0, 0}, -0.5f, 0.5f, -0.3f, 0.3f));
        dir->write("small.png", pngBytes(blendMask(int(kSmallSide), int(kSmallSide))));
        dir->write("full.png", pngBytes(blendMask(int(kFullWidth), int(kFullHeight))));
        auto channel = [](unsigned id, const std::string& warpmap, const std::string& mask) {
            return channelElement(id, {{"warpmap", warpmap},
                                       {"frustum", "camera.csv"},
                                       {"blending", mask},
                                       {"secondary-blending", mask},
                                       {"blacklevel", mask},
                                       {"directional-shading", mask}});
        };
        const std::string config = dir->write(
            "display.xml",
            configurationText(KZ_CORRECTION_STATIC, 2.2f, 1.0f, 1.0f,
                              channel(kWarpPoints, "warp64.csv", "small.png") +
                                  channel(2, "warp2.csv", "small.png") +
                                  channel(kFullChannel, "warp64.csv", "full.png") +
                                  channel(kPerPixelChannel, "warp-per-pixel.csv", "full.png")));
        configuration = config;
        if (kzCreateContextVulkan(&context, device->physicalDevice(), device->device(), device->queue(),
                                  device->commandPool(), kFormat) != KZ_OK ||
            kzLoadConfigurationFromFileVulkan(context, config.c_str()) != KZ_OK)
            fail("cannot create the correction context");
        try {
            smallTarget = std::make_unique<headless::VulkanTarget>(*device, kSmallSide, kSmallSide, kFormat);
            fullTarget = std::make_unique<headless::VulkanTarget>(*device, kFullWidth, kFullHeight, kFormat);
            smallScene = std::make_unique<headless::VulkanSceneImage>(
                *device, kSmallSide, kSmallSide, sceneImage(int(kSmallSide), int(kSmallSide)).rgba.data(), kFormat);
            fullScene = std::make_unique<headless::VulkanSceneImage>(
                *device, kFullWidth, kFullHeight, sceneImage(int(kFullWidth), int(kFullHeight)).rgba.data(), kFormat);
        } catch (const std::exception& failure) {
            fail(failure.what());
        }
        copy = std::make_unique<PlainCopy>(*device, fullScene->view(), kFullWidth, kFullHeight);
    }
    ~Scene()
    {
        vkDeviceWaitIdle(device->device());
        kzDestroyContextVulkan(context);
        copy.reset();
        smallScene.reset();
        fullScene.reset();
        smallTarget.reset();
        fullTarget.reset();
        dir.reset();
        device.reset();
    }
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // The per-pixel warp map is written on first use: it is 100 MB of text.
    void writePerPixelWarpMap()
    {
        if (!perPixelWritten)
            dir->write("warp-per-pixel.csv", warpMapText(kFullWidth, kFullHeight, warpLookup));
        perPixelWritten = true;
    }

    // Makes `channel` active with the one scene image for `target` and draws
    // it a few times with `method`, so that the driver is warmed up (and the
    // table baked) before anything is timed. False if a call fails or the
    // centre of the target stays black.
    bool prepare(unsigned channel, headless::VulkanTarget& target, const headless::VulkanSceneImage& scene,
                 kzCorrectionMethod method = KZ_CORRECTION_METHOD_BAKED)
    {
        if (channel == kPerPixelChannel)
            writePerPixelWarpMap();
        if (kzSetCorrectionMethodVulkan(context, method) != KZ_OK ||
            kzSetActiveChannelVulkan(context, channel, {scene.view()}, target.width(), target.height()) != KZ_OK)
            return false;
        for (int i = 0; i < 3; ++i) {
            if (!drawFrame(target))
                return false;
        }
        return centreIsLit(target);
    }

    // One corrected frame: PostDraw, submission, wait.
    bool drawFrame(headless::VulkanTarget& target)
    {
        VkCommandBuffer commands = VK_NULL_HANDLE;
        if (kzPostDrawVulkan(context, target.framebuffer(), &commands, 0) != KZ_OK)
            return false;
        device->submitAndWait(commands);
        return true;
    }

    static bool centreIsLit(headless::VulkanTarget& target)
    {
        const std::vector<uint8_t> pixels = target.readPixels();
        const uint8_t* centre = &pixels[(size_t(target.height() / 2) * target.width() + target.width() / 2) * 4];
        return centre[0] + centre[1] + centre[2] > 0;
    }

    std::unique_ptr<headless::VulkanDevice> device;
    std::unique_ptr<TempDir> dir;
    kzContextVulkan* context = nullptr;
    std::unique_ptr<headless::VulkanTarget> smallTarget;
    std::unique_ptr<headless::VulkanTarget> fullTarget;
    std::unique_ptr<headless::VulkanSceneImage> smallScene;
    std::unique_ptr<headless::VulkanSceneImage> fullScene;
    std::unique_ptr<PlainCopy> copy;
    std::string configuration;
    bool perPixelWritten = false;

private:
    static std::unique_ptr<Scene> instance;
};

std::unique_ptr<Scene> Scene::instance;

// ---------------------------------------------------------------------------

// Recording only: the command buffer was last submitted (and waited for) in
// prepare, so PostDraw may reset and re-record it on every call.
void PostDrawRecording(benchmark::State& state)
{
    Scene& scene = Scene::get();
    if (!scene.prepare(unsigned(state.range(0)), *scene.smallTarget, *scene.smallScene,
                       kzCorrectionMethod(state.range(1)))) {
        state.SkipWithError("channel set-up or warm-up draw failed");
        return;
    }
    const VkFramebuffer framebuffer = scene.smallTarget->framebuffer();
    resetAllocationCounts();
    bool failed = false;
    for (auto _ : state) {
        VkCommandBuffer commands = VK_NULL_HANDLE;
        startCountingAllocations();
        failed |= kzPostDrawVulkan(scene.context, framebuffer, &commands, 0) != KZ_OK;
        stopCountingAllocations();
        benchmark::DoNotOptimize(commands);
    }
    if (failed)
        state.SkipWithError("kzPostDrawVulkan failed");
    const double calls = double(state.iterations());
    const AllocationCounts counts = allocationCounts();
    state.counters["new/call"] = double(counts.news) / calls;
    state.counters["malloc/call"] = double(counts.mallocs) / calls;
}
BENCHMARK(PostDrawRecording)->ArgsProduct({{2, kWarpPoints}, {0, 1}})->Unit(benchmark::kNanosecond);

unsigned fullChannel(int64_t points)
{
    return points == kWarpPoints ? kFullChannel : kPerPixelChannel;
}

void CorrectedFrame1080p(benchmark::State& state)
{
    Scene& scene = Scene::get();
    if (!scene.prepare(fullChannel(state.range(0)), *scene.fullTarget, *scene.fullScene,
                       kzCorrectionMethod(state.range(1)))) {
        state.SkipWithError("channel set-up or warm-up draw failed");
        return;
    }
    for (auto _ : state)
        scene.drawFrame(*scene.fullTarget);
}
BENCHMARK(CorrectedFrame1080p)
    ->ArgsProduct({{kWarpPoints, kFullWidth}, {0, 1}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// Every frame changes the blend weight, so every frame bakes the table first.
void RebakedFrame1080p(benchmark::State& state)
{
    Scene& scene = Scene::get();
    if (!scene.prepare(fullChannel(state.range(0)), *scene.fullTarget, *scene.fullScene)) {
        state.SkipWithError("channel set-up or warm-up draw failed");
        return;
    }
    float weight = 1.0f;
    for (auto _ : state) {
        weight = weight == 1.0f ? 0.9f : 1.0f;
        kzSetCorrectionPassVulkan_1(scene.context, KZ_CORRECTION_PASS_BLENDING, weight);
        scene.drawFrame(*scene.fullTarget);
    }
    kzSetCorrectionPassVulkan_1(scene.context, KZ_CORRECTION_PASS_BLENDING, 1.0f);
}
BENCHMARK(RebakedFrame1080p)->Arg(kWarpPoints)->Arg(kFullWidth)->UseRealTime()->Unit(benchmark::kMillisecond);

// The process's peak resident set (VmHWM) in kB; writing 5 to clear_refs
// resets it to the current resident set.
long peakResidentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

void resetPeakResident()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

long residentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

// Set-up of the per-pixel channel on a context of its own, so that nothing
// of it exists before the timed call.
void PerPixelSetUp(benchmark::State& state)
{
    Scene& scene = Scene::get();
    scene.writePerPixelWarpMap();
    headless::VulkanDevice& device = *scene.device;
    double peakMb = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        kzContextVulkan* context = nullptr;
        if (kzCreateContextVulkan(&context, device.physicalDevice(), device.device(), device.queue(),
                                  device.commandPool(), kFormat) != KZ_OK ||
            kzLoadConfigurationFromFileVulkan(context, scene.configuration.c_str()) != KZ_OK) {
            state.SkipWithError("cannot create the correction context");
            return;
        }
        resetPeakResident();
        const long before = residentKb();
        state.ResumeTiming();
        const kzResult result = kzSetActiveChannelVulkan(context, kPerPixelChannel, {scene.fullScene->view()},
                                                         kFullWidth, kFullHeight);
        state.PauseTiming();
        peakMb = std::max(peakMb, double(peakResidentKb() - before) / 1024.0);
        kzDestroyContextVulkan(context);
        state.ResumeTiming();
        if (result != KZ_OK) {
            state.SkipWithError("per-pixel set-up failed");
            return;
        }
    }
    state.counters["peak+MB"] = peakMb;
}
BENCHMARK(PerPixelSetUp)->Iterations(3)->Unit(benchmark::kMillisecond);

void PlainCopy1080p(benchmark::State& state)
{
    Scene& scene = Scene::get();
    for (int i = 0; i < 3; ++i)
        scene.copy->draw(scene.fullTarget->framebuffer());
    if (!Scene::centreIsLit(*scene.fullTarget)) {
        state.SkipWithError("the plain copy left the target black");
        return;
    }
    for (auto _ : state)
        scene.copy->draw(scene.fullTarget->framebuffer());
}
BENCHMARK(PlainCopy1080p)->UseRealTime()->Unit(benchmark::kMillisecond);


// Which modules call the allocator during PostDraw, over a few calls for
// each warp map size.
void printAllocationCallers()
{
    constexpr int kCalls = 16;
    Scene& scene = Scene::get();
    std::printf("\n");
    for (unsigned points : {2u, kWarpPoints}) {
        if (!scene.prepare(points, *scene.smallTarget, *scene.smallScene))
            return;
        resetAllocationCounts();
        startCountingAllocations(KeepCallers::yes);
        for (int i = 0; i < kCalls; ++i) {
            VkCommandBuffer commands = VK_NULL_HANDLE;
            kzPostDrawVulkan(scene.context, scene.smallTarget->framebuffer(), &commands, 0);
        }
        stopCountingAllocations();
        std::printf("PostDraw, %ux%u-point warp map (the library is linked into %s):\n", points, points,
                    moduleOf(reinterpret_cast<const void*>(&kzPostDrawVulkan)).c_str());
        printCallersByModule("  ", "call", kCalls);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio();
    printAllocationCallers();
    Scene::release();
    benchmark::Shutdown();
    return 0;
}
