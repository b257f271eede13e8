// What the Vulkan correction puts in a swap-chain image: known scene images
// and masks go through the public entry points, the command buffer PostDraw
// returns runs on lavapipe, and the read-back pixels are compared with the
// correction evaluated on the CPU.
//
// The model follows the back-end's conventions: masks are R8G8B8A8_UNORM by
// default, read as stored like the scene images, and R8G8B8A8_SRGB when the
// context asks for the sRGB reading, in which case every texel is decoded to
// linear before the bilinear filter weights it; either way the program's gamma
// arithmetic works on the values the sampler returns. The sampler clamps to an
// opaque black border. Clip space is y-down: output position y = 0 is row 0 of
// the read-back image.
//
// Tolerance. A UNORM lookup (scene images, masks read as stored) may differ
// from the exact bilinear value by up to one 8-bit level: lavapipe filters
// 8-bit UNORM textures in 8-bit fixed point where it can (its fixed-point path
// takes repeat and edge clamping; with this border it filters in float, so the
// bound is not tight here, only safe). sRGB textures never take that path,
// their linear values needing more than 8 bits: each texel is decoded to float
// by a cubic polynomial that is off by at most 0.31 of a level, then weighted
// in float, so half a level bounds an sRGB mask lookup. The correction is
// non-decreasing in each lookup for pass strengths in [0, 1] and positive
// gammas, so evaluating it with every lookup lowered, then raised, by its
// bound brackets the result however the gammas amplify the error. On top of
// that, three quarters of an output level are allowed: half for the rounding
// to the R8G8B8A8_UNORM target, the rest for lavapipe's pow, exp2 and log2
// approximations. Pixels where nothing is drawn, or where only the border is
// looked up and nothing adds black level, must be exactly opaque black. On
// lavapipe (Mesa 22.3) no pixel is further than 0.91 of a level from the exact
// value.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "kzLib.h"
#include "kzLib/vulkan.h"
#include "support/calibration_writer.h"
#include "support/correction_model.h"
#include "support/foreign_calibration.h"
#include "support/math_expect.h"
#include "support/temp_dir.h"
#include "support/vk_command_hook.h"
#include "support/vk_fixture.h"
#include "vulkan/vulkan_records.h"

namespace {

using namespace dovav::test;

using Attributes = std::vector<std::pair<std::string, std::string>>;

constexpr double kUnormLookupError = 1.0 / 255.0;
constexpr double kSrgbLookupError = 0.5 / 255.0;
constexpr double kOutputSlack = 0.75;  // levels

// How a context reads its masks: as stored (the default), or as sRGB because
// kzSetMaskSrgbVulkan asked for it before the channel was built, or after,
// when it must not change the channel already built.
enum class MaskSetting { Stored, Srgb, SrgbAfterSetUp };

Texels maskTexels(MaskSetting setting)
{
    return setting == MaskSetting::Srgb ? Texels::Srgb : Texels::Unorm;
}

Tolerance toleranceFor(MaskSetting setting)
{
    const double maskError = maskTexels(setting) == Texels::Srgb ? kSrgbLookupError : kUnormLookupError;
    return {kUnormLookupError, maskError, kOutputSlack};
}

// VK_FILTER_LINEAR with clamp to an opaque black border.
Rgb sampleScene(const Image& image, Uv uv) { return sampleLinear(image, uv, Border::OpaqueBlack, Texels::Unorm); }
Rgb sampleMask(const Image& image, Uv uv, MaskSetting setting)
{
    return sampleLinear(image, uv, Border::OpaqueBlack, maskTexels(setting));
}

// Whether every texel a lookup weights lies in the border, with a margin for
// the rasteriser's coordinate precision.
bool beyondEdge(const Image& image, Uv uv)
{
    const double x = uv.u * image.width - 0.5;
    const double y = uv.v * image.height - 0.5;
    return x < -1.1 || x > image.width + 0.1 || y < -1.1 || y > image.height + 0.1;
}

// The model of one drawing: for a pixel centre (x, y) in pixels, y down, the
// lookups there, or nothing where the pixel must be opaque black.
using Model = std::function<std::optional<Lookups>(double x, double y)>;

// Compares every pixel with the model. Alpha must be 255.
PixelComparison compareImage(const std::vector<uint8_t>& pixels, int size, const Model& model, const Strengths& w,
                             const Gammas& g, MaskSetting masks)
{
    PixelComparison comparison(toleranceFor(masks));
    for (int row = 0; row < size; ++row) {
        for (int column = 0; column < size; ++column) {
            const uint8_t* pixel = pixelAt(pixels, size, column, row);
            const std::string where = "pixel " + std::to_string(column) + "," + std::to_string(row);
            const std::optional<Lookups> in = model(column + 0.5, row + 0.5);
            if (in) {
                comparison.check(pixel, *in, w, g, where);
            } else {
                for (int k = 0; k < 3; ++k)
                    comparison.checkExact(pixel[k], 0, k, where + " (black)");
            }
            comparison.checkExact(pixel[3], 255, 3, where);
        }
    }
    return comparison;
}

// Component k of pixel (column, row) is base + perColumn column + perRow row.
struct Ramp {
    int base, perColumn, perRow;
};

Image ramps(int width, int height, Ramp red, Ramp green, Ramp blue)
{
    return Image::generated(width, height, [=](int column, int row, uint8_t rgb[3]) {
        const Ramp ramp[3] = {red, green, blue};
        for (int k = 0; k < 3; ++k)
            rgb[k] = uint8_t(ramp[k].base + ramp[k].perColumn * column + ramp[k].perRow * row);
    });
}

// Three scene images of the static channel: smooth ramps in different
// directions, so that a lookup in the wrong place, orientation or image shows.
const Image kStaticScenes[3] = {
    ramps(24, 20, {20, 9, 0}, {30, 0, 10}, {200, -4, -3}),
    ramps(24, 20, {230, -8, 0}, {40, 5, 4}, {60, 0, 9}),
    ramps(24, 20, {90, 0, 6}, {220, 0, -9}, {30, 8, 0}),
};
// The blend falls off to the right, as at a blend edge, the secondary blend
// towards the bottom; the black level rises towards the bottom. Neighbouring
// texels differ by less than 64 levels once decoded.
const Image kBlendMask = ramps(8, 6, {255, -20, 0}, {245, -18, 0}, {255, -14, 0});
const Image kSecondaryMask = ramps(8, 6, {255, 0, -22}, {250, -2, -20}, {255, 0, -16});
const Image kBlacklevelMask = ramps(8, 6, {40, 3, 30}, {50, 0, 28}, {60, -2, 26});

// The static channel's warp map: a 5 x 5 grid (s, t) covering the full width
// of the output and the rows from kTop to kBottom, looking up a horizontally
// mirrored scene that overshoots the image on every side, so that part of the
// warped area reads the border. Both lookups are affine in the output
// position, so interpolation reproduces them exactly.
constexpr double kTop = 0.1;
constexpr double kBottom = 0.9;

Uv warpedLookup(double s, double t)
{
    return {1.1 - 1.2 * s, -0.1 + 1.2 * t};
}

// `centreHole`: the centre point's u is not a number, so the four cells
// around it (s and t from 0.25 to 0.75) are not drawn.
std::string warpMap(bool centreHole = false)
{
    std::string text = "x;y;u;v;column;row\n";
    for (int row = 0; row < 5; ++row) {
        for (int column = 0; column < 5; ++column) {
            const Uv uv = warpedLookup(column / 4.0, row / 4.0);
            const bool invalid = centreHole && row == 2 && column == 2;
            char line[160];
            std::snprintf(line, sizeof line, "%.9g;%.9g;%.9g;%.9g;%d;%d\n", column / 4.0,
                          kTop + (kBottom - kTop) * row / 4.0, invalid ? NAN : uv.u, uv.v, column, row);
            text += line;
        }
    }
    return text;
}

void setStrengths(kzContextVulkan* context, Strengths s)
{
    for (kzCorrectionPassType pass : {KZ_CORRECTION_PASS_WARPING, KZ_CORRECTION_PASS_BLENDING,
                                      KZ_CORRECTION_PASS_BLACKLEVEL, KZ_CORRECTION_PASS_SECONDARY_BLENDING}) {
        EXPECT_EQ(kzSetCorrectionPassVulkan_1(context, pass, float(strength(s, pass))), KZ_OK);
    }
}

class VulkanCorrectionPixels : public VulkanTest {
protected:
    void SetUp() override
    {
        VulkanTest::SetUp();
        dir.write("camera.csv", cameraText({0, 0, 0}, {0, 0, 0}, -0.5f, 0.5f, -0.5f, 0.5f));
        dir.write("warp.csv", warpMap());
        dir.write("blend.png", pngBytes(kBlendMask));
        dir.write("secondary.png", pngBytes(kSecondaryMask));
        dir.write("black.png", pngBytes(kBlacklevelMask));
    }

