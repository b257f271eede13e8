#include "config/mpcdi_import.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "config/mask_image.h"
#include "config/mpcdi_document.h"
#include "config/mpcdi_source.h"
#include "config/pfm_file.h"
#include "config/xml_text.h"
#include "kzLib/geometry.h"

namespace mpcdi {
namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr double kDefaultGamma = 2.2;

using xml_text::escaped;
using xml_text::number;

// Same as number() for a value already rounded to float: the text reads back
// to exactly that float.
std::string number(float value)
{
    return number(double(value));
}


bool writeText(const std::string& path, const std::string& text)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    return file && std::fwrite(text.data(), 1, text.size(), file.get()) == text.size() &&
           std::fclose(file.release()) == 0;
}

// Library axes (y up) to the calibration files' z-up axes.
std::string fileAxes(kzVec3f v)
{
    return number(v.x) + ";" + number(-v.z) + ";" + number(v.y);
}

// Metres per geometric unit of an a3 warp's points; 0 for an unknown unit.
double metresPer(const std::string& unit)
{
    static const struct {
        const char* name;
        double metres;
    } kUnits[] = {{"", 1.0},    {"m", 1.0},       {"dm", 0.1},      {"cm", 0.01},
                  {"mm", 0.001}, {"in", 0.0254},  {"ft", 0.3048},   {"yd", 0.9144}};
    for (const auto& known : kUnits) {
        if (unit == known.name)
            return known.metres;
    }
    return 0.0;
}

// A camera file seen from the nominal eye at the origin: the yaw, pitch and
// roll of the view and its edges at unit distance.
std::string cameraText(double yaw, double pitch, double roll, double left, double right, double bottom,
                       double top)
{
    return "eye;;;heading;pitch;roll;;;;;left;right;bottom;top\n0;0;0;" + number(float(yaw)) + ";" +
           number(float(pitch)) + ";" + number(float(roll)) + ";0;0;0;0;" + number(float(left)) + ";" +
           number(float(right)) + ";" + number(float(bottom)) + ";" + number(float(top)) + ";0;0\n";
}

double tangent(double degrees)
{
    return std::tan(degrees * kRadiansPerDegree);
}

std::string frustumCamera(const Frustum& f)
{
    return cameraText(f.yaw, f.pitch, f.roll, tangent(f.leftAngle), tangent(f.rightAngle),
                      tangent(f.downAngle), tangent(f.upAngle));
}

// A 2d region's content is a flat picture: the host draws it with a camera
// looking ahead whose window has the region's aspect ratio.
std::string flatCamera(const Region& region)
{
    const double aspect =
        region.xResolution > 0 && region.yResolution > 0 ? double(region.xResolution) / region.yResolution : 1.0;
    return cameraText(0, 0, 0, -aspect, aspect, -1, 1);
}

const char kIdentityWarp[] = "x;y;u;v;column;row\n0;0;0;0;0;0\n1;0;1;0;1;0\n0;1;0;1;0;1\n1;1;1;1;1;1\n";

double dot(const double a[3], const double b[3])
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

void normalise(double v[3])
{
    const double length = std::sqrt(dot(v, v));
    if (length > 0) {
        for (int k = 0; k < 3; ++k)
            v[k] /= length;
    }
}

