#version 450
#extension GL_GOOGLE_include_directive : require
#include "uniform_block.glsl"

// The float nearest pi / 2.
const float HALF_PI = 1.5707963705062866;

layout(location = 0) in vec3 position;
layout(location = 1) in vec2 texcoord_warped;  // carried along, not read
layout(location = 2) in vec2 texcoord_unwarped;
layout(location = 3) in vec3 normal;
layout(location = 4) in vec3 tangent;
layout(location = 5) in vec3 position1;

layout(location = 0) out vec2 uv_warped;
layout(location = 1) out vec2 uv_unwarped;
layout(location = 2) out vec2 uv_directional_shading;

void main()
{
    gl_Position = vec4(2.0 * position.x - 1.0, 2.0 * position.y - 1.0, 0.0, 1.0);

    // Where the channel camera sees this point of the screen.
    vec4 c = ubo.camera_mvp * vec4(position1, 1.0);
    c = c / c.w;
    vec2 uv = vec2((c.x + 1.0) / 2.0, (1.0 - c.y) / 2.0);
    if (ubo.flip_v != 0u)
        uv.y = 1.0 - uv.y;
    uv_warped = uv;
    uv_unwarped = texcoord_unwarped;

    // Direction to the eye in the surface's tangent frame, scaled by its
    // angle from the normal: the centre of the map faces the eye head-on.
    vec3 dir = normalize(ubo.camera_position.xyz - position1);
    vec3 bitangent = normalize(cross(normal, tangent));
    vec2 d = vec2(dot(dir, tangent), dot(dir, bitangent));
    if (length(d) > 0.001)
        d = normalize(d);
    d = d * acos(clamp(dot(dir, normal), -1.0, 1.0)) / HALF_PI;
    uv_directional_shading = vec2((d.x + 1.0) / 2.0, 1.0 - (d.y + 1.0) / 2.0);
}
