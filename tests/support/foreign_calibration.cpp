#include "support/foreign_calibration.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "kzLib.h"
#include "support/calibration_writer.h"
#include "support/mpcdi_writer.h"
#include "warp_grid.h"

namespace dovav::test {
namespace {

constexpr uint32_t kColumns = 7;
constexpr uint32_t kRows = 5;
constexpr float kBourkeAspect = 1.25f;

float gridX(uint32_t column)
{
    return float(column) / float(kColumns - 1);
}

float gridY(uint32_t row)
{
    return float(row) / float(kRows - 1);
}

bool isHole(uint32_t column, uint32_t row)
{
    return column == 3 && row == 2;
}

// Asymmetric in both directions and curved, so that a flipped, mirrored or
// shifted reading shows.
kzVec2f lookup(uint32_t column, uint32_t row)
{
    if (isHole(column, row))
        return {NAN, NAN};
    const float x = gridX(column), y = gridY(row);
    return {0.1f + 0.8f * x + 0.05f * y * y, 0.9f - 0.7f * y + 0.1f * x * x};
}

std::string folder(const TempDir& dir, const std::string& name)
{
    const std::string path = dir.path() + "/" + name;
    std::filesystem::create_directories(path);
    return path;
}

std::string staticConfiguration(const TempDir& dir, const std::string& name,
                                const std::vector<std::pair<std::string, std::string>>& attributes)
{
    dir.write("camera.csv", cameraText({0, 0, 0}, {0, 0, 0}, -1, 1, -1, 1));
    auto withCamera = attributes;
    withCamera.push_back({"frustum", "camera.csv"});
    return dir.write(name, configurationText(KZ_CORRECTION_STATIC, 2.2f, 1.0f, 1.0f, channelElement(0, withCamera)));
}

std::string imported(const TempDir& dir, const std::string& name, bool converted, const std::string& problem,
                     const dovav::WarpGrid& grid)
{
    std::string why = problem;
    const std::string out = folder(dir, name);
    if (!converted || !dovav::writeNativeFolder(grid, out, why))
        throw std::runtime_error(name + ": " + why);
    return out + "/display.xml";
}

}  // namespace

std::vector<CalibrationVariant> writeWarpInEveryFormat(const TempDir& dir)
{
    std::vector<CalibrationVariant> variants;
    const std::string native = dir.write("native.csv", warpMapText(kColumns, kRows, [](float x, float y) {
        return lookup(uint32_t(std::lround(x * (kColumns - 1))), uint32_t(std::lround(y * (kRows - 1))));
    }));
    variants.push_back({"native text", staticConfiguration(dir, "native.xml", {{"warpmap", "native.csv"}}), 0});

    auto sample = [](uint32_t column, uint32_t row) -> PfmSample {
        const kzVec2f uv = lookup(column, row);
        return {uv.x, uv.y, 0.0f};
    };
    dir.write("top.pfm", pfmBytes(kColumns, kRows, sample));
    variants.push_back({"PFM, top row first", staticConfiguration(dir, "top.xml", {{"warpmap", "top.pfm"}}), 0});
    dir.write("bottom.pfm", pfmBytes(kColumns, kRows, sample, true, true));
    variants.push_back({"PFM, bottom row first, big-endian",
                        staticConfiguration(dir, "bottom.xml",
                                            {{"warpmap", "bottom.pfm"}, {"warpmap-rows", "bottom-first"}}),
                        0});

    MpcdiRegion region;
    region.id = "projector";
    region.warp.path = "projector/warp.pfm";
    const std::string archive = dir.path() + "/warp.mpcdi";
    writeZip(archive, {{"mpcdi.xml", mpcdiDocument("2d", "1.0", {region})},
                       {"projector/warp.pfm", pfmBytes(kColumns, kRows, sample, true)}});
    variants.push_back({"MPCDI 2d", archive, 1});

    std::ostringstream bourke;
    bourke << "2\n" << kColumns << " " << kRows << "\n";
    bourke.precision(9);
    for (uint32_t row = 0; row < kRows; ++row) {
        for (uint32_t column = 0; column < kColumns; ++column) {
            const kzVec2f uv = lookup(column, row);
            bourke << (2 * gridX(column) - 1) * kBourkeAspect << " " << 1 - 2 * gridY(row) << " "
                   << (isHole(column, row) ? 0 : uv.x) << " " << (isHole(column, row) ? 0 : 1 - uv.y) << " "
                   << (isHole(column, row) ? -1 : 1) << "\n";
        }
    }
    dovav::WarpGrid grid;
    std::string problem;
    bool read = dovav::readBourkeMesh(bourke.str(), grid, problem);
    variants.push_back({"Bourke mesh", imported(dir, "bourke", read, problem, grid), 1});

    kzMesh mesh;
    if (kzLoadWarpmapFromFile(native.c_str(), &mesh, 0, 0) != KZ_OK ||
        kzSaveObj((dir.path() + "/warp.obj").c_str(), &mesh) != KZ_OK)
        throw std::runtime_error("cannot write the OBJ mesh");
    std::ifstream obj(dir.path() + "/warp.obj");
    std::ostringstream objText;
    objText << obj.rdbuf();
    read = dovav::readObjWarp(objText.str(), kColumns, kRows, grid, problem);
    variants.push_back({"OBJ mesh", imported(dir, "obj", read, problem, grid), 1});
    return variants;
}

CalibrationVariant writeFlatScreen(const TempDir& dir)
{
    MpcdiRegion region;
    region.id = "wall";
    region.warp.path = "wall.pfm";
    region.geometricUnit = "cm";
    auto point = [](uint32_t column, uint32_t row) -> PfmSample {
        if (isHole(column, row))
            return {NAN, NAN, NAN};
        return {-150.0f + 300.0f * gridX(column), 100.0f - 200.0f * gridY(row), -200.0f};
    };
    const std::string archive = dir.path() + "/wall.mpcdi";
    writeZip(archive, {{"mpcdi.xml", mpcdiDocument("a3", "2.0", {region})}, {"wall.pfm", pfmBytes(kColumns, kRows, point)}});
    return {"flat a3 screen", archive, 1};
}

CalibrationVariant writeIdentityWarp(const TempDir& dir)
{
    dir.write("identity.csv", warpMapText(kColumns, kRows, [](float x, float y) {
        return x == gridX(3) && y == gridY(2) ? kzVec2f{NAN, NAN} : kzVec2f{x, y};
    }));
    return {"identity warp", staticConfiguration(dir, "identity.xml", {{"warpmap", "identity.csv"}}), 0};
}

}  // namespace dovav::test
