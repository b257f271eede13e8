// The OpenGL back-end's per-frame cost on the headless context (llvmpipe on
// machines without a GPU), for both correction methods in one run (method 0
// baked, 1 mesh):
//  - PostDrawSubmission/<points>/<method>: CPU time of one kzPostDrawOpenGL
//    call on a small target, for a warp map of points x points, without
//    waiting for the draw to finish, and the allocations made on the calling
//    thread during the call (llvmpipe shades and bins vertices on that
//    thread, so the 2-point grid shows the fixed cost of a call). Its Time
//    column is per batch of 32 calls; the ns/call counter is per call;
//  - CorrectedFrame1080p/<points>/<method> / PlainCopy1080p: a whole
//    corrected 1920x1080 frame (PostDraw + glFinish) for a 64x64-point and a
//    per-pixel (1920x1080-point) warp map, beside a plain full-screen
//    textured copy of the same scene texture; the ratios are printed after
//    the table;
//  - after the table, set-up of the per-pixel channel on a fresh context:
//    kzSetActiveChannelOpenGL's time, the first PostDraw's (the bake), and
//    the process's peak resident memory above what it held before.
// Allocation counts come from allocation_counter.h, which replaces the global
// operator new / delete and glibc's malloc, calloc and realloc in this program
// (forwarding to glibc).

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "allocation_counter.h"
#include "correction_inputs.h"
#include "ratio_reporter.h"
#include "gl_harness.h"
#include "kzLib.h"
#include "kzLib/calibration.h"
#include "support/calibration_writer.h"
#include "support/temp_dir.h"

namespace {

using namespace dovav::bench;
using namespace dovav::test;

// ---------------------------------------------------------------------------
// The scene: one context with four static channels, each with all four
// masks. Channel 64 (a 64x64-point warp map) and channel 2 (a 2x2-point one)
// have 64x64 masks for the small target; channel 1080 has the 64x64-point
// warp map and channel 1920 a per-pixel one, both with 1920x1080 masks for
// the full frame.

constexpr unsigned kFullChannel = 1080;
constexpr unsigned kPerPixelChannel = 1920;
constexpr int kSmallSide = 64;
constexpr int kFullWidth = 1920;
constexpr int kFullHeight = 1080;
constexpr uint32_t kWarpPoints = 64;


const char* const kCopyVertex = R"(#version 330
out vec2 uv;
void main()
{
    vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1));
    uv = corner;
    gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
)";

const char* const kCopyFragment = R"(#version 330
uniform sampler2D source;
in vec2 uv;
out vec4 color;
void main()
{
    color = texture(source, uv);
}
)";

GLuint compile(GLenum type, const char* source)
{
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        std::fprintf(stderr, "copy shader failed to compile\n");
        std::exit(1);
    }
    return shader;
}

// A full-screen quad sampling one texture: the least any correction could cost.
class PlainCopy {
public:
    PlainCopy()
    {
        const GLuint vertex = compile(GL_VERTEX_SHADER, kCopyVertex);
        const GLuint fragment = compile(GL_FRAGMENT_SHADER, kCopyFragment);
        program_ = glCreateProgram();
        glAttachShader(program_, vertex);
        glAttachShader(program_, fragment);
        glLinkProgram(program_);
        glDeleteShader(vertex);
        glDeleteShader(fragment);
        GLint ok = GL_FALSE;
        glGetProgramiv(program_, GL_LINK_STATUS, &ok);
        if (!ok) {
            std::fprintf(stderr, "copy program failed to link\n");
            std::exit(1);
        }
        glUseProgram(program_);
        glUniform1i(glGetUniformLocation(program_, "source"), 0);
        glUseProgram(0);
        glGenVertexArrays(1, &vao_);
    }
    ~PlainCopy()
    {
        glDeleteVertexArrays(1, &vao_);
        glDeleteProgram(program_);
    }
    PlainCopy(const PlainCopy&) = delete;
    PlainCopy& operator=(const PlainCopy&) = delete;

