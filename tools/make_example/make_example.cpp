// make_example OUTPUT_DIR: writes the calibration of the example display
// examples/curved-3, three projectors side by side on a cylindrical screen,
// as a static configuration (warp maps and camera files) and a dynamic one
// (screen shapes and target rectangles) that share the masks.
//
// Library axes throughout: y up, the viewer at the origin looks along -z at
// heading 0, positive headings turn to the right (+x). The files' z-up axes
// are written as (x, -z, y). Output y = 0 is the top row of a projector's
// image, and v = 0 the top of a channel camera's view (examples/README.md
// says what that asks of the hosts). The output is a pure function of the
// constants below, so running the program again reproduces the committed
// files.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180.0;

// The screen: a segment of a vertical cylinder around the viewer.
constexpr double kRadius = 3.0;               // metres
constexpr double kScreenWidth = 150.0;        // degrees of arc
constexpr double kHalfHeight = 1.0;           // metres above and below the eye
constexpr int kChannels = 3;
constexpr double kOverlap = 10.0;             // degrees of arc two neighbours share
constexpr double kChannelWidth = (kScreenWidth + (kChannels - 1) * kOverlap) / kChannels;

// The projectors: on a fan 1 m behind the viewer and 0.6 m above the eye,
// each aimed down at the middle of its channel (hence the keystone), mounted
// with a small roll, and with an image 16:10 that overfills its channel.
constexpr double kProjectorBehind = 1.0;
constexpr double kProjectorAbove = 0.6;
constexpr double kProjectorRoll[kChannels] = {0.6, -0.4, 0.9};  // degrees
constexpr double kProjectorAspect = 16.0 / 10.0;
constexpr double kProjectorMargin = 0.03;     // of the image, on every side

// Black level lift of the areas one projector lights alone, the share of
// the irradiance variation the secondary blend evens out (as an exponent:
// 1 would flatten it completely, at the cost of dimming the brightest parts
// by some 40%; 0.5 dims them by 22%), and the mask gamma.
constexpr double kBlackLift = 0.06;
constexpr double kUniformity = 0.5;
constexpr double kMaskGamma = 2.2;
// Directional shading: attenuation at a grazing view (90 degrees off the normal).
constexpr double kGrazingAttenuation = 0.2;

// Files: grid points over the projector output, and image sizes.
constexpr int kGridColumns = 33;
constexpr int kGridRows = 21;
constexpr int kMaskWidth = 512;
constexpr int kMaskHeight = 320;
constexpr int kShadingSize = 64;

struct Vec3 {
    double x, y, z;
};

Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(double s, Vec3 a) { return {s * a.x, s * a.y, s * a.z}; }
double dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
Vec3 normalised(Vec3 a) { return (1.0 / std::sqrt(dot(a, a))) * a; }

// Unit vector of a heading in the horizontal plane.
Vec3 headingVector(double radians) { return {std::sin(radians), 0.0, -std::cos(radians)}; }

// Point of the (unbounded) cylinder at a heading and height, and its heading.
Vec3 cylinderPoint(double heading, double height)
{
    return {kRadius * std::sin(heading), height, -kRadius * std::cos(heading)};
}
double headingOf(Vec3 p) { return std::atan2(p.x, -p.z); }

// A channel's part of the screen: the arc [from, to] (radians), full height.
struct Span {
    double from, centre, to;
};

Span channelSpan(int channel)
{
    const double from = (-0.5 * kScreenWidth + channel * (kChannelWidth - kOverlap)) * kDegree;
    return {from, from + 0.5 * kChannelWidth * kDegree, from + kChannelWidth * kDegree};
}

// A view window at unit distance, in tangents, as in a camera file.
struct Frustum {
    double left, right, bottom, top;
};

// Pinhole projector: position, orthonormal frame and image window.
struct Projector {
    Vec3 position, right, up, forward;
    Frustum window;
};

// Tangent coordinates of a point in the projector's image plane; false behind it.
bool projectorImagePoint(const Projector& p, Vec3 point, double& tx, double& ty)
{
    const Vec3 q = point - p.position;
    const double depth = dot(q, p.forward);
    if (depth <= 0.0)
        return false;
    tx = dot(q, p.right) / depth;
    ty = dot(q, p.up) / depth;
    return true;
}

