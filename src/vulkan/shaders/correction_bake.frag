#version 450
#extension GL_GOOGLE_include_directive : require
// Writes the static correction's table: the mesh program's scene lookup and
// mask arithmetic, stopped before the scene is read.
#include "uniform_block.glsl"
#include "correction_colour.glsl"
#include "correction_table.glsl"

layout(location = 0) in vec2 uv_warped;
layout(location = 1) in vec2 uv_unwarped;

layout(location = 0) out uvec4 texel;

void main()
{
    vec3 blend = blendFactor(blending, ubo.features1.y, uv_unwarped) *
                 blendFactor(secondary_blending, ubo.features2.x, uv_unwarped);
    vec3 black = blackLevel(uv_unwarped);
    texel = encodeTableTexel(sceneLookup(uv_unwarped, uv_warped), blend * (1.0 - black), black);
}
