// The colour steps both fragment programs share after the scene lookup (and,
// in the dynamic program, directional shading): blend, secondary blend, black
// level and output gamma. The bake program evaluates the same mask factors
// once per output pixel.
layout(set = 0, binding = 2) uniform sampler2D blending;
layout(set = 0, binding = 3) uniform sampler2D secondary_blending;
layout(set = 0, binding = 4) uniform sampler2D blacklevel;

// Where the scene is read: the warp weight mixes the unwarped and warped lookups.
vec2 sceneLookup(vec2 uv_unwarped, vec2 uv_warped)
{
    return mix(uv_unwarped, uv_warped, ubo.features1.x);
}

vec3 sceneColour(sampler2D source, vec2 uv_unwarped, vec2 uv_warped)
{
    vec3 color = texture(source, sceneLookup(uv_unwarped, uv_warped)).rgb;
    return pow(color, vec3(ubo.inputGamma));
}

vec3 blendFactor(sampler2D mask, float weight, vec2 uv)
{
    return pow(mix(vec3(1.0), texture(mask, uv).rgb, weight), vec3(ubo.gamma));
}

vec3 blackLevel(vec2 uv)
{
    return pow(texture(blacklevel, uv).rgb * ubo.features1.z, vec3(ubo.gamma));
}

vec4 finishColour(vec3 color, vec2 uv_unwarped)
{
    color = color * blendFactor(blending, ubo.features1.y, uv_unwarped);
    color = color * blendFactor(secondary_blending, ubo.features2.x, uv_unwarped);
    vec3 black = blackLevel(uv_unwarped);
    color = pow(color * (1.0 - black) + black, vec3(1.0 / ubo.outputGamma));
    return vec4(color, 1.0);
}
