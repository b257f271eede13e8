// Building a channel the first time it is made active, and what later
// activations keep, rebind or rebuild: the records each outcome stores, the
// messages it leaves, the correction meshes and the per-image objects.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "kzLib.h"
#include "kzLib/vulkan.h"
#include "support/calibration_writer.h"
#include "support/temp_dir.h"
#include "support/vk_command_hook.h"
#include "support/vk_fixture.h"
#include "vulkan/vulkan_records.h"

namespace {

using namespace dovav::test;

struct Always {
    template <typename... Args>
    bool operator()(Args&&...) const { return true; }
};

template <auto* Slot, typename Fails = Always>
std::shared_ptr<void> failing(Fails fails = {})
{
    return std::make_shared<CommandHook<Slot>>(fails);
}

// Buffers created with any of `usage`, from the `from`-th such buffer on.
auto buffersFor(VkBufferUsageFlags usage, int from = 1)
{
    return [usage, seen = 0, from](VkDevice, const VkBufferCreateInfo* info, auto&&...) mutable {
        return (info->usage & usage) != 0 && ++seen >= from;
    };
}

constexpr uint32_t kSize = 8;

uint8_t redAt(const std::vector<uint8_t>& pixels, uint32_t x, uint32_t y)
{
    return pixels.at((size_t(y) * kSize + x) * 4);
}

template <typename Vertex>
std::vector<float> floatsOf(const Vertex& vertex)
{
    std::vector<float> values(sizeof vertex / sizeof(float));
    std::memcpy(values.data(), &vertex, sizeof vertex);
    return values;
}

ShapePoint shapePoint(uint32_t column, uint32_t row)
{
    return {{float(column) - 1, float(row), -2}, {0.2f + 0.3f * float(column), 0.3f + 0.4f * float(row)},
            {0, 0, 1}, {1, 0, 0}};
}

class VulkanChannelSetup : public VulkanTest {
protected:
    void SetUp() override
    {
        VulkanTest::SetUp();
        dir.write("white.png", pngBytes(Image::filled(4, 4, 255, 255, 255)));
        dir.write("black.png", pngBytes(Image::filled(4, 4, 0, 0, 0)));
        dir.write("broken.png", "not an image");
        dir.write("warp.csv", warpMapText(3, 3, [](float x, float y) { return kzVec2f{x, y}; }));
        dir.write("camera.csv", cameraText({0, 0, 0}, {0, 0, 0}, -1, 1, -0.5f, 0.5f));
        dir.write("target.csv", targetRectText({-1, 1, -2}, {1, 1, -2}, {1, -1, -2}, {-1, -1, -2}));
        dir.write("shape.csv", screenShapeText(3, 2, shapePoint));
        context = createContext();
    }


    void configure(int type, const std::string& channels, float inputGamma = 1.0f, float outputGamma = 1.0f)
    {
        const std::string path = dir.write("display" + std::to_string(configured++) + ".xml",
                                           configurationText(type, 2.4f, inputGamma, outputGamma, channels));
        ASSERT_EQ(kzLoadConfigurationFromFileVulkan(context, path.c_str()), KZ_OK);
    }

    // All four masks, the black level black: the output is the scene.
    static std::string staticChannel(unsigned id, const std::string& warp = "warp.csv",
                                     const std::string& camera = "camera.csv")
    {
        return channelElement(id, {{"warpmap", warp}, {"frustum", camera}, {"blending", "white.png"},
                                   {"secondary-blending", "white.png"}, {"blacklevel", "black.png"},
                                   {"directional-shading", "white.png"}});
    }

    static std::string dynamicChannel(unsigned id, const std::string& shape = "shape.csv",
                                      const std::string& target = "target.csv")
    {
        return channelElement(id, {{"shape", shape}, {"target", target}, {"blending", "white.png"},
                                   {"secondary-blending", "white.png"}, {"blacklevel", "black.png"},
                                   {"directional-shading", "white.png"}});
    }

