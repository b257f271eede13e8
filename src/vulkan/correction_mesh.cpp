#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "geometry/grid_points.h"
#include "geometry/grid_triangles.h"
#include "vulkan/vulkan_records.h"

using namespace kz_vk_defs;

namespace {

// Non-finite values (invalid points) are stored as 0; their cells draw nothing.
void store(float* destination, const kzVec3f& value)
{
    destination[0] = grid::finiteOr0(value.x);
    destination[1] = grid::finiteOr0(value.y);
    destination[2] = grid::finiteOr0(value.z);
}

void store(float* destination, float x, float y)
{
    destination[0] = grid::finiteOr0(x);
    destination[1] = grid::finiteOr0(y);
}

kzVec3f elementOr0(const kzVec3f* array, size_t i)
{
    return array ? array[i] : kzVec3f{0.0f, 0.0f, 0.0f};
}

size_t pointCount(const kzMesh& mesh)
{
    return size_t(mesh.width) * size_t(mesh.height);
}

// Vertices, texture coordinates and the grid shape are needed to build a mesh;
// normals and tangents read as zero when absent.
bool hasPointArrays(const kzMesh* mesh)
{
    return mesh && (pointCount(*mesh) == 0 || (mesh->vertices && mesh->texcoords));
}

// A static mesh draws each point where the warp map puts it and samples the
// scene at the point's texture coordinate.
void writeStaticVertices(const kzMesh& mesh, kzVulkanStaticVertex* vertices)
{
    const size_t count = pointCount(mesh);
    for (size_t i = 0; i < count; ++i) {
        store(vertices[i].position, mesh.vertices[i].x, mesh.vertices[i].y);
        store(vertices[i].texcoord_warped, mesh.texcoords[i].x, mesh.texcoords[i].y);
    }
}

// A dynamic mesh places each screen point at its texture coordinate on the
// output; the scene lookup is computed per frame from the surface point.
void writeDynamicVertices(const kzMesh& mesh, bool flipVerticesY, kzVulkanCorrectionVertex* vertices)
{
    const size_t count = pointCount(mesh);
    for (size_t i = 0; i < count; ++i) {
        kzVulkanCorrectionVertex& vertex = vertices[i];
        const kzVec2f uv = mesh.texcoords[i];
        const float v = flipVerticesY ? 1.0f - uv.y : uv.y;
        store(vertex.position, kzVec3f{uv.x, v, 0.0f});
        store(vertex.texcoord_warped, uv.x, uv.y);
        store(vertex.texcoord_unwarped, uv.x, v);
        store(vertex.normal, elementOr0(mesh.normals, i));
        store(vertex.tangent, elementOr0(mesh.tangents, i));
        store(vertex.position1, mesh.vertices[i]);
    }
}

constexpr uint32_t kHostWritable = VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT;

// Whether the device has memory that is device-local and host-visible at
// once (all of it on an integrated or software device): buffers there are
// filled where they lie, without a staging copy.
bool hasWritableDeviceMemory(kzContextVulkan* context)
{
    VkPhysicalDeviceMemoryProperties properties{};
    vkGetPhysicalDeviceMemoryProperties(context->physicalDevice, &properties);
    const uint32_t wanted = VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT | kHostWritable;
    for (uint32_t i = 0; i < properties.memoryTypeCount && i < VK_MAX_MEMORY_TYPES; ++i) {
        if ((properties.memoryTypes[i].propertyFlags & wanted) == wanted)
            return true;
    }
    return false;
}

// Maps the first `size` bytes of `memory`, lets `fill` write them and unmaps them.
template <typename Fill>
void fillMapped(kzContextVulkan* context, VkDeviceMemory memory, VkDeviceSize size, Fill fill)
{
    void* mapped = nullptr;
    if (vkMapMemory(context->device, memory, 0, size, 0, &mapped) != VK_SUCCESS)
        throw std::runtime_error("failed to map buffer memory!");
    fill(mapped);
    vkUnmapMemory(context->device, memory);
}

// A buffer of `size` bytes that `fill` writes once. The bytes are written
// straight into the buffer's memory where the device allows, else into a
// staging buffer copied on the queue; no other copy is made either way.
template <typename Fill>
void createFilledBuffer(kzContextVulkan* context, VkDeviceSize size, VkBufferUsageFlags usage, VkBuffer& buffer,
                        VkDeviceMemory& memory, Fill fill)
{
    if (hasWritableDeviceMemory(context)) {
        kzVulkanCreateBuffer(context, size, usage, VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT | kHostWritable, buffer,
                             memory);
        fillMapped(context, memory, size, fill);
        return;
    }
    struct Staging {
        kzContextVulkan* context;
        VkBuffer buffer = VK_NULL_HANDLE;
        VkDeviceMemory memory = VK_NULL_HANDLE;
        ~Staging() { kzVulkanDestroyBuffer(context, buffer, memory); }
    } staging{context};
    kzVulkanCreateBuffer(context, size, VK_BUFFER_USAGE_TRANSFER_SRC_BIT, kHostWritable, staging.buffer,
                         staging.memory);
    fillMapped(context, staging.memory, size, fill);
    kzVulkanCreateBuffer(context, size, VK_BUFFER_USAGE_TRANSFER_DST_BIT | usage,
                         VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT, buffer, memory);
    kzVulkanCopyBuffer(context, staging.buffer, buffer, size);
}

// The grid's bands: as many rows of cells as keep a band's vertices within
// 16-bit indices, or the whole grid with 32-bit indices when not even two rows
// fit. The bands share one index list, so a grid with invalid points, whose
// list differs from cell to cell, is one band with 32-bit indices.
void planBands(const kzMesh& mesh, kzVulkanCorrectionMesh& cmesh)
{
    cmesh.columns = mesh.width;
    cmesh.cellRows = grid::triangleIndexCount(mesh.width, mesh.height) > 0 ? mesh.height - 1 : 0;
    const size_t rowsInShortRange = kzVulkanMaxShortIndexedVertices / std::max<size_t>(mesh.width, 1);
    const bool shortIndices = rowsInShortRange >= 2 && grid::invalidPointCount(mesh) == 0;
    cmesh.bandRows = shortIndices ? std::min<uint32_t>(cmesh.cellRows, uint32_t(rowsInShortRange - 1)) : cmesh.cellRows;
    cmesh.indexType = shortIndices ? VK_INDEX_TYPE_UINT16 : VK_INDEX_TYPE_UINT32;
    cmesh.indexCount = uint32_t(grid::triangleIndexCount(mesh.width, cmesh.bandRows + 1));
}

// Vertex buffer from `writeVertices`, then the index list of one band. A
// zero-sized buffer is not valid: nothing to draw means no buffer. On a
// Vulkan failure the mesh is released before the exception goes on.
template <typename Vertex, typename WriteVertices>
void buildMesh(kzContextVulkan* context, const kzMesh& mesh, kzVulkanCorrectionMesh& cmesh,
               WriteVertices writeVertices)
{
    const size_t points = pointCount(mesh);
    planBands(mesh, cmesh);
    const bool shortIndices = cmesh.indexType == VK_INDEX_TYPE_UINT16;
    try {
        if (points > 0)
            createFilledBuffer(context, points * sizeof(Vertex), VK_BUFFER_USAGE_VERTEX_BUFFER_BIT, cmesh.vertexBuffer,
                               cmesh.vertexBufferMemory,
                               [&](void* bytes) { writeVertices(static_cast<Vertex*>(bytes)); });
        cmesh.vertexCount = uint32_t(points);
        if (cmesh.indexCount > 0)
            createFilledBuffer(context, cmesh.indexCount * (shortIndices ? sizeof(uint16_t) : sizeof(uint32_t)),
                               VK_BUFFER_USAGE_INDEX_BUFFER_BIT, cmesh.indexBuffer, cmesh.indexBufferMemory,
                               [&](void* bytes) {
                                   const uint32_t rows = cmesh.bandRows + 1;
                                   if (shortIndices)
                                       grid::writeTriangleIndices(mesh.width, rows, static_cast<uint16_t*>(bytes));
                                   else
                                       grid::writeTriangleIndices(mesh.width, rows, static_cast<uint32_t*>(bytes),
                                                                  &mesh);
                               });
    } catch (...) {
        kzVulkanFreeCorrectionMesh(context, &cmesh);
        throw;
    }
}

}  // namespace

