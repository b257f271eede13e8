#version 450
#extension GL_GOOGLE_include_directive : require

layout(push_constant) uniform ScenePatternView {
    mat4 inverseViewProjection;
    vec2 viewportSize;
};

#include "scene_pattern.glsl"
