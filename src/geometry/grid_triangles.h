// Triangle lists over a grid mesh stored row by row.
#pragma once

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
// the one of smaller index. The caller makes sure every vertex index fits Index.
template <typename Index>
void appendTriangleIndices(uint32_t width, uint32_t height, std::vector<Index>& indices)
{
    indices.reserve(indices.size() + triangleIndexCount(width, height));
    for (uint32_t row = 1; row < height; ++row) {
        const Index upper = Index((row - 1) * width);
        const Index lower = Index(row * width);
        for (uint32_t column = 0; column + 1 < width; ++column) {
            const Index c = Index(column);
            indices.insert(indices.end(), {Index(upper + c), Index(upper + c + 1), Index(lower + c),
                                           Index(upper + c + 1), Index(lower + c + 1), Index(lower + c)});
        }
    }
}

}  // namespace grid
