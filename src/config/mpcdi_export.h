// A native configuration written as an MPCDI archive: one region per
// channel (static channels only), its warp map as a PFM of the lookup on the
// output grid, its camera as the region's frustum (profile 3d), its blend and
// black-level masks as the alpha and beta maps, copied as they are.
#pragma once

#include <string>

#include "kzLib/types.h"

namespace mpcdi {

enum class ExportProfile { Automatic, TwoD, ThreeD };

kzResult exportConfiguration(const char* configuration, const char* destination, ExportProfile profile,
                             std::string& problem);

}  // namespace mpcdi
