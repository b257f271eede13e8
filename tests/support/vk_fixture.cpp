#include "support/vk_fixture.h"

#include <memory>

namespace dovav::test {

headless::VulkanDevice* sharedVulkanDevice(std::string* error)
{
    static std::string reason;
    static const std::unique_ptr<headless::VulkanDevice> device = headless::VulkanDevice::create(&reason);
    if (error)
        *error = reason;
    return device.get();
}

void VulkanTest::SetUp()
{
    std::string error;
    device = sharedVulkanDevice(&error);
    ASSERT_NE(device, nullptr) << "headless Vulkan unavailable: " << error;
    device->clearMessages();
}

void VulkanTest::TearDown()
{
    if (!device)
        return;
    vkDeviceWaitIdle(device->device());
    for (kzContextVulkan* context : contexts_)
        EXPECT_EQ(kzDestroyContextVulkan(context), KZ_OK);
    contexts_.clear();
    for (const std::string& message : device->messages())
        ADD_FAILURE() << "validation: " << message;
    device->clearMessages();
}

kzContextVulkan* VulkanTest::createContext(VkFormat format)
{
    kzContextVulkan* context = nullptr;
    const kzResult result = kzCreateContextVulkan(&context, device->physicalDevice(), device->device(),
                                                  device->queue(), device->commandPool(), format);
    EXPECT_EQ(result, KZ_OK);
    if (context)
        contexts_.push_back(context);
    return context;
}

}  // namespace dovav::test
