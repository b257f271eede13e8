// dovav run as a user runs it, on the example display examples/curved-3
// (three projectors on a cylinder; examples/README.md gives its geometry). The
// images it writes are checked against the example's screen shapes, against
// each other across the two back-ends, and across the static and dynamic
// descriptions of the same display.

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#include <stb_image.h>

#include "kzLib.h"
#include "support/temp_dir.h"

namespace {

const std::string kDovav = DOVAV_BINARY;
const std::string kExample = std::string(DOVAV_EXAMPLES_DIR) + "/curved-3";

// Small, so that a render takes a fraction of a second. A pixel is then about
// 0.2 degrees of heading and 1 cm of screen height.
constexpr int kWidth = 320;
constexpr int kHeight = 200;
const std::string kSize = std::to_string(kWidth) + "x" + std::to_string(kHeight);
constexpr int kChannels = 3;
// Grey columns between the channels of overview.png (kOverviewGap in command_render.cpp).
constexpr int kOverviewGap = 8;
// Every grid of the example: 33 x 21 points over the projector output.
constexpr int kGridColumns = 33;
constexpr int kGridRows = 21;

// The example's screen: a cylinder of radius 3 m around the eye, from heading
// -75 to +75 degrees. Channel n covers the headings within 85/3 degrees of
// (n - 2) * 140/3, so neighbours share 10 degrees.
constexpr double kScreenRadius = 3.0;
constexpr double kScreenEnd = 75.0;
constexpr double kPartHalfWidth = 85.0 / 3.0;
constexpr double kChannelSpacing = 140.0 / 3.0;

const double kPi = std::acos(-1.0);

double partMiddle(int channel)
{
    return (channel - 2) * kChannelSpacing;
}

std::string shellQuoted(const std::string& text)
{
    std::string result = "'";
    for (char c : text)
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

struct ToolRun {
    int status = -1;     // exit status, -1 when the tool did not exit normally
    std::string output;  // standard output and error
};

ToolRun runDovav(const std::string& arguments)
{
    ToolRun run;
    const std::string command = shellQuoted(kDovav) + " " + arguments + " 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        run.output = "cannot run " + command;
        return run;
    }
    char buffer[4096];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.output.append(buffer, count);
    const int status = pclose(pipe);
    if (status != -1 && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    return run;
}

// A PNG as stored: rows top to bottom, `components` bytes a pixel.
struct Image {
    int width = 0;
    int height = 0;
    int components = 0;
    std::vector<uint8_t> pixels;

    int at(int x, int y, int component) const
    {
        return pixels[(size_t(y) * size_t(width) + size_t(x)) * size_t(components) + size_t(component)];
    }

    // Bilinear between pixel centres at output position (x, y) in [0, 1], y = 0
    // the top of the image; clamped to the edge pixels.
    double sample(double x, double y, int component) const
    {
        const double px = std::clamp(x * width - 0.5, 0.0, width - 1.0);
        const double py = std::clamp(y * height - 0.5, 0.0, height - 1.0);
        const int x0 = std::min(int(px), width - 2);
        const int y0 = std::min(int(py), height - 2);
        const double s = px - x0;
        const double t = py - y0;
        return (1 - t) * ((1 - s) * at(x0, y0, component) + s * at(x0 + 1, y0, component)) +
               t * ((1 - s) * at(x0, y0 + 1, component) + s * at(x0 + 1, y0 + 1, component));
    }
};

Image loadPng(const std::string& path)
{
    Image image;
    stbi_uc* data = stbi_load(path.c_str(), &image.width, &image.height, &image.components, 0);
    if (!data)
        return Image{};
    image.pixels.assign(data, data + size_t(image.width) * size_t(image.height) * size_t(image.components));
    stbi_image_free(data);
    return image;
}

// Every render of the process goes into one scratch directory, and a render
// asked for again with the same arguments is not repeated: several tests look
// at the same images.
struct Render {
    ToolRun run;
    std::string directory;

    Image channel(int channel) const
    {
        return loadPng(directory + "/channel-" + std::to_string(channel) + ".png");
    }
};

const Render& render(const std::string& configuration, const std::string& backend, const std::string& options = "")
{
    static const dovav::test::TempDir scratch;
    static std::map<std::string, Render> renders;
    const std::string arguments = shellQuoted(kExample + "/" + configuration + ".xml") + " --backend " + backend +
                                  " --size " + kSize + (options.empty() ? "" : " " + options);
    if (const auto found = renders.find(arguments); found != renders.end())
        return found->second;
    Render& made = renders[arguments];
    made.directory = scratch.path() + "/render-" + std::to_string(renders.size());
    made.run = runDovav("render " + arguments + " --out " + shellQuoted(made.directory));
    return made;
}

std::string channelFile(int channel, const char* name)
{
    return kExample + "/channel" + std::to_string(channel) + "/" + name;
}

// A point of the screen: heading in degrees (0 straight ahead, positive to the
// right) and height in metres above the eye.
struct ScreenPoint {
    double heading;
    double height;
};

// A channel's screen shape inverted: which output position lights a point of
// the screen. Between grid points the lit point is taken as bilinear in (arc
// length, height); the grid samples a smooth projection every 10 output
// pixels, so that is off by hundredths of a pixel.
class ScreenShape {
public:
    explicit ScreenShape(int channel)
    {
        kzMesh mesh;
        loaded_ = kzLoadScreenShapeFromFile(channelFile(channel, "shape.csv").c_str(), &mesh, 0) == KZ_OK &&
                  mesh.width == kGridColumns && mesh.height == kGridRows;
        if (!loaded_)
            return;
        for (int row = 0; row < kGridRows; ++row) {
            for (int column = 0; column < kGridColumns; ++column) {
                // Listed row by row, from the top.
                const size_t index = size_t(row) * kGridColumns + size_t(column);
                loaded_ = loaded_ && std::abs(mesh.texcoords[index].x - column / (kGridColumns - 1.0)) < 1e-4 &&
                          std::abs(mesh.texcoords[index].y - row / (kGridRows - 1.0)) < 1e-4;
                const kzVec3f p = mesh.vertices[index];
                arc_.push_back(std::atan2(double(p.x), -double(p.z)) * kScreenRadius);
                height_.push_back(p.y);
            }
        }
    }

    bool loaded() const { return loaded_; }

    // The output position (x, y), y = 0 at the top, that lights `point`; false
    // when none of the channel's output does.
    bool outputPosition(ScreenPoint point, double& x, double& y) const
    {
        const double arc = point.heading * kPi / 180.0 * kScreenRadius;
        for (int row = 0; row + 1 < kGridRows; ++row) {
            for (int column = 0; column + 1 < kGridColumns; ++column) {
                double s = 0.0;
                double t = 0.0;
                if (invertCell(column, row, arc, point.height, s, t)) {
                    x = (column + s) / (kGridColumns - 1);
                    y = (row + t) / (kGridRows - 1);
                    return true;
                }
            }
        }
        return false;
    }

private:
    // Newton's method on the bilinear patch of one grid cell.
    bool invertCell(int column, int row, double arc, double height, double& s, double& t) const
    {
        const size_t i = size_t(row) * kGridColumns + size_t(column);
        const size_t corners[4] = {i, i + 1, i + kGridColumns, i + kGridColumns + 1};
        double a[4];
        double h[4];
        for (int k = 0; k < 4; ++k) {
            a[k] = arc_[corners[k]];
            h[k] = height_[corners[k]];
        }
        const double slack = 1e-3;
        if (arc < *std::min_element(a, a + 4) - slack || arc > *std::max_element(a, a + 4) + slack ||
            height < *std::min_element(h, h + 4) - slack || height > *std::max_element(h, h + 4) + slack)
            return false;
        s = 0.5;
        t = 0.5;
        for (int iteration = 0; iteration < 30; ++iteration) {
            const double fa = (1 - s) * (1 - t) * a[0] + s * (1 - t) * a[1] + (1 - s) * t * a[2] + s * t * a[3] - arc;
            const double fh =
                (1 - s) * (1 - t) * h[0] + s * (1 - t) * h[1] + (1 - s) * t * h[2] + s * t * h[3] - height;
            if (std::abs(fa) < 1e-9 && std::abs(fh) < 1e-9)
                break;
            const double as = (1 - t) * (a[1] - a[0]) + t * (a[3] - a[2]);
            const double at = (1 - s) * (a[2] - a[0]) + s * (a[3] - a[1]);
            const double hs = (1 - t) * (h[1] - h[0]) + t * (h[3] - h[2]);
            const double ht = (1 - s) * (h[2] - h[0]) + s * (h[3] - h[1]);
            const double determinant = as * ht - at * hs;
            if (std::abs(determinant) < 1e-15)
                return false;
            s -= (fa * ht - fh * at) / determinant;
            t -= (fh * as - fa * hs) / determinant;
        }
        const double inside = 1e-9;
        return s >= -inside && s <= 1 + inside && t >= -inside && t <= 1 + inside;
    }

    bool loaded_ = false;
    std::vector<double> arc_;  // metres along the cylinder from heading 0
    std::vector<double> height_;
};

// A channel's warp map: where in the channel camera's view (v = 0 at the top)
// an output position's screen point lies, bilinear between grid points.
class WarpMap {
public:
    explicit WarpMap(int channel)
    {
        loaded_ = kzLoadWarpmapFromFile(channelFile(channel, "warp.csv").c_str(), &mesh_, 0, 0) == KZ_OK &&
                  mesh_.width == kGridColumns && mesh_.height == kGridRows;
        for (int row = 0; loaded_ && row < kGridRows; ++row) {
            for (int column = 0; column < kGridColumns; ++column) {
                // Listed row by row, from the top.
                const kzVec3f p = mesh_.vertices[size_t(row) * kGridColumns + size_t(column)];
                loaded_ = loaded_ && std::abs(p.x - column / (kGridColumns - 1.0)) < 1e-4 &&
                          std::abs(p.y - row / (kGridRows - 1.0)) < 1e-4;
            }
        }
    }

    bool loaded() const { return loaded_; }

    void lookup(double x, double y, double& u, double& v) const
    {
        const double gx = std::clamp(x, 0.0, 1.0) * (kGridColumns - 1);
        const double gy = std::clamp(y, 0.0, 1.0) * (kGridRows - 1);
        const int column = std::min(int(gx), kGridColumns - 2);
        const int row = std::min(int(gy), kGridRows - 2);
        const double s = gx - column;
        const double t = gy - row;
        const kzVec2f* above = mesh_.texcoords + size_t(row) * kGridColumns + size_t(column);
        const kzVec2f* below = above + kGridColumns;
        u = (1 - t) * ((1 - s) * above[0].x + s * above[1].x) + t * ((1 - s) * below[0].x + s * below[1].x);
        v = (1 - t) * ((1 - s) * above[0].y + s * above[1].y) + t * ((1 - s) * below[0].y + s * below[1].y);
    }

private:
    bool loaded_ = false;
    kzMesh mesh_;
};

std::vector<ScreenShape> loadScreenShapes()
{
    std::vector<ScreenShape> shapes;
    for (int channel = 1; channel <= kChannels; ++channel)
        shapes.emplace_back(channel);
    return shapes;
}

size_t countLinesStartingWith(const std::string& path, const std::string& prefix)
{
    std::ifstream file(path);
    size_t count = 0;
    for (std::string line; std::getline(file, line);)
        count += line.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
    return count;
}

TEST(DovavEndToEndTest, CheckAcceptsBothConfigurations)
{
    for (const char* configuration : {"static", "dynamic"}) {
        SCOPED_TRACE(configuration);
        const ToolRun run = runDovav("check " + shellQuoted(kExample + "/" + configuration + ".xml"));
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_NE(run.output.find("all 3 channel(s) would set up cleanly"), std::string::npos) << run.output;
    }
}

TEST(DovavEndToEndTest, ObjHoldsTheWholeGrid)
{
    const dovav::test::TempDir scratch;
    constexpr size_t kPoints = size_t(kGridColumns) * kGridRows;
    constexpr size_t kTriangles = 2 * size_t(kGridColumns - 1) * (kGridRows - 1);
    for (int channel = 1; channel <= kChannels; ++channel) {
        for (const char* file : {"warp.csv", "shape.csv"}) {
            const std::string input = channelFile(channel, file);
            SCOPED_TRACE(input);
            const std::string output = scratch.path() + "/channel" + std::to_string(channel) + "-" + file + ".obj";
            const ToolRun run = runDovav("obj " + shellQuoted(input) + " " + shellQuoted(output));
            EXPECT_EQ(run.status, 0) << run.output;
            EXPECT_EQ(countLinesStartingWith(output, "v "), kPoints);
            EXPECT_EQ(countLinesStartingWith(output, "vt "), kPoints);
            EXPECT_EQ(countLinesStartingWith(output, "f "), kTriangles);
        }
    }
}

TEST(DovavEndToEndTest, RenderRejectsUnknownPassesAndScenes)
{
    struct Case {
        const char* options;
        const char* message;
    };
    const Case cases[] = {
        {"--passes warp,bogus", "--passes: unknown pass 'bogus' in 'warp,bogus'"},
        {"--passes Warp", "--passes: unknown pass 'Warp'"},
        {"--passes ''", "--passes: an empty pass name in ''"},
        {"--passes warp,,blend", "--passes: an empty pass name in 'warp,,blend'"},
        {"--passes blend,", "--passes: an empty pass name in 'blend,'"},
        {"--scene black", "--scene takes pattern or white, not 'black'"},
        {"--scene", "--scene needs a value"},
    };
    const dovav::test::TempDir scratch;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        const ToolRun run = runDovav("render " + shellQuoted(kExample + "/static.xml") + " --out " +
                                     shellQuoted(scratch.path() + "/out") + " " + c.options);
        EXPECT_EQ(run.status, 2) << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
    }
}

struct RenderCase {
    const char* configuration;
    const char* backend;
};

const RenderCase kRenderCases[] = {
    {"static", "opengl"},
    {"static", "vulkan"},
    {"dynamic", "opengl"},
    {"dynamic", "vulkan"},
};

TEST(DovavEndToEndTest, RenderWritesEveryChannelAndTheOverview)
{
    for (const RenderCase& c : kRenderCases) {
        SCOPED_TRACE(std::string(c.configuration) + " on " + c.backend);
        const Render& rendered = render(c.configuration, c.backend);
        ASSERT_EQ(rendered.run.status, 0) << rendered.run.output;
        const Image overview = loadPng(rendered.directory + "/overview.png");
        ASSERT_EQ(overview.width, kChannels * kWidth + (kChannels - 1) * kOverviewGap);
        ASSERT_EQ(overview.height, kHeight);
        // The tool writes RGB.
        ASSERT_EQ(overview.components, 3);
        for (int channel = 1; channel <= kChannels; ++channel) {
            SCOPED_TRACE("channel " + std::to_string(channel));
            const std::string name = "channel-" + std::to_string(channel) + ".png";
            EXPECT_NE(rendered.run.output.find(rendered.directory + "/" + name + " (" + c.configuration + ", " +
                                               kSize + ")"),
                      std::string::npos)
                << rendered.run.output;
            const Image image = rendered.channel(channel);
            ASSERT_EQ(image.width, kWidth);
            ASSERT_EQ(image.height, kHeight);
            ASSERT_EQ(image.components, 3);
            // The overview holds the channel images left to right, mid grey between them.
            const int left = (channel - 1) * (kWidth + kOverviewGap);
            int differing = 0;
            int lit = 0;
            for (int y = 0; y < kHeight; ++y) {
                for (int x = 0; x < kWidth; ++x) {
                    bool black = true;
                    for (int component = 0; component < 3; ++component) {
                        differing += image.at(x, y, component) != overview.at(left + x, y, component) ? 1 : 0;
                        black = black && image.at(x, y, component) < 8;
                    }
                    lit += black ? 0 : 1;
                }
            }
            EXPECT_EQ(differing, 0);
            // Most of the output lights the screen; the masks black out the rest.
            EXPECT_GT(lit, kWidth * kHeight / 2);
            if (channel < kChannels) {
                int notGrey = 0;
                for (int y = 0; y < kHeight; ++y) {
                    for (int x = left + kWidth; x < left + kWidth + kOverviewGap; ++x) {
                        for (int component = 0; component < 3; ++component)
                            notGrey += overview.at(x, y, component) != 128 ? 1 : 0;
                    }
                }
                EXPECT_EQ(notGrey, 0);
            }
        }
    }
}

// Renders of the same channel by two routes agree when at least 99% of the
// pixels compared are within 2 levels in every component. Both back-ends run
// on Mesa's gallivm rasterisers, which filter RGBA8 textures in 8-bit fixed
// point and round each filtered value to a level; across back-ends the scene is
// also drawn by two runs of its program, whose results can round to either side
// of a level. That is 2 levels. Across configurations the lookups differ by the
// warp map's coordinates, rounded to five decimals, against the dynamic lookup
// computed in single precision at each vertex. The remaining 1% is for the hard
// edges of the scene's unsmoothed glyphs and of its grid lines, where lookups a
// fraction of a texel apart mix different texels. Measured: every pixel within
// 1 level across back-ends; across configurations 99.97% within 1, all within 3.
constexpr int kAgreementLevels = 2;
constexpr double kAgreementShare = 0.99;

struct Agreement {
    int compared = 0;
    int within = 0;  // pixels with every component within kAgreementLevels
    int worst = 0;   // largest component difference
    int worstX = 0;
    int worstY = 0;
};

template <typename Include>
Agreement compareImages(const Image& a, const Image& b, Include include)
{
    Agreement agreement;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            if (!include(x, y))
                continue;
            int largest = 0;
            for (int component = 0; component < 3; ++component)
                largest = std::max(largest, std::abs(a.at(x, y, component) - b.at(x, y, component)));
            ++agreement.compared;
            agreement.within += largest <= kAgreementLevels ? 1 : 0;
            if (largest > agreement.worst) {
                agreement.worst = largest;
                agreement.worstX = x;
                agreement.worstY = y;
            }
        }
    }
    return agreement;
}

