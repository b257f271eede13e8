// What the correction draw puts in the framebuffer: known scene textures and
// masks go through the public frame hooks, and the read-back pixels are
// compared with the correction evaluated on the CPU.
//
// Tolerance. Every texture lookup on the GPU may differ from the exact
// bilinear value by up to one 8-bit level: llvmpipe filters RGBA8 textures in
// 8-bit fixed point (the filtered result is itself an 8-bit value, off by at
// most one level) with 8-bit fractional weights (off by at most 1/256 of the
// step between neighbouring texels, a quarter level while neighbours differ
// by at most 64 levels, as every image here keeps them). The correction is
// non-decreasing in each lookup for pass strengths in [0, 1] and positive
// gammas, so evaluating it with every lookup lowered, then raised, by one
// level bounds the result however the gammas amplify the error. On top of
// that bound, one output level is allowed: half for the rounding to the RGBA8
// framebuffer, the rest for llvmpipe's pow, exp2 and log2 approximations
// (relative errors near 1e-5, far below a level).

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "kzLib.h"
#include "opengl/opengl_records.h"
#include "support/calibration_writer.h"
#include "support/correction_model.h"
#include "support/foreign_calibration.h"
#include "support/gl_fixture.h"
#include "support/temp_dir.h"

namespace {

using namespace dovav::test;

constexpr double kLookupError = 1.0 / 255.0;
constexpr double kOutputSlack = 1.0;  // levels
constexpr Tolerance kTolerance{kLookupError, kLookupError, kOutputSlack};

// GL_LINEAR with clamp to edge.
Rgb sample(const Image& image, double u, double v)
{
    return sampleLinear(image, {u, v}, Border::ClampToEdge, Texels::Unorm);
}

// Scene and masks of the static channel: smooth ramps in different
// directions, so that a lookup in the wrong place or orientation shows.
const Image& staticScene()
{
    static const Image image = Image::generated(24, 20, [](int column, int row, uint8_t rgb[3]) {
        rgb[0] = uint8_t(20 + 9 * column);
        rgb[1] = uint8_t(30 + 10 * row);
        rgb[2] = uint8_t(200 - 4 * column - 3 * row);
    });
    return image;
}

// Falls off to the right, as at a blend edge.
const Image& blendMask()
{
    static const Image image = Image::generated(8, 6, [](int column, int, uint8_t rgb[3]) {
        rgb[0] = uint8_t(255 - 20 * column);
        rgb[1] = uint8_t(245 - 18 * column);
        rgb[2] = uint8_t(255 - 14 * column);
    });
    return image;
}

// Falls off towards the bottom.
const Image& secondaryMask()
{
    static const Image image = Image::generated(8, 6, [](int column, int row, uint8_t rgb[3]) {
        rgb[0] = uint8_t(255 - 22 * row);
        rgb[1] = uint8_t(250 - 20 * row - 2 * column);
        rgb[2] = uint8_t(255 - 16 * row);
    });
    return image;
}

// Rises towards the bottom.
const Image& blacklevelMask()
{
    static const Image image = Image::generated(8, 6, [](int column, int row, uint8_t rgb[3]) {
        rgb[0] = uint8_t(16 + 20 * row + 3 * column);
        rgb[1] = uint8_t(20 + 18 * row);
        rgb[2] = uint8_t(24 + 22 * row - 2 * column);
    });
    return image;
}

class CorrectionPixelsTest : public OpenGLTest {
protected:
    void TearDown() override
    {
        for (kzContextOpenGL* context : contexts) {
            EXPECT_EQ(kzDestroyContextOpenGL(context), KZ_OK);
        }
        if (!textures.empty())
            glDeleteTextures(GLsizei(textures.size()), textures.data());
        framebuffer.reset();
        OpenGLTest::TearDown();
    }

    // A context with the configuration loaded and channel 0 active; destroyed
    // with the test.
    kzContextOpenGL* activeChannel(kzTextureTarget target, const std::string& configurationPath,
                                   unsigned channel = 0)
    {
        kzContextOpenGL* context = nullptr;
        EXPECT_EQ(kzCreateContextOpenGL(&context, target), KZ_OK);
        if (!context)
            return nullptr;
        contexts.push_back(context);
        EXPECT_EQ(kzSetCorrectionMethodOpenGL(context, method), KZ_OK);
        EXPECT_EQ(kzLoadConfigurationFromFileOpenGL(context, configurationPath.c_str()), KZ_OK);
        EXPECT_EQ(kzSetActiveChannelOpenGL(context, channel, unsigned(size), unsigned(size)), KZ_OK);
        return context;
    }

