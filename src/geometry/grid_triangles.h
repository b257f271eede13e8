// Triangle lists over a grid mesh stored row by row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace grid {

// Number of indices of the list below: 6 (width - 1) (height - 1), or 0 for
// a grid of fewer than two rows or columns.
inline uint64_t triangleIndexCount(uint32_t width, uint32_t height)
{
    if (width < 2 || height < 2)
        return 0;
    return 6 * uint64_t(width - 1) * uint64_t(height - 1);
}

// Two triangles per cell, cells in row-major order: (upper-left, upper-right,
// lower-left) and (upper-right, lower-right, lower-left), the upper row being
// the one of smaller index. Writes triangleIndexCount(width, height) indices
// to `out`. The caller makes sure every vertex index fits Index.
template <typename Index>
void writeTriangleIndices(uint32_t width, uint32_t height, Index* out)
{
    for (uint32_t row = 1; row < height; ++row) {
        const Index upper = Index((row - 1) * width);
        const Index lower = Index(row * width);
        for (uint32_t column = 0; column + 1 < width; ++column) {
            const Index c = Index(column);
            out[0] = Index(upper + c);
            out[1] = Index(upper + c + 1);
            out[2] = Index(lower + c);
            out[3] = Index(upper + c + 1);
            out[4] = Index(lower + c + 1);
            out[5] = Index(lower + c);
            out += 6;
        }
    }
}

// The same list appended to a vector.
template <typename Index>
void appendTriangleIndices(uint32_t width, uint32_t height, std::vector<Index>& indices)
{
    const size_t start = indices.size();
    indices.resize(start + size_t(triangleIndexCount(width, height)));
    if (indices.size() > start)
        writeTriangleIndices(width, height, indices.data() + start);
}

}  // namespace grid
