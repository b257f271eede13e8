// dovav check CONFIG: read every calibration file of every channel as channel
// set-up reads it and report, per channel, what the files hold and which of
// them would fail.

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "arguments.h"
#include "calibration_text.h"
#include "channel_table.h"
#include "commands.h"
#include "kzLib.h"
#include "result_text.h"

namespace dovav {

const char kCheckUsage[] =
    "usage: dovav check [-v] CONFIG\n"
    "\n"
    "Loads the XML configuration CONFIG, then every calibration file of every\n"
    "channel with the library's loaders, and decodes every configured mask image\n"
    "(PNG, BMP or TGA, at most 8192 pixels a side) as channel set-up does.\n"
    "A static channel needs its warp map and camera (frustum) file, a dynamic one\n"
    "its screen shape and target rectangle; masks are optional, but a configured\n"
    "mask must load.\n"
    "\n"
    "Prints one row per channel:\n"
    "  grid     columns x rows of the warp map (static) or screen shape (dynamic)\n"
    "  invalid  grid points with a coordinate that is not a finite number: the\n"
    "           cells around them are not drawn\n"
    "  masks    size of the blend, secondary blend, black-level and directional\n"
    "           shading masks in that order; - when not configured\n"
    "  view     static: vertical field of view in degrees, aspect ratio and\n"
    "           position (y up) of the camera; dynamic: width x height of the\n"
    "           target rectangle\n"
    "  gamma    gamma, input gamma (in) and output gamma (out)\n"
    "  files    ok, or how many of the channel's files fail\n"
    "then one line per failing file with the loader's result code and the reason,\n"
    "and warnings about files that load but cannot give a usable picture.\n"
    "\n"
    "options:\n"
    "  -v, --verbose  also list every file that loads\n"
    "\n"
    "exit status: 0 if every channel would set up cleanly, 1 if a file fails or\n"
    "the configuration cannot be read, 2 for a bad command line or a missing\n"
    "CONFIG.\n";

namespace {

constexpr size_t kCameraFields = 16;
constexpr size_t kTargetRectFields = 27;
constexpr double kDegreesPerRadian = 57.295779513082321;

// "KZ_ERROR_FILE (3): No such file or directory"
std::string loaderProblem(kzResult result, const char* path, const std::function<std::string()>& explain)
{
    std::string reason;
    if (result == KZ_ERROR_FILE)
        reason = openProblem(path);
    else if (result == KZ_ERROR_INVALID_DATA)
        reason = explain();
    if (reason.empty())
        reason = result == KZ_ERROR_FILE ? "the file could not be read" : "not in the expected format";
    return describeResult(result) + ": " + reason;
}

// --- Masks ---------------------------------------------------------------

struct MaskResult {
    int width = 0;
    int height = 0;
    std::string problem;  // empty if the mask loads
};

// The verdict and the reason are the library's own decoder's, so that a mask
// this command accepts is exactly one channel set-up accepts.
MaskResult decodeMask(const char* path)
{
    MaskResult mask;
    if (mask.problem = openProblem(path); !mask.problem.empty())
        return mask;
    std::string reason;
    kzSetMessageCallback(
        [](kzMessageSeverity, const char* message, void* userData) {
            *static_cast<std::string*>(userData) = message;
        },
        &reason);
    const kzResult result = kzGetMaskImageSize(path, &mask.width, &mask.height);
    kzSetMessageCallback(nullptr, nullptr);
    if (result == KZ_OK)
        return mask;
    // The library names the file first ("mask image PATH: reason").
    const std::string named = std::string("mask image ") + path + ": ";
    if (reason.compare(0, named.size(), named) == 0)
        reason.erase(0, named.size());
    if (reason.empty()) {
        struct stat status {};
        reason = stat(path, &status) == 0 && status.st_size == 0
                     ? "the file is empty"
                     : "not a PNG, BMP or TGA image the library reads, or damaged";
    }
    mask.problem = reason;
    return mask;
}

// --- Channels ------------------------------------------------------------

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", value + 0.0);  // -0 prints as 0
    return text;
}

std::string gridSize(const kzMesh& mesh)
{
    return std::to_string(mesh.width) + "x" + std::to_string(mesh.height);
}

// Whether the file begins as a Portable Float Map does.
bool isPfm(const char* path)
{
    char magic[2] = {};
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path, "rb"), &std::fclose);
    return file && std::fread(magic, 1, 2, file.get()) == 2 && magic[0] == 'P' && (magic[1] == 'F' || magic[1] == 'f');
}