    // A context with the configuration loaded and channel 0 active on the
    // scene images; destroyed with the test.
    kzContextVulkan* activeChannel(const std::string& configuration, const std::vector<VkImageView>& scenes,
                                   bool flipVerticesY = false, MaskSetting masks = MaskSetting::Stored,
                                   unsigned channel = 0)
    {
        kzContextVulkan* context = createContext();
        if (!context)
            return nullptr;
        EXPECT_EQ(kzSetFlipWarpmeshVerticesYVulkan(context, flipVerticesY), KZ_OK);
        if (masks == MaskSetting::Srgb) {
            EXPECT_EQ(kzSetMaskSrgbVulkan(context, true), KZ_OK);
        }
        EXPECT_EQ(kzLoadConfigurationFromFileVulkan(context, configuration.c_str()), KZ_OK);
        EXPECT_EQ(kzSetActiveChannelVulkan(context, channel, scenes, unsigned(size), unsigned(size)), KZ_OK);
        if (masks == MaskSetting::SrgbAfterSetUp) {
            EXPECT_EQ(kzSetMaskSrgbVulkan(context, true), KZ_OK);
            EXPECT_EQ(kzSetActiveChannelVulkan(context, channel, scenes, unsigned(size), unsigned(size)), KZ_OK);
        }
        return context;
    }

    VkImageView sceneView(const Image& image)
    {
        sceneImages.push_back(std::make_unique<headless::VulkanSceneImage>(
            *device, uint32_t(image.width), uint32_t(image.height), image.rgba.data()));
        return sceneImages.back()->view();
    }

    headless::VulkanTarget& newTarget()
    {
        targets.push_back(std::make_unique<headless::VulkanTarget>(*device, uint32_t(size), uint32_t(size)));
        return *targets.back();
    }

    headless::VulkanTarget& target() { return targets.empty() ? newTarget() : *targets.front(); }

    // Records image `index`'s correction into `into` (filled with grey first,
    // which the pass's clear must replace), runs it and reads it back.
    std::vector<uint8_t> draw(kzContextVulkan* context, headless::VulkanTarget& into, unsigned index = 0)
    {
        const uint8_t grey[4] = {90, 90, 90, 90};
        into.fill(grey);
        VkCommandBuffer commands = VK_NULL_HANDLE;
        EXPECT_EQ(kzPostDrawVulkan(context, into.framebuffer(), &commands, index), KZ_OK);
        if (commands == VK_NULL_HANDLE)
            return std::vector<uint8_t>(size_t(size) * size_t(size) * 4);
        submit(commands);
        return into.readPixels();
    }

    // The attributes of a static channel naming the files SetUp wrote, with
    // the given replacements.
    static Attributes staticChannel(const Attributes& replaced = {})
    {
        Attributes attributes = {{"frustum", "camera.csv"},           {"warpmap", "warp.csv"},
                                 {"blending", "blend.png"},           {"secondary-blending", "secondary.png"},
                                 {"blacklevel", "black.png"}};
        for (const auto& [name, value] : replaced) {
            for (auto& attribute : attributes) {
                if (attribute.first == name)
                    attribute.second = value;
            }
        }
        return attributes;
    }

    std::string staticConfiguration(const std::string& name, const Gammas& g, const Attributes& attributes)
    {
        return dir.write(name, configurationText(KZ_CORRECTION_STATIC, float(g.gamma), float(g.input),
                                                 float(g.output), channelElement(0, attributes)));
    }