// Places projector `channel` and sizes its image: the window is the bounding
// box of the channel's outline in the image plane, grown by the margin and
// then to the projector's aspect ratio about its centre (lens shift).
Projector makeProjector(int channel)
{
    const Span span = channelSpan(channel);
    Projector p;
    p.position = Vec3{0.0, kProjectorAbove, 0.0} - kProjectorBehind * headingVector(span.centre);
    p.forward = normalised(cylinderPoint(span.centre, 0.0) - p.position);
    const Vec3 level = normalised(cross(p.forward, Vec3{0.0, 1.0, 0.0}));
    const Vec3 tilted = cross(level, p.forward);
    const double roll = kProjectorRoll[channel] * kDegree;  // clockwise as the viewer sees it
    p.right = std::cos(roll) * level - std::sin(roll) * tilted;
    p.up = std::cos(roll) * tilted + std::sin(roll) * level;

    double left = 1e9, right = -1e9, bottom = 1e9, top = -1e9;
    constexpr int kSteps = 256;
    for (int i = 0; i <= kSteps; ++i) {
        const double s = double(i) / kSteps;
        const Vec3 outline[4] = {
            cylinderPoint(span.from + s * (span.to - span.from), kHalfHeight),
            cylinderPoint(span.from + s * (span.to - span.from), -kHalfHeight),
            cylinderPoint(span.from, (2.0 * s - 1.0) * kHalfHeight),
            cylinderPoint(span.to, (2.0 * s - 1.0) * kHalfHeight),
        };
        for (const Vec3& point : outline) {
            double tx = 0.0, ty = 0.0;
            if (!projectorImagePoint(p, point, tx, ty))
                throw std::runtime_error("the screen reaches behind a projector");
            left = std::min(left, tx);
            right = std::max(right, tx);
            bottom = std::min(bottom, ty);
            top = std::max(top, ty);
        }
    }
    double width = (right - left) * (1.0 + 2.0 * kProjectorMargin);
    double height = (top - bottom) * (1.0 + 2.0 * kProjectorMargin);
    width = std::max(width, height * kProjectorAspect);
    height = width / kProjectorAspect;
    const double cx = 0.5 * (left + right), cy = 0.5 * (bottom + top);
    p.window = {cx - 0.5 * width, cx + 0.5 * width, cy - 0.5 * height, cy + 0.5 * height};
    return p;
}

// The screen point that output point (x, y) lights, y = 0 being the top row
// of the projector image: the ray through that point meets the cylinder from
// inside (the projector stands within it, so there is exactly one hit ahead).
Vec3 litPoint(const Projector& p, double x, double y)
{
    const Frustum& w = p.window;
    const double tx = w.left + x * (w.right - w.left);
    const double ty = w.top - y * (w.top - w.bottom);
    const Vec3 d = p.forward + tx * p.right + ty * p.up;
    const double a = d.x * d.x + d.z * d.z;
    const double b = 2.0 * (p.position.x * d.x + p.position.z * d.z);
    const double c = p.position.x * p.position.x + p.position.z * p.position.z - kRadius * kRadius;
    const double s = (-b + std::sqrt(b * b - 4.0 * a * c)) / (2.0 * a);
    return p.position + s * d;
}

bool onScreen(Vec3 p)
{
    return std::fabs(headingOf(p)) <= 0.5 * kScreenWidth * kDegree && std::fabs(p.y) <= kHalfHeight;
}

bool lights(const Projector& p, Vec3 point)
{
    double tx = 0.0, ty = 0.0;
    return projectorImagePoint(p, point, tx, ty) && tx >= p.window.left && tx <= p.window.right &&
           ty >= p.window.bottom && ty <= p.window.top;
}

// The channel camera at the eye, heading at the channel's centre, level: its
// window at unit distance just holds the channel's part of the screen, whose
// corners are its farthest points up and down.
Frustum channelFrustum(const Span& span)
{
    const double half = 0.5 * (span.to - span.from);
    const double vertical = kHalfHeight / (kRadius * std::cos(half));
    return {-std::tan(half), std::tan(half), -vertical, vertical};
}

// Where the channel camera sees a point: u = (x_ndc + 1) / 2, v = (1 - y_ndc) / 2,
// so (0, 0) is the top left of the camera's image.
void cameraTexcoord(const Span& span, Vec3 point, double& u, double& v)
{
    const Frustum f = channelFrustum(span);
    const Vec3 forward = headingVector(span.centre);
    const Vec3 right{std::cos(span.centre), 0.0, std::sin(span.centre)};
    const double depth = dot(point, forward);
    u = (dot(point, right) / depth - f.left) / (f.right - f.left);
    v = (f.top - point.y / depth) / (f.top - f.bottom);
}

