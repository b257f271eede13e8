// Fuzzes dovav import's Bourke warp mesh reader: a grid it accepts holds one
// position and lookup per node, and intensities in [0, 1] if any.

#include <cmath>
#include <string>

#include "warp_grid.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    dovav::WarpGrid grid;
    std::string problem;
    if (!dovav::readBourkeMesh(std::string(reinterpret_cast<const char*>(data), size), grid, problem))
        return 0;
    const size_t count = size_t(grid.width) * grid.height;
    if (grid.position.size() != count || grid.lookup.size() != count ||
        (!grid.intensity.empty() && grid.intensity.size() != count))
        __builtin_trap();
    for (float intensity : grid.intensity) {
        if (!(intensity >= 0.0f && intensity <= 1.0f))
            __builtin_trap();
    }
    return 0;
}