bool kzVulkanCreateCorrectionMesh(kzContextVulkan* context, kzMesh* mesh, kzVulkanCorrectionMesh& cmesh)
{
    if (!context || !hasPointArrays(mesh))
        return false;
    buildMesh<kzVulkanStaticVertex>(context, *mesh, cmesh,
                                    [&](kzVulkanStaticVertex* vertices) { writeStaticVertices(*mesh, vertices); });
    return true;
}

bool kzVulkanCreateDynamicCorrectionMesh(kzContextVulkan* context, kzMesh* mesh,
                                         kzVulkanCorrectionMesh& cmesh)
{
    if (!context || !hasPointArrays(mesh))
        return false;
    const bool flip = context->flipWarpmeshVerticesY;
    buildMesh<kzVulkanCorrectionVertex>(
        context, *mesh, cmesh, [&](kzVulkanCorrectionVertex* vertices) { writeDynamicVertices(*mesh, flip, vertices); });
    return true;
}

void kzVulkanDrawCorrectionMesh(const kzVulkanCorrectionMesh& mesh, VkCommandBuffer commands)
{
    if (mesh.indexBuffer == VK_NULL_HANDLE)
        return;
    const VkDeviceSize offset = 0;
    vkCmdBindVertexBuffers(commands, 0, 1, &mesh.vertexBuffer, &offset);
    vkCmdBindIndexBuffer(commands, mesh.indexBuffer, 0, mesh.indexType);
    const uint32_t indicesPerRow = 6 * (mesh.columns - 1);
    for (uint32_t first = 0; first < mesh.cellRows; first += mesh.bandRows) {
        const uint32_t rows = std::min(mesh.bandRows, mesh.cellRows - first);
        vkCmdDrawIndexed(commands, indicesPerRow * rows, 1, 0, int32_t(first * mesh.columns), 0);
    }
}

void kzVulkanFreeCorrectionMesh(kzContextVulkan* context, kzVulkanCorrectionMesh* cmesh)
{
    if (!cmesh)
        return;
    kzVulkanDestroyBuffer(context, cmesh->indexBuffer, cmesh->indexBufferMemory);
    kzVulkanDestroyBuffer(context, cmesh->vertexBuffer, cmesh->vertexBufferMemory);
    *cmesh = kzVulkanCorrectionMesh{};
}