// Linear blend weight of a channel at a heading: 1 in the part it shows
// alone, ramps across each overlap with a neighbour that sum to 1 with the
// neighbour's, 0 beyond its part.
double blendWeight(int channel, double heading)
{
    const Span span = channelSpan(channel);
    if (heading < span.from || heading > span.to)
        return 0.0;
    double weight = 1.0;
    if (channel > 0) {
        const double overlapEnd = channelSpan(channel - 1).to;
        weight = std::min(weight, (heading - span.from) / (overlapEnd - span.from));
    }
    if (channel + 1 < kChannels) {
        const double overlapStart = channelSpan(channel + 1).from;
        weight = std::min(weight, (span.to - heading) / (span.to - overlapStart));
    }
    return std::clamp(weight, 0.0, 1.0);
}

// Screen area lit by a unit area of the projector's output around (x, y):
// the irradiance there goes with its inverse.
double litArea(const Projector& p, double x, double y)
{
    constexpr double h = 1e-4;
    const Vec3 dx = (0.5 / h) * (litPoint(p, x + h, y) - litPoint(p, x - h, y));
    const Vec3 dy = (0.5 / h) * (litPoint(p, x, y + h) - litPoint(p, x, y - h));
    const Vec3 n = cross(dx, dy);
    return std::sqrt(dot(n, n));
}

// Numbers with a fixed number of decimals, trailing zeros dropped and no "-0".
std::string number(double value, int decimals)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string s = text;
    if (s.find('.') != std::string::npos) {
        s.erase(s.find_last_not_of('0') + 1);
        if (s.back() == '.')
            s.pop_back();
    }
    return s == "-0" ? "0" : s;
}

// A library-axes vector in the files' z-up axes.
std::string fileAxes(Vec3 v, int decimals)
{
    return number(v.x, decimals) + ";" + number(-v.z, decimals) + ";" + number(v.y, decimals);
}

void writeText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream file(path, std::ios::binary);
    file << text;
    if (!file)
        throw std::runtime_error("cannot write " + path.string());
}

// A grey image of linear values, stored as value^(1 / mask gamma): the
// library raises every mask sample to the mask gamma before using it.
void writeMask(const std::filesystem::path& path, int width, int height, const std::vector<double>& linear)
{
    std::vector<uint8_t> grey(linear.size());
    for (size_t i = 0; i < linear.size(); ++i)
        grey[i] = uint8_t(std::lround(255.0 * std::pow(std::clamp(linear[i], 0.0, 1.0), 1.0 / kMaskGamma)));
    if (!stbi_write_png(path.string().c_str(), width, height, 1, grey.data(), width))
        throw std::runtime_error("cannot write " + path.string());
}

// Grid points over the projector output, rows from the top, columns fastest.
template <typename Line>
std::string gridText(const char* header, Line line)
{
    std::string text = std::string(header) + "\n";
    for (int row = 0; row < kGridRows; ++row) {
        for (int column = 0; column < kGridColumns; ++column) {
            const double x = double(column) / (kGridColumns - 1);
            const double y = double(row) / (kGridRows - 1);
            text += line(x, y) + ";" + std::to_string(column) + ";" + std::to_string(row) + "\n";
        }
    }
    return text;
}