bool finite(kzVec3f v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// Points with a non-finite position or texture coordinate, as the back-ends count them.
std::string invalidPoints(const kzMesh& mesh)
{
    const size_t count = size_t(mesh.width) * mesh.height;
    size_t invalid = 0;
    for (size_t i = 0; mesh.vertices && mesh.texcoords && i < count; ++i)
        invalid += !finite(mesh.vertices[i]) || !std::isfinite(mesh.texcoords[i].x) ||
                   !std::isfinite(mesh.texcoords[i].y);
    return std::to_string(invalid);
}

double distance(kzVec3f a, kzVec3f b)
{
    return std::sqrt(double(a.x - b.x) * (a.x - b.x) + double(a.y - b.y) * (a.y - b.y) +
                     double(a.z - b.z) * (a.z - b.z));
}

struct FileCheck {
    const char* label;
    const char* path;     // empty: not configured
    std::string problem;  // empty: loads
};

struct ChannelCheck {
    uint32_t channel = 0;
    const kzConfigurationData* configuration = nullptr;
    std::string grid = "-";
    std::string invalid = "-";
    std::string masks;
    std::string view = "-";
    std::vector<FileCheck> files;
    std::vector<std::string> warnings;

    size_t failures() const
    {
        size_t count = 0;
        for (const FileCheck& file : files)
            count += !file.problem.empty();
        return count;
    }
};

// A file the channel's type needs; false (and the problem noted) if the
// configuration does not name it.
bool required(FileCheck& file, const char* attribute)
{
    if (file.path[0] != '\0')
        return true;
    file.problem = std::string("not configured (") + attribute + " attribute)";
    return false;
}

void checkStatic(const kzConfigurationData& configuration, ChannelCheck& check)
{
    FileCheck camera{"camera", configuration.frustum, {}};
    if (required(camera, "frustum")) {
        kzCamera loaded{};
        if (kzResult result = kzLoadCameraFromFile(camera.path, &loaded); result != KZ_OK) {
            camera.problem = loaderProblem(result, camera.path,
                                           [&] { return explainDataLineFile(camera.path, kCameraFields); });
        } else {
            const kzVec3f& p = loaded.position;
            check.view = "fov " + number(loaded.fovY * kDegreesPerRadian) + ", aspect " +
                         number(loaded.aspect) + ", at (" + number(p.x) + ", " + number(p.y) +
                         ", " + number(p.z) + ")";
            if (!std::isfinite(loaded.aspect) || !std::isfinite(loaded.shiftX) ||
                !std::isfinite(loaded.shiftY) || loaded.fovY <= 0.0f || loaded.aspect <= 0.0f)
                check.warnings.push_back("camera " + std::string(camera.path) +
                                         " has an empty or inverted frustum (left " +
                                         number(loaded.left) + ", right " + number(loaded.right) +
                                         ", bottom " + number(loaded.bottom) + ", top " +
                                         number(loaded.top) + ")");
        }
    }
    check.files.push_back(camera);

    FileCheck warpmap{"warp map", configuration.warpmap, {}};
    if (required(warpmap, "warpmap")) {
        kzMesh mesh;
        if (kzResult result = kzLoadWarpmapFromFile(warpmap.path, &mesh, 0, 0); result != KZ_OK) {
            warpmap.problem = loaderProblem(result, warpmap.path, [&] {
                return isPfm(warpmap.path) ? std::string("a PFM the library does not read: one channel (Pf), a "
                                                         "malformed header or fewer samples than it announces")
                                           : explainMeshFile(warpmap.path, MeshFile::Warpmap);
            });
            check.grid = "FAIL";
        } else {
            check.grid = gridSize(mesh);
            check.invalid = invalidPoints(mesh);
            if (mesh.width < 2 || mesh.height < 2)
                check.warnings.push_back("warp map " + std::string(warpmap.path) + " is a " +
                                         gridSize(mesh) + " grid, which covers no area");
        }
    }
    check.files.push_back(warpmap);

    if (configuration.shape[0] != '\0' || configuration.target[0] != '\0')
        check.warnings.push_back("the screen shape and target rectangle are not used by a static channel");
}

void checkDynamic(const kzConfigurationData& configuration, ChannelCheck& check)
{
    // Set-up goes on without a target rectangle, but then the channel has no view to draw.
    FileCheck target{"target rectangle", configuration.target, {}};
    if (required(target, "target")) {
        kzTargetRect rect{};
        if (kzResult result = kzLoadTargetRectFromFile(target.path, &rect); result != KZ_OK) {
            target.problem = loaderProblem(result, target.path,
                                           [&] { return explainDataLineFile(target.path, kTargetRectFields); });
        } else {
            const double width = distance(rect.corners[1], rect.corners[3]);
            const double height = distance(rect.corners[1], rect.corners[0]);
            check.view = "target " + number(width) + " x " + number(height);
            if (!(width > 0.0) || !(height > 0.0))
                check.warnings.push_back("target rectangle " + std::string(target.path) +
                                         " has no area");
        }
    }
    check.files.push_back(target);

    FileCheck shape{"screen shape", configuration.shape, {}};
    if (required(shape, "shape")) {
        kzMesh mesh;
        if (kzResult result = kzLoadScreenShapeFromFile(shape.path, &mesh, 0); result != KZ_OK) {
            shape.problem = loaderProblem(result, shape.path,
                                          [&] { return explainMeshFile(shape.path, MeshFile::ScreenShape); });
            check.grid = "FAIL";
        } else {
            check.grid = gridSize(mesh);
            check.invalid = invalidPoints(mesh);
            if (mesh.width < 2 || mesh.height < 2)
                check.warnings.push_back("screen shape " + std::string(shape.path) + " is a " +
                                         gridSize(mesh) + " grid, which covers no area");
        }
    }
    check.files.push_back(shape);

    if (configuration.warpmap[0] != '\0' || configuration.frustum[0] != '\0')
        check.warnings.push_back("the warp map and camera file are not used by a dynamic channel");
}

void checkMasks(const kzConfigurationData& configuration, ChannelCheck& check)
{
    const struct {
        const char* label;
        const char* path;
    } masks[] = {
        {"blend mask", configuration.blending},
        {"secondary blend mask", configuration.secondaryBlending},
        {"black-level mask", configuration.blacklevel},
        {"directional shading", configuration.directionalShading},
    };
    for (const auto& mask : masks) {
        if (!check.masks.empty())
            check.masks += "/";
        if (mask.path[0] == '\0') {
            check.masks += "-";
            continue;
        }
        const MaskResult decoded = decodeMask(mask.path);
        check.masks += decoded.problem.empty()
                           ? std::to_string(decoded.width) + "x" + std::to_string(decoded.height)
                           : "FAIL";
        check.files.push_back({mask.label, mask.path, decoded.problem});
    }
}

ChannelCheck checkChannel(uint32_t channel, const kzConfigurationData& configuration)
{
    ChannelCheck check;
    check.channel = channel;
    check.configuration = &configuration;
    switch (configuration.type) {
    case KZ_CORRECTION_STATIC: checkStatic(configuration, check); break;
    case KZ_CORRECTION_DYNAMIC: checkDynamic(configuration, check); break;
    default:
        check.files.push_back({"correction type", "",
                               "unknown type " + std::to_string(configuration.type) +
                                   " (0 static, 1 dynamic)"});
        break;
    }
    checkMasks(configuration, check);
    return check;
}

struct ConfiguredChannel {
    unsigned number;
    kzConfigurationData configuration;
};

// Every channel of the context with its configuration as the channel query reports it.
std::vector<ConfiguredChannel> configuredChannels(void* context)
{
    size_t count = 0;
    kzGetChannels(context, nullptr, &count);
    std::vector<unsigned> numbers(count);
    kzGetChannels(context, numbers.data(), &count);
    std::vector<ConfiguredChannel> channels;
    for (unsigned number : numbers) {
        kzChannelInfo info{};
        if (kzGetChannelInfo(context, number, &info) != KZ_OK)
            continue;
        ConfiguredChannel channel{number, {}};
        kzConfigurationData& c = channel.configuration;
        c.type = info.type;
        c.gamma = info.gamma;
        c.inputGamma = info.inputGamma;
        c.outputGamma = info.outputGamma;
        const struct {
            char* field;
            int role;
        } paths[] = {
            {c.warpmap, KZ_CHANNEL_FILE_WARPMAP},   {c.frustum, KZ_CHANNEL_FILE_FRUSTUM},
            {c.shape, KZ_CHANNEL_FILE_SHAPE},       {c.target, KZ_CHANNEL_FILE_TARGET},
            {c.blending, KZ_CHANNEL_FILE_BLENDING}, {c.secondaryBlending, KZ_CHANNEL_FILE_SECONDARY_BLENDING},
            {c.blacklevel, KZ_CHANNEL_FILE_BLACKLEVEL},
            {c.directionalShading, KZ_CHANNEL_FILE_DIRECTIONAL_SHADING},
        };
        for (const auto& path : paths)
            std::memcpy(path.field, info.paths[path.role], KZ_PATH_SIZE);
        channels.push_back(channel);
    }
    return channels;
}

const char* typeName(int32_t type)
{
    switch (type) {
    case KZ_CORRECTION_STATIC: return "static";
    case KZ_CORRECTION_DYNAMIC: return "dynamic";
    default: return "unknown";
    }
}

void printTable(const std::vector<ChannelCheck>& checks)
{
    std::vector<std::vector<std::string>> rows;
    rows.push_back({"channel", "type", "grid", "invalid", "masks", "view", "gamma", "in", "out", "files"});
    for (const ChannelCheck& check : checks) {
        const kzConfigurationData& configuration = *check.configuration;
        const size_t failures = check.failures();
        rows.push_back({std::to_string(check.channel), typeName(configuration.type), check.grid,
                        check.invalid, check.masks, check.view, number(configuration.gamma),
                        number(configuration.inputGamma), number(configuration.outputGamma),
                        failures == 0 ? "ok"
                                      : std::to_string(failures) + " of " +
                                            std::to_string(check.files.size()) + " failed"});
    }
    std::vector<size_t> widths(rows[0].size(), 0);
    for (const auto& row : rows) {
        for (size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    }
    for (const auto& row : rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size())
                line += std::string(widths[i] - row[i].size() + 2, ' ');
        }
        std::printf("%s\n", line.c_str());
    }
}

}  // namespace