    void draw(GLuint texture) const
    {
        glUseProgram(program_);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, texture);
        glBindVertexArray(vao_);
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        glBindVertexArray(0);
        glBindTexture(GL_TEXTURE_2D, 0);
        glUseProgram(0);
    }

private:
    GLuint program_ = 0;
    GLuint vao_ = 0;
};

class Scene {
public:
    static Scene& get()
    {
        if (!instance)
            instance = std::make_unique<Scene>();
        return *instance;
    }
    static void release() { instance.reset(); }

    Scene()
    {
        std::string error;
        gl = headless::GLContext::create(&error);
        if (!gl) {
            std::fprintf(stderr, "headless OpenGL unavailable: %s\n", error.c_str());
            std::exit(1);
        }
        dir = std::make_unique<TempDir>();
        dir->write("warp64.csv", warpMapText(kWarpPoints, kWarpPoints, warpLookup));
        dir->write("warp2.csv", warpMapText(2, 2, warpLookup));
        dir->write("warp1080.csv", warpMapText(kFullWidth, kFullHeight, warpLookup));
        dir->write("camera.csv", cameraText({0, 0, 0}, {0, 0, 0}, -0.5f, 0.5f, -0.3f, 0.3f));
        dir->write("small.png", pngBytes(blendMask(kSmallSide, kSmallSide)));
        dir->write("full.png", pngBytes(blendMask(kFullWidth, kFullHeight)));
        auto channel = [](unsigned id, const std::string& warpmap, const std::string& mask) {
            return channelElement(id, {{"warpmap", warpmap},
                                       {"frustum", "camera.csv"},
                                       {"blending", mask},
                                       {"secondary-blending", mask},
                                       {"blacklevel", mask},
                                       {"directional-shading", mask}});
        };
        const std::string config = dir->write(
            "display.xml",
            configurationText(KZ_CORRECTION_STATIC, 2.2f, 1.0f, 1.0f,
                              channel(kWarpPoints, "warp64.csv", "small.png") +
                                  channel(2, "warp2.csv", "small.png") +
                                  channel(kFullChannel, "warp64.csv", "full.png") +
                                  channel(kPerPixelChannel, "warp1080.csv", "full.png")));
        configuration = config;
        if (kzCreateContextOpenGL(&context, KZ_TEXTURE_TARGET_2D) != KZ_OK ||
            kzLoadConfigurationFromFileOpenGL(context, config.c_str()) != KZ_OK) {
            std::fprintf(stderr, "cannot create the correction context\n");
            std::exit(1);
        }
        smallTarget = std::make_unique<headless::GLFramebuffer>(kSmallSide, kSmallSide);
        fullTarget = std::make_unique<headless::GLFramebuffer>(kFullWidth, kFullHeight);
        smallScene = headless::createTexture(GL_TEXTURE_2D, kSmallSide, kSmallSide,
                                             sceneImage(kSmallSide, kSmallSide).rgba.data());
        fullScene = headless::createTexture(GL_TEXTURE_2D, kFullWidth, kFullHeight,
                                            sceneImage(kFullWidth, kFullHeight).rgba.data());
        copy = std::make_unique<PlainCopy>();
    }
    ~Scene()
    {
        kzDestroyContextOpenGL(context);
        copy.reset();
        glDeleteTextures(1, &smallScene);
        glDeleteTextures(1, &fullScene);
        smallTarget.reset();
        fullTarget.reset();
        dir.reset();
        gl.reset();
    }
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // Makes `channel` active for `target` with the method and draws it a few
    // times, so that the table is baked and the driver's shader variants are
    // compiled before anything is timed. False if a call fails or the centre
    // of the target stays black.
    bool prepare(unsigned channel, const headless::GLFramebuffer& target, GLuint scene,
                 kzCorrectionMethod method)
    {
        if (kzSetCorrectionMethodOpenGL(context, method) != KZ_OK ||
            kzSetActiveChannelOpenGL(context, channel, unsigned(target.width()),
                                     unsigned(target.height())) != KZ_OK)
            return false;
        target.bind();
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        for (int i = 0; i < 3; ++i) {
            if (kzPostDrawOpenGL(context, scene) != KZ_OK)
                return false;
        }
        uint8_t centre[4] = {};
        glReadPixels(target.width() / 2, target.height() / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, centre);
        return glGetError() == GL_NO_ERROR && centre[0] + centre[1] + centre[2] > 0;
    }