// Warp map, screen shape, camera and target rectangle of one channel.
void writeGeometry(const std::filesystem::path& directory, const Span& span, const Projector& projector)
{
    writeText(directory / "warp.csv", gridText("x;y;u;v;column;row", [&](double x, double y) {
        double u, v;
        cameraTexcoord(span, litPoint(projector, x, y), u, v);
        return number(x, 5) + ";" + number(y, 5) + ";" + number(u, 5) + ";" + number(v, 5);
    }));

    writeText(directory / "shape.csv",
              gridText("x;y;z;u;v;nx;ny;nz;tx;ty;tz;column;row", [&](double x, double y) {
        const Vec3 point = litPoint(projector, x, y);
        const double heading = headingOf(point);
        const Vec3 normal = -1.0 * headingVector(heading);  // towards the axis, the viewer
        const Vec3 tangent{std::cos(heading), 0.0, std::sin(heading)};  // to the right
        return fileAxes(point, 4) + ";" + number(x, 5) + ";" + number(y, 5) + ";" +
               fileAxes(normal, 4) + ";" + fileAxes(tangent, 4);
    }));

    const Frustum f = channelFrustum(span);
    const std::string heading = number(span.centre / kDegree, 6);
    writeText(directory / "camera.csv",
              "x;y;z;heading;pitch;roll;unused;unused;unused;unused;left;right;bottom;top;unused;unused\n"
              "0;0;0;" + heading + ";0;0;0;0;0;0;" + number(f.left, 6) + ";" + number(f.right, 6) + ";" +
                  number(f.bottom, 6) + ";" + number(f.top, 6) + ";0;0\n");

    // The flat rectangle through the four corners of the channel's part:
    // seen from the eye it spans exactly the camera's window.
    std::string corners;
    const Vec3 rect[4] = {cylinderPoint(span.from, kHalfHeight), cylinderPoint(span.to, kHalfHeight),
                          cylinderPoint(span.to, -kHalfHeight), cylinderPoint(span.from, -kHalfHeight)};
    for (const Vec3& corner : rect)
        corners += ";" + fileAxes(corner, 6);
    writeText(directory / "target.csv",
              "x;y;z;heading;pitch;roll;unused;unused;unused;unused;unused;unused;unused;unused;unused;"
              "upper-left x;y;z;upper-right x;y;z;lower-right x;y;z;lower-left x;y;z\n"
              "0;0;0;" + heading + ";0;0;0;0;0;0;0;0;0;0;0" + corners + "\n");
}

// Calls f(index, x, y, lit point) for the pixel centres of a channel's
// masks, row 0 at the top, as the masks are sampled in output space.
template <typename F>
void forEachMaskPixel(const Projector& projector, F f)
{
    for (int row = 0; row < kMaskHeight; ++row) {
        for (int column = 0; column < kMaskWidth; ++column) {
            const double x = (column + 0.5) / kMaskWidth, y = (row + 0.5) / kMaskHeight;
            f(size_t(row) * kMaskWidth + column, x, y, litPoint(projector, x, y));
        }
    }
}

// The largest screen area a unit of output lights anywhere a channel shows
// its image: there the display is dimmest.
double largestLitArea(const Projector* projectors)
{
    double largest = 0.0;
    for (int channel = 0; channel < kChannels; ++channel) {
        forEachMaskPixel(projectors[channel], [&](size_t, double x, double y, Vec3 point) {
            if (onScreen(point) && blendWeight(channel, headingOf(point)) > 0.0)
                largest = std::max(largest, litArea(projectors[channel], x, y));
        });
    }
    return largest;
}

// Blend, black level and secondary blend masks of one channel. The secondary
// blend evens out part of the brightness variation: at full strength it
// would dim every point to the irradiance where the display is dimmest;
// kUniformity takes that factor to a power below 1.
void writeMasks(const std::filesystem::path& directory, int channel, const Projector* projectors,
                double largestArea)
{
    const size_t count = size_t(kMaskWidth) * kMaskHeight;
    std::vector<double> blend(count), black(count), secondary(count);
    forEachMaskPixel(projectors[channel], [&](size_t i, double x, double y, Vec3 point) {
        const bool screen = onScreen(point);
        blend[i] = screen ? blendWeight(channel, headingOf(point)) : 0.0;

        // Where a neighbour lights the same point, its black adds to ours
        // whatever its blend mask says.
        int lit = 0;
        for (int other = 0; other < kChannels; ++other)
            lit += other == channel || lights(projectors[other], point) ? 1 : 0;
        black[i] = screen && lit == 1 ? kBlackLift : 0.0;

        secondary[i] = std::pow(std::min(1.0, litArea(projectors[channel], x, y) / largestArea), kUniformity);
    });
    writeMask(directory / "blend.png", kMaskWidth, kMaskHeight, blend);
    writeMask(directory / "blacklevel.png", kMaskWidth, kMaskHeight, black);
    writeMask(directory / "secondary.png", kMaskWidth, kMaskHeight, secondary);
}

