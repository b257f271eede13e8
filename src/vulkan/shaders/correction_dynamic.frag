#version 450
#extension GL_GOOGLE_include_directive : require
#include "uniform_block.glsl"

layout(set = 0, binding = 1) uniform sampler2D source;
layout(set = 0, binding = 5) uniform sampler2D directional_shading;
#include "correction_colour.glsl"

layout(location = 0) in vec2 uv_warped;
layout(location = 1) in vec2 uv_unwarped;
layout(location = 2) in vec2 uv_directional_shading;

layout(location = 0) out vec4 outColor;

void main()
{
    vec3 color = sceneColour(source, uv_unwarped, uv_warped);
    vec3 shade = pow(mix(vec3(1.0), texture(directional_shading, uv_directional_shading).rgb, ubo.features2.y),
                     vec3(ubo.gamma));
    color = color * shade;
    outColor = finishColour(color, uv_unwarped);
}
