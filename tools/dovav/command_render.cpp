// dovav render CONFIG: draws every channel's corrected view of a built-in test
// scene headlessly and writes the results as PNG files.
//
// Which way up: what a host has to do on each back-end
// ----------------------------------------------------
// Calibration files count rows like images do, from the top:
//   - a warp map's output position y = 0 and a screen shape's texture
//     coordinate v = 0 are the top row of the projector image;
//   - a warp map's texture coordinate v = 0 is the top of the rendered scene,
//     and so is v = 0 of a dynamic channel's lookup, which the correction
//     programs compute from the channel camera's clip coordinates c as
//     ((c.x + 1) / 2, (1 - c.y) / 2);
//   - mask images (blend, black level, ...) are read with their top row at
//     v = 0 and sampled at the output position.
//
// Vulkan: leave both flip flags off.
//   The correction places static vertices at clip (2x - 1, 2y - 1) and
//   dynamic ones at (2u - 1, 2v - 1) with no matrix, and Vulkan's clip y
//   points down, so output row 0 is the top row of the swap-chain image, masks
//   included. Scene images are sampled with v = 0 at their row 0, so render
//   the scene with the top of the view in row 0: negate clip y, that is, use
//   the projection from PreDraw times scale(1, -1, 1) (row vectors:
//   view x projection x S). That reverses the winding of the host's
//   triangles, so swap its front face or cull nothing. The dynamic correction
//   pipeline culls triangles that are back-facing with clockwise as front:
//   screen shapes whose rows run top to bottom with growing v draw, a shape
//   stored the other way up (or the vertex flag set) draws nothing.
//
// OpenGL: call kzSetFlipWarpmeshVerticesYOpenGL(context, true) and
//   kzSetFlipWarpmeshTexcoordsVOpenGL(context, true) before a channel is
//   first activated (a channel's mesh is fixed when it is built; only the
//   dynamic lookup follows the texcoord flag at every PostDraw), and render
//   the scene with the projection exactly as PreDraw gives it.
//   - The vertex flag places warp map output position y (and a dynamic
//     point's v) at 1 - y under an orthographic matrix whose y = 0 is the
//     bottom of the framebuffer, so the projector image's top row is the
//     framebuffer's top row: upright in a window, and the last row
//     glReadPixels returns. Masks are sampled at (x, 1 - framebuffer y), so
//     they stay upright with it.
//   - The texcoord flag reads warp map texture coordinates and the dynamic
//     lookup as 1 - v, so v = 0 is the top of a scene rendered the OpenGL way
//     up (the last row in memory of the framebuffer's texture).
//   Without the vertex flag the warp lands upside down in the framebuffer
//   while the masks stay upright, so rendering the scene upside down and
//   flipping the output is no substitute: the blend and black-level masks
//   would then lie upside down on the warped image.
//
// With these settings one channel gives the same image on both back-ends,
// row 0 the top of the projector image, except where they differ by design:
// Vulkan reads opaque black outside the scene and the masks, OpenGL clamps to
// the edge texel. Both sample the masks as stored.

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "arguments.h"
#include "commands.h"
#include "kzLib.h"
#include "render_backend.h"
#include "render_image.h"

