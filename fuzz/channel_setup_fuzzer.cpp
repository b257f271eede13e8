// Fuzzes a whole channel: a configuration and the calibration files and masks
// it names, packed into one input, set up and drawn once on each back-end
// (headless OpenGL on llvmpipe, Vulkan on lavapipe with the validation
// layer, whose every message is a failure).
//
// Input: parts separated by the line "#--", in this order: configuration,
// warp map, camera, screen shape, target rectangle, mask image. Each part is
// written to the scratch directory under the name the seed configurations
// use (display.xml, warp.csv, camera.csv, shape.csv, target.csv, mask.png);
// missing parts are empty files.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "gl_harness.h"
#include "kzLib.h"
#include "kzLib/vulkan.h"
#include "vk_harness.h"

namespace {

constexpr std::string_view kSeparator = "\n#--\n";
constexpr const char* kPartNames[] = {"display.xml", "warp.csv",   "camera.csv",
                                      "shape.csv",   "target.csv", "mask.png"};
constexpr size_t kMaxChannels = 4;
constexpr unsigned kOutputWidth = 32;
constexpr unsigned kOutputHeight = 24;

struct Scratch {
    std::filesystem::path directory;
    Scratch()
    {
        directory = std::filesystem::temp_directory_path() /
                    ("dovav-fuzz-channel-" + std::to_string(getpid()));
        std::filesystem::create_directories(directory);
    }
    ~Scratch()
    {
        std::error_code ignored;
        std::filesystem::remove_all(directory, ignored);
    }
    std::string write(const char* name, std::string_view contents) const
    {
        const std::string path = (directory / name).string();
        FILE* file = std::fopen(path.c_str(), "wb");
        if (!file || (!contents.empty() && std::fwrite(contents.data(), 1, contents.size(), file) != contents.size()))
            std::abort();
        std::fclose(file);
        return path;
    }
};

// Writes the parts; returns the configuration's path.
std::string unpack(const Scratch& scratch, std::string_view input)
{
    std::string configuration;
    for (size_t part = 0; part < std::size(kPartNames); ++part) {
        const size_t end = part + 1 < std::size(kPartNames) ? input.find(kSeparator) : std::string_view::npos;
        const std::string_view contents = input.substr(0, end);
        const std::string path = scratch.write(kPartNames[part], contents);
        if (part == 0)
            configuration = path;
        input = end == std::string_view::npos ? std::string_view() : input.substr(end + kSeparator.size());
    }
    return configuration;
}

// The first kMaxChannels channels of the context's table.
std::vector<unsigned> channelsOf(void* context)
{
    size_t count = kMaxChannels;
    std::vector<unsigned> channels(kMaxChannels);
    if (kzGetChannels(context, channels.data(), &count) != KZ_OK)
        __builtin_trap();
    channels.resize(count < kMaxChannels ? count : kMaxChannels);
    return channels;
}

struct OpenGL {
    std::unique_ptr<headless::GLContext> context = headless::GLContext::create();
    std::unique_ptr<headless::GLFramebuffer> target;
    GLuint scene = 0;
    OpenGL()
    {
        if (!context)
            std::abort();
        target = std::make_unique<headless::GLFramebuffer>(int(kOutputWidth), int(kOutputHeight));
        const uint8_t grey[4] = {128, 128, 128, 255};
        scene = headless::createTexture(GL_TEXTURE_2D, 1, 1, grey);
    }
};

struct Vulkan {
    std::unique_ptr<headless::VulkanDevice> device = headless::VulkanDevice::create();
    std::unique_ptr<headless::VulkanTarget> target;
    std::unique_ptr<headless::VulkanSceneImage> scene;
    Vulkan()
    {
        if (!device)
            std::abort();
        target = std::make_unique<headless::VulkanTarget>(*device, kOutputWidth, kOutputHeight);
        const uint8_t grey[4] = {128, 128, 128, 255};
        scene = std::make_unique<headless::VulkanSceneImage>(*device, 1, 1, grey);
    }
};

void drawOnOpenGL(OpenGL& gl, const std::string& configuration)
{
    kzContextOpenGL* context = nullptr;
    if (kzCreateContextOpenGL(&context, KZ_TEXTURE_TARGET_2D) != KZ_OK)
        __builtin_trap();
    if (kzLoadConfigurationFromFileOpenGL(context, configuration.c_str()) == KZ_OK) {
        for (unsigned channel : channelsOf(context)) {
            gl.target->bind();
            if (kzSetActiveChannelOpenGL(context, channel, kOutputWidth, kOutputHeight) != KZ_OK)
                continue;
            kzVec3f angles{};
            kzMatrix4x4 projection{};
            kzPreDrawOpenGL(context, {0, 0, 0}, &angles, &projection);
            kzPostDrawOpenGL(context, gl.scene);
        }
    }
    kzDestroyContextOpenGL(context);
    if (glGetError() != GL_NO_ERROR)
        __builtin_trap();
}

void drawOnVulkan(Vulkan& vulkan, const std::string& configuration)
{
    headless::VulkanDevice& device = *vulkan.device;
    kzContextVulkan* context = nullptr;
    if (kzCreateContextVulkan(&context, device.physicalDevice(), device.device(), device.queue(),
                              device.commandPool(), vulkan.target->format()) != KZ_OK)
        __builtin_trap();
    if (kzLoadConfigurationFromFileVulkan(context, configuration.c_str()) == KZ_OK) {
        for (unsigned channel : channelsOf(context)) {
            if (kzSetActiveChannelVulkan(context, channel, {vulkan.scene->view()}, kOutputWidth,
                                         kOutputHeight) != KZ_OK)
                continue;
            kzVec3f angles{};
            kzMatrix4x4 projection{};
            kzPreDrawVulkan(context, {0, 0, 0}, &angles, &projection);
            VkCommandBuffer commands = VK_NULL_HANDLE;
            if (kzPostDrawVulkan(context, vulkan.target->framebuffer(), &commands, 0) == KZ_OK &&
                commands != VK_NULL_HANDLE)
                device.submitAndWait(commands);
        }
    }
    kzDestroyContextVulkan(context);
    if (!device.messages().empty()) {
        for (const std::string& message : device.messages())
            std::fprintf(stderr, "%s\n", message.c_str());
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Scratch scratch;
    static OpenGL gl;
    static Vulkan vulkan;
    const std::string configuration =
        unpack(scratch, std::string_view(reinterpret_cast<const char*>(data), size));
    drawOnOpenGL(gl, configuration);
    drawOnVulkan(vulkan, configuration);
    return 0;
}