    // Scene image views, image i filled with (red + i step, 100, 200).
    std::vector<VkImageView> views(size_t count, uint8_t red = 0, uint8_t step = 0)
    {
        std::vector<VkImageView> result;
        for (size_t i = 0; i < count; ++i) {
            const Image image = Image::filled(kSize, kSize, uint8_t(red + i * step), 100, 200);
            scenes.push_back(std::make_unique<headless::VulkanSceneImage>(gpu(), kSize, kSize, image.rgba.data()));
            result.push_back(scenes.back()->view());
        }
        return result;
    }

    kzResult activate(unsigned channel, std::vector<VkImageView> imageViews)
    {
        return kzSetActiveChannelVulkan(context, channel, std::move(imageViews), kSize, kSize);
    }
    kzResult activate(unsigned channel, size_t viewCount = 1) { return activate(channel, views(viewCount)); }

    // Records image `index` of the active channel into a target filled with
    // a colour of its own, submits it and reads the target back.
    std::vector<uint8_t> draw(unsigned index)
    {
        headless::VulkanTarget target(gpu(), kSize, kSize);
        const uint8_t fill[4] = {10, 20, 30, 40};
        target.fill(fill);
        VkCommandBuffer commands = VK_NULL_HANDLE;
        const kzResult result = kzPostDrawVulkan(context, target.framebuffer(), &commands, index);
        EXPECT_EQ(result, KZ_OK) << error();
        if (result != KZ_OK)
            return std::vector<uint8_t>(kSize * kSize * 4);
        gpu().submitAndWait(commands);
        return target.readPixels();
    }

    const kzCorrectionDataVulkan* record(unsigned channel) const
    {
        auto found = context->corrections.find(channel);
        return found == context->corrections.end() ? nullptr : &found->second;
    }

    std::string error() const
    {
        char buffer[kzErrorStringSize + 1] = {};
        kzGetErrorString(context, buffer, kzErrorStringSize);
        return buffer;
    }

    TempDir dir;
    kzContextVulkan* context = nullptr;
    int configured = 0;
};

TEST_F(VulkanChannelSetup, StaticChannelBuildsEverything)
{
    configure(0, staticChannel(3), 0.5f, 0.5f);  // the two gammas cancel out
    const std::vector<VkImageView> imageViews = views(3, 60, 60);
    ASSERT_EQ(activate(3, imageViews), KZ_OK) << error();
    EXPECT_EQ(error(), "");
    EXPECT_EQ(context->activeChannel, 3u);
    EXPECT_EQ(context->width, kSize);
    EXPECT_EQ(context->height, kSize);
    const kzCorrectionDataVulkan* data = record(3);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->correctionType, KZ_CORRECTION_STATIC);
    ASSERT_NE(data->camera, nullptr);
    EXPECT_EQ(data->camera->bottom, -0.5f);
    EXPECT_EQ(std::vector<float>({data->gamma, data->inputGamma, data->outputGamma}),
              std::vector<float>({2.4f, 0.5f, 0.5f}));
    for (const kzVulkanTexture* texture : {&data->blendingTexture, &data->secondaryBlendingTexture,
                                           &data->blacklevelTexture, &data->directionalShadingTexture}) {
        EXPECT_NE(texture->view, VK_NULL_HANDLE);
    }
    EXPECT_EQ(data->cmesh.vertexCount, 9u);
    EXPECT_EQ(data->cmesh.indexCount, 24u);
    EXPECT_NE(data->cmesh.indexBuffer, VK_NULL_HANDLE);
    // One uniform block, descriptor set and command buffer per image view.
    EXPECT_EQ(data->imageViews, imageViews);
    EXPECT_NE(data->descriptorPool, VK_NULL_HANDLE);
    EXPECT_EQ(data->uniformBuffers.size(), 3u);
    EXPECT_EQ(data->descriptorSets.size(), 3u);
    EXPECT_EQ(data->commandBuffers.size(), 3u);
    std::vector<void*> blocks = data->uniformBuffersMapped;
    std::sort(blocks.begin(), blocks.end());
    EXPECT_EQ(std::unique(blocks.begin(), blocks.end()) - blocks.begin(), 3);
    EXPECT_NE(blocks[0], nullptr);
    // Image i samples scene image i.
    for (unsigned i = 0; i < 3; ++i) {
        EXPECT_NEAR(redAt(draw(i), kSize / 2, kSize / 2), 60 * (i + 1), 2) << i;
    }
}

