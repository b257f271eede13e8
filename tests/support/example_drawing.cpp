#include "support/example_drawing.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <thread>

#include "gl_harness.h"
#include "kzLib.h"
#include "kzLib/vulkan.h"
#include "support/calibration_writer.h"
#include "vk_harness.h"

namespace dovav::test {

namespace {

std::string configurationPath(const ExampleJob& job)
{
    return std::string(DOVAV_EXAMPLES_DIR) + "/curved-3/" + job.configuration + ".xml";
}

const Image& sceneImage()
{
    static const Image scene = Image::generated(32, 24, [](int column, int row, uint8_t rgb[3]) {
        rgb[0] = uint8_t(column * 8);
        rgb[1] = uint8_t(row * 10);
        rgb[2] = uint8_t(255 - column * 4);
    });
    return scene;
}

// OpenGL rows run bottom to top.
std::vector<uint8_t> topRowFirst(const std::vector<uint8_t>& pixels, int width, int height)
{
    std::vector<uint8_t> rows(pixels.size());
    const size_t stride = size_t(width) * 4;
    for (int row = 0; row < height; ++row)
        std::copy_n(&pixels[size_t(height - 1 - row) * stride], stride, &rows[size_t(row) * stride]);
    return rows;
}

}  // namespace

ExampleDrawing drawExampleOpenGL(const ExampleJob& job)
{
    ExampleDrawing drawing;
    std::string error;
    const auto gl = headless::GLContext::create(&error);
    if (!gl) {
        drawing.failure = "no OpenGL context: " + error;
        return drawing;
    }
    const Image& scene = sceneImage();
    const GLuint texture = headless::createTexture(GL_TEXTURE_2D, scene.width, scene.height, scene.rgba.data());
    kzContextOpenGL* kz = nullptr;
    const std::string path = configurationPath(job);
    if (kzCreateContextOpenGL(&kz, KZ_TEXTURE_TARGET_2D) != KZ_OK ||
        kzSetFlipWarpmeshVerticesYOpenGL(kz, true) != KZ_OK ||
        kzLoadConfigurationFromFileOpenGL(kz, path.c_str()) != KZ_OK)
        drawing.failure = "cannot load " + path;
    std::unique_ptr<headless::GLFramebuffer> target;
    for (const ExampleFrame& frame : job.frames) {
        if (!drawing.failure.empty())
            break;
        if (!target || target->width() != frame.width || target->height() != frame.height) {
            target = std::make_unique<headless::GLFramebuffer>(frame.width, frame.height);
            if (kzSetActiveChannelOpenGL(kz, job.channel, unsigned(frame.width), unsigned(frame.height)) != KZ_OK) {
                drawing.failure = "cannot set channel " + std::to_string(job.channel) + " active";
                break;
            }
        }
        kzMatrix4x4 projection{};  // asking for it makes a dynamic camera follow the eye
        target->bind();
        glClear(GL_COLOR_BUFFER_BIT);
        if (kzPreDrawOpenGL(kz, kzVec3f{frame.eyeX, 0.0f, 0.0f}, nullptr, &projection) != KZ_OK ||
            kzPostDrawOpenGL(kz, texture) != KZ_OK) {
            drawing.failure = "a frame failed";
            break;
        }
        drawing.frames.push_back(topRowFirst(target->readPixels(), frame.width, frame.height));
    }
    kzDestroyContextOpenGL(kz);
    target.reset();
    glDeleteTextures(1, &texture);
    if (const GLenum glError = glGetError(); glError != GL_NO_ERROR && drawing.failure.empty())
        drawing.failure = "GL error " + std::to_string(glError);
    return drawing;
}

ExampleDrawing drawExampleVulkan(const ExampleJob& job)
{
    ExampleDrawing drawing;
    std::string error;
    const std::unique_ptr<headless::VulkanDevice> device = headless::VulkanDevice::create(&error);
    if (!device) {
        drawing.failure = "no Vulkan device: " + error;
        return drawing;
    }
    {
        const Image& scene = sceneImage();
        headless::VulkanSceneImage sceneImage(*device, uint32_t(scene.width), uint32_t(scene.height),
                                              scene.rgba.data());
        kzContextVulkan* kz = nullptr;
        const std::string path = configurationPath(job);
        if (kzCreateContextVulkan(&kz, device->physicalDevice(), device->device(), device->queue(),
                                  device->commandPool(), VK_FORMAT_R8G8B8A8_UNORM) != KZ_OK ||
            kzLoadConfigurationFromFileVulkan(kz, path.c_str()) != KZ_OK)
            drawing.failure = "cannot load " + path;
        std::unique_ptr<headless::VulkanTarget> target;
        for (const ExampleFrame& frame : job.frames) {
            if (!drawing.failure.empty())
                break;
            const uint32_t width = uint32_t(frame.width);
            const uint32_t height = uint32_t(frame.height);
            if (!target || target->width() != width || target->height() != height) {
                target = std::make_unique<headless::VulkanTarget>(*device, width, height);
                if (kzSetActiveChannelVulkan(kz, job.channel, {sceneImage.view()}, width, height) != KZ_OK) {
                    drawing.failure = "cannot set channel " + std::to_string(job.channel) + " active";
                    break;
                }
            }
            kzMatrix4x4 projection{};  // asking for it makes a dynamic camera follow the eye
            VkCommandBuffer commands = VK_NULL_HANDLE;
            if (kzPreDrawVulkan(kz, kzVec3f{frame.eyeX, 0.0f, 0.0f}, nullptr, &projection) != KZ_OK ||
                kzPostDrawVulkan(kz, target->framebuffer(), &commands, 0) != KZ_OK) {
                drawing.failure = "a frame failed";
                break;
            }
            device->submitAndWait(commands);
            drawing.frames.push_back(target->readPixels());
        }
        kzDestroyContextVulkan(kz);
    }
    for (const std::string& message : device->messages())
        drawing.failure += message + "\n";
    return drawing;
}

namespace {

std::string describe(const ExampleJob& job)
{
    return std::string(job.configuration) + " channel " + std::to_string(job.channel);
}

}  // namespace

void expectParallelHostsDrawAlike(ExampleDraw draw)
{
    const std::vector<ExampleFrame> moving = {{48, 48, 0.0f}, {48, 48, 0.1f}, {48, 48, 0.2f}};
    const ExampleJob jobs[] = {{"static", 1, moving}, {"static", 2, moving}, {"dynamic", 3, moving},
                               {"dynamic", 2, moving}};
    constexpr size_t kJobs = std::size(jobs);

    // One at a time, each on a thread of its own as below: the test thread
    // keeps whatever it has current.
    std::vector<ExampleDrawing> alone(kJobs);
    for (size_t i = 0; i < kJobs; ++i)
        std::thread([&, i] { alone[i] = draw(jobs[i]); }).join();

    std::vector<ExampleDrawing> together(kJobs);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < kJobs; ++i)
        threads.emplace_back([&, i] { together[i] = draw(jobs[i]); });
    for (std::thread& thread : threads)
        thread.join();

