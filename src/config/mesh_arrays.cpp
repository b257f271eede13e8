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

bool GridOrder::accept(uint32_t column, uint32_t row)
{
    if (points_ >= UINT32_MAX)
        return false;  // width x height must stay within 32 bits
    if (width_ == 0 && points_ > 0 && column == 0 && row == 1)
        width_ = uint32_t(points_);  // the first row has ended
    else if (column != expectedColumn() || row != expectedRow())
        return false;
    ++points_;
    return true;
}

kzResult MeshParts::storeInto(kzMesh& mesh, const GridOrder& order)
{
    const size_t count = vertices_.size();
    if (!order.complete() || count != order.points())
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
    loaded.width = order.width();
    loaded.height = order.height();
    mesh = std::move(loaded);
    return KZ_OK;
}

}  // namespace calib
