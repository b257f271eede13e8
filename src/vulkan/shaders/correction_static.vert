#version 450
#extension GL_GOOGLE_include_directive : require
#include "uniform_block.glsl"

layout(location = 0) in vec3 position;
layout(location = 1) in vec2 texcoord_warped;
layout(location = 2) in vec2 texcoord_unwarped;
// Both pipelines share one vertex layout; the static program declares the
// surface attributes so that every attribute the pipeline feeds is consumed.
layout(location = 3) in vec3 normal;
layout(location = 4) in vec3 tangent;
layout(location = 5) in vec3 position1;

layout(location = 0) out vec2 uv_warped;
layout(location = 1) out vec2 uv_unwarped;

void main()
{
    // The unit square covers the render area; no matrix is applied.
    gl_Position = vec4(2.0 * position.x - 1.0, 2.0 * position.y - 1.0, 0.0, 1.0);
    uv_warped = texcoord_warped;
    uv_unwarped = texcoord_unwarped;
}