// Outcomes of a first activation: the result, the message, what is kept, and
// what activating the channel again gives.
TEST_F(VulkanChannelSetup, FailureTable)
{
    context = useOwnDevice();
    ASSERT_NE(context, nullptr);
    dir.write("bad-warp.csv", "header\n0;0;0;0;0;0\n0;0;0;0;5;5\n");
    const std::string missing = dir.path() + "/missing.csv";
    configure(0, staticChannel(1, "later-warp.csv") + staticChannel(2, "warp.csv", "later-camera.csv") +
                     staticChannel(3, "bad-warp.csv"));
    configure(1, dynamicChannel(11, "missing.csv") + dynamicChannel(12, "shape.csv", "missing.csv"));
    configure(5, staticChannel(21));
    const struct {
        unsigned channel;
        kzResult result;
        std::string message;
        bool stored, imageObjects, mesh;
        kzResult again;
    } cases[] = {
        {1, KZ_ERROR_VULKAN, "Failed to load warping from " + dir.path() + "/later-warp.csv", false, false, false,
         KZ_ERROR_VULKAN},
        {2, KZ_ERROR_FILE, "Failed to load camera configuration from " + dir.path() + "/later-camera.csv", false,
         false, false, KZ_ERROR_FILE},
        {3, KZ_ERROR_VULKAN, "Failed to load warping from " + dir.path() + "/bad-warp.csv", false, false, false,
         KZ_ERROR_VULKAN},
        {7, KZ_ERROR_INVALID_DATA, "No configuration found for channel 7", true, false, false, KZ_ERROR_INVALID_DATA},
        {11, KZ_ERROR_FILE, "Failed to load screen shape from " + missing, true, true, false, KZ_OK},
        {12, KZ_OK, "Failed to load target rectangle from " + missing, true, true, true, KZ_OK},
        {21, KZ_ERROR_INVALID_DATA, "Unknown configuration type for channel 21", true, false, false,
         KZ_ERROR_INVALID_DATA},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.channel);
        EXPECT_EQ(activate(c.channel, 2), c.result);
        EXPECT_EQ(error(), c.message);
        EXPECT_EQ(context->activeChannel, c.channel);
        EXPECT_EQ(context->width, kSize);
        const kzCorrectionDataVulkan* data = record(c.channel);
        ASSERT_EQ(data != nullptr, c.stored);
        if (data) {
            EXPECT_EQ(data->hasImageObjects(), c.imageObjects);
            EXPECT_EQ(data->uniformBuffers.size(), c.imageObjects ? 2u : 0u);
            EXPECT_EQ(data->cmesh.vertexBuffer != VK_NULL_HANDLE, c.mesh);
            EXPECT_EQ(data->imageViews.size(), 2u);
        }
        std::strcpy(context->errorString, "");
        EXPECT_EQ(activate(c.channel, 2), c.again);
        EXPECT_EQ(error(), c.again == KZ_OK ? "" : c.message);
    }
    // An unknown type keeps camera and masks; a failed shape keeps its target.
    EXPECT_EQ(record(21)->correctionType, -1);
    EXPECT_NE(record(21)->camera, nullptr);
    EXPECT_NE(record(21)->blendingTexture.view, VK_NULL_HANDLE);
    EXPECT_TRUE(record(11)->hasTargetRect);
    EXPECT_FALSE(record(12)->hasTargetRect);
    EXPECT_EQ(record(7)->camera, nullptr);

    // Nothing was kept of the static failures: once their files are there they build.
    dir.write("later-warp.csv", warpMapText(2, 2, [](float x, float y) { return kzVec2f{x, y}; }));
    dir.write("later-camera.csv", cameraText({0, 0, 0}, {0, 0, 0}, -1, 1, -1, 1));
    for (unsigned channel : {1u, 2u}) {
        EXPECT_EQ(activate(channel), KZ_OK) << error();
        ASSERT_NE(record(channel), nullptr);
        EXPECT_TRUE(record(channel)->hasImageObjects());
    }
}

