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
    if (ownDevice_)
        releaseOwnDevice();
    scenes.clear();
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

kzContextVulkan* VulkanTest::useOwnDevice(headless::VulkanDevice::Options options)
{
    std::string reason;
    ownDevice_ = headless::VulkanDevice::create(&reason, options);
    if (!ownDevice_) {
        ADD_FAILURE() << "headless Vulkan unavailable: " << reason;
        return nullptr;
    }
    EXPECT_EQ(kzCreateContextVulkan(&ownContext_, ownDevice_->physicalDevice(), ownDevice_->device(),
                                    ownDevice_->queue(), ownDevice_->commandPool(), VK_FORMAT_R8G8B8A8_UNORM),
              KZ_OK);
    return ownContext_;
}

void VulkanTest::releaseOwnDevice()
{
    vkDeviceWaitIdle(ownDevice_->device());
    EXPECT_EQ(kzDestroyContextVulkan(ownContext_), KZ_OK);
    ownContext_ = nullptr;
    scenes.clear();
    const std::vector<std::string> messages = ownDevice_->messages();
    ownDevice_.reset();
    EXPECT_EQ(messages, std::vector<std::string>());
    EXPECT_EQ(headless::VulkanDevice::messagesAtDestruction(), std::vector<std::string>());
}

}  // namespace dovav::test
