// The per-image uniform block every correction program declares: 192 bytes,
// std140, written by the host before each frame's command buffer runs.
layout(set = 0, binding = 0, std140) uniform UniformBufferObject {
    mat4 mvp;               // unit-square orthographic matrix; no program reads it
    mat4 camera_mvp;        // channel camera's view-projection
    vec4 camera_position;   // xyz: eye of the channel camera
    vec4 features1;         // x warp, y blend, z black level, w 1
    vec4 features2;         // x secondary blend, y directional shading
    float gamma;            // mask gamma
    float inputGamma;
    float outputGamma;
    uint flip_v;            // non-zero: flip the dynamic warped lookup vertically
} ubo;
