// The per-frame entry points: PreDraw's view, the uniform block and command
// buffer PostDraw fills for each swap-chain image, the correction pass
// switches as the programs see them, and the channels the hooks refuse.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kzLib.h"
#include "kzLib/vulkan.h"
#include "support/calibration_writer.h"
#include "support/temp_dir.h"
#include "support/vk_fixture.h"
#include "vulkan/vulkan_records.h"

namespace {

using namespace dovav::test;

constexpr uint32_t kSize = 8;

// The uniform block as the correction programs declare it.
struct UniformBlock {
    float mvp[16];
    float cameraMvp[16];
    float cameraPosition[4];
    float features[8];  // features1, features2
    float gamma;
    float inputGamma;
    float outputGamma;
    uint32_t flipV;
};
static_assert(sizeof(UniformBlock) == 192 && offsetof(UniformBlock, cameraPosition) == 128 &&
                  offsetof(UniformBlock, features) == 144 && offsetof(UniformBlock, gamma) == 176 &&
                  offsetof(UniformBlock, flipV) == 188,
              "the programs' block layout");

std::vector<float> floats(const float* values, size_t count)
{
    return std::vector<float>(values, values + count);
}
std::vector<float> floats(const kzMatrix4x4& matrix) { return floats(matrix.m, 16); }
std::vector<float> floats(const kzVec3f& v) { return {v.x, v.y, v.z}; }

const VkCommandBuffer kUntouched = reinterpret_cast<VkCommandBuffer>(uintptr_t(0x1234));

// Channel 1 static with all four masks, channel 2 static without masks;
// channel 6 dynamic, 7 dynamic without target rectangle, 8 dynamic without
// screen shape.
class VulkanFrameHooks : public VulkanTest {
protected:
    void SetUp() override
    {
        VulkanTest::SetUp();
        dir.write("mask.png", pngBytes(Image::filled(4, 4, 128, 128, 128)));
        dir.write("warp.csv", warpMapText(3, 3, [](float x, float y) { return kzVec2f{x, y}; }));
        dir.write("camera.csv", cameraText({1, 2, 3}, {30, 10, 0}, -0.5f, 0.5f, -0.25f, 0.25f));
        dir.write("shape.csv", screenShapeText(2, 2, [](uint32_t column, uint32_t row) {
                      const float x = float(column), y = float(row);
                      return ShapePoint{{x, y, -3}, {x, y}, {0, 0, 1}, {1, 0, 0}};
                  }));
        dir.write("target.csv", targetRectText(kUpperLeft, {1, 1, -2}, kLowerRight, kLowerLeft));
        const std::string mask = "mask.png";
        files = {dir.write("static.xml", configurationText(0, 2.4f, 0.8f, 1.25f,
                     channelElement(1, {{"warpmap", "warp.csv"}, {"frustum", "camera.csv"}, {"blending", mask},
                                        {"secondary-blending", mask}, {"blacklevel", mask},
                                        {"directional-shading", mask}}) +
                     channelElement(2, {{"warpmap", "warp.csv"}, {"frustum", "camera.csv"}}))),
                 dir.write("dynamic.xml", configurationText(1, 2.2f, 1, 1,
                     channelElement(6, {{"shape", "shape.csv"}, {"target", "target.csv"}}) +
                     channelElement(7, {{"shape", "shape.csv"}, {"target", "missing.csv"}}) +
                     channelElement(8, {{"shape", "missing.csv"}, {"target", "target.csv"}})))};
        useNewContext();
    }

    // Replaces the context the helpers work on by a fresh, configured one.
    void useNewContext(VkFormat format = VK_FORMAT_R8G8B8A8_UNORM)
    {
        context = createContext(format);
        for (const std::string& file : files)
            EXPECT_EQ(kzLoadConfigurationFromFileVulkan(context, file.c_str()), KZ_OK);
        target = std::make_unique<headless::VulkanTarget>(*device, kSize, kSize, format);
    }

