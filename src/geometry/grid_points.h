// Which grid points of a mesh can be drawn, and the finite values that take
// the place of the others' coordinates on their way to the GPU.
//
// A point with any non-finite position or texture coordinate is invalid:
// calibrations mark points without a valid lookup that way. Every cell with
// an invalid corner is left undrawn (see grid_triangles.h), and no NaN or
// infinity is uploaded, so that no interpolation reads one.
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

#include "kzLib/types.h"

namespace grid {

inline float finiteOr0(float value)
{
    return std::isfinite(value) ? value : 0.0f;
}

inline kzVec2f finiteOr0(kzVec2f value)
{
    return {finiteOr0(value.x), finiteOr0(value.y)};
}

inline kzVec3f finiteOr0(kzVec3f value)
{
    return {finiteOr0(value.x), finiteOr0(value.y), finiteOr0(value.z)};
}

inline bool isFinite(kzVec2f value)
{
    return std::isfinite(value.x) && std::isfinite(value.y);
}

inline bool isFinite(kzVec3f value)
{
    return std::isfinite(value.x) && std::isfinite(value.y) && std::isfinite(value.z);
}

// Point i of a mesh whose vertices and texture coordinates hold
// width x height elements (texture coordinates may be absent).
inline bool isValidPoint(const kzMesh& mesh, size_t i)
{
    return isFinite(mesh.vertices[i]) && (!mesh.texcoords || isFinite(mesh.texcoords[i]));
}

// Number of invalid points of a width x height mesh.
inline size_t invalidPointCount(const kzMesh& mesh)
{
    const size_t count = size_t(mesh.width) * size_t(mesh.height);
    size_t invalid = 0;
    for (size_t i = 0; mesh.vertices && i < count; ++i)
        invalid += !isValidPoint(mesh, i);
    return invalid;
}

// `values` itself when it is null or every component is finite; otherwise a copy in
// `finite` with each non-finite component replaced by 0.
template <typename Vec>
const Vec* finiteArray(const Vec* values, size_t count, std::vector<Vec>& finite)
{
    if (!values)
        return values;
    size_t i = 0;
    while (i < count && isFinite(values[i]))
        ++i;
    if (i == count)
        return values;
    finite.assign(values, values + count);
    for (; i < count; ++i)
        finite[i] = finiteOr0(finite[i]);
    return finite.data();
}

}  // namespace grid