namespace dovav {

const char kRenderUsage[] =
    "usage: dovav render CONFIG [--backend opengl|vulkan] [--channel N | --all]\n"
    "                    [--eye X,Y,Z] [--size WxH] [--out DIR]\n"
    "                    [--passes LIST] [--scene pattern|white]\n"
    "\n"
    "Draws each selected channel's corrected output of a built-in test scene,\n"
    "headless (Mesa's software rasterisers when there is no GPU), and writes\n"
    "DIR/channel-N.png per channel and DIR/overview.png with all of them side by\n"
    "side, left to right in channel order. Row 0 of every image is the top row\n"
    "of the projector image, whichever back-end drew it.\n"
    "\n"
    "The scene is a sphere at infinity around the viewer: a grid every 10\n"
    "degrees (thicker every 30, red at azimuth 0, which looks along -z),\n"
    "azimuths labelled above the lines of elevation 0, +-30 and +-60,\n"
    "elevations labelled on every 30-degree meridian, colour bars and a grey\n"
    "wedge just below the horizon. Azimuth grows to the right and the labels\n"
    "read upright when nothing is mirrored or flipped. With --scene white the\n"
    "scene is uniform white instead, so the output shows what the correction\n"
    "multiplies it by: with --passes blend, for instance, the blend mask after\n"
    "the configured gamma.\n"
    "\n"
    "options:\n"
    "  --backend opengl|vulkan  graphics interface (default opengl)\n"
    "  --channel N              render channel N; may be repeated\n"
    "  --all                    render every channel (the default)\n"
    "  --eye X,Y,Z              eye position for PreDraw; dynamic channels follow\n"
    "                           it, static ones keep their camera (default 0,0,0)\n"
    "  --size WxH               output size in pixels (default 1280x800)\n"
    "  --out DIR                output directory, created if missing (default out)\n"
    "  --passes LIST            correction passes to keep on, comma-separated from\n"
    "                           warp, blend, black, secondary and shading (default\n"
    "                           all); the others are switched off once each channel\n"
    "                           is set up. A pass without a configured or loadable\n"
    "                           file stays off\n"
    "  --scene pattern|white    what the correction is applied to: the test scene\n"
    "                           (default) or uniform white\n"
    "\n"
    "exit status: 0 every channel rendered; 1 a channel could not be set up or\n"
    "drawn (the others are still rendered), the configuration does not load or\n"
    "the back-end is unavailable; 2 bad command line or missing CONFIG.\n";

namespace {

constexpr unsigned kLargestSide = 16384;
constexpr unsigned kOverviewGap = 8;

struct PassName {
    const char* name;
    kzCorrectionPassType pass;
};

constexpr PassName kPassNames[] = {
    {"warp", KZ_CORRECTION_PASS_WARPING},
    {"blend", KZ_CORRECTION_PASS_BLENDING},
    {"black", KZ_CORRECTION_PASS_BLACKLEVEL},
    {"secondary", KZ_CORRECTION_PASS_SECONDARY_BLENDING},
    {"shading", KZ_CORRECTION_PASS_DIRECTIONAL_SHADING},
};
constexpr size_t kPassCount = sizeof kPassNames / sizeof kPassNames[0];

struct Options {
    const char* config = nullptr;
    bool vulkan = false;
    std::vector<unsigned> channels;  // empty: all
    bool all = false;
    kzVec3f eye{0.0f, 0.0f, 0.0f};
    unsigned width = 1280;
    unsigned height = 800;
    std::string out = "out";
    bool passes[kPassCount] = {true, true, true, true, true};  // in kPassNames order
    render::Scene scene = render::Scene::Pattern;
};

bool parseUnsigned(const char* text, unsigned long limit, unsigned& value)
{
    if (*text < '0' || *text > '9')
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long parsed = std::strtoul(text, &end, 10);
    if (errno != 0 || *end != '\0' || parsed > limit)
        return false;
    value = unsigned(parsed);
    return true;
}

bool parseEye(const char* text, kzVec3f& eye)
{
    float values[3];
    const char* at = text;
    for (int i = 0; i < 3; ++i) {
        char* end = nullptr;
        values[i] = std::strtof(at, &end);
        if (end == at || !std::isfinite(values[i]) || *end != (i < 2 ? ',' : '\0'))
            return false;
        at = end + 1;
    }
    eye = kzVec3f{values[0], values[1], values[2]};
    return true;
}

// Names from kPassNames, separated by commas; false with the offending name in
// `unknown` for an empty or unknown one.
bool parsePasses(const char* text, bool passes[kPassCount], std::string& unknown)
{
    bool chosen[kPassCount] = {};
    const char* at = text;
    for (;;) {
        const char* comma = std::strchr(at, ',');
        const std::string name = comma ? std::string(at, comma) : std::string(at);
        bool known = false;
        for (size_t i = 0; i < kPassCount; ++i) {
            if (name == kPassNames[i].name) {
                chosen[i] = true;
                known = true;
            }
        }
        if (!known) {
            unknown = name;
            return false;
        }
        if (!comma)
            break;
        at = comma + 1;
    }
    std::copy(chosen, chosen + kPassCount, passes);
    return true;
}

// Options that take a value, as --name=VALUE or as the next argument.
constexpr const char* kValueOptions[] = {"--backend", "--channel", "--eye", "--size", "--out", "--passes", "--scene"};

// Returns kExitOk, or the status after reporting the problem.
int parseOptions(int argc, char** argv, Options& options)
{
    Arguments arguments("render", argc, argv, /*joinedValues=*/true);
    while (!arguments.done()) {
        const std::string name = arguments.optionName();
        const char* value = nullptr;
        if (arguments.takePositional(value)) {
            if (options.config)
                return arguments.usageError("more than one configuration file: '" + std::string(options.config) +
                                            "' and '" + value + "'");
            options.config = value;
            continue;
        }
        if (arguments.takeFlag("--all")) {
            options.all = true;
            continue;
        }
        if (name == "--all")
            return arguments.usageError("--all takes no value");
        const auto takeValue = [&](const char* option) { return arguments.takeOption(option, value); };
        if (std::none_of(std::begin(kValueOptions), std::end(kValueOptions), takeValue))
            return arguments.unknownOption();
        if (!value)
            return arguments.usageError(name + " needs a value");
        if (name == "--backend") {
            if (std::strcmp(value, "opengl") == 0)
                options.vulkan = false;
            else if (std::strcmp(value, "vulkan") == 0)
                options.vulkan = true;
            else
                return arguments.usageError("--backend takes opengl or vulkan, not '" + std::string(value) + "'");
        } else if (name == "--channel") {
            unsigned channel = 0;
            if (!parseUnsigned(value, 0xffffffffUL, channel))
                return arguments.usageError("--channel takes a channel number, not '" + std::string(value) + "'");
            options.channels.push_back(channel);
        } else if (name == "--eye") {
            if (!parseEye(value, options.eye))
                return arguments.usageError("--eye takes X,Y,Z, not '" + std::string(value) + "'");
        } else if (name == "--size") {
            if (!parseSize(value, kLargestSide, options.width, options.height))
                return arguments.usageError("--size takes WxH with sides from 1 to " +
                                            std::to_string(kLargestSide) + ", not '" + std::string(value) + "'");
        } else if (name == "--passes") {
            std::string unknown;
            if (!parsePasses(value, options.passes, unknown)) {
                const std::string problem = unknown.empty() ? "an empty pass name" : "unknown pass '" + unknown + "'";
                return arguments.usageError("--passes: " + problem + " in '" + value +
                                            "'; the passes are warp, blend, black, secondary and shading");
            }
        } else if (name == "--scene") {
            if (std::strcmp(value, "pattern") == 0)
                options.scene = render::Scene::Pattern;
            else if (std::strcmp(value, "white") == 0)
                options.scene = render::Scene::White;
            else
                return arguments.usageError("--scene takes pattern or white, not '" + std::string(value) + "'");
        } else {
            if (*value == '\0')
                return arguments.usageError("--out needs a directory");
            options.out = value;
        }
    }
    if (!options.config)
        return arguments.usageError("expected a configuration file");
    if (options.all && !options.channels.empty())
        return arguments.usageError("--channel and --all exclude each other");
    return kExitOk;
}

std::string errorText(void* context)
{
    char text[512] = {};
    kzGetErrorString(context, text, sizeof text - 1);
    return text;
}

std::string resultText(kzResult result, void* context)
{
    const std::string text = errorText(context);
    return (text.empty() ? std::string("no message") : text) + " (result " + std::to_string(int(result)) + ")";
}

// A camera PreDraw has not written.
kzCamera unwrittenCamera()
{
    kzCamera camera;
    std::memset(&camera, 0, sizeof camera);
    camera.fovY = std::nanf("");
    return camera;
}

// The channel's configured files other than the warp map. A mask that does
// not load switches its pass off while set-up still succeeds, and the error
// text does not tell (every unconfigured mask leaves a message too).
std::vector<std::string> configuredFiles(void* context, unsigned channel)
{
    constexpr size_t kMostFiles = 7;
    char buffers[kMostFiles][KZ_PATH_SIZE] = {};
    char* names[kMostFiles];
    for (size_t i = 0; i < kMostFiles; ++i)
        names[i] = buffers[i];
    size_t count = kMostFiles;
    std::vector<std::string> files;
    if (kzGetConfigurationFileNames(context, channel, names, &count) != KZ_OK)
        return files;
    for (size_t i = 0; i < kMostFiles && i < count; ++i)
        files.emplace_back(buffers[i], strnlen(buffers[i], KZ_PATH_SIZE));
    return files;
}

kzVec3f offset(kzVec3f v, float d)
{
    return kzVec3f{v.x + d, v.y + d, v.z + d};
}

// Renders one channel into `image`; false after reporting why it cannot be.
bool renderChannel(render::Backend& backend, unsigned channel, const Options& options, render::Image& image,
                   bool& dynamic)
{
    void* context = backend.context();
    kzResult result = backend.activate(channel);
    if (result != KZ_OK) {
        std::fprintf(stderr, "dovav render: channel %u: set-up failed: %s\n", channel,
                     resultText(result, context).c_str());
        return false;
    }
    for (size_t i = 0; i < kPassCount && result == KZ_OK; ++i) {
        if (!options.passes[i])
            result = backend.setPass(kPassNames[i].pass, false);
    }
    if (result != KZ_OK) {
        std::fprintf(stderr, "dovav render: channel %u: cannot switch passes off: %s\n", channel,
                     resultText(result, context).c_str());
        return false;
    }
    for (const std::string& path : configuredFiles(context, channel)) {
        if (std::FILE* file = std::fopen(path.c_str(), "rb"))
            std::fclose(file);
        else
            std::fprintf(stderr, "dovav render: channel %u: warning: cannot open %s\n", channel, path.c_str());
    }

    // Nothing public tells a channel's correction type, but a dynamic channel's
    // camera moves with the eye while a static one stays where its file put it.
    kzCamera probe = unwrittenCamera();
    kzCamera camera = unwrittenCamera();
    result = backend.preDraw(offset(options.eye, 1.0f), &probe);
    if (result == KZ_OK)
        result = backend.preDraw(options.eye, &camera);
    if (result != KZ_OK) {
        std::fprintf(stderr, "dovav render: channel %u: PreDraw failed: %s\n", channel,
                     resultText(result, context).c_str());
        return false;
    }
    if (std::isnan(camera.fovY)) {
        std::fprintf(stderr, "dovav render: channel %u: PreDraw gave no camera; the library's last message: %s\n",
                     channel, errorText(context).c_str());
        return false;
    }
    dynamic = std::memcmp(&probe.position, &camera.position, sizeof camera.position) != 0;

    try {
        result = backend.draw(camera, options.scene, image);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "dovav render: channel %u: %s\n", channel, failure.what());
        return false;
    }
    if (result != KZ_OK) {
        std::fprintf(stderr, "dovav render: channel %u: PostDraw failed: %s\n", channel,
                     resultText(result, context).c_str());
        return false;
    }
    return true;
}

int renderChannels(const Options& options)
{
    if (std::FILE* file = std::fopen(options.config, "rb")) {
        std::fclose(file);
    } else {
        std::fprintf(stderr, "dovav render: cannot open %s: %s\n", options.config, std::strerror(errno));
        return kExitUsage;
    }
    std::error_code error;
    if (std::filesystem::is_directory(options.config, error)) {
        std::fprintf(stderr, "dovav render: %s is a directory\n", options.config);
        return kExitUsage;
    }

    std::string reason;
    std::unique_ptr<render::Backend> backend =
        options.vulkan ? render::createVulkanBackend(options.width, options.height, reason)
                       : render::createOpenGLBackend(options.width, options.height, reason);
    if (!backend) {
        std::fprintf(stderr, "dovav render: %s\n", reason.c_str());
        return kExitFailure;
    }
    void* context = backend->context();

    const kzResult loaded = backend->loadConfiguration(options.config);
    if (loaded != KZ_OK) {
        std::fprintf(stderr, "dovav render: %s: %s\n", options.config, resultText(loaded, context).c_str());
        return loaded == KZ_ERROR_FILE ? kExitUsage : kExitFailure;
    }
    if (const std::string warning = errorText(context); !warning.empty())
        std::fprintf(stderr, "dovav render: warning: %s\n", warning.c_str());

    size_t count = 0;
    kzGetChannels(context, nullptr, &count);
    std::vector<unsigned> known(count);
    kzGetChannels(context, known.data(), &count);
    known.resize(count);
    std::vector<unsigned> selected;
    if (options.channels.empty()) {
        selected = known;
    } else {
        for (unsigned channel : known) {
            for (unsigned wanted : options.channels) {
                if (wanted == channel) {
                    selected.push_back(channel);
                    break;
                }
            }
        }
        for (unsigned wanted : options.channels) {
            bool found = false;
            for (unsigned channel : known)
                found = found || channel == wanted;
            if (!found) {
                std::string list;
                for (unsigned channel : known)
                    list += (list.empty() ? "" : ", ") + std::to_string(channel);
                std::fprintf(stderr, "dovav render: %s has no channel %u (channels: %s)\n", options.config,
                             wanted, list.empty() ? "none" : list.c_str());
                return kExitUsage;
            }
        }
    }
    if (selected.empty()) {
        std::fprintf(stderr, "dovav render: %s configures no channel\n", options.config);
        return kExitFailure;
    }

    const std::filesystem::path directory(options.out);
    std::filesystem::create_directories(directory, error);
    if (error) {
        std::fprintf(stderr, "dovav render: cannot create %s: %s\n", options.out.c_str(), error.message().c_str());
        return kExitFailure;
    }

    int status = kExitOk;
    std::vector<render::Image> rendered;
    for (unsigned channel : selected) {
        render::Image image;
        bool dynamic = false;
        if (!renderChannel(*backend, channel, options, image, dynamic)) {
            status = kExitFailure;
            continue;
        }
        const std::string path = (directory / ("channel-" + std::to_string(channel) + ".png")).string();
        if (!render::writePng(path, image)) {
            std::fprintf(stderr, "dovav render: channel %u: cannot write %s\n", channel, path.c_str());
            status = kExitFailure;
            continue;
        }
        std::fprintf(stderr, "channel %u: %s (%s, %ux%u)\n", channel, path.c_str(), dynamic ? "dynamic" : "static",
                     image.width, image.height);
        rendered.push_back(std::move(image));
    }
    if (rendered.empty())
        return kExitFailure;

    const render::Image overview = render::sideBySide(rendered, kOverviewGap);
    const std::string path = (directory / "overview.png").string();
    if (!render::writePng(path, overview)) {
        std::fprintf(stderr, "dovav render: cannot write %s\n", path.c_str());
        return kExitFailure;
    }
    std::fprintf(stderr, "overview: %s (%zu channel%s, %ux%u)\n", path.c_str(), rendered.size(),
                 rendered.size() == 1 ? "" : "s", overview.width, overview.height);
    return status;
}

}  // namespace

int runRender(int argc, char** argv)
{
    Options options;
    if (const int status = parseOptions(argc, argv, options); status != kExitOk)
        return status;
    try {
        return renderChannels(options);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "dovav render: %s\n", failure.what());
        return kExitFailure;
    }
}

}  // namespace dovav