// A mask that does not load locks its pass off, is sampled as the fallback
// texture, and names its path in the message; set-up still succeeds.
TEST_F(VulkanChannelSetup, UnloadableMasksLockTheirPasses)
{
    const std::string broken = dir.path() + "/broken.png";
    const struct {
        const char* attribute;
        kzCorrectionPassType pass;
        std::string message;
    } masks[] = {
        {"blending", KZ_CORRECTION_PASS_BLENDING, "Failed to create blending texture from " + broken},
        {"secondary-blending", KZ_CORRECTION_PASS_SECONDARY_BLENDING,
         "Failed to create secondary blending texture from " + broken},
        {"blacklevel", KZ_CORRECTION_PASS_BLACKLEVEL, "Failed to create blc texture from " + broken},
        {"directional-shading", KZ_CORRECTION_PASS_DIRECTIONAL_SHADING,
         "Failed to create color texture from " + broken},
    };
    std::string channels;
    for (unsigned k = 0; k < 4; ++k) {
        std::vector<std::pair<std::string, std::string>> attributes = {{"warpmap", "warp.csv"},
                                                                       {"frustum", "camera.csv"}};
        for (unsigned m = 0; m < 4; ++m)
            attributes.emplace_back(masks[m].attribute, m == k ? "broken.png" : "black.png");
        channels += channelElement(k, attributes);
    }
    configure(0, channels);
    for (unsigned k = 0; k < 4; ++k) {
        SCOPED_TRACE(masks[k].attribute);
        ASSERT_EQ(activate(k), KZ_OK);
        EXPECT_EQ(error(), masks[k].message);
        kzCorrectionDataVulkan& data = context->corrections.at(k);
        const kzVulkanTexture* textures[] = {&data.blendingTexture, &data.secondaryBlendingTexture,
                                             &data.blacklevelTexture, &data.directionalShadingTexture};
        for (unsigned m = 0; m < 4; ++m) {
            const kzCorrectionPass& pass = *kzFindCorrectionPass(data, masks[m].pass);
            EXPECT_EQ(pass.locked, m == k) << masks[m].attribute;
            EXPECT_EQ(pass.enabled, m != k) << masks[m].attribute;
            EXPECT_EQ(textures[m]->view == VK_NULL_HANDLE, m == k) << masks[m].attribute;
        }
        EXPECT_FALSE(data.warpingPass.locked);
        kzSetCorrectionPassVulkan(context, masks[k].pass, true);
        kzSetCorrectionPassVulkan_1(context, masks[k].pass, 0.5f);
        EXPECT_FALSE(kzFindCorrectionPass(data, masks[k].pass)->enabled);
        EXPECT_EQ(kzFindCorrectionPass(data, masks[k].pass)->weight, 1.0f);
    }

    // Without any mask both pipelines draw with the fallback in every mask
    // binding, and nothing is reported: a mask that is not named is simply off.
    configure(0, channelElement(8, {{"warpmap", "warp.csv"}, {"frustum", "camera.csv"}}));
    configure(1, channelElement(9, {{"shape", "shape.csv"}, {"target", "target.csv"}}));
    const std::string before = error();
    for (unsigned channel : {8u, 9u}) {
        ASSERT_EQ(activate(channel, views(2, 90)), KZ_OK);
        EXPECT_EQ(error(), before);
        const std::vector<uint8_t> pixels = draw(1);
        if (channel == 8) {
            EXPECT_NEAR(redAt(pixels, 4, 4), 90, 2);  // every mask pass off: the scene as it is
        }
    }
}

