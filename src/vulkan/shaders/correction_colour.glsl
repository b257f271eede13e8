// The colour steps both fragment programs share after the scene lookup (and,
// in the dynamic program, directional shading): blend, secondary blend, black
// level and output gamma.
layout(set = 0, binding = 2) uniform sampler2D blending;
layout(set = 0, binding = 3) uniform sampler2D secondary_blending;
layout(set = 0, binding = 4) uniform sampler2D blacklevel;

vec3 sceneColour(sampler2D source, vec2 uv_unwarped, vec2 uv_warped)
{
    vec3 color = texture(source, mix(uv_unwarped, uv_warped, ubo.features1.x)).rgb;
    return pow(color, vec3(ubo.inputGamma));
}

vec4 finishColour(vec3 color, vec2 uv_unwarped)
{
    vec3 blend1 = pow(mix(vec3(1.0), texture(blending, uv_unwarped).rgb, ubo.features1.y), vec3(ubo.gamma));
    color = color * blend1;
    vec3 blend2 = pow(mix(vec3(1.0), texture(secondary_blending, uv_unwarped).rgb, ubo.features2.x),
                      vec3(ubo.gamma));
    color = color * blend2;
    vec3 black = pow(texture(blacklevel, uv_unwarped).rgb * ubo.features1.z, vec3(ubo.gamma));
    color = pow(color * (1.0 - black) + black, vec3(1.0 / ubo.outputGamma));
    return vec4(color, 1.0);
}
