// The SPIR-V correction programs built into the library, with their sizes in
// bytes. Static programs: fixed warp from the warp map; dynamic programs:
// warped lookup and directional shading computed from the screen geometry;
// bake: a static channel's correction table, drawn with the static vertex
// program; flat: one full-screen pass that applies the table.
#pragma once

#include <cstddef>
#include <cstdint>

extern const uint32_t kzShaderCorrectionStaticVulkan_450_vert[];
extern const uint32_t kzShaderCorrectionStaticVulkan_450_frag[];
extern const uint32_t kzShaderCorrectionDynamicVulkan_450_vert[];
extern const uint32_t kzShaderCorrectionDynamicVulkan_450_frag[];
extern const uint32_t kzShaderCorrectionBakeVulkan_450_frag[];
extern const uint32_t kzShaderCorrectionFlatVulkan_450_vert[];
extern const uint32_t kzShaderCorrectionFlatVulkan_450_frag[];

extern const size_t kzShaderCorrectionStaticVulkan_450_vert_size;
extern const size_t kzShaderCorrectionStaticVulkan_450_frag_size;
extern const size_t kzShaderCorrectionDynamicVulkan_450_vert_size;
extern const size_t kzShaderCorrectionDynamicVulkan_450_frag_size;
extern const size_t kzShaderCorrectionBakeVulkan_450_frag_size;
extern const size_t kzShaderCorrectionFlatVulkan_450_vert_size;
extern const size_t kzShaderCorrectionFlatVulkan_450_frag_size;
