// The Vulkan back-end's records: the context, mask textures, the correction
// mesh and the per-channel correction data, and the building blocks that make
// and release them. The host's instance, device, queue, command pool, image
// views and framebuffers are borrowed; everything else is owned by the record
// that holds it and released through one path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "config/mask_image.h"
#include "core/context_header.h"
#include "core/correction_passes.h"
#include "kzLib/types.h"
#include "vulkan/vulkan_functions.h"

// A sampled mask: R8G8B8A8_UNORM (R8G8B8A8_SRGB when the context reads masks
// as sRGB), optimal tiling, one level and layer, in
// SHADER_READ_ONLY_OPTIMAL; v = 0 is the image's first row. Null handles when
// the mask failed to load.
struct kzVulkanTexture {
    VkImage image = VK_NULL_HANDLE;
    VkDeviceMemory memory = VK_NULL_HANDLE;
    VkImageView view = VK_NULL_HANDLE;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t storedWidth = 0;  // size of the image in its file, before any reduction
    uint32_t storedHeight = 0;
};

// One vertex of a static correction mesh: where the warp map puts the point on
// the output (unit square; the masks are read there too) and where it reads
// the scene.
struct kzVulkanStaticVertex {
    float position[2];
    float texcoord_warped[2];
};
static_assert(sizeof(kzVulkanStaticVertex) == 16, "16-byte static vertex stride");

// One vertex of a dynamic correction mesh as its programs read it.
struct kzVulkanCorrectionVertex {
    float position[3];           // place on the output image, unit square
    float texcoord_warped[2];
    float texcoord_unwarped[2];
    float normal[3];
    float tangent[3];
    float position1[3];          // point on the projection surface
};
static_assert(sizeof(kzVulkanCorrectionVertex) == 64, "64-byte vertex stride");
static_assert(offsetof(kzVulkanCorrectionVertex, texcoord_warped) == 12 &&
                  offsetof(kzVulkanCorrectionVertex, texcoord_unwarped) == 20 &&
                  offsetof(kzVulkanCorrectionVertex, normal) == 28 &&
                  offsetof(kzVulkanCorrectionVertex, tangent) == 40 &&
                  offsetof(kzVulkanCorrectionVertex, position1) == 52,
              "vertex attribute offsets");

// 16-bit indices reach this many vertices.
constexpr size_t kzVulkanMaxShortIndexedVertices = 65536;

// Vertex and index buffers of a correction mesh, filled once at set-up; no
// CPU copy is kept. A grid is drawn in bands of `bandRows` rows of cells, one
// indexed draw each, that share one index list: each band's vertices are
// offset by its first row, so 16-bit indices reach grids of any height (up
// to 32768 columns; wider ones take 32-bit indices and one band). A grid of
// one row or one column has vertices but no triangles and therefore no index
// buffer.
struct kzVulkanCorrectionMesh {
    VkBuffer vertexBuffer = VK_NULL_HANDLE;
    VkDeviceMemory vertexBufferMemory = VK_NULL_HANDLE;
    VkBuffer indexBuffer = VK_NULL_HANDLE;
    VkDeviceMemory indexBufferMemory = VK_NULL_HANDLE;
    uint32_t vertexCount = 0;
    uint32_t indexCount = 0;  // indices in the buffer: one band's
    VkIndexType indexType = VK_INDEX_TYPE_UINT16;
    uint32_t columns = 0;     // grid points per row
    uint32_t cellRows = 0;    // rows of cells of the whole grid
    uint32_t bandRows = 0;    // rows of cells per band
};

// Records the mesh's draws: its bands in order, or nothing without triangles.
void kzVulkanDrawCorrectionMesh(const kzVulkanCorrectionMesh& mesh, VkCommandBuffer commands);

// What a static channel's correction table was last baked with; any change
// (a pass switch or weight, the mask gamma, the output size) calls for a new
// bake. Input and output gamma are applied per frame, not baked.
struct kzVulkanBakeKey {
    float features[kzFeatureCount] = {};
    float gamma = 0.0f;
    uint32_t width = 0;
    uint32_t height = 0;

