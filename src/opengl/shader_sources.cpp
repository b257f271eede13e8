#include "opengl/shader_sources.h"

const char* const kzShaderCorrectionStaticVertex = R"(#version 330
layout(location = 0) in vec3 position;
layout(location = 1) in vec2 texcoord_warped;

uniform mat4 mvp;

out vec2 uv_warped;
out vec2 uv_unwarped;

void main()
{
    gl_Position = mvp * vec4(position, 1.0);
    uv_warped = texcoord_warped;
    // The masks are looked up at the output position with v pointing down.
    uv_unwarped = vec2(position.x, 1.0 - position.y);
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

const char* const kzShaderTableVertex = R"(#version 330
out vec2 uv_output;

// One triangle over the whole viewport, (0, 0) to (2, 2) in output units.
void main()
{
    vec2 corner = vec2(float((gl_VertexID << 1) & 2), float(gl_VertexID & 2));
    uv_output = corner;
    gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
)";

namespace {

// Pieces of the fragment programs. The mesh programs and the bake program
// share the mask factors; the mesh programs and the table programs share
// the scene lookup.
const char kSceneDeclarations[] = R"(
#if defined(KZ_TEXTURE_TARGET_RECTANGLE)
uniform sampler2DRect source;
#elif defined(KZ_TEXTURE_TARGET_2D)
uniform sampler2D source;
#endif
uniform float inputGamma = 1.0;
uniform float outputGamma = 1.0;
uniform int useSourceRect = 0;

layout(location = 0) out vec4 color;

vec3 sceneAt(vec2 uv)
{
#if defined(KZ_TEXTURE_TARGET_RECTANGLE)
    return texture(source, uv * vec2(textureSize(source))).rgb;
#elif defined(KZ_TEXTURE_TARGET_2D)
    return texture(source, uv).rgb;
#endif
}
)";

// m multiplies the scene colour and k is added to it: blend, secondary blend
// and black level at the output position, each weighted and raised to gamma.
const char kMaskFactors[] = R"(
uniform sampler2D blending;
uniform sampler2D secondary_blending;
uniform sampler2D blacklevel;
uniform float features[8];
uniform float gamma = 2.2;

in vec2 uv_warped;
in vec2 uv_unwarped;

void maskFactors(out vec3 m, out vec3 k)
{
    vec3 b1 = pow(mix(vec3(1.0), texture(blending, uv_unwarped).rgb, features[1]), vec3(gamma));
    vec3 b2 = pow(mix(vec3(1.0), texture(secondary_blending, uv_unwarped).rgb, features[4]), vec3(gamma));
    k = pow(texture(blacklevel, uv_unwarped).rgb * features[2], vec3(gamma));
    m = b1 * b2 * (1.0 - k);
}
)";

const char kMeshSceneSample[] = R"(
void main()
{
    vec2 uv = mix(uv_unwarped, uv_warped, features[0]);
    vec3 c = pow(sceneAt(uv), vec3(inputGamma));
)";

const char kMeshMasks[] = R"(
    vec3 m;
    vec3 k;
    maskFactors(m, k);
    color = vec4(pow(c * m + k, vec3(1.0 / outputGamma)), 1.0);
}
)";

const char kDirectionalShadingDeclarations[] = R"(uniform sampler2D directional_shading;
in vec2 uv_directional_shading;
)";

const char kDirectionalShadingStep[] = R"(
    vec3 s = pow(mix(vec3(1.0), texture(directional_shading, uv_directional_shading).rgb, features[5]), vec3(gamma));
    c = c * s;
)";

// A table texel: x, y the scene lookup as float bits; z the factor m and w
// the black level k, each colour component as 10 bits of its square root
// (bits 0-9 red, 10-19 green, 20-29 blue), and bit 31 of w set where the
// mesh covers the pixel. Square roots spend the levels where the output
// gamma magnifies errors: near zero a step of 1/1023 in the root is a step
// of about 1e-6 in the value, and at full scale the decoded value is within
// 1/1023 of the baked one, a quarter of an 8-bit level.
const char kTableEncoding[] = R"(
const uint KZ_COVERED = 0x80000000u;

uint packRoots(vec3 v)
{
    uvec3 q = uvec3(round(sqrt(clamp(v, 0.0, 1.0)) * 1023.0));
    return q.r | (q.g << 10) | (q.b << 20);
}

vec3 unpackRoots(uint p)
{
    vec3 r = vec3(uvec3(p, p >> 10, p >> 20) & uvec3(1023u)) * (1.0 / 1023.0);
    return r * r;
}
)";

const char kBakeMain[] = R"(
layout(location = 0) out uvec4 table;

void main()
{
    vec2 uv = mix(uv_unwarped, uv_warped, features[0]);
    vec3 m;
    vec3 k;
    maskFactors(m, k);
    table = uvec4(floatBitsToUint(uv), packRoots(m), packRoots(k) | KZ_COVERED);
}
)";

const char kTableMain[] = R"(
uniform usampler2D table;
in vec2 uv_output;

void main()
{
    uvec4 t = texelFetch(table, ivec2(uv_output * vec2(textureSize(table, 0))), 0);
    if ((t.w & KZ_COVERED) == 0u) {
        color = vec4(0.0, 0.0, 0.0, 1.0);
        return;
    }
    vec3 c = sceneAt(uintBitsToFloat(t.xy));
#if defined(KZ_INPUT_GAMMA)
    c = pow(c, vec3(inputGamma));
#endif
    c = c * unpackRoots(t.z) + unpackRoots(t.w);
#if defined(KZ_OUTPUT_GAMMA)
    c = pow(c, vec3(1.0 / outputGamma));
#endif
    color = vec4(c, 1.0);
}
)";

std::string versionAndTarget(kzTextureTarget target)
{
    return target == KZ_TEXTURE_TARGET_RECTANGLE ? "#version 330\n#define KZ_TEXTURE_TARGET_RECTANGLE\n"
                                                 : "#version 330\n#define KZ_TEXTURE_TARGET_2D\n";
}

}  // namespace

std::string kzOpenGLFragmentSource(kzTextureTarget target, bool dynamic)
{
    std::string source = versionAndTarget(target);
    source += kSceneDeclarations;
    source += kMaskFactors;
    if (dynamic)
        source += kDirectionalShadingDeclarations;
    source += kMeshSceneSample;
    if (dynamic)
        source += kDirectionalShadingStep;
    source += kMeshMasks;
    return source;
}

std::string kzOpenGLBakeFragmentSource()
{
    std::string source = "#version 330\n";
    source += kMaskFactors;
    source += kTableEncoding;
    source += kBakeMain;
    return source;
}

std::string kzOpenGLTableFragmentSource(kzTextureTarget target, bool inputGamma, bool outputGamma)
{
    std::string source = versionAndTarget(target);
    if (inputGamma)
        source += "#define KZ_INPUT_GAMMA\n";
    if (outputGamma)
        source += "#define KZ_OUTPUT_GAMMA\n";
    source += kSceneDeclarations;
    source += kTableEncoding;
    source += kTableMain;
    return source;
}
