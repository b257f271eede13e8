// A Vulkan host of kzLib, complete and small enough to copy from.
//
//   kzhost_vulkan CONFIG [--channel N] [--frames N] [--size WxH] [--out DIR] [--headless] [--validate]
//
// It drives one projector channel of CONFIG (e.g. examples/curved-3/dynamic.xml,
// channel 2): every frame it moves the tracked eye a little, asks the library
// for the channel's view from that eye (kzPreDrawVulkan_1), renders its own
// scene with that view into the scene image of the projector image it draws
// next, and submits that together with the command buffer in which the library
// recorded the correction into the projector image (kzPostDrawVulkan).
// Without a display (or with --headless) the projector images are offscreen
// images, and the first --frames of them are written as DIR/frame-N.png; built
// with GLFW and run on a display it presents to a window's swap chain until the
// window is closed (or, with --frames given, after that many frames).
// --validate turns on the Khronos validation layer and fails the run on any
// message.
//
// For clarity it keeps one frame in flight: it waits for each frame's fence
// before recording the next. A host with several frames in flight waits for
// the fence of image i's previous submission before kzPostDrawVulkan for image i.

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include <kzLib.h>
#include <kzLib/vulkan.h>  // the Vulkan entry points are a separate header
#ifdef KZHOST_WITH_GLFW
#include <GLFW/glfw3.h>
#endif

#include "device.h"
#include "projector_images.h"
#include "scene.h"

namespace {

struct Options {
    std::string configuration;
    unsigned channel = 2;
    int frames = 8;
    bool framesGiven = false;  // on screen, stop after `frames` too
    uint32_t width = 1280, height = 800;  // the projector's resolution (offscreen)
    std::string out = ".";
    bool window = true;
    bool validate = false;
};

bool parse(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--headless")
            options.window = false;
        else if (argument == "--validate")
            options.validate = true;
        else if (argument == "--channel" && hasValue)
            options.channel = unsigned(std::atoi(argv[++i]));
        else if (argument == "--frames" && hasValue) {
            options.frames = std::atoi(argv[++i]);
            options.framesGiven = true;
        }
        else if (argument == "--size" && hasValue)
            std::sscanf(argv[++i], "%ux%u", &options.width, &options.height);
        else if (argument == "--out" && hasValue)
            options.out = argv[++i];
        else if (argument[0] != '-' && options.configuration.empty())
            options.configuration = argument;
        else
            return false;
    }
    return !options.configuration.empty() && options.frames > 0 && options.width > 0 && options.height > 0;
}

// What a head tracker would report at `seconds`: the eye sways 30 cm left
// and right and bobs 5 cm, once every 4 seconds, around the calibrated eye
// point (the origin).
kzVec3f trackedEye(float seconds)
{
    const float phase = seconds * 2.0f * 3.14159265f / 4.0f;
    return kzVec3f{0.3f * std::sin(phase), 0.05f * std::cos(phase), 0.0f};
}

// The time a frame shows: the clock on screen; offscreen, frames half a
// second apart, so that a few of them show the eye and the scene moving.
float frameSeconds(int frame, bool onScreen)
{
    static const auto start = std::chrono::steady_clock::now();
    if (!onScreen)
        return float(frame) * 0.5f;
    return std::chrono::duration<float>(std::chrono::steady_clock::now() - start).count();
}

std::string errorText(kzContextVulkan* kz)
{
    char text[512] = {};
    kzGetErrorString(kz, text, sizeof text - 1);
    return text;
}

#ifdef KZHOST_WITH_GLFW
// A window with a Vulkan surface, when there is a display to put it on.
struct Window {
    GLFWwindow* window = nullptr;
    VkInstance instance = VK_NULL_HANDLE;
    VkSurfaceKHR surface = VK_NULL_HANDLE;

