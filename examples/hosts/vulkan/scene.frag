#version 450

// Three balls circling above a chequered floor under a sky, ray-cast per pixel.
// World units are metres, y up; the viewer stands at the origin looking along -z.
layout(push_constant) uniform View {
    mat4 inverseViewProjection;  // clip coordinates to world
    vec4 eye;                    // xyz
    vec2 viewportSize;
    float seconds;
} view;

layout(location = 0) out vec4 colour;

float hitSphere(vec3 origin, vec3 direction, vec3 centre, float radius)
{
    vec3 offset = origin - centre;
    float b = dot(offset, direction);
    float c = dot(offset, offset) - radius * radius;
    float discriminant = b * b - c;
    return discriminant < 0.0 ? -1.0 : -b - sqrt(discriminant);
}

void main()
{
    // Vulkan's window y points down; negating clip y puts the top of the view
    // in row 0 of the scene image, the way the library reads it.
    vec2 clip = gl_FragCoord.xy / view.viewportSize * 2.0 - 1.0;
    clip.y = -clip.y;
    vec3 eye = view.eye.xyz;
    vec4 far = view.inverseViewProjection * vec4(clip, 1.0, 1.0);
    vec3 direction = normalize(far.xyz / far.w - eye);

    // Sky, lighter towards the horizon.
    vec3 result = mix(vec3(0.55, 0.7, 0.9), vec3(0.1, 0.25, 0.6), clamp(direction.y * 3.0, 0.0, 1.0));
    float nearest = 1e9;

    // A chequered floor 1.2 m below the eye, in 1 m squares.
    if (direction.y < 0.0) {
        float t = (-1.2 - eye.y) / direction.y;
        vec2 spot = (eye + t * direction).xz;
        float chequer = mod(floor(spot.x) + floor(spot.y), 2.0);
        result = mix(vec3(0.25), vec3(0.8), chequer) * exp(-t * 0.03);
        nearest = t;
    }

    // Three balls circling a point 6 m ahead.
    const vec3 tints[3] = vec3[3](vec3(0.9, 0.2, 0.2), vec3(0.2, 0.8, 0.3), vec3(0.95, 0.85, 0.2));
    for (int i = 0; i < 3; ++i) {
        float angle = view.seconds * 1.5 + float(i) * 2.094;
        vec3 centre = vec3(2.5 * sin(angle), -0.4 + 0.3 * float(i), -6.0 + 2.5 * cos(angle));
        float t = hitSphere(eye, direction, centre, 0.7);
        if (t > 0.0 && t < nearest) {
            vec3 normal = normalize(eye + t * direction - centre);
            float light = 0.25 + 0.75 * max(dot(normal, normalize(vec3(0.4, 1.0, 0.3))), 0.0);
            result = tints[i] * light;
            nearest = t;
        }
    }
    colour = vec4(result, 1.0);
}