    // Compares a static channel's drawing with the model. The pixel centre
    // lies at (x, y) in the unit square; the warp map's grid point (s, t)
    // lands at (s, kTop + (kBottom - kTop) t), or 1 minus that height with the
    // vertices flipped. The masks are read at (x, y), the scene between (x, y)
    // and the warped lookup.
    PixelComparison compareStatic(const std::vector<uint8_t>& pixels, const Image& scene, const Strengths& w,
                                  const Gammas& g, bool flipVerticesY = false,
                                  MaskSetting masks = MaskSetting::Stored, bool centreHole = false) const
    {
        const Model model = [&](double column, double row) -> std::optional<Lookups> {
            const Uv xy{column / size, row / size};
            const double gridY = flipVerticesY ? 1 - xy.v : xy.v;
            if (gridY < kTop || gridY > kBottom)
                return std::nullopt;  // outside the warped area
            const double t = (gridY - kTop) / (kBottom - kTop);
            if (centreHole && xy.u > 0.25 && xy.u < 0.75 && t > 0.25 && t < 0.75)
                return std::nullopt;
            const Uv warped = warpedLookup(xy.u, t);
            const Uv uv{xy.u + (warped.u - xy.u) * w.warp, xy.v + (warped.v - xy.v) * w.warp};
            if (w.blacklevel == 0 && beyondEdge(scene, uv))
                return std::nullopt;
            Lookups in;
            in.scene = sampleScene(scene, uv);
            in.blend = sampleMask(kBlendMask, xy, masks);
            in.secondary = sampleMask(kSecondaryMask, xy, masks);
            in.blacklevel = sampleMask(kBlacklevelMask, xy, masks);
            return in;
        };
        return compareImage(pixels, size, model, w, g, masks);
    }

    int size = 32;
    TempDir dir;
    std::vector<std::unique_ptr<headless::VulkanSceneImage>> sceneImages;
    std::vector<std::unique_ptr<headless::VulkanTarget>> targets;
};

TEST_F(VulkanCorrectionPixels, StaticChannelFollowsGammasAndPassStrengths)
{
    struct Case {
        const char* name;
        Gammas gammas;
        bool perChannelGammas;  // input and output gamma as channel attributes
        Strengths strengths;
        std::vector<kzCorrectionPassType> switchedOff;
        bool flipVerticesY;  // every triangle wound the other way: the static pipeline culls none
        MaskSetting masks;
    };
    constexpr MaskSetting kStored = MaskSetting::Stored;
    const Case cases[] = {
        {"every pass full", {2.2, 1.0, 1.0}, false, {1, 1, 1, 1}, {}, false, kStored},
        {"every pass at 0", {2.2, 1.0, 1.0}, false, {0, 0, 0, 0}, {}, false, kStored},
        {"every pass at half", {2.2, 1.0, 1.0}, false, {0.5, 0.5, 0.5, 0.5}, {}, false, kStored},
        {"warp at a quarter", {1.8, 1.0, 1.0}, false, {0.25, 1, 0, 0.5}, {}, false, kStored},
        {"linear masks", {1.0, 1.0, 1.0}, false, {1, 1, 1, 1}, {}, false, kStored},
        {"input and output gamma", {2.2, 2.2, 2.2}, false, {1, 1, 0.5, 1}, {}, false, kStored},
        {"per-channel input and output gamma", {2.4, 0.6, 1.6}, true, {1, 1, 1, 0.5}, {}, false, kStored},
        {"warp, blend and black level switched off", {2.2, 1.0, 1.0}, false, {1, 1, 1, 1},
         {KZ_CORRECTION_PASS_WARPING, KZ_CORRECTION_PASS_BLENDING, KZ_CORRECTION_PASS_BLACKLEVEL}, false, kStored},
        {"secondary and black level switched off", {2.0, 1.0, 1.0}, false, {1, 0.5, 1, 1},
         {KZ_CORRECTION_PASS_SECONDARY_BLENDING, KZ_CORRECTION_PASS_BLACKLEVEL}, false, kStored},
        {"vertices flipped", {2.2, 1.0, 1.0}, false, {1, 0.5, 1, 1}, {}, true, kStored},
        {"masks read as sRGB", {2.2, 1.0, 1.0}, false, {1, 1, 1, 1}, {}, false, MaskSetting::Srgb},
        {"masks read as sRGB, linear mask gamma", {1.0, 1.0, 1.0}, false, {1, 0.5, 1, 1}, {}, false,
         MaskSetting::Srgb},
        {"sRGB reading asked for after set-up", {2.2, 1.0, 1.0}, false, {1, 1, 1, 1}, {}, false,
         MaskSetting::SrgbAfterSetUp},
    };
    const VkImageView scene = sceneView(kStaticScenes[0]);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        Attributes attributes = staticChannel();
        Gammas inFile = c.gammas;
        if (c.perChannelGammas) {
            attributes.push_back({"input-gamma", std::to_string(c.gammas.input)});
            attributes.push_back({"output-gamma", std::to_string(c.gammas.output)});
            inFile.input = inFile.output = 1.0;
        }
        const std::string configuration =
            staticConfiguration("case" + std::to_string(i) + ".xml", inFile, attributes);
        kzContextVulkan* context = activeChannel(configuration, {scene}, c.flipVerticesY, c.masks);
        ASSERT_NE(context, nullptr);
        setStrengths(context, c.strengths);
        Strengths effective = c.strengths;
        for (kzCorrectionPassType pass : c.switchedOff) {
            ASSERT_EQ(kzSetCorrectionPassVulkan(context, pass, false), KZ_OK);
            strength(effective, pass) = 0;
        }
        const PixelComparison comparison =
            compareStatic(draw(context, target()), kStaticScenes[0], effective, c.gammas, c.flipVerticesY, c.masks);
        EXPECT_ALL_PIXELS_MATCH(comparison);
    }
}

// A warp map point whose lookup is not a number: the cells around it keep the
// render pass's opaque black, the rest is drawn as usual.
TEST_F(VulkanCorrectionPixels, CellsAroundInvalidWarpPointAreNotDrawn)
{
    dir.write("hole.csv", warpMap(true));
    const std::string configuration =
        staticConfiguration("hole.xml", Gammas{}, staticChannel({{"warpmap", "hole.csv"}}));
    kzContextVulkan* context = activeChannel(configuration, {sceneView(kStaticScenes[0])});
    ASSERT_NE(context, nullptr);
    const PixelComparison comparison =
        compareStatic(draw(context, target()), kStaticScenes[0], Strengths{}, Gammas{}, false,
                      MaskSetting::Stored, true);
    EXPECT_ALL_PIXELS_MATCH(comparison);
}

