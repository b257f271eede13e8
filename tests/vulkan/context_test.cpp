// Creating and destroying Vulkan contexts, the objects every channel shares,
// and the context-wide setters.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "kzLib.h"
#include "kzLib/vulkan.h"
#include "support/calibration_writer.h"
#include "support/temp_dir.h"
#include "support/vk_command_hook.h"
#include "support/vk_fixture.h"
#include "vulkan/vulkan_records.h"

namespace {

using namespace dovav::test;

// Fails every call after the first `passed`.
template <auto* Slot>
std::shared_ptr<void> failingAfter(int passed)
{
    return std::make_shared<CommandHook<Slot>>([passed](auto&&...) mutable { return passed-- <= 0; });
}

// The objects a context makes for every channel.
std::vector<uint64_t> sharedObjects(const kzContextVulkan& c)
{
    const void* handles[] = {c.renderPass, c.sampler, c.staticDescriptorSetLayout, c.staticPipelineLayout,
                             c.staticPipeline, c.dynamicDescriptorSetLayout, c.dynamicPipelineLayout,
                             c.dynamicPipeline, c.fallbackTexture.image, c.fallbackTexture.memory,
                             c.fallbackTexture.view};
    std::vector<uint64_t> result;
    for (const void* handle : handles)
        result.push_back(uint64_t(reinterpret_cast<uintptr_t>(handle)));
    return result;
}

std::string errorText(kzContextVulkan* context)
{
    char buffer[kzErrorStringSize + 1] = {};
    kzGetErrorString(context, buffer, kzErrorStringSize);
    return buffer;
}

// Static channels 1 and 2, dynamic channels 3 and 4 (4 without a target
// rectangle); channel 9 is not configured.
class VulkanContextTest : public VulkanTest {
protected:
    void SetUp() override
    {
        VulkanTest::SetUp();
        dir.write("warp.csv", warpMapText(3, 3, [](float x, float y) { return kzVec2f{x, y}; }));
        dir.write("camera.csv", cameraText({0, 0, 0}, {0, 0, 0}, -1, 1, -1, 1));
        dir.write("target.csv", targetRectText({-1, 1, -2}, {1, 1, -2}, {1, -1, -2}, {-1, -1, -2}));
        dir.write("shape.csv", screenShapeText(2, 2, [](uint32_t column, uint32_t row) {
                      return ShapePoint{{float(column), float(row), -2}, {float(column), float(row)}, {0, 0, 1}, {}};
                  }));
        auto staticChannel = [](unsigned id) {
            return channelElement(id, {{"warpmap", "warp.csv"}, {"frustum", "camera.csv"}});
        };
        auto dynamicChannel = [](unsigned id, const char* target) {
            return channelElement(id, {{"shape", "shape.csv"}, {"target", target}});
        };
        files = {dir.write("static.xml", configurationText(0, 2.2f, 1, 1, staticChannel(1) + staticChannel(2))),
                 dir.write("dynamic.xml", configurationText(1, 2.2f, 1, 1, dynamicChannel(3, "target.csv") +
                                                                                dynamicChannel(4, "missing.csv")))};
        context = createContext();
    }


    void configure()
    {
        for (const std::string& file : files)
            ASSERT_EQ(kzLoadConfigurationFromFileVulkan(context, file.c_str()), KZ_OK);
    }

    kzResult activate(unsigned channel, size_t viewCount = 1)
    {
        std::vector<VkImageView> views;
        for (size_t i = 0; i < viewCount; ++i) {
            scenes.push_back(std::make_unique<headless::VulkanSceneImage>(gpu(), 4, 4, nullptr));
            views.push_back(scenes.back()->view());
        }
        return kzSetActiveChannelVulkan(context, channel, views, 4, 4);
    }

