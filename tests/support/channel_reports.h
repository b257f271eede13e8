// Checks shared by both back-ends of what set-up reports: the message
// callback, the quiet of masks that are not configured, and the channel query.
#pragma once

#include <functional>

#include "kzLib.h"

namespace dovav::test {

// A fresh context of one back-end and its set-up and PreDraw entry points.
struct BackEnd {
    void* context;
    kzResult warpFailure;  // set-up's result for a warp map that cannot be read
    std::function<kzResult(unsigned channel)> activate;
    std::function<kzResult(kzVec3f eye, kzCamera* camera)> preDraw;
};

// A truncated warp map: set-up keeps its result code and error text, and the
// message callback receives the loader's reason with the file, line and field count.
void checkTruncatedWarpMapIsExplained(const BackEnd& backEnd);

// Masks the configuration does not name leave no message, no error text and no
// output; a named mask that fails is reported.
void checkUnnamedMasksAreSilent(const BackEnd& backEnd);

// kzGetChannelInfo returns every field for a static and a dynamic channel,
// before and after set-up.
void checkChannelInfo(const BackEnd& backEnd);

}  // namespace dovav::test