// One warp with a hole from every format draws the same image: the lookups
// agree up to float rounding of positions and of the OBJ's six digits (far
// below a texel), so no component may differ by more than the one level a
// lookup may tip across a rounding boundary.
TEST_F(VulkanCorrectionPixels, EveryCalibrationFormatDrawsTheSameImage)
{
    const VkImageView scene = sceneView(kStaticScenes[0]);
    std::vector<uint8_t> reference;
    for (const CalibrationVariant& variant : writeWarpInEveryFormat(dir)) {
        SCOPED_TRACE(variant.name);
        kzContextVulkan* context = activeChannel(variant.configuration, {scene}, false, MaskSetting::Stored, variant.channel);
        ASSERT_NE(context, nullptr);
        const std::vector<uint8_t> pixels = draw(context, target());
        if (reference.empty()) {
            reference = pixels;
            EXPECT_EQ(pixelAt(pixels, size, size / 2, size / 2)[1], 0);  // the hole
            EXPECT_GT(pixelAt(pixels, size, 2, 2)[1], 0);
        }
        EXPECT_LE(largestColourDifference(reference, pixels), 1);
    }
}

// A flat a3 screen seen from the nominal eye is the plain perspective lookup
// through the rectangle fitted to it: the unwarped picture, with the same
// hole where a screen point is missing.
TEST_F(VulkanCorrectionPixels, FlatAdvancedScreenReproducesThePerspectiveLookup)
{
    const VkImageView scene = sceneView(kStaticScenes[0]);
    const CalibrationVariant identity = writeIdentityWarp(dir);
    kzContextVulkan* plain = activeChannel(identity.configuration, {scene}, false, MaskSetting::Stored, identity.channel);
    ASSERT_NE(plain, nullptr);
    const std::vector<uint8_t> expected = draw(plain, target());
    const CalibrationVariant screen = writeFlatScreen(dir);
    kzContextVulkan* context = activeChannel(screen.configuration, {scene}, false, MaskSetting::Stored, screen.channel);
    ASSERT_NE(context, nullptr);
    kzCamera camera{};
    ASSERT_EQ(kzPreDrawVulkan_1(context, kzVec3f{0, 0, 0}, &camera), KZ_OK);
    const auto got = draw(context, target());
    EXPECT_LE(largestColourDifference(expected, got), 1);
}

// A pass whose mask did not load is locked at 0: neither switch turns it on.
// Were it applied, it would read the context's 1 x 1 fallback texture, which
// the black border darkens away from its centre, and a black level would
// brighten the whole area.
TEST_F(VulkanCorrectionPixels, PassWithUnloadedMaskStaysOff)
{
    dir.write("corrupt.png", "not an image at all");
    const std::string configuration = staticConfiguration(
        "display.xml", Gammas{}, staticChannel({{"blending", "missing.png"}, {"blacklevel", "corrupt.png"}}));
    kzContextVulkan* context = activeChannel(configuration, {sceneView(kStaticScenes[0])});
    ASSERT_NE(context, nullptr);

    // A weight, or (negative) switched on.
    const struct {
        const char* name;
        std::vector<float> calls;
    } cases[] = {
        {"as set up", {}},
        {"switched on", {-1}},
        {"full strength", {1.0f}},
        {"half strength, then switched on", {0.5f, -1}},
        {"switched on, then overdriven", {-1, 2.0f}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (float call : c.calls) {
            for (kzCorrectionPassType pass : {KZ_CORRECTION_PASS_BLENDING, KZ_CORRECTION_PASS_BLACKLEVEL}) {
                EXPECT_EQ(call < 0 ? kzSetCorrectionPassVulkan(context, pass, true)
                                   : kzSetCorrectionPassVulkan_1(context, pass, call),
                          KZ_OK);
            }
        }
        // The secondary mask loaded, so that pass still applies.
        Strengths expected;
        expected.blend = 0;
        expected.blacklevel = 0;
        const PixelComparison comparison =
            compareStatic(draw(context, target()), kStaticScenes[0], expected, Gammas{});
        EXPECT_ALL_PIXELS_MATCH(comparison);
    }
}

// One scene image, uniform block and command buffer per swap-chain image:
// drawing image 1 writes only block 1, returns command buffer 1 and shows
// scene 1, while images 0 and 2 keep what their own earlier draws showed.
TEST_F(VulkanCorrectionPixels, EachSwapChainImageHasItsOwnSceneBlockAndCommands)
{
    std::vector<VkImageView> scenes;
    for (const Image& scene : kStaticScenes)
        scenes.push_back(sceneView(scene));
    kzContextVulkan* context =
        activeChannel(staticConfiguration("display.xml", Gammas{}, staticChannel()), scenes);
    ASSERT_NE(context, nullptr);
    const kzCorrectionDataVulkan& record = context->corrections.at(0);
    ASSERT_EQ(record.uniformBuffersMapped.size(), 3u);
    headless::VulkanTarget* images[3] = {&newTarget(), &newTarget(), &newTarget()};

    Strengths earlier;
    earlier.blend = 0.5;
    setStrengths(context, earlier);
    std::vector<uint8_t> pixels[3];
    for (unsigned i : {0u, 2u})
        pixels[i] = draw(context, *images[i], i);

    Strengths later;
    later.warp = 0.5;
    setStrengths(context, later);
    auto blockBytes = [&](size_t i) {
        const auto* bytes = static_cast<const uint8_t*>(record.uniformBuffersMapped[i]);
        return std::vector<uint8_t>(bytes, bytes + kzVulkanUniformBlockSize);
    };
    const std::vector<uint8_t> before[3] = {blockBytes(0), blockBytes(1), blockBytes(2)};
    VkCommandBuffer commands = VK_NULL_HANDLE;
    ASSERT_EQ(kzPostDrawVulkan(context, images[1]->framebuffer(), &commands, 1), KZ_OK);
    EXPECT_EQ(commands, record.commandBuffers[1]);
    EXPECT_EQ(blockBytes(0), before[0]);
    EXPECT_EQ(blockBytes(2), before[2]);
    EXPECT_NE(blockBytes(1), before[1]);
    submit(commands);
    pixels[1] = images[1]->readPixels();

    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE("image " + std::to_string(i));
        const PixelComparison comparison =
            compareStatic(pixels[i], kStaticScenes[i], i == 1 ? later : earlier, Gammas{});
        EXPECT_ALL_PIXELS_MATCH(comparison);
        if (i != 1) {
            EXPECT_EQ(images[i]->readPixels(), pixels[i]);
        }
    }
}