    std::unique_ptr<headless::GLContext> gl;
    std::unique_ptr<TempDir> dir;
    kzContextOpenGL* context = nullptr;
    std::unique_ptr<headless::GLFramebuffer> smallTarget;
    std::unique_ptr<headless::GLFramebuffer> fullTarget;
    GLuint smallScene = 0;
    GLuint fullScene = 0;
    std::unique_ptr<PlainCopy> copy;
    std::string configuration;

private:
    static std::unique_ptr<Scene> instance;
};

std::unique_ptr<Scene> Scene::instance;

// ---------------------------------------------------------------------------

// Each iteration times a batch of PostDraw calls on the CPU; the queue is
// drained with glFinish between batches, outside the timing.
void PostDrawSubmission(benchmark::State& state)
{
    constexpr int kBatch = 32;
    Scene& scene = Scene::get();
    if (!scene.prepare(unsigned(state.range(0)), *scene.smallTarget, scene.smallScene,
                       kzCorrectionMethod(state.range(1)))) {
        state.SkipWithError("channel set-up or warm-up draw failed");
        return;
    }
    resetAllocationCounts();
    bool failed = false;
    double seconds = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        startCountingAllocations();
        for (int i = 0; i < kBatch; ++i)
            failed |= kzPostDrawOpenGL(scene.context, scene.smallScene) != KZ_OK;
        stopCountingAllocations();
        const auto stop = std::chrono::steady_clock::now();
        const double batch = std::chrono::duration<double>(stop - start).count();
        state.SetIterationTime(batch);
        seconds += batch;
        glFinish();
    }
    if (failed)
        state.SkipWithError("kzPostDrawOpenGL failed");
    const double calls = double(state.iterations()) * kBatch;
    state.counters["ns/call"] = seconds * 1e9 / calls;
    const AllocationCounts counts = allocationCounts();
    state.counters["new/call"] = double(counts.news) / calls;
    state.counters["malloc/call"] = double(counts.mallocs) / calls;
}
BENCHMARK(PostDrawSubmission)
    ->ArgsProduct({{2, kWarpPoints}, {KZ_CORRECTION_METHOD_BAKED, KZ_CORRECTION_METHOD_MESH}})
    ->UseManualTime()
    ->MinTime(0.05)  // each call is also rasterized (about 0.2 ms), untimed
    ->Unit(benchmark::kMicrosecond);

void CorrectedFrame1080p(benchmark::State& state)
{
    Scene& scene = Scene::get();
    const unsigned channel = state.range(0) == kWarpPoints ? kFullChannel : kPerPixelChannel;
    if (!scene.prepare(channel, *scene.fullTarget, scene.fullScene,
                       kzCorrectionMethod(state.range(1)))) {
        state.SkipWithError("channel set-up or warm-up draw failed");
        return;
    }
    for (auto _ : state) {
        kzPostDrawOpenGL(scene.context, scene.fullScene);
        glFinish();
    }
}
BENCHMARK(CorrectedFrame1080p)
    ->ArgsProduct({{kWarpPoints, kFullWidth}, {KZ_CORRECTION_METHOD_BAKED, KZ_CORRECTION_METHOD_MESH}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void PlainCopy1080p(benchmark::State& state)
{
    Scene& scene = Scene::get();
    scene.fullTarget->bind();
    for (int i = 0; i < 3; ++i)
        scene.copy->draw(scene.fullScene);
    glFinish();
    for (auto _ : state) {
        scene.copy->draw(scene.fullScene);
        glFinish();
    }
}
BENCHMARK(PlainCopy1080p)->UseRealTime()->Unit(benchmark::kMillisecond);


// Which modules call the allocator during PostDraw (64x64-point warp map),
// over a few calls.
void printAllocationCallers()
{
    constexpr int kCalls = 16;
    Scene& scene = Scene::get();
    if (!scene.prepare(kWarpPoints, *scene.smallTarget, scene.smallScene, KZ_CORRECTION_METHOD_BAKED))
        return;
    resetAllocationCounts();
    startCountingAllocations(KeepCallers::yes);
    for (int i = 0; i < kCalls; ++i)
        kzPostDrawOpenGL(scene.context, scene.smallScene);
    stopCountingAllocations();
    glFinish();

    std::printf("\n");
    printCallersByModule("", "PostDraw call", kCalls);
}

// A field of /proc/self/status in kB, or -1.
long statusKilobytes(const char* field)
{
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    char line[256];
    long value = -1;
    const size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
            value = std::strtol(line + length + 1, nullptr, 10);
            break;
        }
    }
    std::fclose(status);
    return value;
}

