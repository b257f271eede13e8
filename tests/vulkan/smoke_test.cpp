#include <gtest/gtest.h>

#include "support/calibration_writer.h"
#include "support/temp_dir.h"
#include "support/vk_fixture.h"

namespace {

using namespace dovav::test;

class VulkanSmoke : public VulkanTest {};

TEST_F(VulkanSmoke, StaticChannelDraws)
{
    kzContextVulkan* context = createContext();
    ASSERT_NE(context, nullptr);
    TempDir dir;
    dir.write("warp.txt", warpMapText(3, 3, [](float x, float y) { return kzVec2f{x, y}; }));
    dir.write("camera.txt", cameraText({0, 0, 0}, {0, 0, 0}, -1, 1, -1, 1));
    dir.write("blend.png", pngBytes(Image::filled(4, 4, 255, 255, 255)));
    const std::string config = dir.write(
        "display.xml", configurationText(0, 1.0f, 1.0f, 1.0f,
                                         channelElement(0, {{"warpmap", "warp.txt"}, {"frustum", "camera.txt"},
                                                            {"blending", "blend.png"}})));
    ASSERT_EQ(kzLoadConfigurationFromFileVulkan(context, config.c_str()), KZ_OK);
    headless::VulkanTarget target(*device, 16, 16);
    const Image scene = Image::filled(16, 16, 200, 100, 50);
    headless::VulkanSceneImage sceneImage(*device, 16, 16, scene.rgba.data());
    ASSERT_EQ(kzSetActiveChannelVulkan(context, 0, {sceneImage.view()}, 16, 16), KZ_OK)
        << context;
    VkCommandBuffer commands = VK_NULL_HANDLE;
    ASSERT_EQ(kzPostDrawVulkan(context, target.framebuffer(), &commands, 0), KZ_OK);
    submit(commands);
    const std::vector<uint8_t> pixels = target.readPixels();
    EXPECT_NEAR(pixels[(8 * 16 + 8) * 4 + 0], 200, 2);
    EXPECT_NEAR(pixels[(8 * 16 + 8) * 4 + 1], 100, 2);
}

}  // namespace
