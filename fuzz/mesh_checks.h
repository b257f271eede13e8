// Checks shared by the mesh loader fuzz targets: a failed load leaves the
// mesh as it was, a successful one holds exactly width x height points (every
// element is read, so AddressSanitizer sees any short array), and the OBJ
// writer can walk the result.
#pragma once

#include <cstdint>

#include "kzLib.h"

namespace dovav::fuzz {

// What a mesh record holds, without owning it.
struct MeshState {
    explicit MeshState(const kzMesh& mesh)
        : vertices(mesh.vertices), texcoords(mesh.texcoords), normals(mesh.normals),
          tangents(mesh.tangents), width(mesh.width), height(mesh.height)
    {
    }
    bool operator==(const MeshState& other) const
    {
        return vertices == other.vertices && texcoords == other.texcoords &&
               normals == other.normals && tangents == other.tangents &&
               width == other.width && height == other.height;
    }

    const void* vertices;
    const void* texcoords;
    const void* normals;
    const void* tangents;
    uint32_t width;
    uint32_t height;
};

inline void checkMeshLoad(kzResult result, kzMesh& mesh, const MeshState& before)
{
    if (result != KZ_OK) {
        if (!(MeshState(mesh) == before))
            __builtin_trap();
        return;
    }
    uint64_t points = uint64_t(mesh.width) * mesh.height;
    if (points == 0 || points > UINT32_MAX)
        __builtin_trap();
    volatile float sum = 0.0f;
    for (uint64_t i = 0; i < points; ++i) {
        sum = sum + mesh.vertices[i].x + mesh.texcoords[i].y + mesh.normals[i].z +
              mesh.tangents[i].x;
    }
    if (kzSaveObj("/dev/null", &mesh) != KZ_OK)
        __builtin_trap();
}

// A mesh that already holds arrays, so that each load also replaces (or
// keeps) a previous result: LeakSanitizer sees a lost array.
inline void fillWithQuad(kzMesh& mesh)
{
    if (kzCreateQuad(&mesh, false, false, 1.0f, 1.0f) != KZ_OK)
        __builtin_trap();
}

}  // namespace dovav::fuzz
