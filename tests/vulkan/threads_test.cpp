// Library contexts on several threads at once, each on a device, queue and
// command pool of its own thread: every thread draws exactly what the same
// calls draw when the threads run one after another, and the validation layer
// reports nothing.

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "kzLib.h"
#include "support/calibration_writer.h"
#include "vk_harness.h"

namespace {

using dovav::test::Image;

constexpr uint32_t kSize = 48;
constexpr int kFrames = 3;

struct Job {
    const char* configuration;  // of examples/curved-3
    unsigned channel;
};

struct Drawing {
    std::string failure;
    std::vector<std::vector<uint8_t>> frames;
};

// A thread's whole life with the library: its own device, a library context
// on it, the channel set up, a few frames for a moving eye read back.
Drawing draw(const Job& job)
{
    Drawing drawing;
    std::string error;
    const std::unique_ptr<headless::VulkanDevice> device = headless::VulkanDevice::create(&error);
    if (!device) {
        drawing.failure = "no Vulkan device: " + error;
        return drawing;
    }
    const Image scene = Image::generated(32, 24, [](int column, int row, uint8_t rgb[3]) {
        rgb[0] = uint8_t(column * 8);
        rgb[1] = uint8_t(row * 10);
        rgb[2] = uint8_t(255 - column * 4);
    });
    {
        headless::VulkanSceneImage sceneImage(*device, uint32_t(scene.width), uint32_t(scene.height),
                                              scene.rgba.data());
        headless::VulkanTarget target(*device, kSize, kSize);
        kzContextVulkan* kz = nullptr;
        const std::string path = std::string(DOVAV_EXAMPLES_DIR) + "/curved-3/" + job.configuration + ".xml";
        if (kzCreateContextVulkan(&kz, device->physicalDevice(), device->device(), device->queue(),
                                  device->commandPool(), target.format()) != KZ_OK ||
            kzLoadConfigurationFromFileVulkan(kz, path.c_str()) != KZ_OK ||
            kzSetActiveChannelVulkan(kz, job.channel, {sceneImage.view()}, kSize, kSize) != KZ_OK) {
            drawing.failure = "set-up of " + path + " failed";
        }
        for (int frame = 0; drawing.failure.empty() && frame < kFrames; ++frame) {
            VkCommandBuffer commands = VK_NULL_HANDLE;
            kzMatrix4x4 projection{};  // asking for it makes a dynamic camera follow the eye
            if (kzPreDrawVulkan(kz, kzVec3f{0.1f * float(frame), 0.0f, 0.0f}, nullptr, &projection) != KZ_OK ||
                kzPostDrawVulkan(kz, target.framebuffer(), &commands, 0) != KZ_OK) {
                drawing.failure = "frame " + std::to_string(frame) + " failed";
                break;
            }
            device->submitAndWait(commands);
            drawing.frames.push_back(target.readPixels());
        }
        kzDestroyContextVulkan(kz);
    }
    for (const std::string& message : device->messages())
        drawing.failure += message + "\n";
    return drawing;
}

TEST(VulkanThreads, ContextsOnSeveralThreadsDrawWhatOneThreadDraws)
{
    const Job jobs[] = {{"static", 1}, {"static", 2}, {"dynamic", 3}, {"dynamic", 2}};
    constexpr size_t kJobs = std::size(jobs);

    std::vector<Drawing> alone(kJobs);
    for (size_t i = 0; i < kJobs; ++i)
        alone[i] = draw(jobs[i]);

    std::vector<Drawing> together(kJobs);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < kJobs; ++i)
        threads.emplace_back([&, i] { together[i] = draw(jobs[i]); });
    for (std::thread& thread : threads)
        thread.join();

    for (size_t i = 0; i < kJobs; ++i) {
        SCOPED_TRACE(std::string(jobs[i].configuration) + " channel " + std::to_string(jobs[i].channel));
        ASSERT_EQ(alone[i].failure, "");
        ASSERT_EQ(together[i].failure, "");
        ASSERT_EQ(together[i].frames.size(), size_t(kFrames));
        for (int frame = 0; frame < kFrames; ++frame)
            EXPECT_EQ(together[i].frames[size_t(frame)], alone[i].frames[size_t(frame)]) << "frame " << frame;
        if (std::string(jobs[i].configuration) == "dynamic") {
            EXPECT_NE(together[i].frames.front(), together[i].frames.back());
        }
    }
}

}  // namespace
