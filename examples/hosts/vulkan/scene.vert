#version 450

// One triangle covering the viewport.
void main()
{
    vec2 corner = vec2((gl_VertexIndex << 1) & 2, gl_VertexIndex & 2);
    gl_Position = vec4(2.0 * corner - 1.0, 0.0, 1.0);
}