    // Activates the channel with `viewCount` scene images, image i a uniform (40 (i + 1), 100, 200).
    kzResult activate(unsigned channel, size_t viewCount = 3)
    {
        std::vector<VkImageView> views;
        for (size_t i = 0; i < viewCount; ++i) {
            const Image image = Image::filled(kSize, kSize, uint8_t(40 * (i + 1)), 100, 200);
            scenes.push_back(std::make_unique<headless::VulkanSceneImage>(*device, kSize, kSize, image.rgba.data()));
            views.push_back(scenes.back()->view());
        }
        return kzSetActiveChannelVulkan(context, channel, views, kSize, kSize);
    }

    kzCorrectionDataVulkan& active() { return context->corrections.at(context->activeChannel); }

    UniformBlock block(size_t image)
    {
        UniformBlock result;
        std::memcpy(&result, active().uniformBuffersMapped.at(image), sizeof result);
        return result;
    }

    // Fills every uniform block of the active channel with a byte pattern.
    void scribble()
    {
        for (void* mapped : active().uniformBuffersMapped)
            std::memset(mapped, 0x5a, sizeof(UniformBlock));
    }
    bool scribbled(size_t image)
    {
        const std::vector<uint8_t> pattern(sizeof(UniformBlock), 0x5a);
        return std::memcmp(active().uniformBuffersMapped.at(image), pattern.data(), pattern.size()) == 0;
    }

    kzResult postDraw(unsigned image, VkCommandBuffer* commands)
    {
        return kzPostDrawVulkan(context, target->framebuffer(), commands, image);
    }

    std::string error() const
    {
        char buffer[kzErrorStringSize + 1] = {};
        kzGetErrorString(context, buffer, kzErrorStringSize);
        return buffer;
    }