// With an _SRGB swap-chain format the correction writes the same values and
// the hardware encodes them to sRGB as it stores them, on top of the output
// gamma: decoded again, the stored pixels are those a UNORM image receives.
//
// Tolerance: the UNORM image rounds the exact value by up to half a level; the
// sRGB image rounds the encoded value by up to half a level, which decoding
// stretches by at most 2.28 (the decoding's steepest slope, at full
// brightness), so 1.14 levels; the rest of the 2 levels is for lavapipe's
// float-to-sRGB conversion. Measured: 1.29 levels.
TEST_F(VulkanCorrectionPixels, SrgbSwapChainImagesEncodeTheCorrectionOnWrite)
{
    constexpr double kLevels = 2.0;
    const std::string configuration = staticConfiguration("display.xml", Gammas{}, staticChannel());
    const VkImageView scene = sceneView(kStaticScenes[0]);
    const VkFormat formats[2] = {VK_FORMAT_R8G8B8A8_UNORM, VK_FORMAT_R8G8B8A8_SRGB};
    std::vector<uint8_t> drawn[2];
    for (int i = 0; i < 2; ++i) {
        kzContextVulkan* context = createContext(formats[i]);
        ASSERT_NE(context, nullptr);
        ASSERT_EQ(kzLoadConfigurationFromFileVulkan(context, configuration.c_str()), KZ_OK);
        ASSERT_EQ(kzSetActiveChannelVulkan(context, 0, {scene}, unsigned(size), unsigned(size)), KZ_OK);
        targets.push_back(
            std::make_unique<headless::VulkanTarget>(*device, uint32_t(size), uint32_t(size), formats[i]));
        drawn[i] = draw(context, *targets.back());
    }
    ASSERT_EQ(drawn[0].size(), drawn[1].size());
    double worst = 0;
    int encoded = 0;  // components the encoding moved by more than 20 levels
    for (size_t j = 0; j < drawn[0].size(); ++j) {
        if (j % 4 == 3) {
            EXPECT_EQ(drawn[1][j], 255) << "alpha of pixel " << j / 4;
            continue;
        }
        const double decoded = 255.0 * srgbToLinear(drawn[1][j] / 255.0);
        worst = std::max(worst, std::abs(decoded - drawn[0][j]));
        encoded += drawn[1][j] > drawn[0][j] + 20 ? 1 : 0;
    }
    EXPECT_LE(worst, kLevels);
    EXPECT_GT(encoded, size * size / 4);
}

// ---------------------------------------------------------------------------
// Baked correction against the mesh it was baked from. Both draw the same
// output pixels from the same scene, so they differ only by what the table
// rounds: lookups to 2^-21 (well below lavapipe's 8-bit filter weights) and
// mask factors to 2^-9 of themselves, at most half an output level after any
// output gamma. With the target's own rounding, one level per component is the
// bound; alpha is opaque on both.

// Largest difference of a colour component between two drawings, or 256 when
// a pixel of either is not opaque.
int largestDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    if (a.size() != b.size())
        return 256;
    int largest = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        if (i % 4 == 3) {
            if (a[i] != 255 || b[i] != 255)
                return 256;
            continue;
        }
        largest = std::max(largest, std::abs(int(a[i]) - int(b[i])));
    }
    return largest;
}

// A blend that falls almost to black, where an output gamma magnifies
// every rounding of the mask factor most.
const Image kDarkBlendMask = ramps(8, 6, {255, -36, 0}, {250, -35, 0}, {240, -34, 0});

// A warp that bends the lookup, so that the mesh's triangles matter.
kzVec2f bentLookup(float x, float y)
{
    return {0.05f + 0.9f * x + 0.04f * std::sin(6.0f * y), 1.02f - 1.05f * y + 0.03f * std::cos(5.0f * x)};
}

TEST_F(VulkanCorrectionPixels, BakedTableMatchesTheMeshForEveryPassSetting)
{
    size = 96;
    dir.write("dark-blend.png", pngBytes(kDarkBlendMask));
    const struct {
        const char* name;
        uint32_t points;
    } grids[] = {{"64x64 grid", 64}, {"grid denser than the output", 320}};
    const struct {
        const char* name;
        Gammas gammas;
    } gammaSets[] = {
        {"gamma 2.2, input 1, output 1", {2.2, 1.0, 1.0}},
        {"gamma 1.8, input 2.2, output 2.2", {1.8, 2.2, 2.2}},
        {"gamma 2.4, input 1, output 2.4", {2.4, 1.0, 2.4}},
    };
    const kzCorrectionPassType passes[4] = {KZ_CORRECTION_PASS_WARPING, KZ_CORRECTION_PASS_BLENDING,
                                            KZ_CORRECTION_PASS_SECONDARY_BLENDING, KZ_CORRECTION_PASS_BLACKLEVEL};
    const float weightSets[2][4] = {{1.0f, 1.0f, 1.0f, 1.0f}, {0.6f, 0.35f, 0.8f, 0.55f}};
    const VkImageView scene = sceneView(kStaticScenes[1]);
    headless::VulkanTarget& into = newTarget();
    int worst = 0;
    // The flat pass is the library's only non-indexed draw: it tells the methods apart.
    int fullScreenDraws = 0;
    for (const auto& grid : grids) {
        const std::string warp = "warp" + std::to_string(grid.points) + ".csv";
        dir.write(warp, warpMapText(grid.points, grid.points, bentLookup));
        for (const auto& set : gammaSets) {
            SCOPED_TRACE(std::string(grid.name) + ", " + set.name);
            const std::string configuration = staticConfiguration(
                "bent.xml", set.gammas, staticChannel({{"warpmap", warp}, {"blending", "dark-blend.png"}}));
            kzContextVulkan* context = activeChannel(configuration, {scene});
            ASSERT_NE(context, nullptr);
            const CommandHook<&kz_vk_defs::vkCmdDraw> watch([&](VkCommandBuffer, uint32_t, uint32_t, uint32_t, uint32_t) {
                ++fullScreenDraws;
                return false;
            });
            // Bakes are recorded into the frame's command buffer, never submitted by the library.
            const CommandHook<&kz_vk_defs::vkQueueSubmit> submissions([](VkQueue, uint32_t, const VkSubmitInfo*, VkFence) {
                ADD_FAILURE() << "the library submitted work during a frame";
                return false;
            });
            for (const auto& weights : weightSets) {
                for (unsigned on = 0; on < 16; ++on) {
                    SCOPED_TRACE("passes on: " + std::to_string(on) + ", weights from " + std::to_string(weights[0]));
                    for (int k = 0; k < 4; ++k) {
                        ASSERT_EQ(kzSetCorrectionPassVulkan(context, passes[k], (on >> k) & 1u), KZ_OK);
                        ASSERT_EQ(kzSetCorrectionPassVulkan_1(context, passes[k], weights[k]), KZ_OK);
                    }
                    ASSERT_EQ(kzSetCorrectionMethodVulkan(context, KZ_CORRECTION_METHOD_MESH), KZ_OK);
                    fullScreenDraws = 0;
                    const std::vector<uint8_t> mesh = draw(context, into);
                    EXPECT_EQ(fullScreenDraws, 0);
                    ASSERT_EQ(kzSetCorrectionMethodVulkan(context, KZ_CORRECTION_METHOD_BAKED), KZ_OK);
                    const std::vector<uint8_t> baked = draw(context, into);
                    EXPECT_EQ(fullScreenDraws, 1);
                    const int difference = largestDifference(mesh, baked);
                    EXPECT_LE(difference, 1);
                    worst = std::max(worst, difference);
                }
            }
        }
    }
    RecordProperty("largest_difference", worst);
}

