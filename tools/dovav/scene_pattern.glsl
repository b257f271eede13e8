// The test scene of dovav render: a sphere at infinity around the viewer,
// coloured from azimuth and elevation. Shared by the OpenGL program (GLSL 330,
// compiled at run time) and the Vulkan program (GLSL 450, compiled to SPIR-V
// when the tool is built). The including program declares
//   mat4 inverseViewProjection  inverse of the view-projection the host would
//                               render with, the eye moved to the origin
//   vec2 viewportSize           in pixels
// and this file adds the colour output and main(). A pixel's normalised
// device coordinates follow the graphics interface's own window convention
// (y up in OpenGL, y down in Vulkan), so the matrix alone decides which way
// up the scene lands in the image.
//
// Azimuth 0 looks along -z and grows towards +x (to the right), elevation is
// positive above the horizon. Grid lines every 10 degrees, thicker every 30,
// red on the 0 meridian; azimuth labels above the lines of elevation 0, +-30
// and +-60; elevation labels below the lines of every 10 degrees on the
// meridians of every 30; colour bars and a grey wedge just below the horizon.

layout(location = 0) out vec4 sceneColour;

const float CELL = 0.45;  // degrees of arc per font pixel

// 3 x 5 glyphs, bit 14 the top-left pixel, rows top to bottom: 0-9, '-', '+'.
const int FONT[12] = int[12](31599, 11415, 29671, 29391, 23497, 31183, 31215, 29266, 31727, 31695,
                             448, 1488);

// Whether font pixel (x, y) of glyph g is set; y counts up from the bottom.
bool glyphPixel(int g, int x, int y)
{
    if (x < 0 || x > 2 || y < 0 || y > 4)
        return false;
    int bit = 14 - ((4 - y) * 3 + x);
    return ((FONT[g] >> bit) & 1) != 0;
}

// The glyphs of `value` (its sign first when `signed`) starting at the
// label's lower-left corner, in font pixels; each glyph is 3 wide with one
// pixel of spacing.
bool labelPixel(int value, bool withSign, vec2 p)
{
    if (p.x < 0.0 || p.y < 0.0 || p.y >= 5.0)
        return false;
    int magnitude = abs(value);
    int digits = magnitude >= 100 ? 3 : (magnitude >= 10 ? 2 : 1);
    int count = digits + (withSign ? 1 : 0);
    int slot = int(floor(p.x / 4.0));
    if (slot >= count)
        return false;
    int x = int(floor(p.x)) - 4 * slot;
    int y = int(floor(p.y));
    int g;
    if (withSign && slot == 0) {
        g = value < 0 ? 10 : 11;
    } else {
        int place = count - 1 - slot;  // 0 for the units
        int divisor = place == 0 ? 1 : (place == 1 ? 10 : 100);
        g = (magnitude / divisor) % 10;
    }
    return glyphPixel(g, x, y);
}

vec3 colourBar(int index)
{
    const vec3 bars[9] = vec3[9](vec3(1.0), vec3(1.0, 1.0, 0.0), vec3(0.0, 1.0, 1.0),
                                 vec3(0.0, 1.0, 0.0), vec3(1.0, 0.0, 1.0), vec3(1.0, 0.0, 0.0),
                                 vec3(0.0, 0.0, 1.0), vec3(0.5), vec3(0.0));
    return bars[index];
}

// Coverage of a line at `distance` degrees of arc, `halfWidth` pixels wide
// on each side, with `pixel` degrees per pixel.
float line(float distance, float halfWidth, float pixel)
{
    float d = abs(distance) / pixel;
    return 1.0 - smoothstep(halfWidth - 0.5, halfWidth + 0.5, d);
}

vec3 scene(vec3 d, float pixel)
{
    float azimuth = mod(degrees(atan(d.x, -d.z)) + 360.0, 360.0);
    float elevation = degrees(atan(d.y, length(d.xz)));
    float across = max(cos(radians(elevation)), 1e-3);  // arc per degree of azimuth

    // Sky and floor, in a checkerboard of 10-degree cells.
    vec3 colour = elevation >= 0.0
                      ? mix(vec3(0.06, 0.12, 0.28), vec3(0.20, 0.36, 0.62), elevation / 90.0)
                      : mix(vec3(0.22, 0.17, 0.12), vec3(0.08, 0.07, 0.06), -elevation / 90.0);
    int cellAzimuth = int(floor(azimuth / 10.0));
    int cellElevation = int(floor(elevation / 10.0));
    if (((cellAzimuth + cellElevation) & 1) != 0)
        colour *= 0.8;

    // Colour bars of 10 degrees, then a grey wedge of ten 1-degree steps.
    if (elevation > -6.0 && elevation < -1.5)
        colour = colourBar(cellAzimuth % 9);
    else if (elevation > -9.0 && elevation <= -6.0)
        colour = vec3(floor(mod(azimuth, 10.0)) / 9.0);

    // Grid.
    float nearestElevation = 10.0 * round(elevation / 10.0);
    float nearestAzimuth = 10.0 * round(azimuth / 10.0);
    bool thickElevation = mod(nearestElevation, 30.0) == 0.0;
    bool thickAzimuth = mod(nearestAzimuth, 30.0) == 0.0;
    float elevationLine = line(elevation - nearestElevation, thickElevation ? 1.5 : 0.75, pixel);
    float azimuthLine = abs(elevation) > 89.0
                            ? 0.0
                            : line((azimuth - nearestAzimuth) * across, thickAzimuth ? 1.5 : 0.75, pixel);
    vec3 meridianColour = mod(nearestAzimuth, 360.0) == 0.0 ? vec3(1.0, 0.15, 0.1)
                                                            : vec3(thickAzimuth ? 0.95 : 0.65);
    colour = mix(colour, vec3(thickElevation ? 0.95 : 0.65), elevationLine);
    colour = mix(colour, meridianColour, azimuthLine);

    // Azimuth labels right of each meridian, above the lines of 0, +-30 and +-60 degrees.
    float labelElevation = clamp(30.0 * round(elevation / 30.0), -60.0, 60.0);
    float labelAzimuth = 10.0 * floor(azimuth / 10.0);
    if (abs(labelElevation) < 45.0 || mod(labelAzimuth, 30.0) == 0.0) {
        vec2 p = vec2((azimuth - labelAzimuth) * across, elevation - labelElevation) / CELL - vec2(1.0);
        if (labelPixel(int(labelAzimuth), false, p))
            colour = vec3(1.0, 0.9, 0.3);
    }
    // Elevation labels right of every 30-degree meridian, below each line of 10 degrees.
    float markedElevation = clamp(10.0 * round(elevation / 10.0), -80.0, 80.0);
    float markedAzimuth = 30.0 * floor(azimuth / 30.0);
    if (markedElevation != 0.0) {
        vec2 p = vec2((azimuth - markedAzimuth) * across, elevation - markedElevation) / CELL +
                 vec2(-1.0, 6.0);
        if (labelPixel(int(markedElevation), true, p))
            colour = vec3(0.4, 1.0, 1.0);
    }
    return colour;
}

void main()
{
    vec2 ndc = 2.0 * gl_FragCoord.xy / viewportSize - 1.0;
    vec4 point = inverseViewProjection * vec4(ndc, 0.0, 1.0);
    vec3 direction = normalize(point.xyz / point.w);
    float pixel = degrees(max(length(dFdx(direction)), length(dFdy(direction))));
    sceneColour = vec4(scene(direction, max(pixel, 1e-4)), 1.0);
}
