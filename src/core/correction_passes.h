// The five correction passes of a channel and the eight `features` values the
// correction programs receive. Shared by both render back-ends.
#pragma once

#include "kzLib/types.h"

struct kzCorrectionPass {
    kzCorrectionPassType type;
    float weight = 1.0f;   // uploaded while enabled
    bool enabled = true;
    bool locked = false;   // the pass's mask failed to load; setters leave it alone
};

// The passes of one channel under the names the back-end records use.
struct kzChannelPasses {
    kzCorrectionPass warpingPass{KZ_CORRECTION_PASS_WARPING};
    kzCorrectionPass blendingPass{KZ_CORRECTION_PASS_BLENDING};
    kzCorrectionPass secondaryBlendingPass{KZ_CORRECTION_PASS_SECONDARY_BLENDING};
    kzCorrectionPass blacklevelPass{KZ_CORRECTION_PASS_BLACKLEVEL};
    kzCorrectionPass directionalShadingPass{KZ_CORRECTION_PASS_DIRECTIONAL_SHADING};
};

constexpr int kzFeatureCount = 8;

// The pass record for a pass value, or null for a value outside 0 to 4.
kzCorrectionPass* kzFindCorrectionPass(kzChannelPasses& passes, kzCorrectionPassType pass);

// Slot 0 warp, 1 blend, 2 black level, 4 secondary blend, 5 directional
// shading: the pass weight when enabled, else 0. Slot 3 is 1, slots 6 and 7 are 0.
void kzComputeFeatures(const kzChannelPasses& passes, float features[kzFeatureCount]);

// Switches a pass on or off unless it is locked; unknown pass values are ignored.
void kzEnableCorrectionPass(kzChannelPasses& passes, kzCorrectionPassType pass, bool enable);

// Sets a pass's weight (not clamped) unless it is locked; unknown pass values are ignored.
void kzWeightCorrectionPass(kzChannelPasses& passes, kzCorrectionPassType pass, float weight);

// Marks the pass of a mask that failed to load: off, and locked off.
inline void kzLockCorrectionPass(kzCorrectionPass& pass)
{
    pass.enabled = false;
    pass.locked = true;
}
