// One asymmetric warp with a hole, written in every form the library loads
// and `dovav import` converts: native text, PFM in both row orders, a 2d
// MPCDI archive, a Bourke mesh and an OBJ mesh. Drawn, they must all give
// the same image. And a flat a3 screen beside the unwarped static channel
// it must reproduce.
#pragma once

#include <string>
#include <vector>

#include "kzLib/types.h"
#include "support/temp_dir.h"

namespace dovav::test {

struct CalibrationVariant {
    std::string name;
    std::string configuration;  // path of the configuration to load
    unsigned channel;
};

// The lookup at output (x, y), y down, on a 7 x 5 grid; grid point (3, 2)
// has none. The first variant is the native text.
std::vector<CalibrationVariant> writeWarpInEveryFormat(const TempDir& dir);

// A flat screen 3 m wide and 2 m high, 2 m ahead of the nominal eye, as an
// a3 MPCDI archive (channel 1), and a static channel with the identity warp
// (channel 0) that it equals when seen from the nominal eye; both lack
// grid point (3, 2).
CalibrationVariant writeFlatScreen(const TempDir& dir);
CalibrationVariant writeIdentityWarp(const TempDir& dir);

}  // namespace dovav::test
