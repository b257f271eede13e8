// Tests that need Vulkan share one headless lavapipe device with the
// validation layer, created on first use. Every message the layer reports
// during a test fails that test.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kzLib.h"
#include "vk_harness.h"

namespace dovav::test {

// The shared device; null (with the reason in *error) if the machine cannot create one.
headless::VulkanDevice* sharedVulkanDevice(std::string* error = nullptr);

class VulkanTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Waits for the device, destroys the contexts made with createContext, and
    // fails the test on any validation message.
    void TearDown() override;

    // A context on the shared device for swap-chain images of `format`,
    // destroyed at the end of the test.
    kzContextVulkan* createContext(VkFormat format = VK_FORMAT_R8G8B8A8_UNORM);
    // Submits a command buffer PostDraw recorded and waits for it.
    void submit(VkCommandBuffer commandBuffer) { device->submitAndWait(commandBuffer); }

    headless::VulkanDevice* device = nullptr;

private:
    std::vector<kzContextVulkan*> contexts_;
};

}  // namespace dovav::test
