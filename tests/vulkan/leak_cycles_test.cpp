// Repeated context lifetimes on a Vulkan device of this test's own: create,
// load two configuration files, build and draw channels (one with a missing
// mask), fail a set-up on a missing camera and on injected out-of-memory
// results, switch a channel to another number of scene images, destroy.
//
// Two checks catch what a context leaves behind. During each cycle the
// library's function table is routed through counting hooks, so every object
// and command buffer made after the context's creation (and every object the
// creation itself kept) must have been destroyed by kzDestroyContextVulkan.
// At the end the device is destroyed and the validation layer must report
// nothing, which covers whatever the hooks cannot see. Host memory that is not
// released is reported by LeakSanitizer when the sanitizer build runs this test.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "kzLib.h"
#include "kzLib/vulkan.h"
#include "support/calibration_writer.h"
#include "support/temp_dir.h"
#include "vk_harness.h"
#include "vulkan/vulkan_records.h"

namespace {

using namespace dovav::test;

constexpr int kCycles = 200;
constexpr uint32_t kTargetSide = 32;
constexpr uint32_t kSceneSide = 4;

// Channels 1, 2, 4 and 5 come from the static configuration file, channel 3
// from the dynamic one. Channel 2's blending mask does not exist; channel 4's
// camera file does not exist; channel 5 is where allocations are made to fail.
constexpr unsigned kStatic = 1;
constexpr unsigned kMissingMask = 2;
constexpr unsigned kDynamic = 3;
constexpr unsigned kMissingCamera = 4;
constexpr unsigned kFailing = 5;

// ---------------------------------------------------------------------------
// Objects the library made through its function table and has not released.

class Ledger {
public:
    template <typename Handle>
    void add(const char* kind, Handle handle)
    {
        if (handle != VK_NULL_HANDLE)
            live_.emplace(kind, id(handle));
    }
    // Destroying a non-null handle the ledger never saw (a host's object, say)
    // is recorded as a stray.
    template <typename Handle>
    void remove(const char* kind, Handle handle)
    {
        if (handle != VK_NULL_HANDLE && live_.erase({kind, id(handle)}) == 0)
            strays_.emplace(kind, id(handle));
    }

    size_t count() const { return live_.size(); }
    size_t count(const std::string& kind) const
    {
        size_t n = 0;
        for (const auto& entry : live_)
            n += entry.first == kind;
        return n;
    }
    // "kind handle" items, comma separated; empty when nothing is live.
    std::string live() const { return listing(live_); }
    std::string strays() const { return listing(strays_); }

private:
    using Entries = std::set<std::pair<std::string, uint64_t>>;

    template <typename Handle>
    static uint64_t id(Handle handle)
    {
        if constexpr (std::is_pointer_v<Handle>)
            return uint64_t(reinterpret_cast<uintptr_t>(handle));
        else
            return uint64_t(handle);
    }
    static std::string listing(const Entries& entries)
    {
        std::string text;
        for (const auto& [kind, handle] : entries) {
            char number[24];
            std::snprintf(number, sizeof number, "%#llx", static_cast<unsigned long long>(handle));
            text += (text.empty() ? "" : ", ") + kind + " " + number;
        }
        return text;
    }

