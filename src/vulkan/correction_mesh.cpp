#include <cstring>
#include <stdexcept>

#include "geometry/grid_triangles.h"
#include "vulkan/vulkan_records.h"

using namespace kz_vk_defs;

namespace {

void store(float* destination, const kzVec3f& value)
{
    destination[0] = value.x;
    destination[1] = value.y;
    destination[2] = value.z;
}

void store(float* destination, float x, float y)
{
    destination[0] = x;
    destination[1] = y;
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
void fillStaticVertices(const kzMesh& mesh, std::vector<kzVulkanCorrectionVertex>& vertices)
{
    vertices.resize(pointCount(mesh));
    for (size_t i = 0; i < vertices.size(); ++i) {
        kzVulkanCorrectionVertex& vertex = vertices[i];
        const kzVec3f position = mesh.vertices[i];
        store(vertex.position, position);
        store(vertex.texcoord_warped, mesh.texcoords[i].x, mesh.texcoords[i].y);
        store(vertex.texcoord_unwarped, position.x, position.y);
        store(vertex.normal, elementOr0(mesh.normals, i));
        store(vertex.tangent, elementOr0(mesh.tangents, i));
        store(vertex.position1, position);
    }
}

// A dynamic mesh places each screen point at its texture coordinate on the
// output; the scene lookup is computed per frame from the surface point.
void fillDynamicVertices(const kzMesh& mesh, bool flipVerticesY,
                         std::vector<kzVulkanCorrectionVertex>& vertices)
{
    vertices.resize(pointCount(mesh));
    for (size_t i = 0; i < vertices.size(); ++i) {
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

// 16-bit indices while every vertex fits them, 32-bit beyond.
void fillIndices(const kzMesh& mesh, kzVulkanCorrectionMesh& cmesh)
{
    if (pointCount(mesh) <= kzVulkanMaxShortIndexedVertices)
        grid::appendTriangleIndices(mesh.width, mesh.height, cmesh.indices);
    else
        grid::appendTriangleIndices(mesh.width, mesh.height, cmesh.indices32);
}

// Copies `size` bytes into a new device-local buffer through a staging buffer.
void uploadDeviceLocal(kzContextVulkan* context, const void* bytes, VkDeviceSize size,
                       VkBufferUsageFlags usage, VkBuffer& buffer, VkDeviceMemory& memory)
{
    struct Staging {
        kzContextVulkan* context;
        VkBuffer buffer = VK_NULL_HANDLE;
        VkDeviceMemory memory = VK_NULL_HANDLE;
        ~Staging() { kzVulkanDestroyBuffer(context, buffer, memory); }
    } staging{context};
    kzVulkanCreateBuffer(context, size, VK_BUFFER_USAGE_TRANSFER_SRC_BIT,
                         VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT,
                         staging.buffer, staging.memory);
    void* mapped = nullptr;
    if (vkMapMemory(context->device, staging.memory, 0, size, 0, &mapped) != VK_SUCCESS)
        throw std::runtime_error("failed to map staging buffer memory!");
    std::memcpy(mapped, bytes, size_t(size));
    vkUnmapMemory(context->device, staging.memory);
    kzVulkanCreateBuffer(context, size, VK_BUFFER_USAGE_TRANSFER_DST_BIT | usage,
                         VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT, buffer, memory);
    kzVulkanCopyBuffer(context, staging.buffer, buffer, size);
}

template <typename Element>
void uploadVector(kzContextVulkan* context, const std::vector<Element>& elements,
                  VkBufferUsageFlags usage, VkBuffer& buffer, VkDeviceMemory& memory)
{
    // A zero-sized buffer is not valid: nothing to draw means no buffer.
    if (!elements.empty())
        uploadDeviceLocal(context, elements.data(), elements.size() * sizeof(Element), usage, buffer,
                          memory);
}

// Uploads the CPU copies; on a Vulkan failure the mesh is released before the
// exception goes on.
void uploadMesh(kzContextVulkan* context, kzVulkanCorrectionMesh& cmesh)
{
    try {
        uploadVector(context, cmesh.vertices, VK_BUFFER_USAGE_VERTEX_BUFFER_BIT, cmesh.vertexBuffer,
                     cmesh.vertexBufferMemory);
        uploadVector(context, cmesh.indices, VK_BUFFER_USAGE_INDEX_BUFFER_BIT, cmesh.indexBuffer,
                     cmesh.indexBufferMemory);
        uploadVector(context, cmesh.indices32, VK_BUFFER_USAGE_INDEX_BUFFER_BIT, cmesh.indexBuffer,
                     cmesh.indexBufferMemory);
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
    fillStaticVertices(*mesh, cmesh.vertices);
    fillIndices(*mesh, cmesh);
    uploadMesh(context, cmesh);
    return true;
}

bool kzVulkanCreateDynamicCorrectionMesh(kzContextVulkan* context, kzMesh* mesh,
                                         kzVulkanCorrectionMesh& cmesh)
{
    if (!context || !hasPointArrays(mesh))
        return false;
    fillDynamicVertices(*mesh, context->flipWarpmeshVerticesY, cmesh.vertices);
    fillIndices(*mesh, cmesh);
    uploadMesh(context, cmesh);
    return true;
}

void kzVulkanFreeCorrectionMesh(kzContextVulkan* context, kzVulkanCorrectionMesh* cmesh)
{
    if (!cmesh)
        return;
    kzVulkanDestroyBuffer(context, cmesh->indexBuffer, cmesh->indexBufferMemory);
    kzVulkanDestroyBuffer(context, cmesh->vertexBuffer, cmesh->vertexBufferMemory);
    *cmesh = kzVulkanCorrectionMesh{};
}