    bool operator==(const kzVulkanBakeKey& other) const;
    bool operator!=(const kzVulkanBakeKey& other) const { return !(*this == other); }
};

// A static channel's correction baked into an output-sized R32G32B32A32_UINT
// image (layout in shaders/correction_table.glsl), and what draws from it: a
// pipeline specialised for the channel's input and output gamma and one
// descriptor set per scene image. The table is baked inside a frame's command
// buffer; `baked` says whether one has been recorded and with what.
struct kzVulkanCorrectionTable {
    VkImage image = VK_NULL_HANDLE;
    VkDeviceMemory memory = VK_NULL_HANDLE;
    VkImageView view = VK_NULL_HANDLE;
    VkFramebuffer framebuffer = VK_NULL_HANDLE;
    uint32_t width = 0;
    uint32_t height = 0;
    VkPipeline pipeline = VK_NULL_HANDLE;
    VkDescriptorPool descriptorPool = VK_NULL_HANDLE;
    std::vector<VkDescriptorSet> descriptorSets;
    bool baked = false;
    kzVulkanBakeKey bakedWith;

    bool drawable(size_t imageCount) const
    {
        return framebuffer != VK_NULL_HANDLE && pipeline != VK_NULL_HANDLE &&
               descriptorSets.size() == imageCount;
    }
};

// Size of the per-image uniform block the correction programs read.
constexpr VkDeviceSize kzVulkanUniformBlockSize = 192;

// What a channel's set-up built. A record stored for a channel without
// configuration, or of an unknown type, has no camera or per-image objects; a
// dynamic record whose screen shape failed has no mesh buffers. Neither is drawn.
struct kzCorrectionDataVulkan : kzChannelPasses {
    // The correction type the record was built for (-1: none); it picks the
    // pipeline, so descriptor sets and pipeline always match.
    int32_t correctionType = -1;
    std::unique_ptr<kzCamera> camera;
    float gamma = 2.2f;
    float inputGamma = 0.0f;
    float outputGamma = 0.0f;
    std::vector<VkImageView> imageViews;  // the host's scene images, one per swap-chain image
    kzVulkanTexture blendingTexture;
    kzVulkanTexture secondaryBlendingTexture;
    kzVulkanTexture blacklevelTexture;
    kzVulkanTexture directionalShadingTexture;
    kzVulkanCorrectionMesh cmesh;
    kzVulkanCorrectionTable table;  // static channels, when it could be made
    kzMesh warpMesh;        // static channels, until the mesh buffers are filled
    kzMesh screenShape;     // dynamic channels
    kzChannelSummary grid;  // of the warp map or screen shape, for the channel query
    kzTargetRect targetRect{};  // dynamic channels
    bool hasTargetRect = false;

    // Per swap-chain image.
    std::vector<VkBuffer> uniformBuffers;
    std::vector<VkDeviceMemory> uniformBuffersMemory;
    std::vector<void*> uniformBuffersMapped;
    VkDescriptorPool descriptorPool = VK_NULL_HANDLE;
    std::vector<VkDescriptorSet> descriptorSets;
    std::vector<VkCommandBuffer> commandBuffers;

    // Whether uniform blocks, descriptor sets and command buffers exist for
    // every image view.
    bool hasImageObjects() const
    {
        const size_t n = imageViews.size();
        return descriptorPool != VK_NULL_HANDLE && uniformBuffersMapped.size() == n &&
               descriptorSets.size() == n && commandBuffers.size() == n;
    }
};

struct kzContextVulkan : kzContextHeader {
    kzContextVulkan() : kzContextHeader(KZ_CONTEXT_VULKAN) {}

