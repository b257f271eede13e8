// Tests that need Vulkan share one headless lavapipe device with the
// validation layer, created on first use. Every message the layer reports
// during a test fails that test.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kzLib.h"
#include "kzLib/vulkan.h"
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
    void submit(VkCommandBuffer commandBuffer) { gpu().submitAndWait(commandBuffer); }

    // Moves the test to a device of its own and returns a fresh context on it.
    // At the end of the test the context, the scene images and the device are
    // destroyed in turn, and whatever the library left alive on the device is
    // reported by the validation layer and fails the test.
    kzContextVulkan* useOwnDevice(headless::VulkanDevice::Options options = {});
    // The device the test draws on: its own one after useOwnDevice, else the shared one.
    headless::VulkanDevice& gpu() { return ownDevice_ ? *ownDevice_ : *device; }

    headless::VulkanDevice* device = nullptr;
    // Scene images on gpu(), released before the device.
    std::vector<std::unique_ptr<headless::VulkanSceneImage>> scenes;

private:
    void releaseOwnDevice();

    std::vector<kzContextVulkan*> contexts_;
    std::unique_ptr<headless::VulkanDevice> ownDevice_;
    kzContextVulkan* ownContext_ = nullptr;
};

// The first `count` elements of buffer memory the library filled and left
// host-visible (its correction meshes on lavapipe), read through a mapping.
template <typename Element>
std::vector<Element> mappedElements(VkDevice device, VkDeviceMemory memory, size_t count)
{
    void* mapped = nullptr;
    if (memory == VK_NULL_HANDLE || count == 0 || vkMapMemory(device, memory, 0, VK_WHOLE_SIZE, 0, &mapped) != VK_SUCCESS)
        return {};
    const auto* first = static_cast<const Element*>(mapped);
    std::vector<Element> elements(first, first + count);
    vkUnmapMemory(device, memory);
    return elements;
}

}  // namespace dovav::test