    Entries live_;
    Entries strays_;
};

Ledger* activeLedger = nullptr;

// The table entry a hook replaced, and the kind of object it makes or destroys.
template <auto& Slot>
struct Replaced {
    static inline std::remove_reference_t<decltype(Slot)> command = nullptr;
    static inline const char* kind = "";
};

template <auto& Slot, typename Info, typename Handle>
VKAPI_ATTR VkResult VKAPI_CALL trackedCreate(VkDevice device, const Info* info,
                                             const VkAllocationCallbacks* allocator, Handle* handle)
{
    const VkResult result = Replaced<Slot>::command(device, info, allocator, handle);
    if (result == VK_SUCCESS && activeLedger)
        activeLedger->add(Replaced<Slot>::kind, *handle);
    return result;
}

template <auto& Slot, typename Handle>
VKAPI_ATTR void VKAPI_CALL trackedDestroy(VkDevice device, Handle handle, const VkAllocationCallbacks* allocator)
{
    if (activeLedger)
        activeLedger->remove(Replaced<Slot>::kind, handle);
    Replaced<Slot>::command(device, handle, allocator);
}

constexpr const char* kCommandBuffer = "command buffer";

VKAPI_ATTR VkResult VKAPI_CALL trackedCreateGraphicsPipelines(VkDevice device, VkPipelineCache cache, uint32_t count,
                                                              const VkGraphicsPipelineCreateInfo* infos,
                                                              const VkAllocationCallbacks* allocator,
                                                              VkPipeline* pipelines)
{
    const VkResult result =
        Replaced<kz_vk_defs::vkCreateGraphicsPipelines>::command(device, cache, count, infos, allocator, pipelines);
    if (result == VK_SUCCESS && activeLedger) {
        for (uint32_t i = 0; i < count; ++i)
            activeLedger->add("pipeline", pipelines[i]);
    }
    return result;
}

VKAPI_ATTR VkResult VKAPI_CALL trackedAllocateCommandBuffers(VkDevice device, const VkCommandBufferAllocateInfo* info,
                                                             VkCommandBuffer* buffers)
{
    const VkResult result = Replaced<kz_vk_defs::vkAllocateCommandBuffers>::command(device, info, buffers);
    if (result == VK_SUCCESS && activeLedger) {
        for (uint32_t i = 0; i < info->commandBufferCount; ++i)
            activeLedger->add(kCommandBuffer, buffers[i]);
    }
    return result;
}

VKAPI_ATTR void VKAPI_CALL trackedFreeCommandBuffers(VkDevice device, VkCommandPool pool, uint32_t count,
                                                     const VkCommandBuffer* buffers)
{
    if (activeLedger) {
        for (uint32_t i = 0; i < count; ++i)
            activeLedger->remove(kCommandBuffer, buffers[i]);
    }
    Replaced<kz_vk_defs::vkFreeCommandBuffers>::command(device, pool, count, buffers);
}

// Routes the library's creation and destruction commands through the ledger
// for its lifetime, and enters the objects the context kept from its creation.
// The table is filled by the first kzCreateContextVulkan, so this is made after it.
class Tracking {
public:
    explicit Tracking(const kzContextVulkan& context)
    {
        namespace vk = kz_vk_defs;
        track<vk::vkAllocateMemory, VkMemoryAllocateInfo, VkDeviceMemory>("memory");
        untrack<vk::vkFreeMemory, VkDeviceMemory>("memory");
        track<vk::vkCreateBuffer, VkBufferCreateInfo, VkBuffer>("buffer");
        untrack<vk::vkDestroyBuffer, VkBuffer>("buffer");
        track<vk::vkCreateImage, VkImageCreateInfo, VkImage>("image");
        untrack<vk::vkDestroyImage, VkImage>("image");
        track<vk::vkCreateImageView, VkImageViewCreateInfo, VkImageView>("image view");
        untrack<vk::vkDestroyImageView, VkImageView>("image view");
        track<vk::vkCreateDescriptorPool, VkDescriptorPoolCreateInfo, VkDescriptorPool>("descriptor pool");
        untrack<vk::vkDestroyDescriptorPool, VkDescriptorPool>("descriptor pool");
        untrack<vk::vkDestroySampler, VkSampler>("sampler");
        untrack<vk::vkDestroyRenderPass, VkRenderPass>("render pass");
        untrack<vk::vkDestroyDescriptorSetLayout, VkDescriptorSetLayout>("descriptor set layout");
        untrack<vk::vkDestroyPipelineLayout, VkPipelineLayout>("pipeline layout");
        swap<vk::vkCreateGraphicsPipelines>(&trackedCreateGraphicsPipelines, "pipeline");
        untrack<vk::vkDestroyPipeline, VkPipeline>("pipeline");
        track<vk::vkCreateFramebuffer, VkFramebufferCreateInfo, VkFramebuffer>("framebuffer");
        untrack<vk::vkDestroyFramebuffer, VkFramebuffer>("framebuffer");
        swap<vk::vkAllocateCommandBuffers>(&trackedAllocateCommandBuffers, kCommandBuffer);
        swap<vk::vkFreeCommandBuffers>(&trackedFreeCommandBuffers, kCommandBuffer);
        activeLedger = &ledger;

        ledger.add("sampler", context.sampler);
        ledger.add("render pass", context.renderPass);
        ledger.add("descriptor set layout", context.staticDescriptorSetLayout);
        ledger.add("descriptor set layout", context.dynamicDescriptorSetLayout);
        ledger.add("pipeline layout", context.staticPipelineLayout);
        ledger.add("pipeline layout", context.dynamicPipelineLayout);
        ledger.add("pipeline", context.staticPipeline);
        ledger.add("pipeline", context.dynamicPipeline);
        ledger.add("sampler", context.tableSampler);
        ledger.add("render pass", context.bakeRenderPass);
        ledger.add("pipeline", context.bakePipeline);
        ledger.add("descriptor set layout", context.flatDescriptorSetLayout);
        ledger.add("pipeline layout", context.flatPipelineLayout);
        ledger.add("image view", context.fallbackTexture.view);
        ledger.add("image", context.fallbackTexture.image);
        ledger.add("memory", context.fallbackTexture.memory);
    }
    ~Tracking()
    {
        activeLedger = nullptr;
        for (const auto& restore : restores_)
            restore();
    }
    Tracking(const Tracking&) = delete;
    Tracking& operator=(const Tracking&) = delete;