void expectAgreement(const Agreement& agreement)
{
    EXPECT_GE(agreement.within, kAgreementShare * agreement.compared)
        << agreement.compared - agreement.within << " of " << agreement.compared << " pixels differ by more than "
        << kAgreementLevels << " levels, up to " << agreement.worst << " at (" << agreement.worstX << ", "
        << agreement.worstY << ")";
}

TEST(DovavEndToEndTest, BackEndsAgreeWithTheMasksOn)
{
    // Both back-ends read the masks as stored, so warp, blend, secondary blend
    // and black level are all on. Where the warped lookup leaves the scene
    // image, Vulkan reads its black border and OpenGL the edge texel, by
    // design: pixels whose lookup (the warp map's, bilinear between grid
    // points) lies within 1.5 texels of the image's edge or beyond are left out. The filter reaches
    // half a texel; the rest covers the library drawing the grid cells as two
    // triangles where the lookup here is bilinear.
    const double marginU = 1.5 / kWidth;
    const double marginV = 1.5 / kHeight;
    std::vector<WarpMap> warps;
    for (int channel = 1; channel <= kChannels; ++channel) {
        warps.emplace_back(channel);
        ASSERT_TRUE(warps.back().loaded()) << "channel " << channel;
    }
    for (const char* configuration : {"static", "dynamic"}) {
        SCOPED_TRACE(configuration);
        const Render& opengl = render(configuration, "opengl", "--passes warp,blend,black,secondary");
        const Render& vulkan = render(configuration, "vulkan", "--passes warp,blend,black,secondary");
        ASSERT_EQ(opengl.run.status, 0) << opengl.run.output;
        ASSERT_EQ(vulkan.run.status, 0) << vulkan.run.output;
        for (int channel = 1; channel <= kChannels; ++channel) {
            SCOPED_TRACE("channel " + std::to_string(channel));
            const Image a = opengl.channel(channel);
            const Image b = vulkan.channel(channel);
            ASSERT_TRUE(a.width == kWidth && a.height == kHeight && b.width == kWidth && b.height == kHeight);
            const WarpMap& warp = warps[size_t(channel - 1)];
            const Agreement agreement = compareImages(a, b, [&](int x, int y) {
                double u = 0;
                double v = 0;
                warp.lookup((x + 0.5) / kWidth, (y + 0.5) / kHeight, u, v);
                return u >= marginU && u <= 1 - marginU && v >= marginV && v <= 1 - marginV;
            });
            // The lookup stays inside the scene over most of the output (the
            // projector overfills its part by a few percent on every side).
            EXPECT_GT(agreement.compared, kWidth * kHeight * 2 / 3);
            expectAgreement(agreement);
        }
    }
}

