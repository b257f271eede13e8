#include "config/mesh_arrays.h"

#include <utility>

#include <sys/mman.h>

namespace calib {
namespace {

constexpr size_t kHugePage = size_t(2) << 20;
constexpr size_t kHugePageThreshold = 2 * kHugePage;

void adviseHugePages(void* block, size_t bytes)
{
    // Only whole huge pages inside the block; the advice is a hint and its
    // failure changes nothing but speed.
    auto begin = (reinterpret_cast<uintptr_t>(block) + kHugePage - 1) & ~(kHugePage - 1);
    auto end = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(kHugePage - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace

void* allocateBlock(size_t bytes)
{
    if (bytes < kHugePageThreshold)
        return std::malloc(bytes ? bytes : 1);
    void* block = nullptr;
    if (posix_memalign(&block, kHugePage, bytes) != 0)
        return nullptr;
    adviseHugePages(block, bytes);
    return block;
}

void* resizeBlock(void* block, size_t bytes)
{
    void* resized = std::realloc(block, bytes ? bytes : 1);
    if (resized && bytes >= kHugePageThreshold)
        adviseHugePages(resized, bytes);
    return resized;
}

bool MeshParts::reserve(size_t points)
{
    return vertices_.reserve(points) && texcoords_.reserve(points) &&
           (!surface_ || (normals_.reserve(points) && tangents_.reserve(points)));
}

kzResult MeshParts::storeInto(kzMesh& mesh)
{
    uint64_t width = uint64_t(maxColumn_) + 1;
    uint64_t height = uint64_t(maxRow_) + 1;
    if (width > UINT32_MAX || height > UINT32_MAX || width * height > UINT32_MAX)
        return KZ_ERROR_INVALID_DATA;
    size_t count = vertices_.size();
    if (count != width * height)
        return KZ_ERROR_INVALID_DATA;

    kzMesh loaded;
    loaded.vertices = vertices_.release();
    loaded.texcoords = texcoords_.release();
    if (surface_) {
        loaded.normals = normals_.release();
        loaded.tangents = tangents_.release();
    } else {
        // Zeroed blocks straight from the allocator: large ones are fresh
        // mappings that cost nothing until they are read.
        loaded.normals = static_cast<kzVec3f*>(std::calloc(count, sizeof(kzVec3f)));
        loaded.tangents = static_cast<kzVec3f*>(std::calloc(count, sizeof(kzVec3f)));
    }
    if (!loaded.vertices || !loaded.texcoords || !loaded.normals || !loaded.tangents)
        return KZ_ERROR_INVALID_DATA;  // `loaded` frees what was allocated
    loaded.width = uint32_t(width);
    loaded.height = uint32_t(height);
    mesh = std::move(loaded);
    return KZ_OK;
}

}  // namespace calib