    Ledger ledger;

private:
    template <auto& Slot>
    void swap(std::remove_reference_t<decltype(Slot)> hook, const char* kind)
    {
        Replaced<Slot>::command = Slot;
        Replaced<Slot>::kind = kind;
        Slot = hook;
        restores_.push_back([] { Slot = Replaced<Slot>::command; });
    }
    template <auto& Slot, typename Info, typename Handle>
    void track(const char* kind)
    {
        swap<Slot>(&trackedCreate<Slot, Info, Handle>, kind);
    }
    template <auto& Slot, typename Handle>
    void untrack(const char* kind)
    {
        swap<Slot>(&trackedDestroy<Slot, Handle>, kind);
    }

    std::vector<std::function<void()>> restores_;
};

// Counts the library's vkAllocateMemory calls while it lives, and makes call
// number `failingCall` (counting from 1; 0 for none) fail as a device out of
// memory would.
class AllocationFailure {
public:
    explicit AllocationFailure(int failingCall) : previous_(kz_vk_defs::vkAllocateMemory)
    {
        next_ = previous_;
        calls_ = 0;
        failingCall_ = failingCall;
        kz_vk_defs::vkAllocateMemory = &allocate;
    }
    ~AllocationFailure() { kz_vk_defs::vkAllocateMemory = previous_; }
    AllocationFailure(const AllocationFailure&) = delete;
    AllocationFailure& operator=(const AllocationFailure&) = delete;

    int calls() const { return calls_; }
    bool failed() const { return failingCall_ > 0 && calls_ >= failingCall_; }

private:
    static VKAPI_ATTR VkResult VKAPI_CALL allocate(VkDevice device, const VkMemoryAllocateInfo* info,
                                                   const VkAllocationCallbacks* allocator, VkDeviceMemory* memory)
    {
        if (++calls_ == failingCall_)
            return VK_ERROR_OUT_OF_DEVICE_MEMORY;
        return next_(device, info, allocator, memory);
    }

