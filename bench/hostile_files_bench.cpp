// What files built to hurt the library cost: time per load and the peak
// resident memory above what the process held before (VmHWM, started afresh
// from the current size for each benchmark). Figures the library must meet:
// a 2 GiB warp map or configuration refused under 300 MB and 10 s, any 1 MB
// configuration parsed or refused under 1 s, and the four masks of a channel
// at 1920 x 1080 set up under 512 MB even from 8192 x 8192 images. Memory
// freed by one benchmark stays resident and hides the next one's growth:
// take peak figures from one benchmark a process (--benchmark_filter).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "core/context_header.h"
#include "gl_harness.h"
#include "kzLib.h"
#include "kzLib/vulkan.h"
#include "support/calibration_writer.h"
#include "support/temp_dir.h"
#include "vk_harness.h"

namespace {

using namespace dovav::test;

constexpr size_t kHugeFile = size_t(2) << 30;
constexpr unsigned kOutputWidth = 1920;
constexpr unsigned kOutputHeight = 1080;

size_t statusBytes(const char* name)
{
    std::FILE* status = std::fopen("/proc/self/status", "r");
    size_t kilobytes = 0;
    char line[256];
    const size_t length = std::strlen(name);
    while (status && std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, name, length) == 0 && line[length] == ':')
            std::sscanf(line + length + 1, "%zu", &kilobytes);
    }
    if (status)
        std::fclose(status);
    return kilobytes * 1024;
}

// Peak resident memory reached while alive, above the size at its start.
class PeakMeter {
public:
    PeakMeter()
    {
        if (std::FILE* clear = std::fopen("/proc/self/clear_refs", "w")) {
            std::fputs("5", clear);
            std::fclose(clear);
        }
        start_ = statusBytes("VmRSS");
    }
    void report(benchmark::State& state) const
    {
        const size_t peak = statusBytes("VmHWM");
        state.counters["peak_MB"] = double(peak > start_ ? peak - start_ : 0) / double(1 << 20);
    }

private:
    size_t start_;
};

TempDir& scratch()
{
    static TempDir dir;
    return dir;
}

kzResult loadConfiguration(const std::string& path)
{
    kzContextHeader context{KZ_CONTEXT_OPENGL};
    return kzLoadConfigurationFromFile(&context, path.c_str());
}

void HugeWarpMapOfZeros(benchmark::State& state)
{
    const std::string path = scratch().writeSparse("zeros.csv", "x;y;u;v;column;row\n", kHugeFile);
    PeakMeter meter;
    for (auto _ : state) {
        kzMesh mesh;
        benchmark::DoNotOptimize(kzLoadWarpmapFromFile(path.c_str(), &mesh, 0, 0));
    }
    meter.report(state);
}
BENCHMARK(HugeWarpMapOfZeros)->Unit(benchmark::kMillisecond);

void HugeConfigurationOfZeros(benchmark::State& state)
{
    const std::string path = scratch().writeSparse("zeros.xml", "<kzCorrection>", kHugeFile);
    PeakMeter meter;
    for (auto _ : state)
        benchmark::DoNotOptimize(loadConfiguration(path));
    meter.report(state);
}
BENCHMARK(HugeConfigurationOfZeros)->Unit(benchmark::kMillisecond);

// 1 MB documents: 100 000 attributes on one element (refused before the
// parser), and 10 000 well-formed channels of a dozen attributes (parsed).
void OneMegabyteConfiguration(benchmark::State& state)
{
    std::string body;
    char text[160];
    if (state.range(0) == 0) {
        body = "<channel id=\"1\"";
        for (int i = 0; i < 100000; ++i) {
            std::snprintf(text, sizeof text, " a%d=\"\"", i);
            body += text;
        }
        body += "/>";
    } else {
        for (int i = 0; i < 10000; ++i) {
            std::snprintf(text, sizeof text,
                          "<channel id=\"%d\" warpmap=\"w%d.csv\" frustum=\"f%d.csv\" blending=\"b%d.png\" "
                          "blacklevel=\"k%d.png\"/>\n",
                          i, i, i, i, i);
            body += text;
        }
    }
    const std::string path = scratch().write("1mb.xml", "<kzCorrection>" + body + "</kzCorrection>");
    PeakMeter meter;
    for (auto _ : state)
        benchmark::DoNotOptimize(loadConfiguration(path));
    meter.report(state);
    state.SetLabel(state.range(0) == 0 ? "100000 attributes on one element" : "10000 channels");
    state.counters["bytes"] = double(body.size());
}
BENCHMARK(OneMegabyteConfiguration)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A static channel whose four masks are one 1-bit 8192 x 8192 PNG.
std::string largeMaskConfiguration()
{
    TempDir& dir = scratch();
    dir.write("bits.png", uniformBitPngBytes(8192, 8192, true));
    dir.write("warp.csv", warpMapText(5, 5, [](float x, float y) { return kzVec2f{x, y}; }));
    dir.write("camera.csv", cameraText({0, 0, 0}, {0, 0, 0}, -0.5f, 0.5f, -0.5f, 0.5f));
    return dir.write("masks.xml", configurationText(KZ_CORRECTION_STATIC, 2.2f, 1.0f, 1.0f,
                                                    channelElement(1, {{"warpmap", "warp.csv"},
                                                                       {"frustum", "camera.csv"},
                                                                       {"blending", "bits.png"},
                                                                       {"secondary-blending", "bits.png"},
                                                                       {"blacklevel", "bits.png"},
                                                                       {"directional-shading", "bits.png"}})));
}

void FourLargeMasksOpenGL(benchmark::State& state)
{
    const std::string configuration = largeMaskConfiguration();
    const auto gl = headless::GLContext::create();
    if (!gl) {
        state.SkipWithError("no OpenGL context");
        return;
    }
    PeakMeter meter;
    for (auto _ : state) {
        kzContextOpenGL* context = nullptr;
        kzCreateContextOpenGL(&context, KZ_TEXTURE_TARGET_2D);
        kzLoadConfigurationFromFileOpenGL(context, configuration.c_str());
        if (kzSetActiveChannelOpenGL(context, 1, kOutputWidth, kOutputHeight) != KZ_OK)
            state.SkipWithError("set-up failed");
        kzDestroyContextOpenGL(context);
    }
    meter.report(state);
}
BENCHMARK(FourLargeMasksOpenGL)->Unit(benchmark::kMillisecond)->Iterations(2);

void FourLargeMasksVulkan(benchmark::State& state)
{
    const std::string configuration = largeMaskConfiguration();
    const auto device = headless::VulkanDevice::create(nullptr, {false});
    if (!device) {
        state.SkipWithError("no Vulkan device");
        return;
    }
    const uint8_t grey[4] = {128, 128, 128, 255};
    headless::VulkanSceneImage scene(*device, 1, 1, grey);
    PeakMeter meter;
    for (auto _ : state) {
        kzContextVulkan* context = nullptr;
        kzCreateContextVulkan(&context, device->physicalDevice(), device->device(), device->queue(),
                              device->commandPool(), VK_FORMAT_R8G8B8A8_UNORM);
        kzLoadConfigurationFromFileVulkan(context, configuration.c_str());
        if (kzSetActiveChannelVulkan(context, 1, {scene.view()}, kOutputWidth, kOutputHeight) != KZ_OK)
            state.SkipWithError("set-up failed");
        kzDestroyContextVulkan(context);
    }
    meter.report(state);
}
BENCHMARK(FourLargeMasksVulkan)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