int runCheck(int argc, char** argv)
{
    static const char kExpected[] = "expected one configuration file";
    Arguments arguments("check", argc, argv);
    bool verbose = false;
    std::vector<const char*> paths;
    while (!arguments.done()) {
        if (arguments.takeEndOfOptions())
            continue;
        if (arguments.takeFlag("-v") || arguments.takeFlag("--verbose"))
            verbose = true;
        else if (!arguments.takePath(paths, 1, kExpected))
            return kExitUsage;
    }
    if (paths.size() != 1)
        return arguments.usageError(kExpected);
    const char* path = paths[0];
    struct stat status;
    if (::stat(path, &status) == 0 && S_ISDIR(status.st_mode)) {
        std::fprintf(stderr, "dovav check: %s: %s\n", path, systemMessage(EISDIR).c_str());
        return kExitUsage;
    }

    // The channel table is all the check needs from a context: one without a back-end.
    kzContextConfiguration* created = nullptr;
    if (kzCreateContextConfiguration(&created) != KZ_OK) {
        std::fprintf(stderr, "dovav check: out of memory\n");
        return kExitFailure;
    }
    const std::unique_ptr<kzContextConfiguration, ConfigurationDeleter> context(created);
    const kzResult loaded = kzLoadConfigurationFromFile(context.get(), path);
    char message[512] = {};
    kzGetErrorString(context.get(), message, sizeof message - 1);
    if (loaded != KZ_OK) {
        std::fprintf(stderr, "dovav check: %s: %s: %s\n", path, describeResult(loaded).c_str(), message);
        return loaded == KZ_ERROR_FILE ? kExitUsage : kExitFailure;
    }

    std::printf("configuration %s\n", path);
    const std::vector<ConfiguredChannel> channels = configuredChannels(context.get());
    if (channels.empty()) {
        std::printf("no channels configured\n");
        return kExitFailure;
    }
    std::vector<ChannelCheck> checks;
    for (const ConfiguredChannel& channel : channels)
        checks.push_back(checkChannel(channel.number, channel.configuration));
    printTable(checks);

    // A path that did not fit is dropped from the table, so the file it
    // names would never be loaded.
    const bool configurationProblem = message[0] != '\0';
    size_t failedChannels = 0;
    bool headed = false;
    auto line = [&](const std::string& text) {
        if (!headed)
            std::printf("\n");
        headed = true;
        std::printf("%s\n", text.c_str());
    };
    if (configurationProblem)
        line(std::string("configuration: ") + message);
    for (const ChannelCheck& check : checks) {
        const std::string prefix = "channel " + std::to_string(check.channel) + ": ";
        for (const FileCheck& file : check.files) {
            const std::string named = prefix + file.label + (file.path[0] ? " " : "") + file.path;
            if (!file.problem.empty())
                line(named + ": " + file.problem);
            else if (verbose)
                line(named + ": ok");
        }
        for (const std::string& warning : check.warnings)
            line(prefix + "warning: " + warning);
        failedChannels += check.failures() > 0;
    }

    std::printf("\n");
    if (failedChannels == 0 && !configurationProblem) {
        std::printf("all %zu channel(s) would set up cleanly\n", checks.size());
        return kExitOk;
    }
    if (failedChannels == 0)
        std::printf("every file loads, but the configuration has a problem\n");
    else
        std::printf("%zu of %zu channel(s) would not set up cleanly\n", failedChannels, checks.size());
    return kExitFailure;
}

}  // namespace dovav