// A static vertex is drawn where the warp map puts it and samples the scene
// at its texture coordinate; the masks are read at its place.
TEST_F(VulkanChannelSetup, StaticVerticesFollowTheWarpMap)
{
    dir.write("small.csv",
              warpMapText(2, 2, [](float x, float y) { return kzVec2f{0.25f + 0.5f * x, 0.125f + 0.75f * y}; }));
    configure(0, staticChannel(1, "small.csv") + staticChannel(2, "small.csv"));
    ASSERT_EQ(activate(1), KZ_OK);
    kzSetFlipWarpmeshVerticesYVulkan(context, true);
    kzSetFlipWarpmeshTexcoordsVVulkan(context, true);
    ASSERT_EQ(activate(2), KZ_OK);
    for (bool flipped : {false, true}) {
        SCOPED_TRACE(flipped);
        const kzVulkanCorrectionMesh& mesh = record(flipped ? 2 : 1)->cmesh;
        EXPECT_EQ(mappedElements<uint16_t>(context->device, mesh.indexBufferMemory, mesh.indexCount),
                  (std::vector<uint16_t>{0, 1, 2, 1, 3, 2}));
        EXPECT_EQ(mesh.indexType, VK_INDEX_TYPE_UINT16);
        ASSERT_EQ(mesh.vertexCount, 4u);
        const std::vector<kzVulkanStaticVertex> vertices =
            mappedElements<kzVulkanStaticVertex>(context->device, mesh.vertexBufferMemory, mesh.vertexCount);
        for (size_t i = 0; i < 4; ++i) {
            const float x = float(i % 2), row = float(i / 2);
            const float y = flipped ? 1.0f - row : row;
            const float v = flipped ? 1.0f - (0.125f + 0.75f * row) : 0.125f + 0.75f * row;
            // position (where the masks are read too), warped texture coordinate
            EXPECT_EQ(floatsOf(vertices[i]), (std::vector<float>{x, y, 0.25f + 0.5f * x, v})) << "vertex " << i;
        }
    }
}

// A dynamic vertex sits on the output at its texture coordinate (flipped
// vertically when the context asks for it) and carries the surface point,
// normal and tangent; the texture-coordinate flag is the programs' business.
TEST_F(VulkanChannelSetup, DynamicVerticesFollowTheScreenShape)
{
    configure(1, dynamicChannel(1) + dynamicChannel(2) + dynamicChannel(3));
    const struct {
        unsigned channel;
        bool flipVerticesY, flipTexcoordsV;
    } cases[] = {{1, false, false}, {2, true, false}, {3, false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.channel);
        kzSetFlipWarpmeshVerticesYVulkan(context, c.flipVerticesY);
        kzSetFlipWarpmeshTexcoordsVVulkan(context, c.flipTexcoordsV);
        ASSERT_EQ(activate(c.channel), KZ_OK);
        const kzVulkanCorrectionMesh& mesh = record(c.channel)->cmesh;
        EXPECT_EQ(mappedElements<uint16_t>(context->device, mesh.indexBufferMemory, mesh.indexCount),
                  (std::vector<uint16_t>{0, 1, 3, 1, 4, 3, 1, 2, 4, 2, 5, 4}));
        ASSERT_EQ(mesh.vertexCount, 6u);
        const std::vector<kzVulkanCorrectionVertex> vertices =
            mappedElements<kzVulkanCorrectionVertex>(context->device, mesh.vertexBufferMemory, mesh.vertexCount);
        for (uint32_t i = 0; i < 6; ++i) {
            const ShapePoint p = shapePoint(i % 3, i / 3);
            const float u = p.texcoord.x, v = p.texcoord.y, y = c.flipVerticesY ? 1.0f - v : v;
            EXPECT_EQ(floatsOf(vertices[i]),
                      (std::vector<float>{u, y, 0, u, v, u, y, p.normal.x, p.normal.y, p.normal.z, p.tangent.x,
                                          p.tangent.y, p.tangent.z, p.position.x, p.position.y, p.position.z}))
                << "vertex " << i;
        }
    }
}