    VkPhysicalDevice physicalDevice = VK_NULL_HANDLE;
    VkDevice device = VK_NULL_HANDLE;
    VkQueue queue = VK_NULL_HANDLE;
    VkCommandPool commandPool = VK_NULL_HANDLE;
    uint32_t width = 0;
    uint32_t height = 0;
    VkFormat format = VK_FORMAT_UNDEFINED;
    VkRenderPass renderPass = VK_NULL_HANDLE;
    VkDescriptorSetLayout staticDescriptorSetLayout = VK_NULL_HANDLE;
    VkPipelineLayout staticPipelineLayout = VK_NULL_HANDLE;
    VkPipeline staticPipeline = VK_NULL_HANDLE;
    VkDescriptorSetLayout dynamicDescriptorSetLayout = VK_NULL_HANDLE;
    VkPipelineLayout dynamicPipelineLayout = VK_NULL_HANDLE;
    VkPipeline dynamicPipeline = VK_NULL_HANDLE;
    kzVulkanTexture fallbackTexture;
    VkSampler sampler = VK_NULL_HANDLE;
    // Baked correction: the render pass and pipeline that write a table, and
    // the set layout, pipeline layout and sampler of the pass that reads it.
    VkRenderPass bakeRenderPass = VK_NULL_HANDLE;
    VkPipeline bakePipeline = VK_NULL_HANDLE;
    VkDescriptorSetLayout flatDescriptorSetLayout = VK_NULL_HANDLE;
    VkPipelineLayout flatPipelineLayout = VK_NULL_HANDLE;
    VkSampler tableSampler = VK_NULL_HANDLE;
    kzCorrectionMethod correctionMethod = KZ_CORRECTION_METHOD_BAKED;
    std::map<uint32_t, kzCorrectionDataVulkan> corrections;
    bool commandsLoaded = false;  // the function table was resolved for this context
    bool maskSrgb = false;        // masks of channels built from now on are sampled as sRGB
};

// Resources. The buffer and image helpers throw std::runtime_error and
// release what they created before throwing.
uint32_t kzVulkanFindMemoryType(kzContextVulkan* context, uint32_t typeFilter, uint32_t properties);
void kzVulkanCreateBuffer(kzContextVulkan* context, VkDeviceSize size, uint32_t usage,
                          uint32_t properties, VkBuffer& buffer, VkDeviceMemory& memory);
VkCommandBuffer kzVulkanBeginSingleTimeCommands(kzContextVulkan* context);
void kzVulkanEndSingleTimeCommands(kzContextVulkan* context, VkCommandBuffer commandBuffer);
void kzVulkanCopyBuffer(kzContextVulkan* context, VkBuffer source, VkBuffer destination,
                        VkDeviceSize size);
void kzVulkanCreateImage(kzContextVulkan* context, uint32_t width, uint32_t height, VkFormat format,
                         VkImageTiling tiling, uint32_t usage, uint32_t properties, VkImage& image,
                         VkDeviceMemory& memory, uint32_t arrayLayers, uint32_t flags);
void kzVulkanTransitionImageLayout(kzContextVulkan* context, VkImage image, VkFormat format,
                                   VkImageLayout oldLayout, VkImageLayout newLayout,
                                   uint32_t layerCount);
void kzVulkanCopyBufferToImage(kzContextVulkan* context, VkBuffer buffer, VkImage image,
                               uint32_t width, uint32_t height, uint32_t layerCount);
bool kzVulkanCreateImageView(kzContextVulkan* context, VkImage image, VkImageView& view,
                             VkFormat format, VkImageViewType viewType, uint32_t layerCount);
bool kzVulkancreateTextureSampler(kzContextVulkan* context);
bool kzVulkanCreateShaderModule(kzContextVulkan* context, const unsigned char* code, size_t size,
                                VkShaderModule& module);
std::vector<char> kzVulkanReadFile(const std::string& fileName);

// Destroys a buffer and frees its memory; both may be null. Leaves both null.
void kzVulkanDestroyBuffer(kzContextVulkan* context, VkBuffer& buffer, VkDeviceMemory& memory);

// Textures. False (and no Vulkan object left behind) for a missing,
// undecodable or empty image; Vulkan failures throw.
bool kzVulkanCreateTextureFromFile(kzContextVulkan* context, const char* path,
                                   kzVulkanTexture& texture, calib::MaskFit fit = {});
bool kzVulkanCreateTextureFromMemory(kzContextVulkan* context, const unsigned char* data, int length,
                                     kzVulkanTexture& texture, calib::MaskFit fit = {});