void cross(const double a[3], const double b[3], double out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

// The rectangle that frames every valid screen point as seen from the
// nominal eye at the origin: perpendicular to the points' mean direction,
// upright where that allows, at their mean distance along it.
bool fitTargetRect(const std::vector<kzVec3f>& points, std::string& text, std::string& problem)
{
    double forward[3] = {0, 0, 0};
    size_t valid = 0;
    for (const kzVec3f& p : points) {
        double d[3] = {p.x, p.y, p.z};
        if (!std::isfinite(d[0]) || !std::isfinite(d[1]) || !std::isfinite(d[2]) || dot(d, d) == 0)
            continue;
        normalise(d);
        for (int k = 0; k < 3; ++k)
            forward[k] += d[k];
        ++valid;
    }
    if (valid == 0 || dot(forward, forward) == 0) {
        problem = "the screen points give no direction to frame";
        return false;
    }
    normalise(forward);
    double up[3] = {0, 1, 0};
    if (std::fabs(forward[1]) > 0.999) {
        up[1] = 0;
        up[2] = forward[1] > 0 ? 1 : -1;
    }
    double right[3];
    cross(forward, up, right);
    normalise(right);
    cross(right, forward, up);
    normalise(up);

    double minA = INFINITY, maxA = -INFINITY, minB = INFINITY, maxB = -INFINITY, depth = 0;
    for (const kzVec3f& p : points) {
        const double d[3] = {p.x, p.y, p.z};
        if (!std::isfinite(d[0]) || !std::isfinite(d[1]) || !std::isfinite(d[2]) || dot(d, d) == 0)
            continue;
        const double z = dot(d, forward);
        if (!(z > 0)) {
            problem = "a screen point lies beside or behind the nominal eye";
            return false;
        }
        const double a = dot(d, right) / z, b = dot(d, up) / z;
        minA = std::fmin(minA, a);
        maxA = std::fmax(maxA, a);
        minB = std::fmin(minB, b);
        maxB = std::fmax(maxB, b);
        depth += z / double(valid);
    }
    if (!(maxA > minA) || !(maxB > minB)) {
        problem = "the screen points span no area as seen from the nominal eye";
        return false;
    }
    auto corner = [&](double a, double b) {
        return kzVec3f{float(depth * (forward[0] + a * right[0] + b * up[0])),
                       float(depth * (forward[1] + a * right[1] + b * up[1])),
                       float(depth * (forward[2] + a * right[2] + b * up[2]))};
    };
    kzVec3f angles{0, 0, 0};
    kzGetOrientation(&angles, kzVec3f{float(forward[0]), float(forward[1]), float(forward[2])},
                     kzVec3f{float(up[0]), float(up[1]), float(up[2])});
    // Corners clockwise from the upper left. The file's roll turns the other
    // way round from kzGetOrientation's.
    text = "target\n0;0;0;" + number(angles.x) + ";" + number(angles.y) + ";" + number(-angles.z) +
           ";0;0;0;0;0;0;0;0;0;" + fileAxes(corner(minA, maxB)) + ";" + fileAxes(corner(maxA, maxB)) + ";" +
           fileAxes(corner(maxA, minB)) + ";" + fileAxes(corner(minA, minB)) + "\n";
    return true;
}

// The surface's unit normal (towards the nominal eye) and tangent (along
// the rows) at a grid point, from its neighbours; where those are missing,
// the direction to the eye and the x axis.
void surfaceFrame(const std::vector<kzVec3f>& points, uint32_t width, uint32_t height, uint32_t column,
                  uint32_t row, kzVec3f& normal, kzVec3f& tangent)
{
    auto at = [&](uint32_t c, uint32_t r) { return points[size_t(r) * width + c]; };
    const kzVec3f right = at(std::min(column + 1, width - 1), row), left = at(column > 0 ? column - 1 : 0, row);
    const kzVec3f up = at(column, row > 0 ? row - 1 : 0), down = at(column, std::min(row + 1, height - 1));
    double t[3] = {right.x - left.x, right.y - left.y, right.z - left.z};
    const double b[3] = {up.x - down.x, up.y - down.y, up.z - down.z};
    double n[3];
    cross(t, b, n);
    normalise(n);
    normalise(t);
    if (!std::isfinite(dot(n, n) + dot(t, t)) || dot(n, n) == 0 || dot(t, t) == 0) {
        const kzVec3f p = at(column, row);
        double toEye[3] = {-p.x, -p.y, -p.z};
        normalise(toEye);
        const bool finite = std::isfinite(dot(toEye, toEye)) && dot(toEye, toEye) > 0;
        normal = finite ? kzVec3f{float(toEye[0]), float(toEye[1]), float(toEye[2])} : kzVec3f{0, 0, 1};
        tangent = {1, 0, 0};
        return;
    }
    normal = {float(n[0]), float(n[1]), float(n[2])};
    tangent = {float(t[0]), float(t[1]), float(t[2])};
}

// An a3 region: the PFM's samples are screen points, row 0 at the top.
bool convertScreen(const std::string& pfmPath, const Region& region, const std::string& shapePath,
                   const std::string& targetPath, std::string& problem)
{
    const double metres = metresPer(region.geometricUnit);
    if (metres == 0) {
        problem = "unknown geometricUnit \"" + region.geometricUnit.substr(0, 20) + "\"";
        return false;
    }
    calib::PfmFile pfm;
    if (pfm.open(pfmPath.c_str()) != KZ_OK || pfm.header().channels != 3) {
        problem = "the warp file is not a three-channel PFM";
        return false;
    }
    const uint32_t width = pfm.header().width, height = pfm.header().height;
    std::vector<kzVec3f> points(size_t(width) * height);
    for (size_t i = 0; i < points.size(); ++i)
        points[i] = {float(pfm.sample(i, 0) * metres), float(pfm.sample(i, 1) * metres),
                     float(pfm.sample(i, 2) * metres)};
    std::string target;
    if (!fitTargetRect(points, target, problem))
        return false;
    // Written line by line: the text is some ten times the size of the samples.
    std::unique_ptr<FILE, int (*)(FILE*)> shape(std::fopen(shapePath.c_str(), "wb"), &std::fclose);
    bool written = shape && std::fputs("x;y;z;u;v;nx;ny;nz;tx;ty;tz;column;row\n", shape.get()) >= 0;
    for (uint32_t row = 0; written && row < height; ++row) {
        for (uint32_t column = 0; written && column < width; ++column) {
            const size_t i = size_t(row) * width + column;
            kzVec3f normal, tangent;
            surfaceFrame(points, width, height, column, row, normal, tangent);
            const float u = width > 1 ? float(column) / float(width - 1) : 0.0f;
            const float v = height > 1 ? float(row) / float(height - 1) : 0.0f;
            const std::string line = fileAxes(points[i]) + ";" + number(u) + ";" + number(v) + ";" +
                                     fileAxes(normal) + ";" + fileAxes(tangent) + ";" + std::to_string(column) +
                                     ";" + std::to_string(row) + "\n";
            written = std::fputs(line.c_str(), shape.get()) >= 0;
        }
    }
    if (!written || std::fclose(shape.release()) != 0 || !writeText(targetPath, target)) {
        problem = "cannot write the screen shape or target rectangle";
        return false;
    }
    return true;
}

struct Channel {
    std::string attributes;
    double gamma = kDefaultGamma;
};

bool convertRegion(Source& source, const Document& document, size_t index, const std::string& folder,
                   Channel& channel, std::string& problem)
{
    const Region& region = document.regions[index];
    const std::string prefix = "channel" + std::to_string(index + 1) + "-";
    std::string& attributes = channel.attributes;
    attributes = "id=\"" + std::to_string(index + 1) + "\" region=\"" + escaped(region.id) + "\"";

    std::string warp;
    if (!region.warp.path.empty()) {
        warp = prefix + "warp.pfm";
        if (!source.extract(region.warp.path, folder + warp, kMaxMemberBytes, problem))
            return false;
        calib::PfmFile check;
        if (check.open((folder + warp).c_str()) != KZ_OK || check.header().channels != 3) {
            problem = "warp file " + region.warp.path + " is not a three-channel PFM";
            return false;
        }
    }

    switch (document.profile) {
    case Profile::TwoD:
    case Profile::ThreeD: {
        if (warp.empty()) {
            warp = prefix + "warp.csv";
            if (!writeText(folder + warp, kIdentityWarp)) {
                problem = "cannot write " + folder + warp;
                return false;
            }
        }
        if (document.profile == Profile::ThreeD && !region.frustum.present) {
            problem = "3d region without a <frustum>";
            return false;
        }
        const std::string camera = prefix + "camera.csv";
        if (!writeText(folder + camera, document.profile == Profile::ThreeD ? frustumCamera(region.frustum)
                                                                             : flatCamera(region))) {
            problem = "cannot write " + folder + camera;
            return false;
        }
        attributes += " warpmap=\"" + warp + "\" frustum=\"" + camera + "\"";
        break;
    }
    case Profile::Advanced3D: {
        if (warp.empty()) {
            problem = "a3 region without a warp file: its screen points are missing";
            return false;
        }
        const std::string shape = prefix + "shape.csv", target = prefix + "target.csv";
        if (!convertScreen(folder + warp, region, folder + shape, folder + target, problem))
            return false;
        std::remove((folder + warp).c_str());
        attributes += " shape=\"" + shape + "\" target=\"" + target + "\"";
        break;
    }
    }

    const struct {
        const MapFile& map;
        const char* attribute;
        const char* name;
    } masks[] = {{region.alpha, "blending", "alpha.png"}, {region.beta, "blacklevel", "beta.png"}};
    for (const auto& mask : masks) {
        if (mask.map.path.empty())
            continue;
        const std::string copy = prefix + mask.name;
        if (!source.extract(mask.map.path, folder + copy, uint64_t(calib::kMaxMaskFileBytes), problem))
            return false;
        attributes += std::string(" ") + mask.attribute + "=\"" + copy + "\"";
    }
    if (region.alpha.gammaEmbedded > 0)
        channel.gamma = region.alpha.gammaEmbedded;
    if (region.inputGamma > 0)
        attributes += " input-gamma=\"" + number(region.inputGamma) + "\"";
    if (region.outputGamma > 0)
        attributes += " output-gamma=\"" + number(region.outputGamma) + "\"";
    return true;
}

}  // namespace

