// The graphics back-ends of dovav render: each owns a headless device, a
// library context of its kind, the test scene's program and images of the
// output size, and draws one channel at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kzLib.h"
#include "kzLib/vulkan.h"

namespace dovav::render {

// RGB, 3 bytes a pixel, rows top to bottom: row 0 is the top row of the projector image.
struct Image {
    unsigned width = 0;
    unsigned height = 0;
    std::vector<uint8_t> rgb;
};

// What the scene image holds before the correction reads it.
enum class Scene {
    Pattern,  // the labelled test scene as the channel camera sees it
    White,    // every pixel 1.0, so the output shows the correction's own factors
};

class Backend {
public:
    virtual ~Backend() = default;

    // The library context, for the entry points that take any kind.
    virtual void* context() = 0;
    virtual kzResult loadConfiguration(const char* path) = 0;
    virtual kzResult activate(unsigned channel) = 0;
    virtual kzResult preDraw(kzVec3f eye, kzCamera* camera) = 0;
    // Switches a correction pass of the active channel on or off.
    virtual kzResult setPass(kzCorrectionPassType pass, bool enable) = 0;
    // Fills the scene image (the test scene as `camera` sees it, or white),
    // runs the active channel's correction into the output and reads it back.
    // Returns PostDraw's result; failures of the back-end's own objects throw
    // std::runtime_error.
    virtual kzResult draw(const kzCamera& camera, Scene scene, Image& output) = 0;
};

// Null, with the reason in `error`, when the graphics interface is unavailable.
std::unique_ptr<Backend> createOpenGLBackend(unsigned width, unsigned height, std::string& error);
std::unique_ptr<Backend> createVulkanBackend(unsigned width, unsigned height, std::string& error);

// The matrix the scene program unprojects pixels with: the inverse of the
// camera's view-projection with the eye at the origin (the scene lies at
// infinity, so only the view's orientation and frustum matter), with clip y
// negated when `flipY` is set. False when the camera gives no invertible view.
bool sceneUnprojection(const kzCamera& camera, bool flipY, float matrix[16]);

// RGBA rows (top to bottom, or bottom to top with `bottomUp`) to an Image.
Image rgbFromRgba(const std::vector<uint8_t>& rgba, unsigned width, unsigned height, bool bottomUp);

}  // namespace dovav::render