    TempDir dir;
    std::vector<std::string> files;
    kzContextVulkan* context = nullptr;
};

TEST_F(VulkanContextTest, CreatesSharedObjectsWithDefaults)
{
    for (VkFormat format : {VK_FORMAT_R8G8B8A8_UNORM, VK_FORMAT_B8G8R8A8_SRGB}) {
        SCOPED_TRACE(int(format));
        kzContextVulkan* created = createContext(format);
        ASSERT_NE(created, nullptr);
        EXPECT_EQ(created->kind, KZ_CONTEXT_VULKAN);
        EXPECT_EQ(errorText(created), "");
        EXPECT_EQ(created->nearClip, 0.5f);
        EXPECT_EQ(created->farClip, 5000.0f);
        EXPECT_FALSE(created->flipWarpmeshVerticesY);
        EXPECT_FALSE(created->flipWarpmeshTexcoordsV);
        EXPECT_EQ(created->width, 0u);
        EXPECT_EQ(created->height, 0u);
        EXPECT_EQ(created->format, format);
        EXPECT_EQ(created->device, device->device());
        EXPECT_EQ(created->commandPool, device->commandPool());
        EXPECT_TRUE(created->configurations.empty());
        EXPECT_TRUE(created->corrections.empty());
        for (uint64_t handle : sharedObjects(*created))
            EXPECT_NE(handle, 0u);
    }
}

TEST_F(VulkanContextTest, NullArgumentsAndFlags)
{
    EXPECT_EQ(kzCreateContextVulkan(nullptr, device->physicalDevice(), device->device(), device->queue(),
                                    device->commandPool(), VK_FORMAT_R8G8B8A8_UNORM),
              KZ_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(kzDestroyContextVulkan(nullptr), KZ_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(kzSetClippingPlanesVulkan(nullptr, 1, 2), KZ_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(kzSetCorrectionPassVulkan(nullptr, KZ_CORRECTION_PASS_BLENDING, true), KZ_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(kzSetCorrectionPassVulkan_1(nullptr, KZ_CORRECTION_PASS_BLENDING, 1), KZ_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(kzSetActiveChannelVulkan(nullptr, 1, {}, 2, 3), KZ_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(kzPreDrawVulkan(nullptr, {}, nullptr, nullptr), KZ_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(kzPreDrawVulkan_1(nullptr, {}, nullptr), KZ_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(kzSetMaskSrgbVulkan(nullptr, true), KZ_ERROR_INVALID_ARGUMENT);
    VkCommandBuffer commands = VK_NULL_HANDLE;
    EXPECT_EQ(kzPostDrawVulkan(nullptr, VK_NULL_HANDLE, &commands, 0), KZ_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(kzPostDrawVulkan(context, VK_NULL_HANDLE, nullptr, 0), KZ_ERROR_INVALID_ARGUMENT);
    // The flip setters have nothing to report; each stores its own flag.
    EXPECT_EQ(kzSetFlipWarpmeshVerticesYVulkan(nullptr, true), KZ_OK);
    EXPECT_EQ(kzSetFlipWarpmeshTexcoordsVVulkan(nullptr, true), KZ_OK);
    EXPECT_EQ(errorText(context), "");
    const struct {
        bool verticesY, texcoordsV;
    } flags[] = {{true, false}, {false, true}, {true, true}, {false, false}};
    for (const auto& f : flags) {
        EXPECT_EQ(kzSetFlipWarpmeshVerticesYVulkan(context, f.verticesY), KZ_OK);
        EXPECT_EQ(kzSetFlipWarpmeshTexcoordsVVulkan(context, f.texcoordsV), KZ_OK);
        EXPECT_EQ(context->flipWarpmeshVerticesY, f.verticesY);
        EXPECT_EQ(context->flipWarpmeshTexcoordsV, f.texcoordsV);
    }
}

// The planes reach the cameras built so far; a dynamic camera built later
// starts from them, while a static one brings its camera file's planes.
TEST_F(VulkanContextTest, ClippingPlanesReachBuiltAndLaterCameras)
{
    configure();
    EXPECT_EQ(kzSetClippingPlanesVulkan(context, 0.25f, 300.0f), KZ_OK);
    EXPECT_EQ(context->nearClip, 0.25f);
    EXPECT_EQ(context->farClip, 300.0f);
    ASSERT_EQ(activate(1), KZ_OK);
    ASSERT_EQ(activate(3), KZ_OK);
    EXPECT_EQ(activate(9), KZ_ERROR_INVALID_DATA);  // stored without camera
    EXPECT_EQ(context->corrections.at(1).camera->nearClip, 0.5f);
    EXPECT_EQ(context->corrections.at(3).camera->nearClip, 0.25f);
    EXPECT_EQ(context->corrections.at(3).camera->farClip, 300.0f);

    EXPECT_EQ(kzSetClippingPlanesVulkan(context, 0.125f, 80.0f), KZ_OK);
    ASSERT_EQ(activate(4), KZ_OK);
    for (unsigned channel : {1u, 3u, 4u}) {
        EXPECT_EQ(context->corrections.at(channel).camera->nearClip, 0.125f) << channel;
        EXPECT_EQ(context->corrections.at(channel).camera->farClip, 80.0f) << channel;
    }
    EXPECT_EQ(context->corrections.at(9).camera, nullptr);
}

// The pass setters need a record for the active channel, drawable or not;
// pass values outside the five change nothing and report nothing.
TEST_F(VulkanContextTest, PassSettersNeedTheActiveChannelsRecord)
{
    configure();
    const std::string broken = dir.write("broken.xml", configurationText(0, 2.2f, 1, 1, channelElement(5, {})));
    ASSERT_EQ(kzLoadConfigurationFromFileVulkan(context, broken.c_str()), KZ_OK);
    const struct {
        const char* label;
        unsigned channel;  // activated first, unless 0
        kzResult result;
    } cases[] = {
        {"nothing activated", 0, KZ_ERROR_INVALID_DATA},
        {"set-up failed, nothing stored", 5, KZ_ERROR_INVALID_DATA},
        {"record without configuration", 9, KZ_OK},
        {"built channel", 2, KZ_OK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.channel != 0) {
            activate(c.channel);
        }
        std::strcpy(context->errorString, "");
        EXPECT_EQ(kzSetCorrectionPassVulkan(context, KZ_CORRECTION_PASS_WARPING, false), c.result);
        EXPECT_EQ(kzSetCorrectionPassVulkan_1(context, KZ_CORRECTION_PASS_WARPING, 0.5f), c.result);
        if (c.result == KZ_OK) {
            EXPECT_EQ(errorText(context), "");
            EXPECT_FALSE(context->corrections.at(c.channel).warpingPass.enabled);
            EXPECT_EQ(context->corrections.at(c.channel).warpingPass.weight, 0.5f);
        } else {
            EXPECT_EQ(errorText(context), "No correction data available for channel " + std::to_string(c.channel));
        }
    }
    const kzCorrectionDataVulkan& data = context->corrections.at(2);
    const kzChannelPasses before = data;
    for (auto pass : {kzCorrectionPassType(7), kzCorrectionPassType(-1), kzCorrectionPassType(5)}) {
        EXPECT_EQ(kzSetCorrectionPassVulkan(context, pass, true), KZ_OK);
        EXPECT_EQ(kzSetCorrectionPassVulkan_1(context, pass, 9.0f), KZ_OK);
    }
    for (auto pass : {&kzChannelPasses::warpingPass, &kzChannelPasses::blendingPass,
                      &kzChannelPasses::secondaryBlendingPass, &kzChannelPasses::blacklevelPass,
                      &kzChannelPasses::directionalShadingPass}) {
        EXPECT_EQ((data.*pass).enabled, (before.*pass).enabled);
        EXPECT_EQ((data.*pass).weight, (before.*pass).weight);
    }
    EXPECT_EQ(errorText(context), "");
}

// Creation loads the command table itself, so its steps are driven one by one
// here, each on a spare record borrowing a live context's device objects: a
// step that fails stores nothing, and what it made on the way is gone when
// the device is destroyed.
TEST_F(VulkanContextTest, FailedCreationStepsLeaveNothingBehind)
{
    context = useOwnDevice();
    ASSERT_NE(context, nullptr);
    namespace vk = kz_vk_defs;
    int length = 0;
    const unsigned char* fallbackImage = kzVulkanFallbackImage(&length);
    auto fallback = [&](kzContextVulkan* record) {
        return kzVulkanCreateTextureFromMemory(record, fallbackImage, length, record->fallbackTexture);
    };
    const struct {
        const char* label;
        std::function<std::shared_ptr<void>()> inject;
        std::function<bool(kzContextVulkan*)> step;
        std::string thrown;  // empty: the step returns false
    } cases[] = {
        {"render pass", [] { return failingAfter<&vk::vkCreateRenderPass>(0); }, kzVulkanCreateRenderPass, ""},
        {"sampler", [] { return failingAfter<&vk::vkCreateSampler>(0); }, kzVulkancreateTextureSampler, ""},
        {"static set layout", [] { return failingAfter<&vk::vkCreateDescriptorSetLayout>(0); },
         kzVulkanCreateStaticDescriptorSetLayout, ""},
        {"dynamic set layout", [] { return failingAfter<&vk::vkCreateDescriptorSetLayout>(0); },
         kzVulkanCreateDynamicDescriptorSetLayout, ""},
        {"vertex module", [] { return failingAfter<&vk::vkCreateShaderModule>(0); }, kzVulkanCreateStaticPipeline, ""},
        {"fragment module", [] { return failingAfter<&vk::vkCreateShaderModule>(1); }, kzVulkanCreateDynamicPipeline,
         ""},
        {"pipeline layout", [] { return failingAfter<&vk::vkCreatePipelineLayout>(0); }, kzVulkanCreateStaticPipeline,
         ""},
        {"static pipeline", [] { return failingAfter<&vk::vkCreateGraphicsPipelines>(0); },
         kzVulkanCreateStaticPipeline, ""},
        {"dynamic pipeline", [] { return failingAfter<&vk::vkCreateGraphicsPipelines>(0); },
         kzVulkanCreateDynamicPipeline, ""},
        {"fallback view", [] { return failingAfter<&vk::vkCreateImageView>(0); }, fallback, ""},
        {"fallback image", [] { return failingAfter<&vk::vkCreateImage>(0); }, fallback, "failed to create image!"},
        {"fallback image memory", [] { return failingAfter<&vk::vkAllocateMemory>(1); }, fallback,
         "failed to allocate image memory!"},
        {"fallback upload", [] { return failingAfter<&vk::vkQueueSubmit>(1); }, fallback,
         "failed to submit upload commands!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        kzContextVulkan spare;
        spare.physicalDevice = context->physicalDevice;
        spare.device = context->device;
        spare.queue = context->queue;
        spare.commandPool = context->commandPool;
        spare.format = context->format;
        spare.commandsLoaded = true;
        spare.renderPass = context->renderPass;
        spare.staticDescriptorSetLayout = context->staticDescriptorSetLayout;
        spare.dynamicDescriptorSetLayout = context->dynamicDescriptorSetLayout;
        const std::vector<uint64_t> before = sharedObjects(spare);
        std::string thrown;
        {
            const std::shared_ptr<void> hook = c.inject();
            try {
                EXPECT_FALSE(c.step(&spare));
            } catch (const std::runtime_error& error) {
                thrown = error.what();
            }
        }
        EXPECT_EQ(thrown, c.thrown);
        EXPECT_EQ(sharedObjects(spare), before);
    }
}

// Every channel record, drawn or not, goes with its context.
TEST_F(VulkanContextTest, DestroyReleasesEveryChannel)
{
    context = useOwnDevice();
    ASSERT_NE(context, nullptr);
    configure();
    const std::string odd = dir.write("odd.xml", configurationText(6, 2.2f, 1, 1, channelElement(8, {})));
    ASSERT_EQ(kzLoadConfigurationFromFileVulkan(context, odd.c_str()), KZ_OK);
    headless::VulkanTarget target(gpu(), 4, 4);
    for (unsigned channel : {1u, 3u, 4u, 8u, 9u}) {
        activate(channel, 2);
        VkCommandBuffer commands = VK_NULL_HANDLE;
        if (kzPostDrawVulkan(context, target.framebuffer(), &commands, 1) == KZ_OK) {
            gpu().submitAndWait(commands);
        }
    }
    EXPECT_EQ(context->corrections.size(), 5u);
}

// The host's pool takes back every command buffer the context allocated from
// it: those of a channel whose image count changed at once, the others when
// the context goes.
TEST_F(VulkanContextTest, CommandBuffersGoBackToThePool)
{
    // A context of the test's own, destroyed while the hook watches.
    kzContextVulkan* const fixtureContext = context;
    ASSERT_EQ(kzCreateContextVulkan(&context, device->physicalDevice(), device->device(), device->queue(),
                                    device->commandPool(), VK_FORMAT_R8G8B8A8_UNORM),
              KZ_OK);
    configure();
    std::vector<VkCommandBuffer> freed;
    CommandHook<&kz_vk_defs::vkFreeCommandBuffers> watch(
        [&](VkDevice, VkCommandPool pool, uint32_t count, const VkCommandBuffer* buffers) {
            EXPECT_EQ(pool, device->commandPool());
            freed.insert(freed.end(), buffers, buffers + count);
            return false;
        });
    ASSERT_EQ(activate(1, 3), KZ_OK);
    const std::vector<VkCommandBuffer> first = context->corrections.at(1).commandBuffers;
    ASSERT_EQ(activate(3, 2), KZ_OK);
    ASSERT_EQ(activate(1, 2), KZ_OK);
    ASSERT_EQ(first.size(), 3u);
    for (VkCommandBuffer buffer : first) {
        EXPECT_NE(std::find(freed.begin(), freed.end(), buffer), freed.end());
    }
    std::vector<VkCommandBuffer> expected = context->corrections.at(1).commandBuffers;
    const std::vector<VkCommandBuffer>& dynamic = context->corrections.at(3).commandBuffers;
    expected.insert(expected.end(), dynamic.begin(), dynamic.end());
    freed.clear();
    EXPECT_EQ(kzDestroyContextVulkan(context), KZ_OK);
    context = fixtureContext;
    std::sort(expected.begin(), expected.end());
    std::sort(freed.begin(), freed.end());
    EXPECT_EQ(freed, expected);
    EXPECT_EQ(expected.size(), 4u);
}

}  // namespace