    const kzVec3f kUpperLeft{-1, 1, -2};
    const kzVec3f kLowerLeft{-1, -1, -2};
    const kzVec3f kLowerRight{1, -1, -2};
    TempDir dir;
    std::vector<std::string> files;
    std::vector<std::unique_ptr<headless::VulkanSceneImage>> scenes;
    std::unique_ptr<headless::VulkanTarget> target;
    kzContextVulkan* context = nullptr;
};

// PostDraw for image i writes block i and no other, and hands out command
// buffer i.
TEST_F(VulkanFrameHooks, UniformBlockOfEachImage)
{
    ASSERT_EQ(activate(1), KZ_OK);
    ASSERT_EQ(kzSetClippingPlanesVulkan(context, 0.25f, 40.0f), KZ_OK);
    kzCamera camera{};
    ASSERT_EQ(kzGetCamera(context, 1, &camera), KZ_OK);
    camera.nearClip = 0.25f;
    camera.farClip = 40.0f;
    kzMatrix4x4 cameraMvp, ortho;
    kzGetModelViewProjectionMatrix(&cameraMvp, camera);
    kzGetOrthoMatrix(&ortho, 0, 1, 0, 1, 0, 1);
    scribble();
    const struct {
        unsigned image;
        bool flip;
    } draws[] = {{2, false}, {0, true}};
    for (const auto& d : draws) {
        SCOPED_TRACE(d.image);
        kzSetFlipWarpmeshTexcoordsVVulkan(context, d.flip);
        VkCommandBuffer commands = VK_NULL_HANDLE;
        ASSERT_EQ(postDraw(d.image, &commands), KZ_OK);
        EXPECT_EQ(commands, active().commandBuffers[d.image]);
        const UniformBlock b = block(d.image);
        EXPECT_EQ(floats(b.mvp, 16), floats(ortho));
        EXPECT_EQ(floats(b.cameraMvp, 16), floats(cameraMvp));
        EXPECT_EQ(floats(b.cameraPosition, 4), (std::vector<float>{1, 2, 3, 0}));
        EXPECT_EQ(floats(b.features, 8), (std::vector<float>{1, 1, 1, 1, 1, 1, 0, 0}));
        EXPECT_EQ(floats(&b.gamma, 3), (std::vector<float>{2.4f, 0.8f, 1.25f}));
        EXPECT_EQ(b.flipV, d.flip ? 1u : 0u);
        submit(commands);
    }
    EXPECT_TRUE(scribbled(1));
    EXPECT_EQ(block(2).flipV, 0u);
}

TEST_F(VulkanFrameHooks, FeaturesFollowThePassSwitches)
{
    using P = kzCorrectionPassType;
    using Steps = std::vector<std::function<void(kzContextVulkan*)>>;
    auto enable = [](P pass, bool on) { return [=](kzContextVulkan* c) { kzSetCorrectionPassVulkan(c, pass, on); }; };
    auto weight = [](P pass, float w) { return [=](kzContextVulkan* c) { kzSetCorrectionPassVulkan_1(c, pass, w); }; };
    const struct {
        const char* label;
        unsigned channel;
        Steps steps;
        std::vector<float> features;
    } cases[] = {
        {"defaults", 1, {}, {1, 1, 1, 1, 1, 1, 0, 0}},
        {"all off", 1,
         {enable(KZ_CORRECTION_PASS_WARPING, false), enable(KZ_CORRECTION_PASS_BLENDING, false),
          enable(KZ_CORRECTION_PASS_BLACKLEVEL, false), enable(KZ_CORRECTION_PASS_SECONDARY_BLENDING, false),
          enable(KZ_CORRECTION_PASS_DIRECTIONAL_SHADING, false)},
         {0, 0, 0, 1, 0, 0, 0, 0}},
        {"each weight to its slot", 1,
         {weight(KZ_CORRECTION_PASS_WARPING, 0.5f), weight(KZ_CORRECTION_PASS_BLENDING, 0.25f),
          weight(KZ_CORRECTION_PASS_BLACKLEVEL, 3.0f), weight(KZ_CORRECTION_PASS_SECONDARY_BLENDING, 0.75f),
          weight(KZ_CORRECTION_PASS_DIRECTIONAL_SHADING, -2.0f)},
         {0.5f, 0.25f, 3, 1, 0.75f, -2, 0, 0}},
        {"weights are kept while off", 1,
         {weight(KZ_CORRECTION_PASS_WARPING, 0.25f), enable(KZ_CORRECTION_PASS_WARPING, false),
          enable(KZ_CORRECTION_PASS_WARPING, true), weight(KZ_CORRECTION_PASS_BLENDING, 0.5f),
          enable(KZ_CORRECTION_PASS_BLENDING, false)},
         {0.25f, 0, 1, 1, 1, 1, 0, 0}},
        {"unknown pass values change nothing", 1,
         {enable(P(7), false), weight(P(-1), 0.0f), enable(P(5), false)}, {1, 1, 1, 1, 1, 1, 0, 0}},
        // Channel 2 has no masks: those passes are locked off.
        {"locked passes stay off", 2,
         {enable(KZ_CORRECTION_PASS_BLENDING, true), weight(KZ_CORRECTION_PASS_BLENDING, 1.0f),
          enable(KZ_CORRECTION_PASS_DIRECTIONAL_SHADING, true), weight(KZ_CORRECTION_PASS_WARPING, 0.5f)},
         {0.5f, 0, 0, 1, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        useNewContext();  // pass settings last as long as the channel's record
        ASSERT_EQ(activate(c.channel, 2), KZ_OK);
        for (const auto& step : c.steps)
            step(context);
        VkCommandBuffer commands = VK_NULL_HANDLE;
        ASSERT_EQ(postDraw(1, &commands), KZ_OK);
        EXPECT_EQ(floats(block(1).features, 8), c.features);
    }
}

// Each image samples its own scene image; the pass writes the context's
// format, whatever its component order.
TEST_F(VulkanFrameHooks, EachImageDrawsItsScene)
{
    // Without masks only the input and output gammas act.
    auto corrected = [](double value) { return 255.0 * std::pow(value / 255.0, 0.8 / 1.25); };
    for (VkFormat format : {VK_FORMAT_R8G8B8A8_UNORM, VK_FORMAT_B8G8R8A8_UNORM}) {
        SCOPED_TRACE(int(format));
        useNewContext(format);
        ASSERT_EQ(activate(2), KZ_OK);
        const bool bgra = format == VK_FORMAT_B8G8R8A8_UNORM;
        for (unsigned image : {1u, 0u, 2u}) {
            SCOPED_TRACE(image);
            VkCommandBuffer commands = VK_NULL_HANDLE;
            ASSERT_EQ(postDraw(image, &commands), KZ_OK);
            submit(commands);
            const std::vector<uint8_t> pixels = target->readPixels();
            const uint8_t* centre = &pixels[(kSize / 2 * kSize + kSize / 2) * 4];
            EXPECT_NEAR(centre[bgra ? 2 : 0], corrected(40.0 * (image + 1)), 2);
            EXPECT_NEAR(centre[1], corrected(100), 2);
            EXPECT_NEAR(centre[bgra ? 0 : 2], corrected(200), 2);
            EXPECT_EQ(centre[3], 255);
        }
    }
}

// Arguments PostDraw refuses before touching anything.
TEST_F(VulkanFrameHooks, PostDrawArgumentsOutOfRange)
{
    ASSERT_EQ(activate(1), KZ_OK);
    scribble();
    for (unsigned image : {3u, 4u, ~0u}) {
        VkCommandBuffer commands = kUntouched;
        EXPECT_EQ(postDraw(image, &commands), KZ_ERROR_INVALID_ARGUMENT);
        EXPECT_EQ(commands, kUntouched);
        EXPECT_EQ(error(), "Image index " + std::to_string(image) + " is beyond the 3 image views of channel 1");
    }
    EXPECT_EQ(postDraw(0, nullptr), KZ_ERROR_INVALID_ARGUMENT);
    for (size_t image = 0; image < 3; ++image) {
        EXPECT_TRUE(scribbled(image)) << image;
    }
}

// The method setter takes the two methods and refuses anything else, leaving
// the method as it was.
TEST_F(VulkanFrameHooks, CorrectionMethodSetterRefusesUnknownMethods)
{
    const struct {
        int method;
        kzResult result;
        kzCorrectionMethod after;
    } cases[] = {
        {KZ_CORRECTION_METHOD_MESH, KZ_OK, KZ_CORRECTION_METHOD_MESH},
        {2, KZ_ERROR_NOT_SUPPORTED, KZ_CORRECTION_METHOD_MESH},
        {KZ_CORRECTION_METHOD_BAKED, KZ_OK, KZ_CORRECTION_METHOD_BAKED},
        {-1, KZ_ERROR_NOT_SUPPORTED, KZ_CORRECTION_METHOD_BAKED},
    };
    EXPECT_EQ(context->correctionMethod, KZ_CORRECTION_METHOD_BAKED);
    for (const auto& c : cases) {
        EXPECT_EQ(kzSetCorrectionMethodVulkan(context, kzCorrectionMethod(c.method)), c.result) << c.method;
        EXPECT_EQ(context->correctionMethod, c.after) << c.method;
    }
    EXPECT_EQ(error(), "Unknown correction method -1");
    EXPECT_EQ(kzSetCorrectionMethodVulkan(nullptr, KZ_CORRECTION_METHOD_MESH), KZ_ERROR_INVALID_ARGUMENT);
}

// Every frame hook reports a channel it cannot draw, and PostDraw records
// nothing for it.
TEST_F(VulkanFrameHooks, ChannelsThatCannotBeDrawn)
{
    const std::string odd = dir.write("odd.xml", configurationText(4, 2.2f, 1, 1,
        channelElement(21, {{"warpmap", "warp.csv"}, {"frustum", "camera.csv"}})));
    const std::string late = dir.write("late.xml", configurationText(0, 2.2f, 1, 1,
        channelElement(5, {{"warpmap", "warp.csv"}, {"frustum", "camera.csv"}})));
    ASSERT_EQ(kzLoadConfigurationFromFileVulkan(context, odd.c_str()), KZ_OK);
    const struct {
        const char* label;
        unsigned channel;  // activated first, unless 0
        std::function<void()> afterwards;
        kzResult preDraw;  // both variants
        std::string message;
    } cases[] = {
        {"nothing activated", 0, nullptr, KZ_ERROR_INVALID_DATA, "No correction data available for channel 0"},
        {"never configured", 9, nullptr, KZ_ERROR_INVALID_DATA, "No configuration data available for channel 9"},
        {"configured after activation", 5, [&] { kzLoadConfigurationFromFileVulkan(context, late.c_str()); },
         KZ_ERROR_INVALID_DATA, "No correction data available for channel 5"},
        // Loading a file merges into the channel table: a configuration can
        // only go away from inside.
        {"configuration gone", 2, [&] { context->configurations.erase(2); }, KZ_ERROR_INVALID_DATA,
         "No configuration data available for channel 2"},
        {"unknown type", 21, nullptr, KZ_OK, "No correction data available for channel 21"},
        {"no screen shape", 8, nullptr, KZ_OK, "No correction data available for channel 8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.channel != 0) {
            activate(c.channel, 2);
        }
        if (c.afterwards) {
            c.afterwards();
        }
        if (c.channel == 8) {
            scribble();
        }
        std::strcpy(context->errorString, "");
        kzVec3f angles{-7, -7, -7};
        kzMatrix4x4 projection{};
        projection.m[0] = -7;
        kzCamera camera{};
        camera.left = -7;
        EXPECT_EQ(kzPreDrawVulkan(context, {}, &angles, &projection), c.preDraw);
        EXPECT_EQ(kzPreDrawVulkan_1(context, {}, &camera), c.preDraw);
        if (c.preDraw != KZ_OK) {
            EXPECT_EQ(error(), c.message);
            EXPECT_EQ(floats(angles), (std::vector<float>{-7, -7, -7}));
            EXPECT_EQ(projection.m[0], -7.0f);
            EXPECT_EQ(camera.left, -7.0f);
        }
        VkCommandBuffer commands = kUntouched;
        std::strcpy(context->errorString, "");
        EXPECT_EQ(postDraw(0, &commands), KZ_ERROR_INVALID_DATA);
        EXPECT_EQ(error(), c.message);
        EXPECT_EQ(commands, kUntouched);
        if (c.channel == 8) {
            EXPECT_TRUE(scribbled(0));
        }
    }
    // A record of unknown type gives no view at all.
    ASSERT_EQ(activate(21, 1), KZ_ERROR_INVALID_DATA);
    kzVec3f angles{-7, -7, -7};
    kzCamera camera{};
    camera.left = -7;
    EXPECT_EQ(kzPreDrawVulkan(context, {1, 1, 1}, &angles, nullptr), KZ_OK);
    EXPECT_EQ(kzPreDrawVulkan_1(context, {1, 1, 1}, &camera), KZ_OK);
    EXPECT_EQ(floats(angles), (std::vector<float>{-7, -7, -7}));
    EXPECT_EQ(camera.left, -7.0f);
}

// A channel activated without image views has nothing to record into: any
// image index is beyond its views.
TEST_F(VulkanFrameHooks, ChannelWithoutImageViewsIsNotDrawn)
{
    ASSERT_EQ(activate(1, 0), KZ_OK);
    EXPECT_FALSE(active().hasImageObjects());
    VkCommandBuffer commands = kUntouched;
    EXPECT_EQ(postDraw(0, &commands), KZ_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(commands, kUntouched);
    EXPECT_EQ(error(), "Image index 0 is beyond the 0 image views of channel 1");
}

TEST_F(VulkanFrameHooks, StaticPreDrawGivesTheCameraFileView)
{
    ASSERT_EQ(activate(1), KZ_OK);
    kzCamera expected{};
    ASSERT_EQ(kzGetCamera(context, 1, &expected), KZ_OK);
    kzMatrix4x4 projection;
    ASSERT_EQ(kzGetProjectionMatrix(&projection, expected), KZ_OK);
    kzVec3f angles;
    ASSERT_EQ(kzGetOrientation(&angles, expected.direction, expected.up), KZ_OK);

    const kzVec3f untouchedAngles{-7, -7, -7};
    kzMatrix4x4 untouchedMatrix;
    std::fill(std::begin(untouchedMatrix.m), std::end(untouchedMatrix.m), -7.0f);
    const struct {
        bool wantAngles, wantProjection;
    } cases[] = {{true, true}, {false, true}, {true, false}, {false, false}};
    // The eye does not matter for a static channel.
    for (const kzVec3f eye : {kzVec3f{0, 0, 0}, kzVec3f{5, 6, 7}}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::to_string(eye.x) + (c.wantAngles ? " angles" : "") +
                         (c.wantProjection ? " projection" : ""));
            kzVec3f a = untouchedAngles;
            kzMatrix4x4 p = untouchedMatrix;
            ASSERT_EQ(kzPreDrawVulkan(context, eye, c.wantAngles ? &a : nullptr, c.wantProjection ? &p : nullptr),
                      KZ_OK);
            EXPECT_EQ(floats(a), floats(c.wantAngles ? angles : untouchedAngles));
            EXPECT_EQ(floats(p), floats(c.wantProjection ? projection : untouchedMatrix));
        }
        kzCamera camera{};
        ASSERT_EQ(kzPreDrawVulkan_1(context, eye, &camera), KZ_OK);
        EXPECT_EQ(std::memcmp(&camera, &expected, sizeof camera), 0);
        EXPECT_EQ(kzPreDrawVulkan_1(context, eye, nullptr), KZ_OK);
    }
}

// A dynamic channel's view comes from the eye through its target rectangle;
// it is re-aimed only when a projection (or the whole camera) is asked for,
// and PostDraw draws with the view last aimed. Without a target rectangle
// there is no view: only the angles are written.
TEST_F(VulkanFrameHooks, DynamicPreDrawAimsThroughTheTarget)
{
    ASSERT_EQ(activate(6), KZ_OK);
    for (const kzVec3f eye : {kzVec3f{0, 0, 0}, kzVec3f{0.5f, -0.25f, 1}}) {
        SCOPED_TRACE(eye.x);
        kzCamera expected = *active().camera;
        ASSERT_EQ(kzGetOffAxisViewPortal(&expected, eye, kUpperLeft, kLowerLeft, kLowerRight), KZ_OK);
        kzMatrix4x4 wantProjection;
        kzGetProjectionMatrix(&wantProjection, expected);
        kzVec3f wantAngles;
        kzGetOrientation(&wantAngles, expected.direction, expected.up);

        kzMatrix4x4 projection{};
        kzVec3f angles{};
        ASSERT_EQ(kzPreDrawVulkan(context, eye, &angles, &projection), KZ_OK);
        EXPECT_EQ(floats(projection), floats(wantProjection));
        EXPECT_EQ(floats(angles), floats(wantAngles));

        // Angles alone keep the camera of the last aim.
        const kzCamera aimed = *active().camera;
        ASSERT_EQ(kzPreDrawVulkan(context, {9, 9, 9}, &angles, nullptr), KZ_OK);
        EXPECT_EQ(std::memcmp(active().camera.get(), &aimed, sizeof aimed), 0);
        EXPECT_EQ(floats(angles), floats(wantAngles));

        kzCamera camera{};
        ASSERT_EQ(kzPreDrawVulkan_1(context, eye, &camera), KZ_OK);
        EXPECT_EQ(std::memcmp(&camera, &expected, sizeof camera), 0);
        EXPECT_EQ(camera.nearClip, 0.5f);  // the context's planes, not the portal's

        VkCommandBuffer commands = VK_NULL_HANDLE;
        ASSERT_EQ(postDraw(1, &commands), KZ_OK);
        kzMatrix4x4 mvp;
        kzGetModelViewProjectionMatrix(&mvp, expected);
        EXPECT_EQ(floats(block(1).cameraMvp, 16), floats(mvp));
        EXPECT_EQ(floats(block(1).cameraPosition, 3), floats(eye));
        submit(commands);
    }

    ASSERT_EQ(activate(7), KZ_OK);
    const kzCamera unaimed = *active().camera;
    kzMatrix4x4 projection{};
    projection.m[5] = -7;
    kzVec3f angles{-7, -7, -7};
    kzCamera camera{};
    camera.top = -7;
    EXPECT_EQ(kzPreDrawVulkan(context, {1, 2, 3}, &angles, &projection), KZ_OK);
    EXPECT_EQ(kzPreDrawVulkan_1(context, {1, 2, 3}, &camera), KZ_OK);
    EXPECT_EQ(projection.m[5], -7.0f);
    EXPECT_NE(angles.x, -7.0f);
    EXPECT_EQ(camera.top, -7.0f);
    EXPECT_EQ(std::memcmp(active().camera.get(), &unaimed, sizeof unaimed), 0);
}

}  // namespace
