// Vulkan mask textures: a grey mask is a one-component image whose view reads
// (grey, grey, grey, 1) where the device samples that format with linear
// filtering (always for the stored reading; one-component sRGB is optional
// and lavapipe lacks it), else it is spread to RGBA; a colour mask stays
// RGBA; a large one is reduced.

#include <string>

#include <gtest/gtest.h>

#include "support/calibration_writer.h"
#include "support/temp_dir.h"
#include "support/vk_command_hook.h"
#include "support/vk_fixture.h"
#include "vulkan/vulkan_records.h"

namespace {

using namespace dovav::test;

class VulkanMaskTexture : public VulkanTest {
protected:
    TempDir dir;
};

TEST_F(VulkanMaskTexture, GreyMasksAreOneChannelAndLargeOnesAreReduced)
{
    kzContextVulkan* context = createContext();
    ASSERT_NE(context, nullptr);
    VkFormatProperties properties{};
    vkGetPhysicalDeviceFormatProperties(gpu().physicalDevice(), VK_FORMAT_R8_SRGB, &properties);
    const bool srgbOneComponent =
        (properties.optimalTilingFeatures & VK_FORMAT_FEATURE_SAMPLED_IMAGE_FILTER_LINEAR_BIT) != 0;
    RecordProperty("srgb_grey_masks_one_component", srgbOneComponent);
    const std::string grey = greyPngBytes(5, 3, [](int column, int) { return uint8_t(50 * column); });
    const struct {
        const char* label;
        std::string png;
        bool srgb;
        calib::MaskFit fit;
        VkFormat format;
        bool greyView;
        uint32_t width, height;
    } cases[] = {
        {"grey", grey, false, {}, VK_FORMAT_R8_UNORM, true, 5, 3},
        {"colour", pngBytes(Image::filled(3, 2, 10, 20, 30)), false, {}, VK_FORMAT_R8G8B8A8_UNORM, false, 3, 2},
        {"grey, reduced", greyPngBytes(64, 48, [](int, int) { return uint8_t(90); }), false, {16, 12},
         VK_FORMAT_R8_UNORM, true, 16, 12},
        {"grey, sRGB reading", grey, true, {}, srgbOneComponent ? VK_FORMAT_R8_SRGB : VK_FORMAT_R8G8B8A8_SRGB,
         srgbOneComponent, 5, 3},
        {"colour, sRGB reading", pngBytes(Image::filled(3, 2, 10, 20, 30)), true, {}, VK_FORMAT_R8G8B8A8_SRGB,
         false, 3, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_EQ(KZ_OK, kzSetMaskSrgbVulkan(context, c.srgb));
        VkFormat imageFormat = VK_FORMAT_UNDEFINED;
        VkComponentMapping components{};
        CommandHook<&kz_vk_defs::vkCreateImage> images(
            [&](VkDevice, const VkImageCreateInfo* info, const VkAllocationCallbacks*, VkImage*) {
                imageFormat = info->format;
                return false;
            });
        CommandHook<&kz_vk_defs::vkCreateImageView> views(
            [&](VkDevice, const VkImageViewCreateInfo* info, const VkAllocationCallbacks*, VkImageView*) {
                components = info->components;
                return false;
            });
        kzVulkanTexture texture;
        ASSERT_TRUE(kzVulkanCreateTextureFromFile(context, dir.write("mask.png", c.png).c_str(), texture, c.fit));
        EXPECT_EQ(texture.width, c.width);
        EXPECT_EQ(texture.height, c.height);
        EXPECT_EQ(imageFormat, c.format);
        const VkComponentSwizzle expected[4] = {
            c.greyView ? VK_COMPONENT_SWIZZLE_R : VK_COMPONENT_SWIZZLE_IDENTITY,
            c.greyView ? VK_COMPONENT_SWIZZLE_R : VK_COMPONENT_SWIZZLE_IDENTITY,
            c.greyView ? VK_COMPONENT_SWIZZLE_R : VK_COMPONENT_SWIZZLE_IDENTITY,
            c.greyView ? VK_COMPONENT_SWIZZLE_ONE : VK_COMPONENT_SWIZZLE_IDENTITY};
        EXPECT_EQ(components.r, expected[0]);
        EXPECT_EQ(components.g, expected[1]);
        EXPECT_EQ(components.b, expected[2]);
        EXPECT_EQ(components.a, expected[3]);
        kzVulkanFreeTexture(context, &texture);
    }
}

}  // namespace