    GLuint sceneTexture(GLenum target, const Image& image)
    {
        textures.push_back(headless::createTexture(target, image.width, image.height, image.rgba.data()));
        return textures.back();
    }

    // The corrected image drawn into a cleared size x size framebuffer, rows
    // bottom to top.
    std::vector<uint8_t> draw(kzContextOpenGL* context, GLuint scene)
    {
        if (!framebuffer)
            framebuffer = std::make_unique<headless::GLFramebuffer>(size, size);
        framebuffer->bind();
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        EXPECT_EQ(kzPostDrawOpenGL(context, scene), KZ_OK);
        return framebuffer->readPixels();
    }

    // Camera, warp map and the three masks of a static channel, written once;
    // the channel attributes naming them, with the given replacements.
    std::vector<std::pair<std::string, std::string>> staticChannel(
        const std::vector<std::pair<std::string, std::string>>& replaced = {})
    {
        if (!staticFilesWritten) {
            dir.write("camera.csv", cameraText({0, 0, 0}, {0, 0, 0}, -0.5f, 0.5f, -0.5f, 0.5f));
            dir.write("mirror.csv", warpMapText(5, 5, [](float x, float y) { return kzVec2f{1 - x, y}; }));
            dir.write("blend.png", pngBytes(blendMask()));
            dir.write("secondary.png", pngBytes(secondaryMask()));
            dir.write("black.png", pngBytes(blacklevelMask()));
            staticFilesWritten = true;
        }
        std::vector<std::pair<std::string, std::string>> attributes = {
            {"frustum", "camera.csv"},   {"warpmap", "mirror.csv"},
            {"blending", "blend.png"},   {"secondary-blending", "secondary.png"},
            {"blacklevel", "black.png"},
        };
        for (const auto& [name, value] : replaced) {
            for (auto& attribute : attributes) {
                if (attribute.first == name)
                    attribute.second = value;
            }
        }
        return attributes;
    }

    // Compares a static channel's drawing with the model. Output pixel
    // (column, row) lies at (x, y) = ((column + 0.5) / size, (row + 0.5) / size)
    // with y up; masks are sampled at (x, 1 - y) and the scene between that
    // and the mirrored lookup (1 - x, y). With `centreHole`, the four cells
    // around the warp map's centre point (x and y from 0.25 to 0.75) must be
    // black: nothing is drawn there.
    PixelComparison compareStatic(const std::vector<uint8_t>& pixels, const Strengths& w, const Gammas& g,
                                  bool centreHole = false)
    {
        PixelComparison comparison(kTolerance);
        for (int row = 0; row < size; ++row) {
            for (int column = 0; column < size; ++column) {
                const double x = (column + 0.5) / size;
                const double y = (row + 0.5) / size;
                if (centreHole && x > 0.25 && x < 0.75 && y > 0.25 && y < 0.75) {
                    for (int k = 0; k < 3; ++k)
                        comparison.checkExact(pixelAt(pixels, size, column, row)[k], 0, k, "hole");
                    continue;
                }
                Lookups in;
                const double u = x + (1 - 2 * x) * w.warp;        // from x towards 1 - x
                const double v = (1 - y) + (2 * y - 1) * w.warp;  // from 1 - y towards y
                in.scene = sample(staticScene(), u, v);
                in.blend = sample(blendMask(), x, 1 - y);
                in.secondary = sample(secondaryMask(), x, 1 - y);
                in.blacklevel = sample(blacklevelMask(), x, 1 - y);
                comparison.check(pixelAt(pixels, size, column, row), in, w, g,
                                 "pixel " + std::to_string(column) + "," + std::to_string(row));
            }
        }
        return comparison;
    }

