// Warps from other tools' files, sampled on a grid of output points, and the
// native configuration folder `dovav import` writes from them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kzLib.h"

namespace dovav {

// Grid point (column, row) is element row * width + column. Positions and
// lookups are in the library's axes: x right, y down, the unit square; a
// lookup that is not a number marks a point without a valid lookup.
struct WarpGrid {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<kzVec2f> position;
    std::vector<kzVec2f> lookup;
    std::vector<float> intensity;  // empty, or a secondary blend per point in [0, 1]
};

// A Paul Bourke warp mesh (.data): the mesh type (2, rectangular), the node
// counts across and down, then per node x in [-aspect, aspect] and y in
// [-1, 1] on the output (y up), u and v of the lookup (v up) and an
// intensity (below 0: the node has no valid lookup).
bool readBourkeMesh(const std::string& text, WarpGrid& grid, std::string& problem);

// An OBJ warp mesh: `v x y 0` output positions (y down, the unit square, as
// kzSaveObj writes warp maps), `vt u v` lookups, faces of three or more
// corners. Resampled onto a width x height grid of output points by
// rasterising its triangles; points no triangle covers are invalid.
bool readObjWarp(const std::string& text, uint32_t width, uint32_t height, WarpGrid& grid,
                 std::string& problem);

// Writes display.xml (one static channel), warp.csv, camera.csv (a
// straight-ahead 90-degree view) and, for a grid with intensities,
// intensity.png as the secondary blend into the existing folder.
bool writeNativeFolder(const WarpGrid& grid, const std::string& folder, std::string& problem);

}  // namespace dovav
