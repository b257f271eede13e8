// What Vulkan set-up reports: the loaders' reasons through the message
// callback, no word about masks that are not configured, and the channel
// query; and the two forms of kzSetActiveChannelVulkan.

#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "kzLib.h"
#include "kzLib/vulkan.h"
#include "support/calibration_writer.h"
#include "support/channel_reports.h"
#include "support/temp_dir.h"
#include "support/vk_fixture.h"
#include "vulkan/vulkan_records.h"

namespace {

using namespace dovav::test;

constexpr uint32_t kSize = 8;

class VulkanChannelReports : public VulkanTest {
protected:
    void SetUp() override
    {
        VulkanTest::SetUp();
        context = createContext();
    }

    VkImageView sceneView()
    {
        scenes.push_back(std::make_unique<headless::VulkanSceneImage>(gpu(), kSize, kSize, nullptr));
        return scenes.back()->view();
    }

    BackEnd backEnd()
    {
        return {context, KZ_ERROR_VULKAN,
                [this](unsigned channel) {
                    return kzSetActiveChannelVulkan(context, channel, {sceneView()}, kSize, kSize);
                },
                [this](kzVec3f eye, kzCamera* camera) { return kzPreDrawVulkan_1(context, eye, camera); }};
    }

    kzContextVulkan* context = nullptr;
};

TEST_F(VulkanChannelReports, TruncatedWarpMapIsExplained)
{
    checkTruncatedWarpMapIsExplained(backEnd());
}

TEST_F(VulkanChannelReports, UnnamedMasksAreSilent)
{
    checkUnnamedMasksAreSilent(backEnd());
}

TEST_F(VulkanChannelReports, ChannelInfo)
{
    checkChannelInfo(backEnd());
}

// The pointer-and-count form and the vector form build the same record, and
// the pointer form refuses a null array of views it is told to read.
TEST_F(VulkanChannelReports, PointerAndVectorFormsBuildTheSameRecord)
{
    TempDir dir;
    dir.write("warp.csv", warpMapText(3, 2, [](float x, float y) { return kzVec2f{x, y}; }));
    dir.write("camera.csv", cameraText({0, 0, 0}, {0, 0, 0}, -1, 1, -0.5f, 0.5f));
    const std::string path = dir.write(
        "display.xml", configurationText(KZ_CORRECTION_STATIC, 2.2f, 1.0f, 1.0f,
                                         channelElement(1, {{"warpmap", "warp.csv"}, {"frustum", "camera.csv"}})));
    kzContextVulkan* other = createContext();
    const std::vector<VkImageView> views = {sceneView(), sceneView(), sceneView()};
    for (kzContextVulkan* c : {context, other})
        ASSERT_EQ(kzLoadConfigurationFromFileVulkan(c, path.c_str()), KZ_OK);

    ASSERT_EQ(kzSetActiveChannelVulkan(context, 1, views, kSize, kSize + 1), KZ_OK);
    ASSERT_EQ(kzSetActiveChannelVulkan_1(other, 1, views.data(), uint32_t(views.size()), kSize, kSize + 1),
              KZ_OK);
    const kzCorrectionDataVulkan& byVector = context->corrections.at(1);
    const kzCorrectionDataVulkan& byPointer = other->corrections.at(1);
    EXPECT_EQ(byPointer.imageViews, byVector.imageViews);
    EXPECT_EQ(byPointer.correctionType, byVector.correctionType);
    EXPECT_EQ(byPointer.warpMesh.width, byVector.warpMesh.width);
    EXPECT_EQ(byPointer.warpMesh.height, byVector.warpMesh.height);
    EXPECT_EQ(byPointer.hasImageObjects(), byVector.hasImageObjects());
    EXPECT_EQ(std::memcmp(byPointer.camera.get(), byVector.camera.get(), sizeof(kzCamera)), 0);
    EXPECT_EQ(other->width, context->width);
    EXPECT_EQ(other->height, context->height);
    EXPECT_EQ(other->activeChannel, context->activeChannel);

    EXPECT_EQ(kzSetActiveChannelVulkan_1(other, 1, nullptr, 2, kSize, kSize), KZ_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(kzSetActiveChannelVulkan_1(nullptr, 1, views.data(), 1, kSize, kSize),
              KZ_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(other->corrections.at(1).imageViews, views) << "a refused call changes nothing";
    EXPECT_EQ(kzSetActiveChannelVulkan_1(other, 1, nullptr, 0, kSize, kSize),
              kzSetActiveChannelVulkan(context, 1, {}, kSize, kSize));
    EXPECT_EQ(other->corrections.at(1).imageViews, context->corrections.at(1).imageViews);
}

}  // namespace
