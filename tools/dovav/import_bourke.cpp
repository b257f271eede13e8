#include <charconv>
#include <cmath>

#include "warp_grid.h"

namespace dovav {
namespace {

// Whitespace-separated numbers, read as the "C" locale writes them.
class Tokens {
public:
    explicit Tokens(const std::string& text) : c_(text.data()), end_(text.data() + text.size()) {}

    bool next(double& value)
    {
        while (c_ != end_ && (*c_ == ' ' || *c_ == '\t' || *c_ == '\n' || *c_ == '\r'))
            ++c_;
        if (c_ == end_)
            return false;
        const char* begin = c_ + (*c_ == '+');
        auto [stop, error] = std::from_chars(begin, end_, value);
        if (error != std::errc() || stop == begin)
            return false;
        c_ = stop;
        return true;
    }

private:
    const char* c_;
    const char* end_;
};

// The shortest node line, "0 0 0 0 0\n", bounds how many nodes the text can hold.
constexpr size_t kShortestNode = 10;

}  // namespace

bool readBourkeMesh(const std::string& text, WarpGrid& grid, std::string& problem)
{
    Tokens tokens(text);
    double type = 0, columns = 0, rows = 0;
    if (!tokens.next(type) || !tokens.next(columns) || !tokens.next(rows)) {
        problem = "no mesh type and node counts at the start";
        return false;
    }
    if (type != 2) {
        problem = type == 1 ? "polar meshes (type 1) are not read; rectangular ones (type 2) are"
                            : "mesh type " + std::to_string(type) + " is not 2 (rectangular)";
        return false;
    }
    if (!(columns >= 2 && rows >= 2 && columns == std::floor(columns) && rows == std::floor(rows)) ||
        columns * rows > double(text.size() / kShortestNode + 1)) {
        problem = "node counts that the file cannot hold";
        return false;
    }
    grid.width = uint32_t(columns);
    grid.height = uint32_t(rows);
    const size_t count = size_t(grid.width) * grid.height;
    std::vector<double> x(count), y(count);
    grid.lookup.resize(count);
    grid.intensity.resize(count);
    double aspect = 0;
    bool partial = false;
    for (size_t i = 0; i < count; ++i) {
        double u, v, intensity;
        if (!tokens.next(x[i]) || !tokens.next(y[i]) || !tokens.next(u) || !tokens.next(v) ||
            !tokens.next(intensity)) {
            problem = "node " + std::to_string(i + 1) + " of " + std::to_string(count) + " is missing or not numbers";
            return false;
        }
        if (!std::isfinite(x[i]) || !std::isfinite(y[i])) {
            problem = "node " + std::to_string(i + 1) + " has no finite position";
            return false;
        }
        const bool valid = intensity >= 0 && std::isfinite(u) && std::isfinite(v);
        grid.lookup[i] = valid ? kzVec2f{float(u), float(1 - v)} : kzVec2f{NAN, NAN};
        grid.intensity[i] = valid ? float(std::fmin(intensity, 1.0)) : 0.0f;
        partial = partial || (valid && intensity < 1);
        aspect = std::fmax(aspect, std::fabs(x[i]));
    }
    if (!(aspect > 0)) {
        problem = "the nodes span no width";
        return false;
    }
    grid.position.resize(count);
    for (size_t i = 0; i < count; ++i)
        grid.position[i] = {float((x[i] / aspect + 1) / 2), float((1 - y[i]) / 2)};
    if (!partial)
        grid.intensity.clear();
    return true;
}

}  // namespace dovav
