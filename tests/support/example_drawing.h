// A host's whole life with the library on the example display
// examples/curved-3, on either back-end, in one call: its own OpenGL context
// or Vulkan device, a library context on it, one channel set up, and a few
// corrected frames of a fixed scene read back. A frame of another output size
// than the one before sets the channel active again at that size, as a host
// does when its window is resized. Safe to call from several threads at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace dovav::test {

struct ExampleFrame {
    int width, height;  // output size
    float eyeX;         // the eye at (eyeX, 0, 0)
};

struct ExampleJob {
    const char* configuration;  // "static" or "dynamic"
    unsigned channel;
    std::vector<ExampleFrame> frames;
};

// Each frame's RGBA pixels, rows from the top, or the reason there are none.
struct ExampleDrawing {
    std::string failure;
    std::vector<std::vector<uint8_t>> frames;
};

ExampleDrawing drawExampleOpenGL(const ExampleJob& job);
ExampleDrawing drawExampleVulkan(const ExampleJob& job);

using ExampleDraw = ExampleDrawing (*)(const ExampleJob&);

// Several hosts at once, each on a thread of its own, draw exactly what they
// draw one thread at a time, and a dynamic channel's picture follows the eye.
void expectParallelHostsDrawAlike(ExampleDraw draw);

// A channel set active again at a new output size draws exactly what a fresh
// context set up at that size draws.
void expectResizedChannelDrawsAtTheNewSize(ExampleDraw draw);

}  // namespace dovav::test