kzResult convertToNative(const char* source, const std::string& folder, std::string& problem)
{
    Source files;
    if (kzResult opened = files.open(source, problem); opened != KZ_OK)
        return opened;
    std::string text;
    Document document;
    if (!files.readDocument(text, problem) || !parseDocument(text, document, problem))
        return KZ_ERROR_INVALID_DATA;
    text.clear();

    std::vector<Channel> channels(document.regions.size());
    for (size_t i = 0; i < channels.size(); ++i) {
        if (!convertRegion(files, document, i, folder, channels[i], problem)) {
            problem = "region " + document.regions[i].id.substr(0, 60) + ": " + problem;
            return KZ_ERROR_INVALID_DATA;
        }
    }
    const bool dynamic = document.profile == Profile::Advanced3D;
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- converted from MPCDI " +
                      document.version.substr(0, 8) + ", profile " + profileName(document.profile) +
                      " -->\n<kzCorrection>\n  <type>" + (dynamic ? "1" : "0") + "</type>\n  <gamma>" +
                      number(channels[0].gamma) + "</gamma>\n";
    for (const Channel& channel : channels) {
        xml += "  <channel " + channel.attributes;
        if (channel.gamma != channels[0].gamma)
            xml += " gamma=\"" + number(channel.gamma) + "\"";
        xml += "/>\n";
    }
    xml += "</kzCorrection>\n";
    if (!writeText(folder + kNativeConfiguration, xml)) {
        problem = "cannot write " + folder + kNativeConfiguration;
        return KZ_ERROR_FILE;
    }
    return KZ_OK;
}

}  // namespace mpcdi
