// Building a kzMesh from a calibration file: arrays that grow as points are
// read, the grid order each point's column and row index must follow, and
// the final swap into the caller's record once everything has been checked.
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

// The order grid points must come in: row by row, row 0 first, columns
// fastest, every (column, row) exactly once. The width is the length of the
// first row, known when row 1 starts (or at the end for a single row).
class GridOrder {
public:
    // Whether the next point may carry these indices; if not,
    // expectedColumn() and expectedRow() say which point was due.
    bool accept(uint32_t column, uint32_t row);

    // The indices the next point must carry. Before the first row has ended
    // the next point may also start row 1.
    uint32_t expectedColumn() const { return width_ ? uint32_t(points_ % width_) : uint32_t(points_); }
    uint32_t expectedRow() const { return width_ ? uint32_t(points_ / width_) : 0; }

    // Whether the points accepted so far fill whole rows of a grid.
    bool complete() const { return points_ > 0 && (width_ == 0 || points_ % width_ == 0); }
    uint64_t points() const { return points_; }
    uint32_t width() const { return width_ ? width_ : uint32_t(points_); }
    uint32_t height() const { return width_ ? uint32_t(points_ / width_) : 1; }

private:
    uint64_t points_ = 0;
    uint32_t width_ = 0;  // 0 while the first row is being read
};

// The points of a mesh being read, in file order.
class MeshParts {
public:
    // `surface` says whether normals and tangents are read; without them
    // they are stored as zeros.
    explicit MeshParts(bool surface) : surface_(surface) {}

    // Room for `points` points, so that no growth happens while reading.
    bool reserve(size_t points);

    bool push(kzVec3f vertex, kzVec2f texcoord)
    {
        return vertices_.push(vertex) && texcoords_.push(texcoord);
    }

    bool push(kzVec3f vertex, kzVec2f texcoord, kzVec3f normal, kzVec3f tangent)
    {
        return vertices_.push(vertex) && texcoords_.push(texcoord) && normals_.push(normal) &&
               tangents_.push(tangent);
    }

    // Frees what the mesh held and stores the points as a grid of the size
    // `order` found; the caller has checked that the order is complete. On
    // an allocation failure the mesh is left as it was: KZ_ERROR_INVALID_DATA.
    kzResult storeInto(kzMesh& mesh, const GridOrder& order);

private:
    bool surface_;
    GrowingArray<kzVec3f> vertices_;
    GrowingArray<kzVec2f> texcoords_;
    GrowingArray<kzVec3f> normals_;
    GrowingArray<kzVec3f> tangents_;
};

}  // namespace calib