    static inline PFN_vkAllocateMemory next_ = nullptr;
    static inline int calls_ = 0;
    static inline int failingCall_ = 0;
    PFN_vkAllocateMemory previous_;
};

// ---------------------------------------------------------------------------

struct ContextDestroyer {
    void operator()(kzContextVulkan* context) const { kzDestroyContextVulkan(context); }
};
using ContextPointer = std::unique_ptr<kzContextVulkan, ContextDestroyer>;

std::string errorText(kzContextVulkan* context)
{
    char text[kzErrorStringSize] = {};
    kzGetErrorString(context, text, sizeof text);
    return text;
}

// The first few messages and how many there were; empty when there are none.
std::string summary(const std::vector<std::string>& messages)
{
    constexpr size_t kShown = 5;
    std::string text;
    for (size_t i = 0; i < messages.size() && i < kShown; ++i)
        text += messages[i] + "\n";
    if (messages.size() > kShown)
        text += "... " + std::to_string(messages.size()) + " messages in all\n";
    return text;
}

// The calibration files and the host's images for every cycle.
class Host {
public:
    explicit Host(headless::VulkanDevice& vulkan) : device(vulkan), target(vulkan, kTargetSide, kTargetSide)
    {
        const Image gradient = Image::generated(int(kSceneSide), int(kSceneSide), [](int column, int row, uint8_t rgb[3]) {
            rgb[0] = uint8_t(column * 60);
            rgb[1] = uint8_t(row * 60);
            rgb[2] = 128;
        });
        const std::string mask = pngBytes(gradient);
        for (const char* name : {"blend.png", "secondary.png", "black.png", "shading.png"})
            dir.write(name, mask);
        for (int i = 0; i < 3; ++i)
            scenes.push_back(
                std::make_unique<headless::VulkanSceneImage>(vulkan, kSceneSide, kSceneSide, gradient.rgba.data()));

        dir.write("warp.csv", warpMapText(5, 5, [](float x, float y) {
                      return kzVec2f{0.05f + 0.9f * x, 0.05f + 0.9f * y};
                  }));
        dir.write("camera.csv", cameraText({0, 0, 0}, {10, 5, 0}, -0.5f, 0.5f, -0.4f, 0.4f));
        using Attributes = std::vector<std::pair<std::string, std::string>>;
        const Attributes masks = {{"blending", "blend.png"},
                                  {"secondary-blending", "secondary.png"},
                                  {"blacklevel", "black.png"},
                                  {"directional-shading", "shading.png"}};
        auto with = [](Attributes attributes, const Attributes& more) {
            attributes.insert(attributes.end(), more.begin(), more.end());
            return attributes;
        };
        const Attributes calibrated = with(masks, {{"warpmap", "warp.csv"}, {"frustum", "camera.csv"}});
        Attributes missingMask = calibrated;
        missingMask[0].second = "missing.png";
        const Attributes missingCamera = with(masks, {{"warpmap", "warp.csv"}, {"frustum", "missing.csv"}});
        staticConfig = dir.write(
            "static.xml",
            configurationText(KZ_CORRECTION_STATIC, 2.2f, 1.0f, 1.0f,
                              channelElement(kStatic, calibrated) + channelElement(kMissingMask, missingMask) +
                                  channelElement(kMissingCamera, missingCamera) +
                                  channelElement(kFailing, calibrated)));

        // A curved 5x5 screen two units in front of the origin.
        dir.write("shape.csv", screenShapeText(5, 5, [](uint32_t column, uint32_t row) {
                      const float u = float(column) / 4.0f;
                      const float v = float(row) / 4.0f;
                      const float x = 2.0f * u - 1.0f;
                      return ShapePoint{{x, 2.0f * v - 1.0f, -2.0f + 0.3f * x * x},
                                        {u, v},
                                        {0.0f, 0.0f, 1.0f},
                                        {1.0f, 0.0f, 0.0f}};
                  }));
        dir.write("target.csv", targetRectText({-1, 1, -2}, {1, 1, -2}, {1, -1, -2}, {-1, -1, -2}));
        dynamicConfig = dir.write(
            "dynamic.xml", configurationText(KZ_CORRECTION_DYNAMIC, 2.2f, 1.0f, 1.0f,
                                             channelElement(kDynamic, with(masks, {{"shape", "shape.csv"},
                                                                                   {"target", "target.csv"}}))));
    }

