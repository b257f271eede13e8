#include "support/correction_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace dovav::test {

double srgbToLinear(double s)
{
    return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
}

Rgb sampleLinear(const Image& image, Uv uv, Border border, Texels texels)
{
    const double x = uv.u * image.width - 0.5;
    const double y = uv.v * image.height - 0.5;
    const double x0 = std::floor(x);
    const double y0 = std::floor(y);
    const double fx = x - x0;
    const double fy = y - y0;
    auto texel = [&](double column, double row, int channel) {
        const bool outside = column < 0 || row < 0 || column >= image.width || row >= image.height;
        if (outside && border == Border::OpaqueBlack)
            return 0.0;
        const int c = std::clamp(int(column), 0, image.width - 1);
        const int r = std::clamp(int(row), 0, image.height - 1);
        const double value = image.pixel(c, r)[channel] / 255.0;
        return texels == Texels::Srgb ? srgbToLinear(value) : value;
    };
    Rgb result{};
    for (int k = 0; k < 3; ++k) {
        const double upper = texel(x0, y0, k) * (1 - fx) + texel(x0 + 1, y0, k) * fx;
        const double lower = texel(x0, y0 + 1, k) * (1 - fx) + texel(x0 + 1, y0 + 1, k) * fx;
        result[k] = upper * (1 - fy) + lower * fy;
    }
    return result;
}

double& strength(Strengths& s, kzCorrectionPassType pass)
{
    switch (pass) {
    case KZ_CORRECTION_PASS_WARPING: return s.warp;
    case KZ_CORRECTION_PASS_BLENDING: return s.blend;
    case KZ_CORRECTION_PASS_BLACKLEVEL: return s.blacklevel;
    case KZ_CORRECTION_PASS_SECONDARY_BLENDING: return s.secondary;
    default: return s.shading;
    }
}

double corrected(const Lookups& in, int k, const Strengths& w, const Gammas& g)
{
    auto mask = [&](double value, double weight) { return std::pow(1 + (value - 1) * weight, g.gamma); };
    double c = std::pow(in.scene[k], g.input);
    c *= mask(in.shading[k], w.shading);
    c *= mask(in.blend[k], w.blend);
    c *= mask(in.secondary[k], w.secondary);
    const double black = std::pow(in.blacklevel[k] * w.blacklevel, g.gamma);
    return std::pow(c * (1 - black) + black, 1 / g.output);
}

Lookups shifted(Lookups in, double sceneBy, double maskBy)
{
    auto shift = [](Rgb& rgb, double by) {
        for (double& value : rgb)
            value = std::clamp(value + by, 0.0, 1.0);
    };
    shift(in.scene, sceneBy);
    for (Rgb* rgb : {&in.blend, &in.secondary, &in.blacklevel, &in.shading})
        shift(*rgb, maskBy);
    return in;
}

void PixelComparison::check(const uint8_t* pixel, const Lookups& in, const Strengths& w, const Gammas& g,
                            const std::string& where)
{
    const Lookups low = shifted(in, -tolerance_.sceneLookup, -tolerance_.maskLookup);
    const Lookups high = shifted(in, tolerance_.sceneLookup, tolerance_.maskLookup);
    for (int k = 0; k < 3; ++k) {
        compare(pixel[k], corrected(in, k, w, g) * 255, corrected(low, k, w, g) * 255 - tolerance_.outputSlack,
                corrected(high, k, w, g) * 255 + tolerance_.outputSlack, k, where);
    }
}

void PixelComparison::checkExact(uint8_t value, double expected, int k, const std::string& where)
{
    compare(value, expected, expected, expected, k, where);
}

void PixelComparison::compare(double value, double exact, double lowest, double highest, int k,
                              const std::string& where)
{
    worst_ = std::max(worst_, std::fabs(value - exact));
    if ((value < lowest || value > highest) && failures_++ == 0) {
        char text[200];
        std::snprintf(text, sizeof text, "%s component %d: %g, expected %.2f in [%.2f, %.2f]", where.c_str(), k,
                      value, exact, lowest, highest);
        firstFailure_ = text;
    }
}

ShapePoint cylinderPoint(uint32_t column, uint32_t row, uint32_t columns, uint32_t rows)
{
    const double angle = (-40.0 + 80.0 * column / (columns - 1)) * M_PI / 180.0;
    const float s = float(std::sin(angle));
    const float c = float(std::cos(angle));
    ShapePoint point;
    point.position = {3 * s, 1.0f - 2.0f * float(row) / float(rows - 1), -3 * c};
    point.texcoord = {0, 0};
    point.normal = {-s, 0, c};  // towards the axis, where the viewer is
    point.tangent = {c, 0, s};  // to the viewer's right; the bitangent is +y
    return point;
}

Uv shadingLookup(const ShapePoint& p, kzVec3f eye)
{
    const double dir[3] = {eye.x - p.position.x, eye.y - p.position.y, eye.z - p.position.z};
    const double length = std::sqrt(dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2]);
    const double n[3] = {p.normal.x, p.normal.y, p.normal.z};
    const double t[3] = {p.tangent.x, p.tangent.y, p.tangent.z};
    const double b[3] = {n[1] * t[2] - n[2] * t[1], n[2] * t[0] - n[0] * t[2], n[0] * t[1] - n[1] * t[0]};
    const double bLength = std::sqrt(b[0] * b[0] + b[1] * b[1] + b[2] * b[2]);
    // Dot product with the unit direction to the eye.
    auto toEye = [&](const double* a) {
        return (a[0] * dir[0] + a[1] * dir[1] + a[2] * dir[2]) / length;
    };
    double dx = toEye(t);
    double dy = toEye(b) / bLength;
    const double planar = std::hypot(dx, dy);
    if (planar > 0.001) {
        dx /= planar;
        dy /= planar;
    }
    const double scale = std::acos(std::clamp(toEye(n), -1.0, 1.0)) / (M_PI / 2);
    return {(dx * scale + 1) / 2, 1 - (dy * scale + 1) / 2};
}

}  // namespace dovav::test
