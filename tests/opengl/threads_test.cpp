// Library contexts on several threads at once, each thread with its own
// OpenGL context current: every thread draws exactly what the same calls draw
// when the threads run one after another.

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "gl_harness.h"
#include "kzLib.h"
#include "support/calibration_writer.h"

namespace {

using dovav::test::Image;

constexpr int kSize = 48;
constexpr int kFrames = 3;

struct Job {
    const char* configuration;  // of examples/curved-3
    unsigned channel;
};

// What one thread drew, or why it could not.
struct Drawing {
    std::string failure;
    std::vector<std::vector<uint8_t>> frames;
};

// A thread's whole life with the library: its own OpenGL context, a library
// context on it, the channel set up, a few frames for a moving eye read back.
Drawing draw(const Job& job)
{
    Drawing drawing;
    std::string error;
    const auto gl = headless::GLContext::create(&error);
    if (!gl) {
        drawing.failure = "no OpenGL context: " + error;
        return drawing;
    }
    const Image scene = Image::generated(32, 24, [](int column, int row, uint8_t rgb[3]) {
        rgb[0] = uint8_t(column * 8);
        rgb[1] = uint8_t(row * 10);
        rgb[2] = uint8_t(255 - column * 4);
    });
    const GLuint texture = headless::createTexture(GL_TEXTURE_2D, scene.width, scene.height, scene.rgba.data());
    headless::GLFramebuffer target(kSize, kSize);
    kzContextOpenGL* kz = nullptr;
    const std::string path = std::string(DOVAV_EXAMPLES_DIR) + "/curved-3/" + job.configuration + ".xml";
    if (kzCreateContextOpenGL(&kz, KZ_TEXTURE_TARGET_2D) != KZ_OK ||
        kzLoadConfigurationFromFileOpenGL(kz, path.c_str()) != KZ_OK ||
        kzSetActiveChannelOpenGL(kz, job.channel, kSize, kSize) != KZ_OK) {
        drawing.failure = "set-up of " + path + " failed";
    }
    for (int frame = 0; drawing.failure.empty() && frame < kFrames; ++frame) {
        kzMatrix4x4 projection{};  // asking for it makes a dynamic camera follow the eye
        target.bind();
        glClear(GL_COLOR_BUFFER_BIT);
        if (kzPreDrawOpenGL(kz, kzVec3f{0.1f * float(frame), 0.0f, 0.0f}, nullptr, &projection) != KZ_OK ||
            kzPostDrawOpenGL(kz, texture) != KZ_OK)
            drawing.failure = "frame " + std::to_string(frame) + " failed";
        drawing.frames.push_back(target.readPixels());
    }
    kzDestroyContextOpenGL(kz);
    glDeleteTextures(1, &texture);
    if (const GLenum glError = glGetError(); glError != GL_NO_ERROR && drawing.failure.empty())
        drawing.failure = "GL error " + std::to_string(glError);
    return drawing;
}

TEST(OpenGLThreads, ContextsOnSeveralThreadsDrawWhatOneThreadDraws)
{
    const Job jobs[] = {{"static", 1}, {"static", 2}, {"dynamic", 3}, {"dynamic", 2}};
    constexpr size_t kJobs = std::size(jobs);

    // One thread at a time: each thread makes its own OpenGL context, as it
    // does below, and the test thread keeps the one it has current.
    std::vector<Drawing> alone(kJobs);
    for (size_t i = 0; i < kJobs; ++i)
        std::thread([&, i] { alone[i] = draw(jobs[i]); }).join();

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
        // The eye moved: a dynamic channel's picture with it.
        if (std::string(jobs[i].configuration) == "dynamic") {
            EXPECT_NE(together[i].frames.front(), together[i].frames.back());
        }
    }
}

}  // namespace