TEST(DovavEndToEndTest, StaticAndDynamicConfigurationsAgree)
{
    // For an eye at the origin both configurations give each channel the same
    // camera and the same lookups, and share the masks. The static correction
    // has no directional shading, so it is off for both.
    for (const char* backend : {"opengl", "vulkan"}) {
        SCOPED_TRACE(backend);
        const Render& fixed = render("static", backend, "--passes warp,blend,black,secondary");
        const Render& moving = render("dynamic", backend, "--passes warp,blend,black,secondary");
        ASSERT_EQ(fixed.run.status, 0) << fixed.run.output;
        ASSERT_EQ(moving.run.status, 0) << moving.run.output;
        for (int channel = 1; channel <= kChannels; ++channel) {
            SCOPED_TRACE("channel " + std::to_string(channel));
            const Image a = fixed.channel(channel);
            const Image b = moving.channel(channel);
            ASSERT_TRUE(a.width == kWidth && a.height == kHeight && b.width == kWidth && b.height == kHeight);
            expectAgreement(compareImages(a, b, [](int, int) { return true; }));
        }
    }
}

TEST(DovavEndToEndTest, SceneLandsWhereTheScreenShapeSays)
{
    // The test scene's colour bars, 10 degrees of azimuth each from 1.5 to 6
    // degrees below the horizon, probed in their middles. For an eye at the
    // origin azimuth and heading coincide, so a mirrored, flipped or shifted
    // picture shows another colour there. A bar is flat colour over about 50 x
    // 20 pixels, read through two bilinear filters: 2 levels cover the 8-bit
    // rounding of its grey (0.5) and of the filters. Measured: exact.
    struct Probe {
        double heading;
        const char* colour;
        int rgb[3];
    };
    const Probe probes[] = {
        {-65, "cyan", {0, 255, 255}},   {-55, "green", {0, 255, 0}},  {-45, "magenta", {255, 0, 255}},
        {-35, "red", {255, 0, 0}},      {-25, "blue", {0, 0, 255}},   {-15, "grey", {128, 128, 128}},
        {-5, "black", {0, 0, 0}},       {5, "white", {255, 255, 255}}, {15, "yellow", {255, 255, 0}},
        {25, "cyan", {0, 255, 255}},    {35, "green", {0, 255, 0}},   {45, "magenta", {255, 0, 255}},
        {55, "red", {255, 0, 0}},       {65, "blue", {0, 0, 255}},
    };
    constexpr double kLevels = 2.0;
    const double height = kScreenRadius * std::tan(-3.75 * kPi / 180.0);
    const std::vector<ScreenShape> shapes = loadScreenShapes();
    for (int channel = 1; channel <= kChannels; ++channel) {
        ASSERT_TRUE(shapes[size_t(channel - 1)].loaded()) << "channel " << channel;
    }
    for (const RenderCase& c : kRenderCases) {
        SCOPED_TRACE(std::string(c.configuration) + " on " + c.backend);
        const Render& rendered = render(c.configuration, c.backend, "--passes warp");
        ASSERT_EQ(rendered.run.status, 0) << rendered.run.output;
        int probed = 0;
        for (int channel = 1; channel <= kChannels; ++channel) {
            const Image image = rendered.channel(channel);
            ASSERT_TRUE(image.width == kWidth && image.height == kHeight);
            for (const Probe& probe : probes) {
                if (std::abs(probe.heading - partMiddle(channel)) > kPartHalfWidth)
                    continue;
                SCOPED_TRACE("channel " + std::to_string(channel) + ", " + probe.colour + " at heading " +
                             std::to_string(int(probe.heading)));
                double x = 0;
                double y = 0;
                ASSERT_TRUE(shapes[size_t(channel - 1)].outputPosition({probe.heading, height}, x, y));
                ++probed;
                for (int component = 0; component < 3; ++component) {
                    EXPECT_NEAR(image.sample(x, y, component), probe.rgb[component], kLevels)
                        << "component " << component << " at output (" << x * kWidth << ", " << y * kHeight << ")";
                }
            }
        }
        // Every probe lies in one channel's part, the two in the overlaps in two.
        EXPECT_EQ(probed, int(std::size(probes)) + 2);
    }
}

