// Triangle lists over a grid mesh stored row by row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "geometry/grid_points.h"
#include "kzLib/types.h"

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
// to `out`. With `points`, a width x height mesh, a cell with an invalid
// corner (grid_points.h) gets two triangles that all name its upper-left
// point: they cover no area and draw nothing, and the list keeps its length.
// With `alsoFinite` too, a corner whose element there is not finite counts as
// invalid. The caller makes sure every vertex index fits Index.
template <typename Index>
void writeTriangleIndices(uint32_t width, uint32_t height, Index* out, const kzMesh* points = nullptr,
                          const kzVec3f* alsoFinite = nullptr)
{
    // Validity of the points of the two rows a cell row spans.
    std::vector<uint8_t> upperValid, lowerValid;
    auto rowValidity = [&](uint32_t row, std::vector<uint8_t>& valid) {
        valid.resize(width);
        for (uint32_t column = 0; column < width; ++column) {
            const size_t i = size_t(row) * width + column;
            valid[column] = isValidPoint(*points, i) && (!alsoFinite || isFinite(alsoFinite[i]));
        }
    };
    if (points && height > 1)
        rowValidity(0, upperValid);
    for (uint32_t row = 1; row < height; ++row) {
        const Index upper = Index((row - 1) * width);
        const Index lower = Index(row * width);
        if (points)
            rowValidity(row, lowerValid);
        for (uint32_t column = 0; column + 1 < width; ++column) {
            const Index c = Index(column);
            if (points && !(upperValid[column] && upperValid[column + 1] && lowerValid[column] &&
                            lowerValid[column + 1])) {
                for (int k = 0; k < 6; ++k)
                    out[k] = Index(upper + c);
                out += 6;
                continue;
            }
            out[0] = Index(upper + c);
            out[1] = Index(upper + c + 1);
            out[2] = Index(lower + c);
            out[3] = Index(upper + c + 1);
            out[4] = Index(lower + c + 1);
            out[5] = Index(lower + c);
            out += 6;
        }
        upperValid.swap(lowerValid);
    }
}

// The same list appended to a vector.
template <typename Index>
void appendTriangleIndices(uint32_t width, uint32_t height, std::vector<Index>& indices,
                           const kzMesh* points = nullptr, const kzVec3f* alsoFinite = nullptr)
{
    const size_t start = indices.size();
    indices.resize(start + size_t(triangleIndexCount(width, height)));
    if (indices.size() > start)
        writeTriangleIndices(width, height, indices.data() + start, points, alsoFinite);
}

}  // namespace grid
