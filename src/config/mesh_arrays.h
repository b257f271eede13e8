// Building a kzMesh from a calibration file: arrays that grow as points are
// read, the grid size from the largest column and row index, and the final
// swap into the caller's record once everything has been checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "kzLib/types.h"

namespace calib {

// Blocks for the mesh arrays, compatible with free(). Large blocks are
// aligned to 2 MiB and marked for transparent huge pages: filling a
// multi-megabyte array is otherwise dominated by 4 KiB page faults.
void* allocateBlock(size_t bytes);
void* resizeBlock(void* block, size_t bytes);

template <typename T>
class GrowingArray {
public:
    GrowingArray() = default;
    GrowingArray(const GrowingArray&) = delete;
    GrowingArray& operator=(const GrowingArray&) = delete;
    ~GrowingArray() { std::free(data_); }

    bool reserve(size_t count)
    {
        if (count <= capacity_)
            return true;
        void* block = data_ ? resizeBlock(data_, count * sizeof(T)) : allocateBlock(count * sizeof(T));
        if (!block)
            return false;
        data_ = static_cast<T*>(block);
        capacity_ = count;
        return true;
    }

    bool push(const T& value)
    {
        if (size_ == capacity_ && !reserve(capacity_ < 1024 ? 1024 : capacity_ * 2))
            return false;
        data_[size_++] = value;
        return true;
    }

    size_t size() const { return size_; }

    // Hands the block over at exactly the size used; null if that fails.
    T* release()
    {
        void* block = size_ == capacity_ ? data_ : resizeBlock(data_, size_ * sizeof(T));
        if (!block)
            return nullptr;
        data_ = nullptr;
        size_ = capacity_ = 0;
        return static_cast<T*>(block);
    }

private:
    T* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// The points of a mesh being read, in file order.
class MeshParts {
public:
    // `surface` says whether normals and tangents are read; without them
    // they are stored as zeros.
    explicit MeshParts(bool surface) : surface_(surface) {}

    // Room for `points` points, so that no growth happens while reading.
    bool reserve(size_t points);

    bool push(kzVec3f vertex, kzVec2f texcoord, uint32_t column, uint32_t row)
    {
        noteIndices(column, row);
        return vertices_.push(vertex) && texcoords_.push(texcoord);
    }

    bool push(kzVec3f vertex, kzVec2f texcoord, kzVec3f normal, kzVec3f tangent, uint32_t column,
              uint32_t row)
    {
        noteIndices(column, row);
        return vertices_.push(vertex) && texcoords_.push(texcoord) && normals_.push(normal) &&
               tangents_.push(tangent);
    }

    // Checks that the points fill a width x height grid (width and height
    // from the largest indices, their product within 32 bits) and, if so,
    // frees what the mesh held and stores the new arrays. On any failure the
    // mesh is left as it was: KZ_ERROR_INVALID_DATA.
    kzResult storeInto(kzMesh& mesh);

private:
    void noteIndices(uint32_t column, uint32_t row)
    {
        if (column > maxColumn_)
            maxColumn_ = column;
        if (row > maxRow_)
            maxRow_ = row;
    }

    bool surface_;
    uint32_t maxColumn_ = 0;
    uint32_t maxRow_ = 0;
    GrowingArray<kzVec3f> vertices_;
    GrowingArray<kzVec2f> texcoords_;
    GrowingArray<kzVec3f> normals_;
    GrowingArray<kzVec3f> tangents_;
};

}  // namespace calib