TEST(DovavEndToEndTest, BlendMasksAddUpToFullBrightness)
{
    // A white scene with only the blend pass on gives each channel's blend mask
    // after the 2.2 power, the input and output gammas being 1. Both back-ends
    // read the masks as stored, so the same ramps add up on both.
    //
    // In an overlap, the pixels the two channels light a screen point with add
    // up to 255 within 4 levels: the example's generator measured the exact
    // mask sums within 0.55% (1.4 levels), which includes storing the masks in
    // 8 bits; each channel's output is rounded to a level (1 for the two); and
    // llvmpipe filters the masks in 8-bit fixed point, up to half a stored level
    // each, which the 2.2 power turns into less than 0.75 of an output level
    // (1.5 for the two). The inverted screen shape and the bilinear reading of
    // the output are off by hundredths of a pixel, on ramps of 5 levels a pixel.
    // Measured: 2.36 levels on OpenGL, 1.57 on Vulkan.
    constexpr double kSumLevels = 4.0;
    // Over the rest of a channel's part its mask is 1 and the neighbours' 0,
    // stored exactly: 1 level for the rounding of the power on the way.
    // Measured: exact.
    constexpr double kFlatLevels = 1.0;
    // Points within half a degree (2.5 output pixels) of the ends of an
    // overlap, or within 1 degree of the end of a channel's part, are left out,
    // and so are points within 0.1 m (10 pixels) of the screen's top and
    // bottom: there the filters of the masks and of the reading here mix in
    // their zero beyond a part or beyond the screen.
    constexpr double kOverlapMargin = 0.5;
    constexpr double kPartMargin = 1.0;
    constexpr double kHighest = 0.9;

    const std::vector<ScreenShape> shapes = loadScreenShapes();
    for (int channel = 1; channel <= kChannels; ++channel) {
        ASSERT_TRUE(shapes[size_t(channel - 1)].loaded()) << "channel " << channel;
    }
    for (const RenderCase& c : kRenderCases) {
        SCOPED_TRACE(std::string(c.configuration) + " on " + c.backend);
        const Render& rendered = render(c.configuration, c.backend, "--scene white --passes blend");
        ASSERT_EQ(rendered.run.status, 0) << rendered.run.output;
        std::vector<Image> images;
        for (int channel = 1; channel <= kChannels; ++channel) {
            images.push_back(rendered.channel(channel));
            ASSERT_TRUE(images.back().width == kWidth && images.back().height == kHeight);
        }

        for (int left = 1; left < kChannels; ++left) {
            SCOPED_TRACE("overlap of channels " + std::to_string(left) + " and " + std::to_string(left + 1));
            const ScreenShape* shape[2] = {&shapes[size_t(left - 1)], &shapes[size_t(left)]};
            const Image* image[2] = {&images[size_t(left - 1)], &images[size_t(left)]};
            const double from = partMiddle(left + 1) - kPartHalfWidth + kOverlapMargin;
            const double to = partMiddle(left) + kPartHalfWidth - kOverlapMargin;
            int points = 0;
            int unlit = 0;
            double worst = 0;
            std::string worstAt;
            for (double heading = from; heading <= to; heading += 0.25) {
                for (double height = -kHighest; height <= kHighest + 1e-9; height += 0.05) {
                    double x[2];
                    double y[2];
                    if (!shape[0]->outputPosition({heading, height}, x[0], y[0]) ||
                        !shape[1]->outputPosition({heading, height}, x[1], y[1])) {
                        ++unlit;
                        continue;
                    }
                    ++points;
                    for (int component = 0; component < 3; ++component) {
                        const double first = image[0]->sample(x[0], y[0], component);
                        const double second = image[1]->sample(x[1], y[1], component);
                        if (std::abs(first + second - 255) > worst) {
                            worst = std::abs(first + second - 255);
                            worstAt = "heading " + std::to_string(heading) + ", height " + std::to_string(height) +
                                      ": " + std::to_string(first) + " + " + std::to_string(second);
                        }
                    }
                }
            }
            EXPECT_EQ(unlit, 0);
            EXPECT_GT(points, 1000);
            EXPECT_LE(worst, kSumLevels) << worstAt;
        }

        for (int channel = 1; channel <= kChannels; ++channel) {
            SCOPED_TRACE("the part of channel " + std::to_string(channel) + " alone");
            const double from =
                (channel == 1 ? -kScreenEnd : partMiddle(channel - 1) + kPartHalfWidth) + kPartMargin;
            const double to =
                (channel == kChannels ? kScreenEnd : partMiddle(channel + 1) - kPartHalfWidth) - kPartMargin;
            int unlit = 0;
            int others = 0;  // points a neighbour's image reaches too
            double worstOwner = 0;
            double worstOther = 0;
            for (double heading = from; heading <= to; heading += 0.5) {
                for (double height = -kHighest; height <= kHighest + 1e-9; height += 0.05) {
                    for (int lighting = 1; lighting <= kChannels; ++lighting) {
                        double x = 0;
                        double y = 0;
                        if (!shapes[size_t(lighting - 1)].outputPosition({heading, height}, x, y)) {
                            unlit += lighting == channel ? 1 : 0;
                            continue;
                        }
                        others += lighting == channel ? 0 : 1;
                        for (int component = 0; component < 3; ++component) {
                            const double value = images[size_t(lighting - 1)].sample(x, y, component);
                            if (lighting == channel)
                                worstOwner = std::max(worstOwner, 255 - value);
                            else
                                worstOther = std::max(worstOther, value);
                        }
                    }
                }
            }
            EXPECT_EQ(unlit, 0);
            EXPECT_LE(worstOwner, kFlatLevels);
            // The overfill of a neighbour's image reaches into this part.
            EXPECT_GT(others, 0);
            EXPECT_LE(worstOther, kFlatLevels);
        }
    }
}

}  // namespace