    int size = 32;
    kzCorrectionMethod method = KZ_CORRECTION_METHOD_BAKED;
    TempDir dir;
    bool staticFilesWritten = false;
    std::vector<kzContextOpenGL*> contexts;
    std::vector<GLuint> textures;
    std::unique_ptr<headless::GLFramebuffer> framebuffer;
};

TEST_F(CorrectionPixelsTest, StaticChannelFollowsGammasAndPassStrengths)
{
    struct Case {
        const char* name;
        Gammas gammas;
        bool perChannelGammas;  // input and output gamma as channel attributes
        Strengths strengths;
        std::vector<kzCorrectionPassType> switchedOff;
    };
    const Case cases[] = {
        {"every pass full", {2.2, 1.0, 1.0}, false, {1, 1, 1, 1}, {}},
        {"every pass at 0", {2.2, 1.0, 1.0}, false, {0, 0, 0, 0}, {}},
        {"every pass at half", {2.2, 1.0, 1.0}, false, {0.5, 0.5, 0.5, 0.5}, {}},
        {"warp at a quarter", {1.8, 1.0, 1.0}, false, {0.25, 1, 0, 0.5}, {}},
        {"linear masks", {1.0, 1.0, 1.0}, false, {1, 1, 1, 1}, {}},
        {"input and output gamma", {2.2, 2.2, 2.2}, false, {1, 1, 0.5, 1}, {}},
        {"per-channel input and output gamma", {2.4, 0.6, 1.6}, true, {0, 1, 1, 0.5}, {}},
        {"passes switched off", {2.2, 1.0, 1.0}, false, {1, 1, 1, 1},
         {KZ_CORRECTION_PASS_WARPING, KZ_CORRECTION_PASS_BLENDING, KZ_CORRECTION_PASS_BLACKLEVEL}},
    };
    for (size_t i = 0; i < 2 * std::size(cases); ++i) {
        const Case& c = cases[i % std::size(cases)];
        method = i < std::size(cases) ? KZ_CORRECTION_METHOD_BAKED : KZ_CORRECTION_METHOD_MESH;
        SCOPED_TRACE(std::string(c.name) + (method == KZ_CORRECTION_METHOD_MESH ? ", mesh" : ", baked"));
        auto attributes = staticChannel();
        float fileInput = float(c.gammas.input);
        float fileOutput = float(c.gammas.output);
        if (c.perChannelGammas) {
            attributes.push_back({"input-gamma", std::to_string(c.gammas.input)});
            attributes.push_back({"output-gamma", std::to_string(c.gammas.output)});
            fileInput = 1.0f;
            fileOutput = 1.0f;
        }
        const std::string configuration =
            dir.write("case" + std::to_string(i) + ".xml",
                      configurationText(KZ_CORRECTION_STATIC, float(c.gammas.gamma), fileInput, fileOutput,
                                        channelElement(0, attributes)));
        kzContextOpenGL* context = activeChannel(KZ_TEXTURE_TARGET_2D, configuration);
        ASSERT_NE(context, nullptr);
        const std::pair<kzCorrectionPassType, double> weights[] = {
            {KZ_CORRECTION_PASS_WARPING, c.strengths.warp},
            {KZ_CORRECTION_PASS_BLENDING, c.strengths.blend},
            {KZ_CORRECTION_PASS_BLACKLEVEL, c.strengths.blacklevel},
            {KZ_CORRECTION_PASS_SECONDARY_BLENDING, c.strengths.secondary},
        };
        for (const auto& [pass, weight] : weights) {
            ASSERT_EQ(kzSetCorrectionPassOpenGL_1(context, pass, float(weight)), KZ_OK);
        }
        for (kzCorrectionPassType pass : c.switchedOff) {
            ASSERT_EQ(kzSetCorrectionPassOpenGL(context, pass, false), KZ_OK);
        }

        Strengths effective = c.strengths;
        for (kzCorrectionPassType pass : c.switchedOff)
            strength(effective, pass) = 0;
        const auto pixels = draw(context, sceneTexture(GL_TEXTURE_2D, staticScene()));
        const PixelComparison comparison = compareStatic(pixels, effective, c.gammas);
        EXPECT_ALL_PIXELS_MATCH(comparison);
    }
}

// A warp map point without a valid lookup: the cells around it stay black,
// whether the lookup or the position is not a number, and the rest of the
// output is drawn as usual.
TEST_F(CorrectionPixelsTest, CellsAroundInvalidWarpPointAreNotDrawn)
{
    const auto mirrored = [](float x, float y) { return kzVec2f{1 - x, y}; };
    std::string invalidPosition = warpMapText(5, 5, mirrored);
    const std::string centre = "\n0.5;0.5;0.5;0.5;2;2\n";
    ASSERT_NE(invalidPosition.find(centre), std::string::npos);
    invalidPosition.replace(invalidPosition.find(centre), centre.size(), "\n0.5;-inf;0.5;0.5;2;2\n");
    const struct {
        const char* name;
        std::string warp;
    } cases[] = {
        {"lookup not a number",
         warpMapText(5, 5, [&](float x, float y) {
             return x == 0.5f && y == 0.5f ? kzVec2f{NAN, y} : mirrored(x, y);
         })},
        {"position infinite", invalidPosition},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        const std::string warp = "hole" + std::to_string(i) + ".csv";
        dir.write(warp, cases[i].warp);
        const std::string configuration =
            dir.write("hole" + std::to_string(i) + ".xml",
                      configurationText(KZ_CORRECTION_STATIC, 2.2f, 1.0f, 1.0f,
                                        channelElement(0, staticChannel({{"warpmap", warp}}))));
        kzContextOpenGL* context = activeChannel(KZ_TEXTURE_TARGET_2D, configuration);
        ASSERT_NE(context, nullptr);
        const auto pixels = draw(context, sceneTexture(GL_TEXTURE_2D, staticScene()));
        const PixelComparison comparison = compareStatic(pixels, Strengths{}, Gammas{}, true);
        EXPECT_ALL_PIXELS_MATCH(comparison);
    }
}

// One warp with a hole from every format draws the same image: the lookups
// agree up to float rounding of positions and of the OBJ's six digits (far
// below a texel), so no component may differ by more than the one level a
// lookup may tip across a rounding boundary.
TEST_F(CorrectionPixelsTest, EveryCalibrationFormatDrawsTheSameImage)
{
    const GLuint scene = sceneTexture(GL_TEXTURE_2D, staticScene());
    std::vector<uint8_t> reference;
    for (const CalibrationVariant& variant : writeWarpInEveryFormat(dir)) {
        SCOPED_TRACE(variant.name);
        kzContextOpenGL* context = activeChannel(KZ_TEXTURE_TARGET_2D, variant.configuration, variant.channel);
        ASSERT_NE(context, nullptr);
        const std::vector<uint8_t> pixels = draw(context, scene);
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
TEST_F(CorrectionPixelsTest, FlatAdvancedScreenReproducesThePerspectiveLookup)
{
    const GLuint scene = sceneTexture(GL_TEXTURE_2D, staticScene());
    const CalibrationVariant identity = writeIdentityWarp(dir);
    kzContextOpenGL* plain = activeChannel(KZ_TEXTURE_TARGET_2D, identity.configuration, identity.channel);
    ASSERT_NE(plain, nullptr);
    const std::vector<uint8_t> expected = draw(plain, scene);
    const CalibrationVariant screen = writeFlatScreen(dir);
    kzContextOpenGL* context = activeChannel(KZ_TEXTURE_TARGET_2D, screen.configuration, screen.channel);
    ASSERT_NE(context, nullptr);
    kzCamera camera{};
    ASSERT_EQ(kzPreDrawOpenGL_1(context, kzVec3f{0, 0, 0}, &camera), KZ_OK);
    EXPECT_LE(largestColourDifference(expected, draw(context, scene)), 1);
}

// A rectangle scene texture is addressed in texels: the same data must give
// the same corrected image as on the 2D path. The scene is not square, so
// scaling by the wrong side of the texture shows.
TEST_F(CorrectionPixelsTest, RectangleSceneTextureMatchesTwoDimensionalPath)
{
    const std::string configuration =
        dir.write("display.xml", configurationText(KZ_CORRECTION_STATIC, 2.2f, 1.0f, 1.0f,
                                                   channelElement(0, staticChannel())));
    std::vector<uint8_t> images[2];
    const std::pair<kzTextureTarget, GLenum> targets[] = {
        {KZ_TEXTURE_TARGET_2D, GL_TEXTURE_2D},
        {KZ_TEXTURE_TARGET_RECTANGLE, GL_TEXTURE_RECTANGLE},
    };
    for (int i = 0; i < 2; ++i) {
        kzContextOpenGL* context = activeChannel(targets[i].first, configuration);
        ASSERT_NE(context, nullptr);
        images[i] = draw(context, sceneTexture(targets[i].second, staticScene()));
    }
    // Both paths filter the same texels with the same weights up to float
    // rounding of the coordinate, which can tip one 8-bit lookup by a level.
    int largest = 0;
    for (int row = 0; row < size; ++row) {
        for (int column = 0; column < size; ++column) {
            for (int k = 0; k < 3; ++k) {
                const int difference = std::abs(int(pixelAt(images[1], size, column, row)[k]) -
                                                int(pixelAt(images[0], size, column, row)[k]));
                largest = std::max(largest, difference);
            }
        }
    }
    EXPECT_LE(largest, 1);
}

// A pass whose mask did not load is locked at 0: neither switch turns it on.
// Were it applied, it would multiply by the unbound mask's zeros and turn
// the whole image black.
TEST_F(CorrectionPixelsTest, PassWithUnloadedMaskStaysOff)
{
    dir.write("corrupt.png", "not an image at all");
    const std::string configuration = dir.write(
        "display.xml",
        configurationText(KZ_CORRECTION_STATIC, 2.2f, 1.0f, 1.0f,
                          channelElement(0, staticChannel({{"blending", "missing.png"},
                                                           {"secondary-blending", "corrupt.png"}}))));
    kzContextOpenGL* context = activeChannel(KZ_TEXTURE_TARGET_2D, configuration);
    ASSERT_NE(context, nullptr);
    const GLuint scene = sceneTexture(GL_TEXTURE_2D, staticScene());

    using Setter = std::function<kzResult(kzCorrectionPassType)>;
    auto weight = [&](float value) {
        return Setter([&, value](kzCorrectionPassType pass) {
            return kzSetCorrectionPassOpenGL_1(context, pass, value);
        });
    };
    const Setter on = [&](kzCorrectionPassType pass) {
        return kzSetCorrectionPassOpenGL(context, pass, true);
    };
    const Setter full = weight(1.0f);
    const Setter half = weight(0.5f);
    const Setter twice = weight(2.0f);
    const struct {
        const char* name;
        std::vector<Setter> calls;
    } cases[] = {
        {"as set up", {}},
        {"switched on", {on}},
        {"full strength", {full}},
        {"half strength, then switched on", {half, on}},
        {"switched on, then overdriven", {on, twice}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const Setter& call : c.calls) {
            EXPECT_EQ(call(KZ_CORRECTION_PASS_BLENDING), KZ_OK);
            EXPECT_EQ(call(KZ_CORRECTION_PASS_SECONDARY_BLENDING), KZ_OK);
        }
        // The black-level mask loaded, so that pass still applies.
        Strengths expected;
        expected.blend = 0;
        expected.secondary = 0;
        const PixelComparison comparison = compareStatic(draw(context, scene), expected, Gammas{});
        EXPECT_ALL_PIXELS_MATCH(comparison);
    }
}

// The baked table against the mesh program it is baked from, for every
// on/off combination of the warp, blend, black-level and secondary-blend
// passes at full and at fractional strength, four gamma sets, a 64x64 warp
// map and one denser than the output. Both draws look up the scene and the
// masks at the same points (the table is rasterised from the same mesh with
// the same programs' code), so they differ only by the table's fixed-point
// factors: m and k as 10-bit square roots, within 1/1023 of the baked value
// at full scale and far closer near zero, where the output gamma magnifies
// errors, stay under half an 8-bit level after the output gamma; with each
// side rounded to 8 bits, the two pixels are at most one level apart.
TEST_F(CorrectionPixelsTest, BakedTableMatchesMeshForEveryPassSetting)
{
    size = 96;
    // Black over much of the image, where the output gamma magnifies the
    // black level's error most.
    const Image scene = Image::generated(160, 120, [](int column, int row, uint8_t rgb[3]) {
        rgb[0] = uint8_t(std::clamp(2 * column - 60, 0, 255));
        rgb[1] = uint8_t(std::clamp(int(128 + 200 * std::cos(row * 0.13)), 0, 255));
        rgb[2] = uint8_t(std::clamp(int(200 * std::sin(column * 0.11 + row * 0.03)), 0, 255));
    });
    // A smooth, non-linear lookup that stays inside the scene.
    const auto lookup = [](float x, float y) {
        return kzVec2f{0.05f + 0.9f * x + 0.04f * std::sin(6 * y), 0.05f + 0.9f * y + 0.04f * std::sin(5 * x)};
    };
    dir.write("bent64.csv", warpMapText(64, 64, lookup));
    dir.write("bent160.csv", warpMapText(160, 160, lookup));
    // The last set adds the one table program variant the others leave out
    // (input gamma alone).
    const Gammas gammaSets[] = {{2.2, 1.0, 1.0}, {1.8, 2.2, 2.2}, {2.4, 1.0, 2.4}, {2.2, 1.8, 1.0}};
    const kzCorrectionPassType passes[] = {KZ_CORRECTION_PASS_WARPING, KZ_CORRECTION_PASS_BLENDING,
                                           KZ_CORRECTION_PASS_BLACKLEVEL,
                                           KZ_CORRECTION_PASS_SECONDARY_BLENDING};
    const float fractional[] = {0.35f, 0.6f, 0.8f, 0.45f};
    int largest = 0;
    for (const char* warp : {"bent64.csv", "bent160.csv"}) {
        for (const Gammas& g : gammaSets) {
            const std::string name = std::string(warp) + " gamma " + std::to_string(g.gamma) + " in " +
                                     std::to_string(g.input) + " out " + std::to_string(g.output);
            SCOPED_TRACE(name);
            const std::string configuration = dir.write(
                "compare" + std::to_string(contexts.size()) + ".xml",
                configurationText(KZ_CORRECTION_STATIC, float(g.gamma), float(g.input), float(g.output),
                                  channelElement(0, staticChannel({{"warpmap", warp}}))));
            method = KZ_CORRECTION_METHOD_BAKED;
            kzContextOpenGL* baked = activeChannel(KZ_TEXTURE_TARGET_2D, configuration);
            method = KZ_CORRECTION_METHOD_MESH;
            kzContextOpenGL* mesh = activeChannel(KZ_TEXTURE_TARGET_2D, configuration);
            ASSERT_TRUE(baked && mesh);
            const GLuint sceneTexture = this->sceneTexture(GL_TEXTURE_2D, scene);
            for (int setting = 0; setting < 32; ++setting) {
                const int switches = setting & 15;
                const bool partial = setting >= 16;
                SCOPED_TRACE("passes on " + std::to_string(switches) + (partial ? ", fractional" : ""));
                for (kzContextOpenGL* context : {baked, mesh}) {
                    for (int p = 0; p < 4; ++p) {
                        ASSERT_EQ(kzSetCorrectionPassOpenGL(context, passes[p], (switches >> p) & 1), KZ_OK);
                        ASSERT_EQ(kzSetCorrectionPassOpenGL_1(context, passes[p], partial ? fractional[p] : 1.0f),
                                  KZ_OK);
                    }
                }
                const std::vector<uint8_t> fromTable = draw(baked, sceneTexture);
                const std::vector<uint8_t> fromMesh = draw(mesh, sceneTexture);
                int worst = 0;
                for (size_t i = 0; i < fromTable.size(); ++i) {
                    if (i % 4 != 3)
                        worst = std::max(worst, std::abs(int(fromTable[i]) - int(fromMesh[i])));
                }
                EXPECT_LE(worst, 1);
                largest = std::max(largest, worst);
            }
        }
    }
    std::printf("largest baked-mesh difference: %d level(s)\n", largest);
}

// Activating a channel again with another output size bakes a table of that
// size: the drawing at the new size is the correction at the new size.
TEST_F(CorrectionPixelsTest, ReactivationAtNewSizeDrawsAtThatSize)
{
    const std::string configuration =
        dir.write("display.xml", configurationText(KZ_CORRECTION_STATIC, 2.2f, 1.0f, 1.0f,
                                                   channelElement(0, staticChannel())));
    kzContextOpenGL* context = activeChannel(KZ_TEXTURE_TARGET_2D, configuration);
    ASSERT_NE(context, nullptr);
    const GLuint scene = sceneTexture(GL_TEXTURE_2D, staticScene());
    for (int side : {32, 48, 20}) {
        SCOPED_TRACE(side);
        size = side;
        framebuffer.reset();
        ASSERT_EQ(kzSetActiveChannelOpenGL(context, 0, unsigned(side), unsigned(side)), KZ_OK);
        const PixelComparison comparison = compareStatic(draw(context, scene), Strengths{}, Gammas{});
        EXPECT_ALL_PIXELS_MATCH(comparison);
        const kzOpenGLCorrectionTable* table = context->corrections.at(0).table;
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(table->width, unsigned(side));
    }
}

// Pixels no warp-map triangle covers: a table writes them opaque black, the
// mesh method leaves them as they were.
TEST_F(CorrectionPixelsTest, PixelsOutsideTheWarpMap)
{
    dir.write("inset.csv", warpMapText(4, 4, [](float x, float y) { return kzVec2f{x, y}; },
                                       [](float x, float y) { return kzVec2f{0.25f + 0.5f * x, 0.25f + 0.5f * y}; }));
    const std::string configuration = dir.write(
        "display.xml", configurationText(KZ_CORRECTION_STATIC, 2.2f, 1.0f, 1.0f,
                                         channelElement(0, staticChannel({{"warpmap", "inset.csv"}}))));
    const GLuint scene = sceneTexture(GL_TEXTURE_2D, Image::filled(2, 2, 255, 255, 255));
    const struct {
        kzCorrectionMethod method;
        std::vector<uint8_t> outside;
    } cases[] = {{KZ_CORRECTION_METHOD_BAKED, {0, 0, 0, 255}}, {KZ_CORRECTION_METHOD_MESH, {0, 0, 0, 0}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method);
        method = c.method;
        kzContextOpenGL* context = activeChannel(KZ_TEXTURE_TARGET_2D, configuration);
        ASSERT_NE(context, nullptr);
        const std::vector<uint8_t> pixels = draw(context, scene);  // cleared to 0, 0, 0, 0
        for (int row = 0; row < size; ++row) {
            for (int column = 0; column < size; ++column) {
                const bool inside = column >= 8 && column < 24 && row >= 8 && row < 24;
                const uint8_t* pixel = pixelAt(pixels, size, column, row);
                if (inside) {
                    EXPECT_GT(pixel[0], 0) << column << "," << row;
                    EXPECT_EQ(pixel[3], 255) << column << "," << row;
                } else {
                    EXPECT_EQ(std::vector<uint8_t>(pixel, pixel + 4), c.outside) << column << "," << row;
                }
            }
        }
    }
}

// Where no table can be made the channel is drawn with its mesh: an output
// wider than GL textures can be, or none at all.
TEST_F(CorrectionPixelsTest, ChannelWithoutTableIsDrawnWithItsMesh)
{
    GLint maxTexture = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
    const std::string configuration =
        dir.write("display.xml", configurationText(KZ_CORRECTION_STATIC, 2.2f, 1.0f, 1.0f,
                                                   channelElement(0, staticChannel())));
    kzContextOpenGL* context = activeChannel(KZ_TEXTURE_TARGET_2D, configuration);
    ASSERT_NE(context, nullptr);
    const GLuint scene = sceneTexture(GL_TEXTURE_2D, staticScene());
    for (unsigned width : {unsigned(maxTexture) + 1, 0u}) {
        SCOPED_TRACE(width);
        ASSERT_EQ(kzSetActiveChannelOpenGL(context, 0, width, unsigned(size)), KZ_OK);
        EXPECT_EQ(context->corrections.at(0).table, nullptr);
        // The host's viewport is what the mesh fills.
        const PixelComparison comparison = compareStatic(draw(context, scene), Strengths{}, Gammas{});
        EXPECT_ALL_PIXELS_MATCH(comparison);
    }
}

// A dynamic channel on a cylinder segment (axis along y through the origin,
// radius 3, from 40 degrees left to 40 degrees right of -z, y from -1 to 1)
// viewed through a target rectangle in the plane z = -1.5, well in front of
// the surface, so that the lookups shift with the eye by parallax. The
// shape's texture coordinates put every grid point on a pixel centre of a
// 64 x 64 output, so the pixel there shows exactly that vertex's lookups.
class CorrectionPixelsDynamicTest : public CorrectionPixelsTest {
protected:
    static constexpr uint32_t kColumns = 9;
    static constexpr uint32_t kRows = 7;

    void SetUp() override
    {
        CorrectionPixelsTest::SetUp();
        size = 64;
        dir.write("shape.csv", screenShapeText(kColumns, kRows, shapePoint));
        dir.write("target.csv", targetRectText({-1.6f, 0.9f, -1.5f}, {1.6f, 0.9f, -1.5f},
                                               {1.6f, -0.9f, -1.5f}, {-1.6f, -0.9f, -1.5f}));
        dir.write("shading.png", pngBytes(shadingMap()));
        // Gamma 1: the shading map reaches the output linearly.
        const std::string configuration = dir.write(
            "display.xml",
            configurationText(KZ_CORRECTION_DYNAMIC, 1.0f, 1.0f, 1.0f,
                              channelElement(0, {{"shape", "shape.csv"}, {"target", "target.csv"},
                                                 {"directional-shading", "shading.png"}})));
        context = activeChannel(KZ_TEXTURE_TARGET_2D, configuration);
        ASSERT_NE(context, nullptr);
    }

    // Output pixel of grid column i: 4, 11, ... 60 from the left; of grid row
    // j: 60, 51, ... 6 from the bottom, so row 0 is the top of the screen.
    static int pixelColumn(uint32_t column) { return 4 + 7 * int(column); }
    static int pixelRow(uint32_t row) { return 60 - 9 * int(row); }

    static ShapePoint shapePoint(uint32_t column, uint32_t row)
    {
        ShapePoint point = cylinderPoint(column, row, kColumns, kRows);
        point.texcoord = {(float(pixelColumn(column)) + 0.5f) / 64.0f, (float(pixelRow(row)) + 0.5f) / 64.0f};
        return point;
    }

    static const Image& scene()
    {
        static const Image image = Image::generated(64, 48, [](int column, int row, uint8_t rgb[3]) {
            rgb[0] = uint8_t(2 + 4 * column);
            rgb[1] = uint8_t(10 + 5 * row);
            rgb[2] = 128;
        });
        return image;
    }

    // Steepest around the centre, where the lookups of these eyes fall.
    static const Image& shadingMap()
    {
        static const Image image = Image::generated(16, 16, [](int column, int row, uint8_t rgb[3]) {
            rgb[0] = uint8_t(std::clamp(128 + 20 * (2 * column - 15), 8, 248));
            rgb[1] = uint8_t(std::clamp(128 + 20 * (2 * row - 15), 8, 248));
            rgb[2] = 200;
        });
        return image;
    }

    kzContextOpenGL* context = nullptr;
};

TEST_F(CorrectionPixelsDynamicTest, LookupsFollowTheEye)
{
    const GLuint gradient = sceneTexture(GL_TEXTURE_2D, scene());
    const GLuint white = sceneTexture(GL_TEXTURE_2D, Image::filled(4, 4, 255, 255, 255));
    const kzVec3f eyes[] = {{-0.3f, 0.1f, 0.5f}, {0.5f, -0.2f, 0.2f}};
    std::vector<kzVec2f> warped[2];
    std::vector<Rgb> warpedPixels[2];
    for (int e = 0; e < 2; ++e) {
        SCOPED_TRACE("eye " + std::to_string(e));
        kzCamera camera{};
        ASSERT_EQ(kzPreDrawOpenGL_1(context, eyes[e], &camera), KZ_OK);

        // The warped lookup alone: the gradient scene, shading off.
        ASSERT_EQ(kzSetCorrectionPassOpenGL(context, KZ_CORRECTION_PASS_DIRECTIONAL_SHADING, false), KZ_OK);
        const std::vector<uint8_t> gradientImage = draw(context, gradient);
        // The shading lookup alone: a white scene, shading at full strength.
        ASSERT_EQ(kzSetCorrectionPassOpenGL(context, KZ_CORRECTION_PASS_DIRECTIONAL_SHADING, true), KZ_OK);
        const std::vector<uint8_t> shaded = draw(context, white);

        PixelComparison warpComparison(kTolerance);
        PixelComparison shadingComparison(kTolerance);
        Strengths warpOnly;
        warpOnly.blend = warpOnly.blacklevel = warpOnly.secondary = 0;  // no masks configured
        Strengths withShading = warpOnly;
        withShading.shading = 1;
        // Edge vertices may be left out by the fill rules.
        for (uint32_t row = 1; row + 1 < kRows; ++row) {
            for (uint32_t column = 1; column + 1 < kColumns; ++column) {
                const ShapePoint point = shapePoint(column, row);
                const std::string where = "vertex " + std::to_string(column) + "," + std::to_string(row);
                kzVec2f screen{};
                ASSERT_EQ(kzGetWorldToScreen(&screen, point.position, camera), KZ_OK);
                warped[e].push_back(screen);
                Lookups in;
                in.scene = sample(scene(), screen.x, screen.y);
                const uint8_t* pixel = pixelAt(gradientImage, size, pixelColumn(column), pixelRow(row));
                warpComparison.check(pixel, in, warpOnly, Gammas{1, 1, 1}, where);
                warpedPixels[e].push_back({double(pixel[0]), double(pixel[1]), double(pixel[2])});

                const Uv shading = shadingLookup(point, camera.position);
                Lookups lit;
                lit.scene = {1, 1, 1};
                lit.shading = sample(shadingMap(), shading.u, shading.v);
                shadingComparison.check(pixelAt(shaded, size, pixelColumn(column), pixelRow(row)), lit,
                                        withShading, Gammas{1, 1, 1}, where);
            }
        }
        EXPECT_ALL_PIXELS_MATCH(warpComparison);
        EXPECT_ALL_PIXELS_MATCH(shadingComparison);
    }

    // The second eye moves the lookups well beyond the tolerance, and the
    // pixels with them.
    double lookupShift = 0;
    double pixelChange = 0;
    for (size_t i = 0; i < warped[0].size(); ++i) {
        lookupShift = std::max(lookupShift, std::hypot(double(warped[1][i].x) - warped[0][i].x,
                                                       double(warped[1][i].y) - warped[0][i].y));
        for (int k = 0; k < 3; ++k)
            pixelChange = std::max(pixelChange, std::fabs(warpedPixels[1][i][k] - warpedPixels[0][i][k]));
    }
    EXPECT_GT(lookupShift, 0.05);
    EXPECT_GT(pixelChange, 10.0);
}

}  // namespace
