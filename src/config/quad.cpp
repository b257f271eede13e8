#include <new>
#include <utility>

#include "kzLib/calibration.h"

namespace {

template <typename T>
T* allocateArray(size_t count)
{
    return static_cast<T*>(std::malloc(count * sizeof(T)));
}

}  // namespace

kzResult kzCreateQuad(kzMesh* mesh, bool flipVerticesY, bool flipTexcoordsV, float quadWidth,
                      float quadHeight)
{
    if (!mesh)
        return KZ_ERROR_INVALID_ARGUMENT;
    kzMesh quad;
    quad.vertices = allocateArray<kzVec3f>(4);
    quad.texcoords = allocateArray<kzVec2f>(4);
    quad.normals = allocateArray<kzVec3f>(4);
    quad.tangents = allocateArray<kzVec3f>(4);
    if (!quad.vertices || !quad.texcoords || !quad.normals || !quad.tangents)
        return KZ_ERROR_INVALID_DATA;

    // Row 0 first, columns fastest.
    const float columns[2] = {0.0f, quadWidth};
    const float rows[2] = {0.0f, quadHeight};
    for (int i = 0; i < 4; ++i) {
        float x = columns[i % 2];
        float y = rows[i / 2];
        float u = float(i % 2);
        float v = float(i / 2);
        quad.vertices[i] = {x, flipVerticesY ? 1.0f - y : y, 0.0f};
        quad.texcoords[i] = {u, flipTexcoordsV ? 1.0f - v : v};
        quad.normals[i] = {0.0f, 0.0f, 1.0f};
        quad.tangents[i] = {0.0f, 0.0f, 0.0f};
    }
    quad.width = 2;
    quad.height = 2;
    *mesh = std::move(quad);
    return KZ_OK;
}