    static bool available()
    {
        return (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY")) && glfwInit() && glfwVulkanSupported();
    }
    static std::vector<const char*> instanceExtensions()
    {
        uint32_t count = 0;
        const char** names = glfwGetRequiredInstanceExtensions(&count);
        return std::vector<const char*>(names, names + count);
    }
    Window(VkInstance vulkan, uint32_t width, uint32_t height) : instance(vulkan)
    {
        glfwWindowHint(GLFW_CLIENT_API, GLFW_NO_API);
        glfwWindowHint(GLFW_RESIZABLE, GLFW_FALSE);
        window = glfwCreateWindow(int(width), int(height), "kzLib Vulkan host", nullptr, nullptr);
        if (!window)
            throw std::runtime_error("cannot open a window");
        check(glfwCreateWindowSurface(instance, window, nullptr, &surface), "glfwCreateWindowSurface");
    }
    ~Window()
    {
        vkDestroySurfaceKHR(instance, surface, nullptr);
        glfwDestroyWindow(window);
        glfwTerminate();
    }
};
#endif

bool writePng(const std::string& path, const std::vector<uint8_t>& rgb, VkExtent2D extent)
{
    return stbi_write_png(path.c_str(), int(extent.width), int(extent.height), 3, rgb.data(),
                          int(extent.width) * 3) != 0;
}

// Draws frames until --frames are written (offscreen), or until the window is
// closed (or shows --frames given). Returns the exit status.
int drawFrames(const Options& options, Device& device, ProjectorImages& images, Scene& scene, kzContextVulkan* kz)
{
    VkCommandBufferAllocateInfo allocation{};
    allocation.sType = VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO;
    allocation.commandPool = device.commandPool;
    allocation.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
    allocation.commandBufferCount = 1;
    VkCommandBuffer sceneCommands = VK_NULL_HANDLE;  // the host's own; the library's are its business
    check(vkAllocateCommandBuffers(device.device, &allocation, &sceneCommands), "vkAllocateCommandBuffers");
    VkFenceCreateInfo fenceInfo{};
    fenceInfo.sType = VK_STRUCTURE_TYPE_FENCE_CREATE_INFO;
    VkFence done = VK_NULL_HANDLE;
    check(vkCreateFence(device.device, &fenceInfo, nullptr, &done), "vkCreateFence");
    VkSemaphoreCreateInfo semaphoreInfo{};
    semaphoreInfo.sType = VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO;
    VkSemaphore rendered = VK_NULL_HANDLE;
    check(vkCreateSemaphore(device.device, &semaphoreInfo, nullptr, &rendered), "vkCreateSemaphore");

    int status = 0;
    for (int frame = 0; status == 0; ++frame) {
        uint32_t index = 0;
        const VkSemaphore acquired = images.acquire(index);

        const float seconds = frameSeconds(frame, images.interactive());
        // The channel's camera for where the eye is now, and the scene seen through it.
        kzCamera camera{};
        if (kzPreDrawVulkan_1(kz, trackedEye(seconds), &camera) != KZ_OK) {
            std::fprintf(stderr, "kzPreDrawVulkan_1: %s\n", errorText(kz).c_str());
            status = 1;
            break;
        }
        check(vkResetCommandBuffer(sceneCommands, 0), "vkResetCommandBuffer");
        VkCommandBufferBeginInfo begin{};
        begin.sType = VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO;
        begin.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
        check(vkBeginCommandBuffer(sceneCommands, &begin), "vkBeginCommandBuffer");
        scene.record(sceneCommands, index, camera, seconds);
        check(vkEndCommandBuffer(sceneCommands), "vkEndCommandBuffer");

        // The correction of scene image `index` into projector image `index`.
        VkCommandBuffer correction = VK_NULL_HANDLE;
        if (kzPostDrawVulkan(kz, images.framebuffer(index), &correction, index) != KZ_OK) {
            std::fprintf(stderr, "kzPostDrawVulkan: %s\n", errorText(kz).c_str());
            status = 1;
            break;
        }

        // Scene first, then the correction that samples it.
        const VkCommandBuffer batch[2] = {sceneCommands, correction};
        const VkPipelineStageFlags waitStage = VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT;
        VkSubmitInfo submit{};
        submit.sType = VK_STRUCTURE_TYPE_SUBMIT_INFO;
        submit.waitSemaphoreCount = acquired ? 1 : 0;
        submit.pWaitSemaphores = &acquired;
        submit.pWaitDstStageMask = &waitStage;
        submit.commandBufferCount = 2;
        submit.pCommandBuffers = batch;
        submit.signalSemaphoreCount = images.interactive() ? 1 : 0;
        submit.pSignalSemaphores = &rendered;
        check(vkQueueSubmit(device.queue, 1, &submit, done), "vkQueueSubmit");
        check(vkWaitForFences(device.device, 1, &done, VK_TRUE, UINT64_MAX), "vkWaitForFences");
        check(vkResetFences(device.device, 1, &done), "vkResetFences");

        if (!images.interactive()) {
            char name[32];
            std::snprintf(name, sizeof name, "/frame-%d.png", frame);
            if (!writePng(options.out + name, images.readRgb(index), images.extent())) {
                std::fprintf(stderr, "cannot write %s%s\n", options.out.c_str(), name);
                status = 1;
            }
        } else if (!images.present(index, rendered)) {
            break;
        }
        if ((!images.interactive() || options.framesGiven) && frame + 1 >= options.frames)
            break;
    }

    check(vkDeviceWaitIdle(device.device), "vkDeviceWaitIdle");
    vkDestroySemaphore(device.device, rendered, nullptr);
    vkDestroyFence(device.device, done, nullptr);
    vkFreeCommandBuffers(device.device, device.commandPool, 1, &sceneCommands);
    return status;
}

int run(const Options& options)
{
    DeviceOptions deviceOptions;
    deviceOptions.validation = options.validate;
#ifdef KZHOST_WITH_GLFW
    const bool onScreen = options.window && Window::available();
    if (onScreen)
        deviceOptions.instanceExtensions = Window::instanceExtensions();
#endif
    Device device(deviceOptions);
#ifdef KZHOST_WITH_GLFW
    std::unique_ptr<Window> window;  // outlives the swap chain made on its surface
#endif
    std::unique_ptr<ProjectorImages> images;
#ifdef KZHOST_WITH_GLFW
    if (onScreen) {
        window = std::make_unique<Window>(device.instance, options.width, options.height);
        device.open(window->surface);
        images = createSwapchainImages(device, window->surface, window->window);
    }
#endif
    if (!images) {
        device.open();
        images = createOffscreenImages(device, options.width, options.height, 2);
    }
    Scene scene(device, images->extent(), images->count());

    // The library borrows the device, queue and pool; its context goes before them.
    kzContextVulkan* kz = nullptr;
    if (kzCreateContextVulkan(&kz, device.physicalDevice, device.device, device.queue, device.commandPool,
                              images->format()) != KZ_OK) {
        std::fprintf(stderr, "kzCreateContextVulkan failed\n");
        return 1;
    }
    int status = 0;
    // One scene image view per projector image, in the same order.
    if (kzLoadConfigurationFromFileVulkan(kz, options.configuration.c_str()) != KZ_OK ||
        kzSetActiveChannelVulkan(kz, options.channel, scene.views(), images->extent().width,
                                 images->extent().height) != KZ_OK) {
        std::fprintf(stderr, "%s: %s\n", options.configuration.c_str(), errorText(kz).c_str());
        status = 1;
    } else {
        status = drawFrames(options, device, *images, scene, kz);
    }
    kzDestroyContextVulkan(kz);  // the device is idle: drawFrames waited for it
    if (device.validationMessages() > 0) {
        std::fprintf(stderr, "%d validation message(s)\n", device.validationMessages());
        status = 1;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s CONFIG [--channel N] [--frames N] [--size WxH] [--out DIR] [--headless] "
                     "[--validate]\n",
                     argv[0]);
        return 2;
    }
    try {
        return run(options);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "Vulkan: %s\n", error.what());
        return 1;
    }
}