void resetPeakMemory()
{
    if (FILE* clear = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", clear);
        std::fclose(clear);
    }
}

// Set-up of the per-pixel channel on a fresh context, then its first
// PostDraw, which bakes the table. The peak resident memory is reset
// (clear_refs 5) before each, so each figure is that step's own. Loading the
// warp map alone is timed first, for the share of the set-up it takes. Memory
// one set-up frees is reused by the next, so one method is measured per
// process: the baked one, or the mesh one with DOVAV_BENCH_SETUP=mesh.
void printPerPixelSetUp()
{
    using Clock = std::chrono::steady_clock;
    using Ms = std::chrono::duration<double, std::milli>;
    Scene& scene = Scene::get();
    {
        kzMesh mesh;
        const std::string path = scene.dir->path() + "/warp1080.csv";
        const auto start = Clock::now();
        kzLoadWarpmapFromFile(path.c_str(), &mesh, false, false);
        std::printf("\nloading the 1920x1080-point warp map alone: %.0f ms\n", Ms(Clock::now() - start).count());
    }
    const char* chosen = std::getenv("DOVAV_BENCH_SETUP");
    const bool mesh = chosen && std::strcmp(chosen, "mesh") == 0;
    for (kzCorrectionMethod method : {mesh ? KZ_CORRECTION_METHOD_MESH : KZ_CORRECTION_METHOD_BAKED}) {
        const char* name = method == KZ_CORRECTION_METHOD_BAKED ? "baked" : "mesh";
        kzContextOpenGL* context = nullptr;
        if (kzCreateContextOpenGL(&context, KZ_TEXTURE_TARGET_2D) != KZ_OK ||
            kzSetCorrectionMethodOpenGL(context, method) != KZ_OK ||
            kzLoadConfigurationFromFileOpenGL(context, scene.configuration.c_str()) != KZ_OK)
            return;
        glFinish();
        resetPeakMemory();
        const long before = statusKilobytes("VmRSS");
        const auto start = Clock::now();
        const kzResult result = kzSetActiveChannelOpenGL(context, kPerPixelChannel, kFullWidth, kFullHeight);
        glFinish();
        const auto built = Clock::now();
        const long setUpPeak = statusKilobytes("VmHWM");
        const long setUpAfter = statusKilobytes("VmRSS");
        resetPeakMemory();
        scene.fullTarget->bind();
        kzPostDrawOpenGL(context, scene.fullScene);
        glFinish();
        const auto drawn = Clock::now();
        const long drawPeak = statusKilobytes("VmHWM");
        const long drawAfter = statusKilobytes("VmRSS");
        std::printf("%s: per-pixel channel set-up (%s) %.0f ms, peak memory +%.0f MB, resident after +%.0f MB; "
                    "first PostDraw %.0f ms, peak +%.0f MB above the set-up's, resident after +%.0f MB\n",
                    name, result == KZ_OK ? "ok" : "failed", Ms(built - start).count(),
                    double(setUpPeak - before) / 1024.0, double(setUpAfter - before) / 1024.0,
                    Ms(drawn - built).count(), double(drawPeak - setUpAfter) / 1024.0,
                    double(drawAfter - setUpAfter) / 1024.0);
        kzDestroyContextOpenGL(context);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio();
    printAllocationCallers();
    printPerPixelSetUp();
    Scene::release();
    benchmark::Shutdown();
    return 0;
}