// Releases view, image and memory and leaves the texture empty; null is ignored.
void kzVulkanFreeTexture(kzContextVulkan* context, kzVulkanTexture* texture);
// The small encoded image the context decodes into its fallback texture.
const unsigned char* kzVulkanFallbackImage(int* length);

// The vertices a pipeline reads: none (the program makes its own), or those of
// a static or dynamic correction mesh.
enum class kzVulkanVertexInput { none, staticMesh, dynamicMesh };

// What a graphics pipeline is made from; the rest of its state is fixed:
// triangle lists, one opaque colour attachment, dynamic viewport and scissor.
struct kzVulkanPipelineDescription {
    const uint32_t* vertexProgram = nullptr;
    size_t vertexProgramSize = 0;
    const uint32_t* fragmentProgram = nullptr;
    size_t fragmentProgramSize = 0;
    const VkSpecializationInfo* fragmentConstants = nullptr;
    kzVulkanVertexInput vertexInput = kzVulkanVertexInput::dynamicMesh;
    VkCullModeFlags cullMode = VK_CULL_MODE_NONE;
    VkPipelineLayout layout = VK_NULL_HANDLE;
    VkRenderPass renderPass = VK_NULL_HANDLE;
};
bool kzVulkanCreatePipelineLayout(kzContextVulkan* context, VkDescriptorSetLayout setLayout,
                                  VkPipelineLayout& layout);
bool kzVulkanCreateGraphicsPipeline(kzContextVulkan* context, const kzVulkanPipelineDescription& description,
                                    VkPipeline& pipeline);

// Descriptor-set layouts and pipelines, once per context.
bool kzVulkanCreateStaticDescriptorSetLayout(kzContextVulkan* context);
bool kzVulkanCreateDynamicDescriptorSetLayout(kzContextVulkan* context);
bool kzVulkanCreateStaticPipeline(kzContextVulkan* context);
bool kzVulkanCreateDynamicPipeline(kzContextVulkan* context);
bool kzVulkanCreateRenderPass(kzContextVulkan* context);

// The context's objects for baked correction (render pass, bake pipeline, the
// flat pass's layouts and table sampler); false at the first that cannot be
// made. Released with the context's other objects.
bool kzVulkanCreateTableObjects(kzContextVulkan* context);
void kzVulkanReleaseTableObjects(kzContextVulkan* context);

// A static channel's table at the context's output size, with its pipeline and
// descriptor sets for the record's image views. False (and nothing left
// behind) when any of it cannot be made: the channel then draws its mesh.
bool kzVulkanCreateCorrectionTable(kzContextVulkan* context, kzCorrectionDataVulkan& data);
void kzVulkanFreeCorrectionTable(kzContextVulkan* context, kzVulkanCorrectionTable& table);
// Points the flat pass's descriptor sets at the record's image views again.
void kzVulkanUpdateTableDescriptorSets(kzContextVulkan* context, kzCorrectionDataVulkan& data);

// Per-image objects of a channel, n = number of swap-chain images.
bool kzVulkanCreateStaticDescriptorPool(kzContextVulkan* context, VkDescriptorPool& pool, int n);
bool kzVulkanCreateDynamicDescriptorPool(kzContextVulkan* context, VkDescriptorPool& pool, int n);
bool kzVulkanCreateStaticDescriptorSets(kzContextVulkan* context, kzCorrectionDataVulkan& data, int n);
bool kzVulkanCreateDynamicDescriptorSets(kzContextVulkan* context, kzCorrectionDataVulkan& data, int n);
bool kzVulkanUpdateStaticDescriptorSets(kzContextVulkan* context, kzCorrectionDataVulkan& data, int n);
bool kzVulkanUpdateDynamicDescriptorSets(kzContextVulkan* context, kzCorrectionDataVulkan& data, int n);
void kzVulkanCreateUniformBuffers(kzContextVulkan* context, kzCorrectionDataVulkan& data, int n);
bool kzVulkanCreateCommandBuffers(kzContextVulkan* context, kzCorrectionDataVulkan& data, int n);
// Frees command buffers, uniform buffers and the descriptor pool (with its
// sets) and empties their vectors.
void kzVulkanReleaseImageObjects(kzContextVulkan* context, kzCorrectionDataVulkan& data);