// Two frames in flight together, each changing a weight and so baking the
// table again, the second while the first may still read it. Synchronization
// validation checks the bake's writes against the same frame's reads of the
// table (this layer version checks nothing across submissions: the wait for
// the earlier frame's reads rests on the bake pass's dependency from fragment
// shading); the last frame shows the last weights.
TEST_F(VulkanCorrectionPixels, FramesInFlightBakeAndReadTheTableInOrder)
{
    headless::VulkanDevice::Options options;
    // The layer's synchronization checks (1.3.239) leak memory of their own,
    // which LeakSanitizer would report: sanitizer builds go without them.
#if defined(__SANITIZE_ADDRESS__)
    options.synchronization = false;
#else
    options.synchronization = true;
#endif
    kzContextVulkan* context = useOwnDevice(options);
    ASSERT_NE(context, nullptr);
    const std::string configuration = staticConfiguration("display.xml", Gammas{}, staticChannel());
    std::vector<VkImageView> views;
    for (int i = 0; i < 2; ++i) {
        scenes.push_back(std::make_unique<headless::VulkanSceneImage>(gpu(), uint32_t(kStaticScenes[i].width),
                                                                      uint32_t(kStaticScenes[i].height),
                                                                      kStaticScenes[i].rgba.data()));
        views.push_back(scenes.back()->view());
    }
    ASSERT_EQ(kzLoadConfigurationFromFileVulkan(context, configuration.c_str()), KZ_OK);
    ASSERT_EQ(kzSetActiveChannelVulkan(context, 0, views, unsigned(size), unsigned(size)), KZ_OK);
    std::unique_ptr<headless::VulkanTarget> images[2] = {
        std::make_unique<headless::VulkanTarget>(gpu(), uint32_t(size), uint32_t(size)),
        std::make_unique<headless::VulkanTarget>(gpu(), uint32_t(size), uint32_t(size))};
    Strengths strengths;
    for (unsigned frame = 0; frame < 2; ++frame) {
        strengths.blend = frame == 0 ? 0.25 : 0.75;
        setStrengths(context, strengths);
        VkCommandBuffer commands = VK_NULL_HANDLE;
        ASSERT_EQ(kzPostDrawVulkan(context, images[frame]->framebuffer(), &commands, frame), KZ_OK);
        VkSubmitInfo submit{};
        submit.sType = VK_STRUCTURE_TYPE_SUBMIT_INFO;
        submit.commandBufferCount = 1;
        submit.pCommandBuffers = &commands;
        ASSERT_EQ(vkQueueSubmit(gpu().queue(), 1, &submit, VK_NULL_HANDLE), VK_SUCCESS);
    }
    ASSERT_EQ(vkQueueWaitIdle(gpu().queue()), VK_SUCCESS);
    EXPECT_EQ(gpu().messages(), std::vector<std::string>());
    const PixelComparison last = compareStatic(images[1]->readPixels(), kStaticScenes[1], strengths, Gammas{});
    EXPECT_ALL_PIXELS_MATCH(last);
}

// Re-activating a channel with another output size bakes a table of the new
// size: the next frame fills the new, larger target as the model says.
TEST_F(VulkanCorrectionPixels, ReactivationAtAnotherSizeDrawsAtThatSize)
{
    const std::string configuration = staticConfiguration("display.xml", Gammas{}, staticChannel());
    const VkImageView scene = sceneView(kStaticScenes[0]);
    kzContextVulkan* context = activeChannel(configuration, {scene});
    ASSERT_NE(context, nullptr);
    const PixelComparison before = compareStatic(draw(context, target()), kStaticScenes[0], Strengths{}, Gammas{});
    EXPECT_ALL_PIXELS_MATCH(before);

    for (int side : {48, 20}) {
        SCOPED_TRACE("output " + std::to_string(side));
        size = side;
        headless::VulkanTarget& resized = newTarget();
        ASSERT_EQ(kzSetActiveChannelVulkan(context, 0, {scene}, unsigned(size), unsigned(size)), KZ_OK);
        EXPECT_EQ(context->corrections.at(0).table.width, unsigned(size));
        const PixelComparison after = compareStatic(draw(context, resized), kStaticScenes[0], Strengths{}, Gammas{});
        EXPECT_ALL_PIXELS_MATCH(after);
    }
}