    for (size_t i = 0; i < kJobs; ++i) {
        SCOPED_TRACE(describe(jobs[i]));
        ASSERT_EQ(alone[i].failure, "");
        ASSERT_EQ(together[i].failure, "");
        ASSERT_EQ(together[i].frames.size(), moving.size());
        EXPECT_EQ(together[i].frames, alone[i].frames);
        if (std::string(jobs[i].configuration) == "dynamic") {
            EXPECT_NE(together[i].frames.front(), together[i].frames.back());
        }
    }
}

void expectResizedChannelDrawsAtTheNewSize(ExampleDraw draw)
{
    const ExampleFrame resized{64, 40, 0.1f};
    for (const char* configuration : {"static", "dynamic"}) {
        const ExampleJob reactivated{configuration, 2, {{48, 48, 0.0f}, resized}};
        const ExampleJob fresh{configuration, 2, {resized}};
        SCOPED_TRACE(describe(fresh));
        const ExampleDrawing before = draw(reactivated);
        const ExampleDrawing after = draw(fresh);
        ASSERT_EQ(before.failure, "");
        ASSERT_EQ(after.failure, "");
        ASSERT_EQ(before.frames.size(), 2u);
        ASSERT_EQ(after.frames.size(), 1u);
        EXPECT_EQ(before.frames[1].size(), size_t(resized.width) * size_t(resized.height) * 4);
        EXPECT_EQ(before.frames[1], after.frames[0]);
    }
}

}  // namespace dovav::test
