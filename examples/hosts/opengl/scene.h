// The host's own scene: three balls circling above a chequered floor under a
// sky, ray-cast per pixel from the view the library gives for the tracked eye.
// It stands for whatever a real host renders; only the matrices matter here.
#pragma once

#include <string>

#include <epoxy/gl.h>

#include <kzLib.h>

class Scene {
public:
    // Compiles the program and makes a width x height colour texture with a
    // framebuffer to render into. Check ok() afterwards.
    Scene(int width, int height);
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    // Renders the scene at `seconds` as the channel camera sees it from its
    // eye (camera.position) into the texture, and leaves that framebuffer bound.
    void render(const kzCamera& camera, float seconds);
    // The texture kzPostDrawOpenGL reads.
    GLuint texture() const { return texture_; }

private:
    std::string error_;
    int width_, height_;
    GLuint program_ = 0, vertexArray_ = 0, texture_ = 0, framebuffer_ = 0;
};