// A dynamic channel on a cylinder segment (axis along y through the origin,
// radius 3, from 40 degrees left to 40 degrees right of -z, y from 1 at grid
// row 0 down to -1) seen through a target rectangle in the plane z = -1.5,
// well in front of the surface, so that the lookups shift with the eye by
// parallax. The shape's texture coordinates place the grid on the output
// from 0.1 to 0.9 in both directions, row 0 at the top; no pixel centre lies
// on the mesh's outline.
//
// Vertex outputs are interpolated affinely within each triangle (positions
// have w = 1), so the lookups expected at a pixel centre are the barycentric
// combination of those the vertex program computes at the corners of the
// grid triangle holding it, evaluated here per vertex.
class VulkanCorrectionPixelsDynamic : public VulkanCorrectionPixels {
protected:
    static constexpr uint32_t kColumns = 9;
    static constexpr uint32_t kRows = 7;

    void SetUp() override
    {
        VulkanCorrectionPixels::SetUp();
        size = 64;
        for (bool reversed : {false, true}) {
            auto point = [=](uint32_t column, uint32_t row) { return shapePoint(column, row, reversed); };
            dir.write(shapeName(reversed) + ".csv", screenShapeText(kColumns, kRows, point));
        }
        dir.write("target.csv", targetRectText({-1.6f, 0.9f, -1.5f}, {1.6f, 0.9f, -1.5f},
                                               {1.6f, -0.9f, -1.5f}, {-1.6f, -0.9f, -1.5f}));
        dir.write("shading.png", pngBytes(shadingMap));
    }

    static std::string shapeName(bool reversed) { return reversed ? "reversed" : "shape"; }

    // Gamma 1: the shading map reaches the output linearly. No blend or
    // black-level masks: those passes are locked at 0.
    kzContextVulkan* dynamicChannel(const std::vector<VkImageView>& scenes, bool reversed = false,
                                    bool flipVerticesY = false)
    {
        const std::string channel = channelElement(0, {{"shape", shapeName(reversed) + ".csv"},
                                                       {"target", "target.csv"},
                                                       {"directional-shading", "shading.png"}});
        const std::string name = shapeName(reversed) + (flipVerticesY ? "-flipped" : "") + ".xml";
        return activeChannel(dir.write(name, configurationText(KZ_CORRECTION_DYNAMIC, 1, 1, 1, channel)), scenes,
                             flipVerticesY);
    }

    // `reversed`: the texture coordinates run bottom to top, which mirrors
    // every triangle on the output.
    static ShapePoint shapePoint(uint32_t column, uint32_t row, bool reversed)
    {
        const float v = 0.1f + 0.8f * float(row) / float(kRows - 1);
        ShapePoint point = cylinderPoint(column, row, kColumns, kRows);
        point.texcoord = {0.1f + 0.8f * float(column) / float(kColumns - 1), reversed ? 1.0f - v : v};
        return point;
    }

    const Image scene = ramps(64, 48, {2, 4, 0}, {10, 0, 5}, {128, 0, 0});
    const Image white = Image::filled(64, 64, 255, 255, 255);
    const Image shadingMap = ramps(16, 16, {20, 14, 0}, {10, 0, 15}, {200, 0, 0});

    // One vertex's place on the output (pixels) and its two lookups.
    struct VertexOutputs {
        double x = 0, y = 0;
        Uv warped, shading;
    };

    // The vertex program on the CPU: placed at the texture coordinate (v
    // flipped with the vertices), the warped lookup from camera_mvp with v
    // flipped by flip_v, the shading lookup from the camera's eye.
    std::vector<VertexOutputs> vertexOutputs(const kzCamera& camera, bool reversed, bool flipVerticesY,
                                             bool flipV) const
    {
        kzMatrix4x4 mvp{};
        EXPECT_EQ(kzGetModelViewProjectionMatrix(&mvp, camera), KZ_OK);
        std::vector<VertexOutputs> outputs;
        for (uint32_t row = 0; row < kRows; ++row) {
            for (uint32_t column = 0; column < kColumns; ++column) {
                const ShapePoint p = shapePoint(column, row, reversed);
                const double point[4] = {p.position.x, p.position.y, p.position.z, 1.0};
                double clip[4] = {};
                for (int j = 0; j < 4; ++j) {
                    for (int i = 0; i < 4; ++i)
                        clip[j] += point[i] * mvp.m[4 * i + j];
                }
                VertexOutputs out;
                out.x = p.texcoord.x * size;
                out.y = (flipVerticesY ? 1.0 - p.texcoord.y : double(p.texcoord.y)) * size;
                out.warped = {(clip[0] / clip[3] + 1) / 2, (1 - clip[1] / clip[3]) / 2};
                if (flipV)
                    out.warped.v = 1 - out.warped.v;
                out.shading = shadingLookup(p, camera.position);
                outputs.push_back(out);
            }
        }
        return outputs;
    }

    // The outputs at (x, y), interpolated in the grid triangle that holds the
    // point: (i, i + 1, i + w) or (i + 1, i + w + 1, i + w) of the cell whose
    // upper-left point is i. Nothing outside the mesh.
    static std::optional<VertexOutputs> interpolate(const std::vector<VertexOutputs>& vertices, double x,
                                                    double y)
    {
        auto cross = [](double ax, double ay, double bx, double by) { return ax * by - ay * bx; };
        for (size_t i = 0; i + kColumns < vertices.size(); ++i) {
            if ((i + 1) % kColumns == 0)
                continue;  // last column: no cell to the right
            const size_t w = kColumns;
            const size_t triangles[2][3] = {{i, i + 1, i + w}, {i + 1, i + w + 1, i + w}};
            for (const auto& corners : triangles) {
                const VertexOutputs& a = vertices[corners[0]];
                const VertexOutputs& b = vertices[corners[1]];
                const VertexOutputs& c = vertices[corners[2]];
                const double area = cross(b.x - a.x, b.y - a.y, c.x - a.x, c.y - a.y);
                const double la = cross(b.x - x, b.y - y, c.x - x, c.y - y) / area;
                const double lb = cross(c.x - x, c.y - y, a.x - x, a.y - y) / area;
                const double lc = 1 - la - lb;
                if (la < -1e-9 || lb < -1e-9 || lc < -1e-9)
                    continue;
                auto mixed = [&](Uv VertexOutputs::*lookup) {
                    return Uv{la * (a.*lookup).u + lb * (b.*lookup).u + lc * (c.*lookup).u,
                              la * (a.*lookup).v + lb * (b.*lookup).v + lc * (c.*lookup).v};
                };
                VertexOutputs out;
                out.warped = mixed(&VertexOutputs::warped);
                out.shading = mixed(&VertexOutputs::shading);
                return out;
            }
        }
        return std::nullopt;
    }