// 16-bit indices for any grid height: a grid of more than 65536 vertices is
// drawn in bands of rows that share one band's index list, each band's
// vertices offset by its first row. Every band together covers the output.
TEST_F(VulkanChannelSetup, LargeGridsDrawInBandsOfShortIndices)
{
    const struct {
        uint32_t width, height;
        uint32_t bandRows;  // rows of cells per band
    } cases[] = {{2, 2, 1}, {256, 256, 255}, {257, 256, 254}, {300, 700, 217}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        const std::string name = "grid" + std::to_string(c.width) + ".csv";
        dir.write(name, warpMapText(c.width, c.height, [](float x, float y) { return kzVec2f{x, y}; }));
        configure(0, channelElement(c.width, {{"warpmap", name}, {"frustum", "camera.csv"}}));
        ASSERT_EQ(activate(c.width, views(1, 70)), KZ_OK);
        const kzVulkanCorrectionMesh& mesh = record(c.width)->cmesh;
        EXPECT_EQ(mesh.indexType, VK_INDEX_TYPE_UINT16);
        EXPECT_EQ(mesh.vertexCount, c.width * c.height);
        EXPECT_EQ(mesh.bandRows, c.bandRows);
        const std::vector<uint16_t> indices =
            mappedElements<uint16_t>(context->device, mesh.indexBufferMemory, mesh.indexCount);
        ASSERT_EQ(indices.size(), 6 * size_t(c.width - 1) * c.bandRows);
        const uint32_t last = c.width * (c.bandRows + 1) - 1;  // the band's last vertex
        EXPECT_EQ(*std::max_element(indices.begin(), indices.end()), last);
        const uint32_t above = last - c.width;
        EXPECT_EQ(std::vector<uint32_t>(indices.end() - 6, indices.end()),
                  (std::vector<uint32_t>{above - 1, above, last - 1, above, last, last - 1}));
        for (kzCorrectionMethod method : {KZ_CORRECTION_METHOD_MESH, KZ_CORRECTION_METHOD_BAKED}) {
            ASSERT_EQ(kzSetCorrectionMethodVulkan(context, method), KZ_OK);
            const std::vector<uint8_t> pixels = draw(0);
            for (uint32_t y = 0; y < kSize; ++y) {
                for (uint32_t x = 0; x < kSize; ++x)
                    EXPECT_NEAR(redAt(pixels, x, y), 70, 3) << x << "," << y << " method " << method;
            }
        }
    }
}

// A grid of one row or one column has no triangles: no index buffer, and the
// pass only clears the output to opaque black.
TEST_F(VulkanChannelSetup, SingleRowOrColumnOnlyClears)
{
    dir.write("row.csv", warpMapText(3, 1, [](float x, float y) { return kzVec2f{x, y}; }));
    dir.write("column.csv", warpMapText(1, 3, [](float x, float y) { return kzVec2f{x, y}; }));
    dir.write("row-shape.csv", screenShapeText(3, 1, shapePoint));
    configure(0, staticChannel(1, "row.csv") + staticChannel(2, "column.csv"));
    configure(1, dynamicChannel(3, "row-shape.csv"));
    for (unsigned channel : {1u, 2u, 3u}) {
        SCOPED_TRACE(channel);
        ASSERT_EQ(activate(channel, views(1, 255)), KZ_OK);
        const kzVulkanCorrectionMesh& mesh = record(channel)->cmesh;
        EXPECT_EQ(mesh.vertexCount, 3u);
        EXPECT_NE(mesh.vertexBuffer, VK_NULL_HANDLE);
        EXPECT_EQ(mesh.indexCount, 0u);
        EXPECT_EQ(mesh.indexBuffer, VK_NULL_HANDLE);
        EXPECT_EQ(mesh.indexBufferMemory, VK_NULL_HANDLE);
        std::vector<uint8_t> black;
        for (uint32_t i = 0; i < kSize * kSize; ++i)
            black.insert(black.end(), {0, 0, 0, 255});
        EXPECT_EQ(draw(0), black);
    }
}

