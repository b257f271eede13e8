#include "core/correction_passes.h"

kzCorrectionPass* kzFindCorrectionPass(kzChannelPasses& passes, kzCorrectionPassType pass)
{
    switch (pass) {
    case KZ_CORRECTION_PASS_WARPING: return &passes.warpingPass;
    case KZ_CORRECTION_PASS_BLENDING: return &passes.blendingPass;
    case KZ_CORRECTION_PASS_BLACKLEVEL: return &passes.blacklevelPass;
    case KZ_CORRECTION_PASS_SECONDARY_BLENDING: return &passes.secondaryBlendingPass;
    case KZ_CORRECTION_PASS_DIRECTIONAL_SHADING: return &passes.directionalShadingPass;
    }
    return nullptr;
}

namespace {

float slotValue(const kzCorrectionPass& pass)
{
    return pass.enabled ? pass.weight : 0.0f;
}

}  // namespace

void kzComputeFeatures(const kzChannelPasses& passes, float features[kzFeatureCount])
{
    features[0] = slotValue(passes.warpingPass);
    features[1] = slotValue(passes.blendingPass);
    features[2] = slotValue(passes.blacklevelPass);
    features[3] = 1.0f;
    features[4] = slotValue(passes.secondaryBlendingPass);
    features[5] = slotValue(passes.directionalShadingPass);
    features[6] = 0.0f;
    features[7] = 0.0f;
}

void kzEnableCorrectionPass(kzChannelPasses& passes, kzCorrectionPassType pass, bool enable)
{
    kzCorrectionPass* record = kzFindCorrectionPass(passes, pass);
    if (record && !record->locked)
        record->enabled = enable;
}

void kzWeightCorrectionPass(kzChannelPasses& passes, kzCorrectionPassType pass, float weight)
{
    kzCorrectionPass* record = kzFindCorrectionPass(passes, pass);
    if (record && !record->locked)
        record->weight = weight;
}
