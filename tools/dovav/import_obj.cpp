#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "warp_grid.h"

namespace dovav {
namespace {

struct Corner {
    size_t vertex;
    size_t texcoord;
};

const char* skipSpace(const char* c, const char* end)
{
    while (c != end && (*c == ' ' || *c == '\t' || *c == '\r'))
        ++c;
    return c;
}

bool readNumber(const char*& c, const char* end, double& value)
{
    c = skipSpace(c, end);
    auto [stop, error] = std::from_chars(c, end, value);
    if (error != std::errc() || stop == c)
        return false;
    c = stop;
    return true;
}

// A 1-based or negative (counted back from the last) index into `count` elements.
bool readIndex(const char*& c, const char* end, size_t count, size_t& index)
{
    long value = 0;
    auto [stop, error] = std::from_chars(c, end, value);
    if (error != std::errc() || stop == c || value == 0)
        return false;
    c = stop;
    if (value > 0 && size_t(value) <= count)
        index = size_t(value) - 1;
    else if (value < 0 && size_t(-value) <= count)
        index = count - size_t(-value);
    else
        return false;
    return true;
}

// "i", "i/t", "i/t/n" or "i//n"; without a texture index the vertex's own is used.
bool readCorner(const char*& c, const char* end, size_t vertices, size_t texcoords, Corner& corner)
{
    if (!readIndex(c, end, vertices, corner.vertex))
        return false;
    corner.texcoord = corner.vertex;
    if (c != end && *c == '/') {
        ++c;
        if (c != end && *c != '/' && !readIndex(c, end, texcoords, corner.texcoord))
            return false;
        if (c != end && *c == '/') {
            ++c;
            size_t normal;
            if (!readIndex(c, end, SIZE_MAX, normal))
                return false;
        }
    }
    return corner.texcoord < texcoords;
}

}  // namespace

bool readObjWarp(const std::string& text, uint32_t width, uint32_t height, WarpGrid& grid, std::string& problem)
{
    std::vector<kzVec2f> positions, texcoords;
    std::vector<Corner> triangles;  // three corners each
    size_t lineNumber = 0;
    for (size_t begin = 0; begin < text.size();) {
        size_t stop = text.find('\n', begin);
        if (stop == std::string::npos)
            stop = text.size();
        ++lineNumber;
        const char* c = text.data() + begin;
        const char* end = text.data() + stop;
        begin = stop + 1;
        c = skipSpace(c, end);
        auto bad = [&](const char* what) {
            problem = "line " + std::to_string(lineNumber) + ": " + what;
            return false;
        };
        if (end - c >= 2 && c[0] == 'v' && (c[1] == ' ' || c[1] == '\t')) {
            double x, y;
            c += 2;
            if (!readNumber(c, end, x) || !readNumber(c, end, y))
                return bad("a vertex needs x and y");
            positions.push_back({float(x), float(y)});
        } else if (end - c >= 3 && c[0] == 'v' && c[1] == 't' && (c[2] == ' ' || c[2] == '\t')) {
            double u, v;
            c += 3;
            if (!readNumber(c, end, u) || !readNumber(c, end, v))
                return bad("a texture coordinate needs u and v");
            texcoords.push_back({float(u), float(v)});
        } else if (end - c >= 2 && c[0] == 'f' && (c[1] == ' ' || c[1] == '\t')) {
            c += 2;
            std::vector<Corner> face;
            for (c = skipSpace(c, end); c != end; c = skipSpace(c, end)) {
                Corner corner;
                if (!readCorner(c, end, positions.size(), texcoords.size(), corner))
                    return bad("a face corner refers to a vertex or texture coordinate not given before it");
                face.push_back(corner);
            }
            if (face.size() < 3)
                return bad("a face needs three corners");
            for (size_t k = 1; k + 1 < face.size(); ++k)
                triangles.insert(triangles.end(), {face[0], face[k], face[k + 1]});
        }
    }
    if (triangles.empty()) {
        problem = "no faces";
        return false;
    }

    grid.width = width;
    grid.height = height;
    const size_t count = size_t(width) * height;
    grid.position.resize(count);
    grid.lookup.assign(count, kzVec2f{NAN, NAN});
    grid.intensity.clear();
    for (uint32_t row = 0; row < height; ++row) {
        for (uint32_t column = 0; column < width; ++column)
            grid.position[size_t(row) * width + column] = {float(column) / float(width - 1),
                                                           float(row) / float(height - 1)};
    }
    // Each triangle covers the grid points inside it, edges included, with
    // slack for the six significant digits OBJ writers commonly keep: a grid
    // point at a vertex must not fall outside all of its triangles.
    constexpr double kSlack = 1e-5;
    for (size_t t = 0; t < triangles.size(); t += 3) {
        const kzVec2f a = positions[triangles[t].vertex], b = positions[triangles[t + 1].vertex],
                      c = positions[triangles[t + 2].vertex];
        const double area = double(b.x - a.x) * (c.y - a.y) - double(c.x - a.x) * (b.y - a.y);
        if (!std::isfinite(area) || area == 0)
            continue;
        const double minX = std::fmin(a.x, std::fmin(b.x, c.x)), maxX = std::fmax(a.x, std::fmax(b.x, c.x));
        const double minY = std::fmin(a.y, std::fmin(b.y, c.y)), maxY = std::fmax(a.y, std::fmax(b.y, c.y));
        const long firstColumn = std::lround(std::ceil(std::fmax(minX, 0.0) * (width - 1) - 1e-6));
        const long lastColumn = std::lround(std::floor(std::fmin(maxX, 1.0) * (width - 1) + 1e-6));
        const long firstRow = std::lround(std::ceil(std::fmax(minY, 0.0) * (height - 1) - 1e-6));
        const long lastRow = std::lround(std::floor(std::fmin(maxY, 1.0) * (height - 1) + 1e-6));
        const kzVec2f ta = texcoords[triangles[t].texcoord], tb = texcoords[triangles[t + 1].texcoord],
                      tc = texcoords[triangles[t + 2].texcoord];
        // A corner without a lookup leaves the triangle's points to its neighbours.
        if (!std::isfinite(ta.x + ta.y + tb.x + tb.y + tc.x + tc.y))
            continue;
        for (long row = std::max(firstRow, 0L); row <= lastRow && row < long(height); ++row) {
            for (long column = std::max(firstColumn, 0L); column <= lastColumn && column < long(width); ++column) {
                const size_t i = size_t(row) * width + size_t(column);
                const kzVec2f p = grid.position[i];
                const double wb = (double(p.x - a.x) * (c.y - a.y) - double(c.x - a.x) * (p.y - a.y)) / area;
                const double wc = (double(b.x - a.x) * (p.y - a.y) - double(p.x - a.x) * (b.y - a.y)) / area;
                const double wa = 1 - wb - wc;
                if (wa < -kSlack || wb < -kSlack || wc < -kSlack)
                    continue;
                grid.lookup[i] = {float(wa * ta.x + wb * tb.x + wc * tc.x), float(wa * ta.y + wb * tb.y + wc * tc.y)};
            }
        }
    }
    return true;
}

}  // namespace dovav
