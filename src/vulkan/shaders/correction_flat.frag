#version 450
#extension GL_GOOGLE_include_directive : require
// The baked correction of one output pixel: one table fetch, one scene
// lookup, colour * m + k. The gammas are fixed when the channel's pipeline is
// made; a gamma of 1 costs nothing.
#include "correction_table.glsl"

layout(set = 0, binding = 0) uniform usampler2D table;
layout(set = 0, binding = 1) uniform sampler2D source;

layout(constant_id = 0) const float inputGamma = 1.0;
layout(constant_id = 1) const float outputGamma = 1.0;

layout(location = 0) out vec4 outColor;

void main()
{
    uvec4 texel = texelFetch(table, ivec2(gl_FragCoord.xy), 0);
    vec3 color = texture(source, tableLookup(texel)).rgb;
    if (inputGamma != 1.0)
        color = pow(color, vec3(inputGamma));
    color = color * tableMaskFactor(texel) + tableBlackLevel(texel);
    if (outputGamma != 1.0)
        color = pow(color, vec3(1.0 / outputGamma));
    outColor = vec4(color, 1.0);
}