// Directional shading, shared by the channels: indexed by the direction to
// the eye in the surface frame, the centre facing it head-on and the rim
// 90 degrees off the normal; slightly darker towards grazing views.
void writeShading(const std::filesystem::path& path)
{
    std::vector<double> shading(size_t(kShadingSize) * kShadingSize);
    for (int row = 0; row < kShadingSize; ++row) {
        for (int column = 0; column < kShadingSize; ++column) {
            const double dx = 2.0 * (column + 0.5) / kShadingSize - 1.0;
            const double dy = 1.0 - 2.0 * (row + 0.5) / kShadingSize;
            const double off = std::min(1.0, std::sqrt(dx * dx + dy * dy));
            shading[size_t(row) * kShadingSize + column] = 1.0 - kGrazingAttenuation * off * off;
        }
    }
    writeMask(path, kShadingSize, kShadingSize, shading);
}

std::string configuration(bool dynamic)
{
    std::ostringstream text;
    text << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<!-- Three projectors on a cylindrical screen (radius 3 m, 150 degrees, 2 m\n"
            "     high, the viewer on its axis), written by tools/make_example.\n"
         << (dynamic ? "     Dynamic correction: screen shape and target rectangle per channel.\n"
                     : "     Static correction: warp map and camera file per channel.\n")
         << "     Paths are relative to this file's directory. -->\n"
            "<kzCorrection>\n"
            "  <type>" << (dynamic ? 1 : 0) << "</type>\n"
            "  <gamma>2.2</gamma>\n"
            "  <input-gamma>1.0</input-gamma>\n"
            "  <output-gamma>1.0</output-gamma>\n";
    for (int channel = 0; channel < kChannels; ++channel) {
        const std::string d = "channel" + std::to_string(channel + 1) + "/";
        text << "  <channel id=\"" << channel + 1 << "\"";
        if (dynamic)
            text << " shape=\"" << d << "shape.csv\" target=\"" << d << "target.csv\"\n";
        else
            text << " warpmap=\"" << d << "warp.csv\" frustum=\"" << d << "camera.csv\"\n";
        text << "           blending=\"" << d << "blend.png\" secondary-blending=\"" << d
             << "secondary.png\"\n           blacklevel=\"" << d << "blacklevel.png\"";
        if (dynamic)
            text << " directional-shading=\"shading.png\"";
        text << "/>\n";
    }
    text << "</kzCorrection>\n";
    return text.str();
}

// One line per channel on standard output: its arc, its projector and the
// share of the projector's width in each overlap along the middle row.
void printSummary(int channel, const Projector& p)
{
    const Span span = channelSpan(channel);
    const int neighbours = (channel > 0 ? 1 : 0) + (channel + 1 < kChannels ? 1 : 0);
    constexpr int kSamples = 10000;
    int shared = 0;
    for (int i = 0; i < kSamples; ++i) {
        const double weight = blendWeight(channel, headingOf(litPoint(p, (i + 0.5) / kSamples, 0.5)));
        shared += weight > 0.0 && weight < 1.0 ? 1 : 0;
    }
    const Frustum& w = p.window;
    std::printf("channel %d: %.2f to %.2f degrees; projector at (%.3f, %.3f, %.3f), window %.4f %.4f "
                "%.4f %.4f, throw ratio %.2f; each overlap %.1f%% of its width\n",
                channel + 1, span.from / kDegree, span.to / kDegree, p.position.x, p.position.y,
                p.position.z, w.left, w.right, w.bottom, w.top, 1.0 / (w.right - w.left),
                100.0 * shared / kSamples / neighbours);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_example OUTPUT_DIR\n");
        return 2;
    }
    try {
        const std::filesystem::path output = argv[1];
        Projector projectors[kChannels];
        for (int channel = 0; channel < kChannels; ++channel)
            projectors[channel] = makeProjector(channel);
        const double largestArea = largestLitArea(projectors);

        for (int channel = 0; channel < kChannels; ++channel) {
            const std::filesystem::path directory = output / ("channel" + std::to_string(channel + 1));
            std::filesystem::create_directories(directory);
            writeGeometry(directory, channelSpan(channel), projectors[channel]);
            writeMasks(directory, channel, projectors, largestArea);
            printSummary(channel, projectors[channel]);
        }
        writeShading(output / "shading.png");
        writeText(output / "static.xml", configuration(false));
        writeText(output / "dynamic.xml", configuration(true));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_example: %s\n", error.what());
        return 1;
    }
    return 0;
}
