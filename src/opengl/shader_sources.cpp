#include "opengl/shader_sources.h"

const char* const kzShaderCorrectionStaticVertex = R"(#version 330
layout(location = 0) in vec3 position;
layout(location = 1) in vec2 texcoord_warped;
layout(location = 2) in vec2 texcoord_unwarped;

uniform mat4 mvp;

out vec2 uv_warped;
out vec2 uv_unwarped;

void main()
{
    gl_Position = mvp * vec4(position, 1.0);
    uv_warped = texcoord_warped;
    uv_unwarped = texcoord_unwarped;
}
)";

const char* const kzShaderCorrectionDynamicVertex = R"(#version 330
const float HALF_PI = 1.57079632679489661923f;

layout(location = 0) in vec3 position;
layout(location = 1) in vec2 texcoord_warped;
layout(location = 2) in vec2 texcoord_unwarped;
layout(location = 3) in vec3 normal;
layout(location = 4) in vec3 tangent;
layout(location = 5) in vec3 position1;

uniform mat4 mvp;
uniform mat4 camera_mvp;
uniform vec4 camera_position;
uniform bool flip_v = false;
uniform float features[8];

out vec2 uv_warped;
out vec2 uv_unwarped;
out vec2 uv_directional_shading;

void main()
{
    gl_Position = mvp * vec4(position, 1.0);

    // Where the channel camera sees this point of the screen.
    vec4 c = camera_mvp * vec4(position1, 1.0);
    c = c / c.w;
    vec2 uv = vec2((c.x + 1.0) / 2.0, (1.0 - c.y) / 2.0);
    if (flip_v)
        uv.y = 1.0 - uv.y;
    uv_warped = uv;
    uv_unwarped = texcoord_unwarped;

    // Direction to the eye in the surface's tangent frame, scaled by its
    // angle from the normal: the centre of the map faces the eye head-on.
    vec3 eye = camera_position.xyz;
    vec3 dir = normalize(eye - position1);
    vec3 bitangent = normalize(cross(normal, tangent));
    vec2 d = vec2(dot(dir, tangent), dot(dir, bitangent));
    if (length(d) > 0.001)
        d = normalize(d);
    d = d * acos(clamp(dot(dir, normal), -1.0, 1.0)) / HALF_PI;
    uv_directional_shading = vec2((d.x + 1.0) / 2.0, 1.0 - (d.y + 1.0) / 2.0);
}
)";

namespace {

// Pieces shared by both fragment programs: declarations, the scene lookup
// with input gamma, and blend, secondary blend, black level and output gamma.
// The dynamic program applies directional shading between the last two.
const char kFragmentDeclarations[] = R"(
#if defined(KZ_TEXTURE_TARGET_RECTANGLE)
uniform sampler2DRect source;
#elif defined(KZ_TEXTURE_TARGET_2D)
uniform sampler2D source;
#endif
uniform sampler2D blending;
uniform sampler2D secondary_blending;
uniform sampler2D blacklevel;
uniform float features[8];
uniform float gamma = 2.2;
uniform float inputGamma = 1.0;
uniform float outputGamma = 1.0;
uniform int useSourceRect = 0;

in vec2 uv_warped;
in vec2 uv_unwarped;

layout(location = 0) out vec3 color;
)";

const char kFragmentSceneSample[] = R"(
void main()
{
    vec2 uv = mix(uv_unwarped, uv_warped, features[0]);
#if defined(KZ_TEXTURE_TARGET_RECTANGLE)
    vec3 c = texture(source, uv * vec2(textureSize(source))).rgb;
#elif defined(KZ_TEXTURE_TARGET_2D)
    vec3 c = texture(source, uv).rgb;
#endif
    c = pow(c, vec3(inputGamma));
)";

const char kFragmentMasks[] = R"(
    vec3 b1 = pow(mix(vec3(1.0), texture(blending, uv_unwarped).rgb, features[1]), vec3(gamma));
    c = c * b1;
    vec3 b2 = pow(mix(vec3(1.0), texture(secondary_blending, uv_unwarped).rgb, features[4]), vec3(gamma));
    c = c * b2;
    vec3 k = pow(texture(blacklevel, uv_unwarped).rgb * features[2], vec3(gamma));
    color = pow(c * (1.0 - k) + k, vec3(1.0 / outputGamma));
}
)";

const char kDirectionalShadingDeclarations[] = R"(uniform sampler2D directional_shading;
in vec2 uv_directional_shading;
)";

const char kDirectionalShadingStep[] = R"(
    vec3 s = pow(mix(vec3(1.0), texture(directional_shading, uv_directional_shading).rgb, features[5]), vec3(gamma));
    c = c * s;
)";

}  // namespace

std::string kzOpenGLFragmentSource(kzTextureTarget target, bool dynamic)
{
    std::string source = target == KZ_TEXTURE_TARGET_RECTANGLE
                             ? "#version 330\n#define KZ_TEXTURE_TARGET_RECTANGLE\n"
                             : "#version 330\n#define KZ_TEXTURE_TARGET_2D\n";
    source += kFragmentDeclarations;
    if (dynamic)
        source += kDirectionalShadingDeclarations;
    source += kFragmentSceneSample;
    if (dynamic)
        source += kDirectionalShadingStep;
    source += kFragmentMasks;
    return source;
}
