// Two threads, each with two contexts of its own on its own OpenGL context or
// Vulkan device, going through whole lifetimes at the same time: create, load,
// activate, draw, destroy. Built on its own so that ThreadSanitizer can run it
// (scripts/test.sh): any report of a race fails that run. In the ordinary
// build it checks that every step succeeds from either thread.

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "gl_harness.h"
#include "kzLib.h"
#include "kzLib/vulkan.h"
#include "support/calibration_writer.h"
#include "support/temp_dir.h"
#include "vk_harness.h"

namespace {

using namespace dovav::test;

constexpr int kThreads = 2;
constexpr int kContextsPerThread = 2;
constexpr int kRounds = 2;
constexpr unsigned kSide = 16;
constexpr unsigned kChannel = 1;

// One static channel with a warp map, a camera and a blend mask.
class Calibration {
public:
    Calibration()
    {
        const Image gradient = Image::generated(4, 4, [](int column, int row, uint8_t rgb[3]) {
            rgb[0] = uint8_t(column * 60);
            rgb[1] = uint8_t(row * 60);
            rgb[2] = 128;
        });
        dir.write("blend.png", pngBytes(gradient));
        dir.write("warp.csv", warpMapText(5, 5, [](float x, float y) { return kzVec2f{x, y}; }));
        dir.write("camera.csv", cameraText({0, 0, 0}, {0, 0, 0}, -0.5f, 0.5f, -0.5f, 0.5f));
        configuration = dir.write(
            "display.xml",
            configurationText(KZ_CORRECTION_STATIC, 2.2f, 1.0f, 1.0f,
                              channelElement(kChannel, {{"warpmap", "warp.csv"},
                                                        {"frustum", "camera.csv"},
                                                        {"blending", "blend.png"}})));
    }

    TempDir dir;
    std::string configuration;
};

// Runs `work` on kThreads threads at once; each returns "" or what went wrong.
template <typename Work>
std::vector<std::string> onThreads(Work work)
{
    std::vector<std::string> failures(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&failures, &work, i] { failures[size_t(i)] = work(); });
    for (std::thread& thread : threads)
        thread.join();
    return failures;
}

std::string openGLLifetimes(const std::string& configuration)
{
    std::string error;
    const auto gl = headless::GLContext::create(&error);
    if (!gl)
        return "no OpenGL context: " + error;
    std::string failure;
    {
        headless::GLFramebuffer target{int(kSide), int(kSide)};
        const uint8_t grey[4] = {128, 128, 128, 255};
        const GLuint scene = headless::createTexture(GL_TEXTURE_2D, 1, 1, grey);
        for (int round = 0; round < kRounds && failure.empty(); ++round) {
            kzContextOpenGL* contexts[kContextsPerThread] = {};
            for (kzContextOpenGL*& context : contexts) {
                if (kzCreateContextOpenGL(&context, KZ_TEXTURE_TARGET_2D) != KZ_OK) {
                    failure = "create failed";
                    break;
                }
                kzVec3f angles{};
                kzMatrix4x4 projection{};
                target.bind();
                if (kzLoadConfigurationFromFileOpenGL(context, configuration.c_str()) != KZ_OK ||
                    kzSetActiveChannelOpenGL(context, kChannel, kSide, kSide) != KZ_OK ||
                    kzPreDrawOpenGL(context, {0, 0, 0}, &angles, &projection) != KZ_OK ||
                    kzPostDrawOpenGL(context, scene) != KZ_OK)
                    failure = "load, activate or draw failed";
            }
            for (kzContextOpenGL* context : contexts) {
                if (context)
                    kzDestroyContextOpenGL(context);
            }
        }
        glDeleteTextures(1, &scene);
    }
    headless::GLContext::releaseCurrent();
    return failure;
}

std::string vulkanLifetimes(const std::string& configuration)
{
    std::string error;
    const auto device = headless::VulkanDevice::create(&error);
    if (!device)
        return "no Vulkan device: " + error;
    std::string failure;
    {
        headless::VulkanTarget target(*device, kSide, kSide);
        const uint8_t grey[4] = {128, 128, 128, 255};
        headless::VulkanSceneImage scene(*device, 1, 1, grey);
        for (int round = 0; round < kRounds && failure.empty(); ++round) {
            kzContextVulkan* contexts[kContextsPerThread] = {};
            for (kzContextVulkan*& context : contexts) {
                if (kzCreateContextVulkan(&context, device->physicalDevice(), device->device(),
                                          device->queue(), device->commandPool(),
                                          target.format()) != KZ_OK) {
                    failure = "create failed";
                    break;
                }
                kzVec3f angles{};
                kzMatrix4x4 projection{};
                VkCommandBuffer commands = VK_NULL_HANDLE;
                if (kzLoadConfigurationFromFileVulkan(context, configuration.c_str()) != KZ_OK ||
                    kzSetActiveChannelVulkan(context, kChannel, {scene.view()}, kSide, kSide) != KZ_OK ||
                    kzPreDrawVulkan(context, {0, 0, 0}, &angles, &projection) != KZ_OK ||
                    kzPostDrawVulkan(context, target.framebuffer(), &commands, 0) != KZ_OK) {
                    failure = "load, activate or draw failed";
                    continue;
                }
                device->submitAndWait(commands);
            }
            for (kzContextVulkan* context : contexts) {
                if (context)
                    kzDestroyContextVulkan(context);
            }
        }
    }
    for (const std::string& message : device->messages())
        failure += "\n" + message;
    return failure;
}

TEST(ConcurrentContexts, OpenGLOnTwoThreads)
{
    const Calibration calibration;
    for (const std::string& failure : onThreads([&] { return openGLLifetimes(calibration.configuration); }))
        EXPECT_EQ("", failure);
}

TEST(ConcurrentContexts, VulkanOnTwoThreads)
{
    const Calibration calibration;
    for (const std::string& failure : onThreads([&] { return vulkanLifetimes(calibration.configuration); }))
        EXPECT_EQ("", failure);
}

}  // namespace
