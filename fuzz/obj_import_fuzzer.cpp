// Fuzzes dovav import's OBJ warp mesh reader on a small output grid: every
// grid point gets a position inside the unit square and a lookup or none.

#include <string>

#include "warp_grid.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    dovav::WarpGrid grid;
    std::string problem;
    if (!dovav::readObjWarp(std::string(reinterpret_cast<const char*>(data), size), 9, 7, grid, problem))
        return 0;
    if (grid.position.size() != 63 || grid.lookup.size() != 63)
        __builtin_trap();
    for (const kzVec2f& p : grid.position) {
        if (!(p.x >= 0.0f && p.x <= 1.0f && p.y >= 0.0f && p.y <= 1.0f))
            __builtin_trap();
    }
    return 0;
}
