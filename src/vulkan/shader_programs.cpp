// The generated headers define the arrays as `const uint32_t name[]`; the
// declarations above them give the arrays external linkage.
#include "vulkan/shader_programs.h"

#include "kzShaderCorrectionBakeVulkan_450_frag.h"
#include "kzShaderCorrectionDynamicVulkan_450_frag.h"
#include "kzShaderCorrectionDynamicVulkan_450_vert.h"
#include "kzShaderCorrectionFlatVulkan_450_frag.h"
#include "kzShaderCorrectionFlatVulkan_450_vert.h"
#include "kzShaderCorrectionStaticVulkan_450_frag.h"
#include "kzShaderCorrectionStaticVulkan_450_vert.h"

const size_t kzShaderCorrectionStaticVulkan_450_vert_size = sizeof(kzShaderCorrectionStaticVulkan_450_vert);
const size_t kzShaderCorrectionStaticVulkan_450_frag_size = sizeof(kzShaderCorrectionStaticVulkan_450_frag);
const size_t kzShaderCorrectionDynamicVulkan_450_vert_size = sizeof(kzShaderCorrectionDynamicVulkan_450_vert);
const size_t kzShaderCorrectionDynamicVulkan_450_frag_size = sizeof(kzShaderCorrectionDynamicVulkan_450_frag);
const size_t kzShaderCorrectionBakeVulkan_450_frag_size = sizeof(kzShaderCorrectionBakeVulkan_450_frag);
const size_t kzShaderCorrectionFlatVulkan_450_vert_size = sizeof(kzShaderCorrectionFlatVulkan_450_vert);
const size_t kzShaderCorrectionFlatVulkan_450_frag_size = sizeof(kzShaderCorrectionFlatVulkan_450_frag);
