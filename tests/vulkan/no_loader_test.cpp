// A process without the Vulkan loader: the library refuses to make a Vulkan
// context rather than load the loader itself, and the record its internal
// creation hands back can be used and destroyed without a Vulkan call. The
// handles passed in are not real objects: touching one would crash.

#include <dlfcn.h>

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "kzLib.h"
#include "kzLib/vulkan.h"
#include "vulkan/vulkan_records.h"

namespace {

bool loaderLoaded()
{
    void* loader = dlopen("libvulkan.so.1", RTLD_NOW | RTLD_NOLOAD);
    if (loader)
        dlclose(loader);
    return loader != nullptr;
}

template <typename Handle>
Handle fake(uintptr_t value)
{
    return reinterpret_cast<Handle>(value);
}

const VkPhysicalDevice kPhysicalDevice = fake<VkPhysicalDevice>(0x10);
const VkDevice kDevice = fake<VkDevice>(0x20);
const VkQueue kQueue = fake<VkQueue>(0x30);
const VkCommandPool kPool = fake<VkCommandPool>(0x40);

std::string errorText(kzContextVulkan* context)
{
    char buffer[kzErrorStringSize + 1] = {};
    kzGetErrorString(context, buffer, kzErrorStringSize);
    return buffer;
}

class NoVulkanLoader : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(loaderLoaded()) << "this program must run without libvulkan.so.1"; }
    void TearDown() override { EXPECT_FALSE(loaderLoaded()) << "the library loaded libvulkan.so.1"; }
};

TEST_F(NoVulkanLoader, ExportedCreationLeavesTheHandleAlone)
{
    kzContextVulkan* const sentinel = fake<kzContextVulkan*>(0x1234);
    kzContextVulkan* context = sentinel;
    EXPECT_EQ(kzCreateContextVulkan(&context, kPhysicalDevice, kDevice, kQueue, kPool, VK_FORMAT_B8G8R8A8_SRGB),
              KZ_ERROR_VULKAN);
    EXPECT_EQ(context, sentinel);
}

TEST_F(NoVulkanLoader, InternalCreationHandsBackAnEmptyRecord)
{
    kzContextVulkan* context = nullptr;
    ASSERT_EQ(kzCreateContext_Vulkan(&context, kPhysicalDevice, kDevice, kQueue, kPool, VK_FORMAT_B8G8R8A8_SRGB),
              KZ_ERROR_VULKAN);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(errorText(context), "Failed to initialize vulkan runtime");
    EXPECT_EQ(context->kind, KZ_CONTEXT_VULKAN);
    EXPECT_FALSE(context->commandsLoaded);
    EXPECT_EQ(context->physicalDevice, kPhysicalDevice);
    EXPECT_EQ(context->device, kDevice);
    EXPECT_EQ(context->queue, kQueue);
    EXPECT_EQ(context->commandPool, kPool);
    EXPECT_EQ(context->format, VK_FORMAT_B8G8R8A8_SRGB);
    EXPECT_EQ(context->renderPass, VK_NULL_HANDLE);
    EXPECT_EQ(context->fallbackTexture.view, VK_NULL_HANDLE);
    // Nothing could be resolved.
#define KZ_EXPECT_UNRESOLVED(name) EXPECT_EQ(reinterpret_cast<void*>(kz_vk_defs::name), nullptr) << #name;
    KZ_VULKAN_COMMANDS(KZ_EXPECT_UNRESOLVED)
#undef KZ_EXPECT_UNRESOLVED

    // What needs no device still works; what needs one refuses.
    EXPECT_EQ(kzSetClippingPlanesVulkan(context, 1, 10), KZ_OK);
    EXPECT_EQ(kzSetFlipWarpmeshVerticesYVulkan(context, true), KZ_OK);
    EXPECT_EQ(kzSetActiveChannelVulkan(context, 2, {fake<VkImageView>(0x50)}, 4, 4), KZ_ERROR_VULKAN);
    EXPECT_EQ(errorText(context), "Failed to initialize vulkan runtime");
    EXPECT_TRUE(context->corrections.empty());
    VkCommandBuffer commands = VK_NULL_HANDLE;
    EXPECT_EQ(kzPostDrawVulkan(context, VK_NULL_HANDLE, &commands, 0), KZ_ERROR_INVALID_DATA);
    EXPECT_EQ(kzPreDrawVulkan(context, {}, nullptr, nullptr), KZ_ERROR_INVALID_DATA);
    EXPECT_EQ(kzSetCorrectionPassVulkan(context, KZ_CORRECTION_PASS_BLENDING, false), KZ_ERROR_INVALID_DATA);
    EXPECT_EQ(commands, VK_NULL_HANDLE);
    EXPECT_EQ(kzDestroyContext_Vulkan(context), KZ_OK);

    // The exported destroy takes such a record the same way.
    context = nullptr;
    ASSERT_EQ(kzCreateContext_Vulkan(&context, kPhysicalDevice, kDevice, kQueue, kPool, VK_FORMAT_R8G8B8A8_UNORM),
              KZ_ERROR_VULKAN);
    EXPECT_EQ(kzDestroyContextVulkan(context), KZ_OK);
}

TEST_F(NoVulkanLoader, NullOutParameter)
{
    EXPECT_EQ(kzCreateContext_Vulkan(nullptr, kPhysicalDevice, kDevice, kQueue, kPool, VK_FORMAT_R8G8B8A8_UNORM),
              KZ_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(kzCreateContextVulkan(nullptr, kPhysicalDevice, kDevice, kQueue, kPool, VK_FORMAT_R8G8B8A8_UNORM),
              KZ_ERROR_INVALID_ARGUMENT);
}

}  // namespace