    // Compares a dynamic channel's drawing with the model: pixels outside the
    // mesh keep the clear colour.
    PixelComparison compareDynamic(const std::vector<uint8_t>& pixels,
                                   const std::vector<VertexOutputs>& vertices, const Image& sceneImage,
                                   double shading) const
    {
        Strengths strengths;
        strengths.blend = strengths.blacklevel = strengths.secondary = 0;  // locked: no masks
        strengths.shading = shading;
        const Model model = [&](double x, double y) -> std::optional<Lookups> {
            const std::optional<VertexOutputs> at = interpolate(vertices, x, y);
            if (!at)
                return std::nullopt;
            Lookups in;
            in.scene = sampleScene(sceneImage, at->warped);
            in.shading = sampleMask(shadingMap, at->shading, MaskSetting::Stored);
            return in;
        };
        return compareImage(pixels, size, model, strengths, Gammas{1, 1, 1}, MaskSetting::Stored);
    }
};

// PreDraw with a projection re-aims the camera from the eye; the following
// PostDraw looks up the scene where that camera sees each surface point and
// the shading map in the direction of the eye. Image 0 shows the gradient
// scene with shading off, image 1 a white scene with shading on.
TEST_F(VulkanCorrectionPixelsDynamic, LookupsFollowTheEye)
{
    kzContextVulkan* context = dynamicChannel({sceneView(scene), sceneView(white)});
    ASSERT_NE(context, nullptr);
    const struct {
        const char* name;
        kzVec3f eye;
        bool flipV;
    } cases[] = {
        {"first eye", {-0.3f, 0.1f, 0.5f}, false},
        {"second eye", {0.5f, -0.2f, 0.2f}, false},
        {"second eye, warped lookup flipped", {0.5f, -0.2f, 0.2f}, true},
    };
    std::vector<VertexOutputs> outputs[2];
    std::vector<uint8_t> gradients[2];
    for (size_t e = 0; e < std::size(cases); ++e) {
        SCOPED_TRACE(cases[e].name);
        ASSERT_EQ(kzSetFlipWarpmeshTexcoordsVVulkan(context, cases[e].flipV), KZ_OK);
        kzVec3f angles{};
        kzMatrix4x4 projection{};
        ASSERT_EQ(kzPreDrawVulkan(context, cases[e].eye, &angles, &projection), KZ_OK);
        ASSERT_EQ(kzSetCorrectionPassVulkan(context, KZ_CORRECTION_PASS_DIRECTIONAL_SHADING, false), KZ_OK);
        const std::vector<uint8_t> gradient = draw(context, target(), 0);
        ASSERT_EQ(kzSetCorrectionPassVulkan(context, KZ_CORRECTION_PASS_DIRECTIONAL_SHADING, true), KZ_OK);
        const std::vector<uint8_t> shaded = draw(context, target(), 1);

        // The same eye aims the camera the same way: this is the camera drawn with.
        kzCamera camera{};
        ASSERT_EQ(kzPreDrawVulkan_1(context, cases[e].eye, &camera), KZ_OK);
        kzMatrix4x4 expectedProjection{};
        ASSERT_EQ(kzGetProjectionMatrix(&expectedProjection, camera), KZ_OK);
        EXPECT_TRUE(matricesNear(projection.m, expectedProjection.m, 1e-6f));
        const std::vector<VertexOutputs> vertices = vertexOutputs(camera, false, false, cases[e].flipV);
        const PixelComparison warpComparison = compareDynamic(gradient, vertices, scene, 0);
        EXPECT_ALL_PIXELS_MATCH(warpComparison);
        const PixelComparison shadingComparison = compareDynamic(shaded, vertices, white, 1);
        EXPECT_ALL_PIXELS_MATCH(shadingComparison);
        if (e < 2) {
            outputs[e] = vertices;
            gradients[e] = gradient;
        }
    }

    // The second eye moves the lookups well beyond the tolerance, and the
    // pixels with them.
    double lookupShift = 0;
    for (size_t i = 0; i < outputs[0].size() && i < outputs[1].size(); ++i)
        lookupShift = std::max(lookupShift, std::hypot(outputs[1][i].warped.u - outputs[0][i].warped.u,
                                                       outputs[1][i].warped.v - outputs[0][i].warped.v));
    int pixelChange = 0;
    for (size_t i = 0; i < gradients[0].size() && i < gradients[1].size(); ++i)
        pixelChange = std::max(pixelChange, std::abs(int(gradients[1][i]) - int(gradients[0][i])));
    EXPECT_GT(lookupShift, 0.05);
    EXPECT_GT(pixelChange, 10);
}

// The dynamic pipeline culls triangles wound anticlockwise on the output
// (front face clockwise, y down): a shape whose texture coordinates run
// bottom to top, or the usual one with its vertices flipped, leaves the
// cleared image; flipping the mirrored shape draws it again. The static
// pipeline draws such triangles ("vertices flipped" above).
TEST_F(VulkanCorrectionPixelsDynamic, MirroredTrianglesAreCulled)
{
    const kzVec3f eye{0.2f, 0.1f, 0.3f};
    const struct {
        const char* name;
        bool reversed;
        bool flipVerticesY;
        bool drawn;
    } cases[] = {
        {"as laid out", false, false, true},
        {"texture coordinates bottom to top", true, false, false},
        {"vertices flipped", false, true, false},
        {"bottom to top, vertices flipped", true, true, true},
    };
    const VkImageView gradient = sceneView(scene);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        kzContextVulkan* context = dynamicChannel({gradient}, c.reversed, c.flipVerticesY);
        ASSERT_NE(context, nullptr);
        kzCamera camera{};
        ASSERT_EQ(kzPreDrawVulkan_1(context, eye, &camera), KZ_OK);
        const std::vector<uint8_t> pixels = draw(context, target());
        std::vector<VertexOutputs> vertices;  // none: every pixel black
        if (c.drawn)
            vertices = vertexOutputs(camera, c.reversed, c.flipVerticesY, false);
        const PixelComparison comparison = compareDynamic(pixels, vertices, scene, 1);
        EXPECT_ALL_PIXELS_MATCH(comparison);
    }
}

}  // namespace