// Correction meshes. Vulkan failures throw; a failed call leaves no buffer.
bool kzVulkanCreateCorrectionMesh(kzContextVulkan* context, kzMesh* mesh, kzVulkanCorrectionMesh& cmesh);
bool kzVulkanCreateDynamicCorrectionMesh(kzContextVulkan* context, kzMesh* mesh,
                                         kzVulkanCorrectionMesh& cmesh);
void kzVulkanFreeCorrectionMesh(kzContextVulkan* context, kzVulkanCorrectionMesh* cmesh);

// Releases everything a correction record owns and leaves it empty.
void kzVulkanReleaseCorrectionData(kzContextVulkan* context, kzCorrectionDataVulkan& data);

// Tells the channel query what set-up built for the channel (kept: stored in corrections).
void kzVulkanNoteSetUp(kzContextVulkan& context, uint32_t channel, bool kept,
                       const kzCorrectionDataVulkan& data);

// Frame work.
void kzVulkanUpdateUniformBuffers(kzContextVulkan* context, kzCorrectionDataVulkan& data,
                                  unsigned imageIndex);
bool kzVulkanRecordCommandBuffer(kzContextVulkan* context, kzCorrectionDataVulkan& data,
                                 VkFramebuffer framebuffer, VkCommandBuffer& commandBuffer,
                                 unsigned imageIndex, kzCorrectionType type);
// The key a table baked now would have.
kzVulkanBakeKey kzVulkanCurrentBakeKey(const kzContextVulkan* context, const kzCorrectionDataVulkan& data);
// Records a bake of the record's table with image `imageIndex`'s descriptor
// set (its uniform block must hold this frame's values), outside any render pass.
void kzVulkanRecordBake(kzContextVulkan* context, kzCorrectionDataVulkan& data, VkCommandBuffer commands,
                        unsigned imageIndex);
// Records the full-screen pass that applies the table, inside the correction render pass.
void kzVulkanRecordFlatDraw(kzContextVulkan* context, kzCorrectionDataVulkan& data, VkCommandBuffer commands,
                            unsigned imageIndex);

// Internal twins of the exported Vulkan entry points.
kzResult kzCreateContext_Vulkan(kzContextVulkan** context, VkPhysicalDevice physicalDevice,
                                VkDevice device, VkQueue queue, VkCommandPool commandPool,
                                VkFormat format);
kzResult kzDestroyContext_Vulkan(kzContextVulkan* context);
kzResult kzSetClippingPlanes_Vulkan(kzContextVulkan* context, float nearPlane, float farPlane);
kzResult kzSetCorrectionPass_Vulkan(kzContextVulkan* context, kzCorrectionPassType pass, bool enable);
kzResult kzSetCorrectionPass_Vulkan_1(kzContextVulkan* context, kzCorrectionPassType pass, float value);
kzResult kzSetCorrectionMethod_Vulkan(kzContextVulkan* context, kzCorrectionMethod method);
kzResult kzSetFlipWarpmeshVerticesY_Vulkan(kzContextVulkan* context, bool flip);
kzResult kzSetFlipWarpmeshTexcoordsV_Vulkan(kzContextVulkan* context, bool flip);
kzResult kzSetMaskSrgb_Vulkan(kzContextVulkan* context, bool srgb);
kzResult kzSetActiveChannel_Vulkan(kzContextVulkan* context, unsigned channel,
                                   std::vector<VkImageView> imageViews, unsigned width,
                                   unsigned height);
kzResult kzPreDraw_Vulkan(kzContextVulkan* context, kzVec3f eye, kzVec3f* orientation,
                          kzMatrix4x4* projection);
kzResult kzPreDraw_Vulkan_1(kzContextVulkan* context, kzVec3f eye, kzCamera* camera);
kzResult kzPostDraw_Vulkan(kzContextVulkan* context, VkFramebuffer framebuffer,
                           VkCommandBuffer& commandBuffer, unsigned imageIndex);
