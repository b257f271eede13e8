#version 450
#extension GL_GOOGLE_include_directive : require
#include "uniform_block.glsl"

layout(set = 0, binding = 1) uniform sampler2D source;
#include "correction_colour.glsl"

layout(location = 0) in vec2 uv_warped;
layout(location = 1) in vec2 uv_unwarped;

layout(location = 0) out vec4 outColor;

void main()
{
    outColor = finishColour(sceneColour(source, uv_unwarped, uv_warped), uv_unwarped);
}
