// An OpenGL host of kzLib, complete and small enough to copy from.
//
//   kzhost_opengl CONFIG [--channel N] [--frames N] [--size WxH] [--out DIR] [--headless]
//
// It drives one projector channel of CONFIG (e.g. examples/curved-3/dynamic.xml,
// channel 2): every frame it moves the tracked eye a little, asks the library
// for the channel's view from that eye (kzPreDrawOpenGL_1), renders its own
// scene with that view into a texture, and has the library draw the texture
// through the channel's correction into the projector image
// (kzPostDrawOpenGL). The first --frames projector images are written as
// DIR/frame-N.png. Without a display (or with --headless) it draws into a
// framebuffer object on Mesa's surfaceless EGL platform and stops after those
// frames; built with GLFW and run on a display it shows the projector image in
// a window until the window is closed (or, with --frames given, after that
// many frames).

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <epoxy/gl.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include <kzLib.h>

#include "gl_context.h"
#include "scene.h"

namespace {

struct Options {
    std::string configuration;
    unsigned channel = 2;
    int frames = 8;
    bool framesGiven = false;  // on screen, stop after `frames` too
    int width = 1280, height = 800;  // the projector's resolution
    std::string out = ".";
    bool window = true;
};

bool parse(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--headless")
            options.window = false;
        else if (argument == "--channel" && hasValue)
            options.channel = unsigned(std::atoi(argv[++i]));
        else if (argument == "--frames" && hasValue) {
            options.frames = std::atoi(argv[++i]);
            options.framesGiven = true;
        }
        else if (argument == "--size" && hasValue)
            std::sscanf(argv[++i], "%dx%d", &options.width, &options.height);
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

std::string errorText(kzContextOpenGL* kz)
{
    char text[512] = {};
    kzGetErrorString(kz, text, sizeof text - 1);
    return text;
}

// Reads back the bound framebuffer, whose bottom row comes first. A projector
// shows colour only, so alpha is left out.
bool writePng(const std::string& path, int width, int height)
{
    std::vector<unsigned char> pixels(size_t(width) * size_t(height) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    stbi_flip_vertically_on_write(1);
    return stbi_write_png(path.c_str(), width, height, 3, pixels.data(), width * 3) != 0;
}

// The projector image: a colour texture with a framebuffer, drawn into by the library.
struct ProjectorImage {
    GLuint texture = 0, framebuffer = 0;

    ProjectorImage(int width, int height)
    {
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glBindTexture(GL_TEXTURE_2D, 0);
        glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    }
    ~ProjectorImage()
    {
        glDeleteFramebuffers(1, &framebuffer);
        glDeleteTextures(1, &texture);
    }
};

int run(const Options& options, GlContext& gl)
{
    Scene scene(options.width, options.height);
    if (!scene.ok()) {
        std::fprintf(stderr, "%s\n", scene.error().c_str());
        return 1;
    }
    ProjectorImage projector(options.width, options.height);

    // The library's context lives as long as the OpenGL context it was made in.
    kzContextOpenGL* kz = nullptr;
    if (kzCreateContextOpenGL(&kz, KZ_TEXTURE_TARGET_2D) != KZ_OK) {
        std::fprintf(stderr, "kzCreateContextOpenGL: no OpenGL 3.3 context current\n");
        return 1;
    }
    // Before the first channel is built: projector row 0 at the top of the
    // framebuffer, and the scene texture read the OpenGL way up.
    kzSetFlipWarpmeshVerticesYOpenGL(kz, true);
    kzSetFlipWarpmeshTexcoordsVOpenGL(kz, true);
    if (kzLoadConfigurationFromFileOpenGL(kz, options.configuration.c_str()) != KZ_OK ||
        kzSetActiveChannelOpenGL(kz, options.channel, unsigned(options.width), unsigned(options.height)) != KZ_OK) {
        std::fprintf(stderr, "%s: %s\n", options.configuration.c_str(), errorText(kz).c_str());
        kzDestroyContextOpenGL(kz);
        return 1;
    }

    int status = 0;
    for (int frame = 0; status == 0; ++frame) {
        const float seconds = frameSeconds(frame, gl.interactive());
        // The channel's camera for where the eye is now.
        kzCamera camera{};
        if (kzPreDrawOpenGL_1(kz, trackedEye(seconds), &camera) != KZ_OK) {
            std::fprintf(stderr, "kzPreDrawOpenGL_1: %s\n", errorText(kz).c_str());
            status = 1;
            break;
        }
        scene.render(camera, seconds);

        glBindFramebuffer(GL_FRAMEBUFFER, projector.framebuffer);
        glViewport(0, 0, options.width, options.height);
        if (kzPostDrawOpenGL(kz, scene.texture()) != KZ_OK) {
            std::fprintf(stderr, "kzPostDrawOpenGL: %s\n", errorText(kz).c_str());
            status = 1;
            break;
        }

        if (frame < options.frames) {
            char name[32];
            std::snprintf(name, sizeof name, "/frame-%d.png", frame);
            if (!writePng(options.out + name, options.width, options.height)) {
                std::fprintf(stderr, "cannot write %s%s\n", options.out.c_str(), name);
                status = 1;
            }
        }
        if (gl.interactive()) {
            // On screen: copy the projector image into the window and show it.
            glBindFramebuffer(GL_READ_FRAMEBUFFER, projector.framebuffer);
            glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
            glBlitFramebuffer(0, 0, options.width, options.height, 0, 0, options.width, options.height,
                              GL_COLOR_BUFFER_BIT, GL_NEAREST);
            if (!gl.present())
                break;
        }
        if ((!gl.interactive() || options.framesGiven) && frame + 1 >= options.frames)
            break;
    }

    kzDestroyContextOpenGL(kz);  // while its OpenGL context is still current
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s CONFIG [--channel N] [--frames N] [--size WxH] [--out DIR] [--headless]\n",
                     argv[0]);
        return 2;
    }
    std::string error;
    const auto gl = createGlContext(options.window, options.width, options.height, &error);
    if (!gl) {
        std::fprintf(stderr, "OpenGL: %s\n", error.c_str());
        return 1;
    }
    return run(options, *gl);
}
