#version 450
#extension GL_GOOGLE_include_directive : require
#include "uniform_block.glsl"

// Where the warp map puts the point on the output, in the unit square (the
// masks are read there too), and where it reads the scene.
layout(location = 0) in vec2 position;
layout(location = 1) in vec2 texcoord_warped;

layout(location = 0) out vec2 uv_warped;
layout(location = 1) out vec2 uv_unwarped;

void main()
{
    // The unit square covers the render area; no matrix is applied.
    gl_Position = vec4(2.0 * position.x - 1.0, 2.0 * position.y - 1.0, 0.0, 1.0);
    uv_warped = texcoord_warped;
    uv_unwarped = position;
}