    // The scene image views in the given order, by index into `scenes`.
    std::vector<VkImageView> views(std::initializer_list<int> order) const
    {
        std::vector<VkImageView> list;
        for (int i : order)
            list.push_back(scenes[size_t(i)]->view());
        return list;
    }

    // PreDraw, then PostDraw and a submission for every scene image of the
    // active channel; false (with a failure recorded) at the first call that fails.
    bool drawEveryImage(kzContextVulkan* context, size_t imageCount)
    {
        kzVec3f angles{};
        kzMatrix4x4 projection{};
        EXPECT_EQ(kzPreDrawVulkan(context, {0.1f, 0.0f, 0.0f}, &angles, &projection), KZ_OK);
        for (unsigned i = 0; i < imageCount; ++i) {
            VkCommandBuffer commands = VK_NULL_HANDLE;
            const kzResult result = kzPostDrawVulkan(context, target.framebuffer(), &commands, i);
            if (result != KZ_OK || commands == VK_NULL_HANDLE) {
                ADD_FAILURE() << "PostDraw of image " << i << ": " << result << " " << errorText(context);
                return false;
            }
            device.submitAndWait(commands);
        }
        return true;
    }

    headless::VulkanDevice& device;
    TempDir dir;
    std::string staticConfig;
    std::string dynamicConfig;
    headless::VulkanTarget target;
    std::vector<std::unique_ptr<headless::VulkanSceneImage>> scenes;
};

// Sets a channel active, with the n-th memory allocation of the set-up made to
// fail when failingCall is not 0. Returns the result; *calls gets the number of
// allocations the set-up asked for.
kzResult activate(kzContextVulkan* context, unsigned channel, const std::vector<VkImageView>& views,
                  int failingCall = 0, int* calls = nullptr)
{
    AllocationFailure allocations(failingCall);
    const kzResult result = kzSetActiveChannelVulkan(context, channel, views, kTargetSide, kTargetSide);
    if (calls)
        *calls = allocations.calls();
    if (failingCall > 0 && !allocations.failed()) {
        ADD_FAILURE() << "channel " << channel << " set-up made only " << allocations.calls()
                      << " allocations, none failed";
    }
    return result;
}

const kzCorrectionDataVulkan* record(const kzContextVulkan* context, unsigned channel)
{
    auto found = context->corrections.find(channel);
    return found == context->corrections.end() ? nullptr : &found->second;
}

// Per-image objects for exactly `n` scene images.
::testing::AssertionResult hasImageObjectsFor(const kzContextVulkan* context, unsigned channel, size_t n)
{
    const kzCorrectionDataVulkan* data = record(context, channel);
    if (!data)
        return ::testing::AssertionFailure() << "no record for channel " << channel;
    if (!data->hasImageObjects() || data->imageViews.size() != n || data->commandBuffers.size() != n ||
        data->cmesh.vertexBuffer == VK_NULL_HANDLE)
        return ::testing::AssertionFailure()
               << "channel " << channel << ": " << data->imageViews.size() << " views, "
               << data->commandBuffers.size() << " command buffers, " << data->uniformBuffers.size()
               << " uniform buffers, " << data->descriptorSets.size() << " descriptor sets, expected " << n;
    return ::testing::AssertionSuccess();
}

TEST(VulkanLeakCycles, DestroyReleasesEveryObjectOfEveryCycle)
{
    std::string error;
    std::unique_ptr<headless::VulkanDevice> device = headless::VulkanDevice::create(&error);
    ASSERT_NE(device, nullptr) << "headless Vulkan unavailable: " << error;
    // Allocation failures are injected at each point of the two set-ups in turn:
    // first the allocations of channel 5's set-up, then those of channel 1's
    // switch to two scene images. The first cycle runs both without failures
    // and counts the points.
    int failingSetUpCalls = 0;
    int switchCalls = 0;
    {
        Host host(*device);
        for (int cycle = 0; cycle < kCycles; ++cycle) {
            SCOPED_TRACE("cycle " + std::to_string(cycle));
            const int point = cycle == 0 ? -1 : (cycle - 1) % (failingSetUpCalls + switchCalls);
            const int failSetUpAt = point >= 0 && point < failingSetUpCalls ? point + 1 : 0;
            const int failSwitchAt = point >= failingSetUpCalls ? point - failingSetUpCalls + 1 : 0;

            kzContextVulkan* created = nullptr;
            ASSERT_EQ(kzCreateContextVulkan(&created, device->physicalDevice(), device->device(), device->queue(),
                                            device->commandPool(), VK_FORMAT_R8G8B8A8_UNORM),
                      KZ_OK);
            ContextPointer context(created);
            Tracking tracking(*created);
            ASSERT_EQ(kzLoadConfigurationFromFileVulkan(created, host.staticConfig.c_str()), KZ_OK);
            ASSERT_EQ(kzLoadConfigurationFromFileVulkan(created, host.dynamicConfig.c_str()), KZ_OK);

            ASSERT_EQ(activate(created, kStatic, host.views({0, 1, 2})), KZ_OK) << errorText(created);
            ASSERT_TRUE(hasImageObjectsFor(created, kStatic, 3));
            ASSERT_TRUE(host.drawEveryImage(created, 3));
            if (cycle == 0) {
                // The correction drew something other than the pass's opaque black clear.
                const std::vector<uint8_t> pixels = host.target.readPixels();
                const uint8_t* centre = &pixels[((kTargetSide / 2) * kTargetSide + kTargetSide / 2) * 4];
                EXPECT_GT(centre[0] + centre[1] + centre[2], 0);
            }

            ASSERT_EQ(activate(created, kMissingMask, host.views({0, 1})), KZ_OK) << errorText(created);
            EXPECT_NE(errorText(created).find("missing.png"), std::string::npos) << errorText(created);
            ASSERT_TRUE(hasImageObjectsFor(created, kMissingMask, 2));
            EXPECT_EQ(record(created, kMissingMask)->blendingTexture.view, VK_NULL_HANDLE);
            EXPECT_TRUE(record(created, kMissingMask)->blendingPass.locked);
            ASSERT_TRUE(host.drawEveryImage(created, 2));

            ASSERT_EQ(activate(created, kDynamic, host.views({0, 1, 2})), KZ_OK) << errorText(created);
            ASSERT_TRUE(hasImageObjectsFor(created, kDynamic, 3));
            ASSERT_TRUE(host.drawEveryImage(created, 3));

            // The masks are loaded before the camera: the failed set-up must release them.
            const size_t liveBefore = tracking.ledger.count();
            EXPECT_NE(activate(created, kMissingCamera, host.views({0})), KZ_OK);
            EXPECT_EQ(tracking.ledger.count(), liveBefore) << tracking.ledger.live();
            EXPECT_NE(errorText(created).find("missing.csv"), std::string::npos) << errorText(created);
            EXPECT_EQ(record(created, kMissingCamera), nullptr);
            VkCommandBuffer none = VK_NULL_HANDLE;
            EXPECT_EQ(kzPostDrawVulkan(created, host.target.framebuffer(), &none, 0), KZ_ERROR_INVALID_DATA);

            // The correction table is the set-up's last allocation. Without it
            // the channel is still set up and draws its mesh.
            if (failSetUpAt > 0 && failSetUpAt == failingSetUpCalls) {
                SCOPED_TRACE("channel 5's correction table cannot be allocated");
                EXPECT_EQ(activate(created, kFailing, host.views({2, 1, 0}), failSetUpAt), KZ_OK);
                ASSERT_TRUE(hasImageObjectsFor(created, kFailing, 3));
                EXPECT_EQ(record(created, kFailing)->table.image, VK_NULL_HANDLE);
                ASSERT_TRUE(host.drawEveryImage(created, 3));
                ASSERT_EQ(activate(created, kMissingMask, host.views({0, 1})), KZ_OK);
                kzVulkanReleaseCorrectionData(created, created->corrections.at(kFailing));
                created->corrections.erase(kFailing);
                EXPECT_EQ(tracking.ledger.count(), liveBefore) << tracking.ledger.live();
            } else if (failSetUpAt > 0) {
                SCOPED_TRACE("allocation " + std::to_string(failSetUpAt) + " of channel 5's set-up fails");
                EXPECT_EQ(activate(created, kFailing, host.views({2, 1, 0}), failSetUpAt), KZ_ERROR_VULKAN);
                EXPECT_EQ(record(created, kFailing), nullptr);
                EXPECT_EQ(tracking.ledger.count(), liveBefore) << tracking.ledger.live();
            }
            ASSERT_EQ(activate(created, kFailing, host.views({2, 1, 0}), 0, &failingSetUpCalls), KZ_OK)
                << errorText(created);
            ASSERT_TRUE(hasImageObjectsFor(created, kFailing, 3));
            ASSERT_TRUE(host.drawEveryImage(created, 3));

            // After a switch that made no table, the next one only makes the table.
            const bool tableFails = failSwitchAt > 0 && failSwitchAt == switchCalls;
            if (tableFails) {
                SCOPED_TRACE("channel 1's new correction table cannot be allocated");
                EXPECT_EQ(activate(created, kStatic, host.views({2, 0}), failSwitchAt), KZ_OK);
                ASSERT_TRUE(hasImageObjectsFor(created, kStatic, 2));
                EXPECT_EQ(record(created, kStatic)->table.image, VK_NULL_HANDLE);
                ASSERT_TRUE(host.drawEveryImage(created, 2));
            } else if (failSwitchAt > 0) {
                // The record stays, without per-image objects, until a set-up succeeds.
                SCOPED_TRACE("allocation " + std::to_string(failSwitchAt) + " of channel 1's switch fails");
                EXPECT_EQ(activate(created, kStatic, host.views({2, 0}), failSwitchAt), KZ_ERROR_VULKAN);
                ASSERT_NE(record(created, kStatic), nullptr);
                EXPECT_FALSE(record(created, kStatic)->hasImageObjects());
                VkCommandBuffer commands = VK_NULL_HANDLE;
                EXPECT_EQ(kzPostDrawVulkan(created, host.target.framebuffer(), &commands, 0), KZ_ERROR_INVALID_DATA);
            }
            ASSERT_EQ(activate(created, kStatic, host.views({2, 0}), 0, tableFails ? nullptr : &switchCalls), KZ_OK)
                << errorText(created);
            ASSERT_TRUE(hasImageObjectsFor(created, kStatic, 2));
            ASSERT_TRUE(host.drawEveryImage(created, 2));
            EXPECT_EQ(kzPostDrawVulkan(created, host.target.framebuffer(), &none, 2), KZ_ERROR_INVALID_ARGUMENT);
            if (cycle == 0) {
                ASSERT_GT(failingSetUpCalls, 0);
                ASSERT_GT(switchCalls, 0);
            }

            // One command buffer per scene image of each built channel, one pool per
            // channel and one more for each static channel's table: the set-ups'
            // upload command buffers are all gone.
            ASSERT_EQ(created->corrections.size(), 4u);
            EXPECT_EQ(tracking.ledger.count(kCommandBuffer), 2u + 2u + 3u + 3u) << tracking.ledger.live();
            EXPECT_EQ(tracking.ledger.count("descriptor pool"), 4u + 3u) << tracking.ledger.live();
            EXPECT_EQ(tracking.ledger.count("framebuffer"), 3u) << tracking.ledger.live();

            ASSERT_EQ(kzDestroyContextVulkan(context.release()), KZ_OK);
            ASSERT_EQ(tracking.ledger.live(), "") << "still alive after destroy";
            ASSERT_EQ(tracking.ledger.strays(), "") << "destroyed but not the library's";
            ASSERT_EQ(summary(device->messages()), "");
        }
        EXPECT_GT(failingSetUpCalls + switchCalls, 2);
    }
    EXPECT_EQ(summary(device->messages()), "");
    device.reset();
    EXPECT_EQ(summary(headless::VulkanDevice::messagesAtDestruction()), "");
}

}  // namespace