// Activating a built channel again with as many views only rewrites its
// descriptor sets; another number of views rebuilds the per-image objects.
TEST_F(VulkanChannelSetup, ReactivationRebindsOrRebuilds)
{
    configure(0, channelElement(1, {{"warpmap", "warp.csv"}, {"frustum", "camera.csv"}}) + staticChannel(2));
    ASSERT_EQ(activate(1, views(2, 50, 10)), KZ_OK);
    ASSERT_EQ(activate(2, 2), KZ_OK);
    const kzCorrectionDataVulkan& data = *record(1);
    const std::vector<VkBuffer> uniformBuffers = data.uniformBuffers;
    const std::vector<VkCommandBuffer> commandBuffers = data.commandBuffers;
    const VkDescriptorPool pool = data.descriptorPool;

    const std::vector<VkImageView> rebound = views(2, 150, 10);
    ASSERT_EQ(activate(1, rebound), KZ_OK);
    EXPECT_EQ(data.imageViews, rebound);
    EXPECT_EQ(data.uniformBuffers, uniformBuffers);
    EXPECT_EQ(data.commandBuffers, commandBuffers);
    EXPECT_EQ(data.descriptorPool, pool);
    EXPECT_NEAR(redAt(draw(1), 4, 4), 160, 2);

    const struct {
        size_t count;
        uint8_t red;
    } cases[] = {{3, 200}, {1, 100}, {4, 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        ASSERT_EQ(activate(1, views(c.count, c.red, 10)), KZ_OK);
        EXPECT_TRUE(data.hasImageObjects());
        EXPECT_EQ(data.uniformBuffers.size(), c.count);
        EXPECT_EQ(data.uniformBuffersMapped.size(), c.count);
        EXPECT_EQ(data.descriptorSets.size(), c.count);
        EXPECT_EQ(data.commandBuffers.size(), c.count);
        const unsigned highest = unsigned(c.count - 1);
        EXPECT_NEAR(redAt(draw(highest), 4, 4), c.red + 10 * highest, 2);
        VkCommandBuffer commands = VK_NULL_HANDLE;
        EXPECT_EQ(kzPostDrawVulkan(context, VK_NULL_HANDLE, &commands, unsigned(c.count)), KZ_ERROR_INVALID_ARGUMENT);
        EXPECT_EQ(commands, VK_NULL_HANDLE);
    }
}

// A record that cannot serve the configuration the channel now has is built
// again from scratch at the next activation.
TEST_F(VulkanChannelSetup, RecordsAreRebuiltForANewConfiguration)
{
    context = useOwnDevice();
    ASSERT_NE(context, nullptr);
    configure(5, staticChannel(21));
    configure(0, staticChannel(22));
    const struct {
        const char* label;
        unsigned channel;
        int type;
        std::string channels;
        size_t vertices;
    } cases[] = {
        {"configured after activation", 5, 0, staticChannel(5), 9},
        {"unknown type becomes static", 21, 0, staticChannel(21), 9},
        {"static becomes dynamic", 22, 1, dynamicChannel(22), 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        activate(c.channel, 2);
        ASSERT_NE(record(c.channel), nullptr);
        configure(c.type, c.channels);
        ASSERT_EQ(activate(c.channel, 2), KZ_OK) << error();
        const kzCorrectionDataVulkan& data = *record(c.channel);
        EXPECT_EQ(data.correctionType, c.type);
        EXPECT_NE(data.camera, nullptr);
        EXPECT_TRUE(data.hasImageObjects());
        EXPECT_EQ(data.cmesh.vertexCount, c.vertices);
        draw(1);
    }
}

// Vulkan failures while a channel is built: an exception from a helper
// becomes KZ_ERROR_VULKAN with its message and leaves no record (and nothing
// alive on the device); per-image objects that cannot be made leave a record
// that is not drawn. Either way, a later activation builds the channel.
TEST_F(VulkanChannelSetup, VulkanFailuresDuringSetUp)
{
    context = useOwnDevice();
    ASSERT_NE(context, nullptr);
    namespace vk = kz_vk_defs;
    const struct {
        const char* label;
        bool dynamic;
        std::function<std::shared_ptr<void>()> inject;
        const char* thrown;  // empty: set-up succeeds without per-image objects
    } cases[] = {
        {"mask image", false, [] { return failing<&vk::vkCreateImage>(); }, "failed to create image!"},
        {"mask staging buffer", false, [] { return failing<&vk::vkCreateBuffer>(); },
         "failed to create vertex buffer!"},
        {"mask image memory", false,
         [] { return failing<&vk::vkAllocateMemory>([n = 0](auto&&...) mutable { return ++n == 2; }); },
         "failed to allocate image memory!"},
        {"mask image binding", false, [] { return failing<&vk::vkBindImageMemory>(); }, "failed to bind image memory!"},
        {"upload command buffer", false, [] { return failing<&vk::vkAllocateCommandBuffers>(); },
         "failed to allocate upload command buffer!"},
        {"vertex buffer", false,
         [] { return failing<&vk::vkCreateBuffer>(buffersFor(VK_BUFFER_USAGE_VERTEX_BUFFER_BIT)); },
         "failed to create vertex buffer!"},
        {"dynamic vertex buffer", true,
         [] { return failing<&vk::vkCreateBuffer>(buffersFor(VK_BUFFER_USAGE_VERTEX_BUFFER_BIT)); },
         "failed to create vertex buffer!"},
        {"index buffer", false,
         [] { return failing<&vk::vkCreateBuffer>(buffersFor(VK_BUFFER_USAGE_INDEX_BUFFER_BIT)); },
         "failed to create vertex buffer!"},
        {"second uniform buffer", false,
         [] { return failing<&vk::vkCreateBuffer>(buffersFor(VK_BUFFER_USAGE_UNIFORM_BUFFER_BIT, 2)); },
         "failed to create vertex buffer!"},
        {"uniform mapping", true,
         [] {
             return failing<&vk::vkMapMemory>([](VkDevice, VkDeviceMemory, VkDeviceSize, VkDeviceSize size,
                                                 auto&&...) { return size == VK_WHOLE_SIZE; });
         },
         "failed to map uniform buffer memory!"},
        {"descriptor pool", false, [] { return failing<&vk::vkCreateDescriptorPool>(); }, ""},
        {"descriptor sets", true, [] { return failing<&vk::vkAllocateDescriptorSets>(); }, ""},
        {"per-image command buffers", false,
         [] {
             return failing<&vk::vkAllocateCommandBuffers>(
                 [](VkDevice, const VkCommandBufferAllocateInfo* info, auto&&...) {
                     return info->commandBufferCount == 3;  // the per-image ones
                 });
         },
         ""},
    };
    std::string channels[2];
    for (unsigned k = 0; k < std::size(cases); ++k)
        channels[cases[k].dynamic] += cases[k].dynamic ? dynamicChannel(k) : staticChannel(k);
    configure(0, channels[0]);
    configure(1, channels[1]);
    for (unsigned k = 0; k < std::size(cases); ++k) {
        const auto& c = cases[k];
        SCOPED_TRACE(c.label);
        std::strcpy(context->errorString, "");
        kzResult result;
        {
            const std::shared_ptr<void> hook = c.inject();
            result = activate(k, 3);
        }
        EXPECT_EQ(error(), c.thrown);
        EXPECT_EQ(context->activeChannel, k);
        if (*c.thrown) {
            EXPECT_EQ(result, KZ_ERROR_VULKAN);
            EXPECT_EQ(record(k), nullptr);
        } else {
            EXPECT_EQ(result, KZ_OK);
            ASSERT_NE(record(k), nullptr);
            EXPECT_FALSE(record(k)->hasImageObjects());
            EXPECT_TRUE(record(k)->uniformBuffers.empty());
            EXPECT_TRUE(record(k)->commandBuffers.empty());
            EXPECT_EQ(record(k)->descriptorPool, VK_NULL_HANDLE);
            VkCommandBuffer commands = VK_NULL_HANDLE;
            EXPECT_EQ(kzPostDrawVulkan(context, VK_NULL_HANDLE, &commands, 0), KZ_ERROR_INVALID_DATA);
            EXPECT_EQ(error(), "No correction data available for channel " + std::to_string(k));
        }
        ASSERT_EQ(activate(k, 3), KZ_OK) << error();
        EXPECT_TRUE(record(k)->hasImageObjects());
        draw(2);
    }
}

}  // namespace
