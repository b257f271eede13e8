#include "calibration_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <stdexcept>
#include <vector>

namespace dovav::bench {
namespace {

class ScratchFolder {
public:
    ScratchFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "dovav-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a scratch folder");
        path_ = pattern;
    }
    ~ScratchFolder() { std::filesystem::remove_all(path_); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

ScratchFolder& scratch()
{
    static ScratchFolder folder;
    return folder;
}

// Writes `kind`-WxH.txt once per process: the header, then one line per grid
// point, row by row. Returns its path.
template <typename WriteLine>
const std::string& writeGrid(const std::string& kind, const char* header, unsigned width,
                             unsigned height, WriteLine writeLine)
{
    static std::map<std::string, std::string> written;
    std::string name = kind + "-" + std::to_string(width) + "x" + std::to_string(height) + ".txt";
    std::string& path = written[name];
    if (!path.empty())
        return path;
    path = scratch().file(name);
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file)
        throw std::runtime_error("cannot write " + path);
    std::fputs(header, file);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> jitter(-1e-3, 1e-3);
    for (unsigned row = 0; row < height; ++row) {
        for (unsigned column = 0; column < width; ++column) {
            double u = column / double(width - 1);
            double v = row / double(height - 1);
            writeLine(file, u, v, jitter(random), column, row);
        }
    }
    std::fclose(file);
    return path;
}

}  // namespace

const std::string& warpmapFile(unsigned width, unsigned height)
{
    return writeGrid("warpmap", "x;y;u;v;column;row\n", width, height,
                     [](std::FILE* f, double u, double v, double d, unsigned c, unsigned r) {
        std::fprintf(f, "%.6f;%.6f;%.6f;%.6f;%u;%u\n", u + d, v - d, u, v, c, r);
    });
}

const std::string& screenShapeFile(unsigned width, unsigned height)
{
    return writeGrid("shape", "x;y;z;u;v;nx;ny;nz;tx;ty;tz;column;row\n", width, height,
                     [](std::FILE* f, double u, double v, double d, unsigned c, unsigned r) {
        // A cylinder section of radius 3, axis along the file's z.
        double angle = (u - 0.5) * 1.2;
        double x = 3.0 * std::sin(angle), y = 3.0 * std::cos(angle), z = 2.0 * v + d;
        std::fprintf(f, "%.6f;%.6f;%.6f;%.6f;%.6f;%.6f;%.6f;%.6f;%.6f;%.6f;%.6f;%u;%u\n", x, y, z,
                     u, v, -std::sin(angle), -std::cos(angle), 0.0, std::cos(angle),
                     -std::sin(angle), 0.0, c, r);
    });
}

const std::string& pfmWarpmapFile(unsigned width, unsigned height)
{
    static std::map<std::string, std::string> written;
    const std::string name = "warpmap-" + std::to_string(width) + "x" + std::to_string(height) + ".pfm";
    std::string& path = written[name];
    if (!path.empty())
        return path;
    path = scratch().file(name);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        throw std::runtime_error("cannot write " + path);
    std::fprintf(file, "PF\n%u %u\n-1.0\n", width, height);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> jitter(-1e-3f, 1e-3f);
    std::vector<float> row(size_t(width) * 3);
    for (unsigned r = 0; r < height; ++r) {
        for (unsigned c = 0; c < width; ++c) {
            row[c * 3] = float(c) / float(width - 1) + jitter(random);
            row[c * 3 + 1] = float(r) / float(height - 1) + jitter(random);
            row[c * 3 + 2] = 0.0f;
        }
        std::fwrite(row.data(), sizeof(float), row.size(), file);
    }
    std::fclose(file);
    return path;
}

size_t fileSize(const std::string& path)
{
    return size_t(std::filesystem::file_size(path));
}

}  // namespace dovav::bench
