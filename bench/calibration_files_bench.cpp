// Loading speed of the warp map and screen shape loaders, each beside a
// plain std::getline + strtod reader of the same file (the baseline). Bytes
// per second count the file's text; points per second its grid points.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "calibration_text.h"
#include "kzLib.h"

namespace {

using dovav::bench::fileSize;

struct Grid {
    unsigned width;
    unsigned height;
};

constexpr Grid kWarpmap{1920, 1080};
constexpr Grid kScreenShape{512, 512};

void report(benchmark::State& state, const std::string& path, Grid grid)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fileSize(path)));
    state.counters["points/s"] = benchmark::Counter(double(grid.width) * grid.height,
                                                    benchmark::Counter::kIsIterationInvariantRate);
}

// The straightforward reader: one std::string per line, strtod / strtol per
// field, vectors that grow, then malloc'ed arrays of the exact size.
kzMesh readWithGetline(const std::string& path, size_t fieldsPerLine)
{
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    std::vector<kzVec3f> vertices, normals, tangents;
    std::vector<kzVec2f> texcoords;
    unsigned maxColumn = 0, maxRow = 0;
    std::vector<double> fields(fieldsPerLine);
    while (std::getline(file, line)) {
        const char* c = line.c_str();
        size_t count = 0;
        while (*c && count < fieldsPerLine) {
            while (*c == ';')
                ++c;
            if (!*c)
                break;
            fields[count++] = std::strtod(c, nullptr);
            c += std::strcspn(c, ";");
        }
        if (count < fieldsPerLine)
            continue;
        unsigned column = unsigned(fields[fieldsPerLine - 2]);
        unsigned row = unsigned(fields[fieldsPerLine - 1]);
        maxColumn = std::max(maxColumn, column);
        maxRow = std::max(maxRow, row);
        if (fieldsPerLine == 6) {
            vertices.push_back({float(fields[0]), float(fields[1]), 0.0f});
            texcoords.push_back({float(fields[2]), float(fields[3])});
            normals.push_back({});
            tangents.push_back({});
        } else {
            vertices.push_back({float(fields[0]), float(fields[2]), -float(fields[1])});
            texcoords.push_back({float(fields[3]), float(fields[4])});
            normals.push_back({float(fields[5]), float(fields[7]), -float(fields[6])});
            tangents.push_back({float(fields[8]), float(fields[10]), -float(fields[9])});
        }
    }
    auto copy = [](const auto& source) {
        using T = typename std::decay_t<decltype(source)>::value_type;
        T* array = static_cast<T*>(std::malloc(source.size() * sizeof(T)));
        std::memcpy(array, source.data(), source.size() * sizeof(T));
        return array;
    };
    kzMesh mesh;
    mesh.vertices = copy(vertices);
    mesh.texcoords = copy(texcoords);
    mesh.normals = copy(normals);
    mesh.tangents = copy(tangents);
    mesh.width = maxColumn + 1;
    mesh.height = maxRow + 1;
    return mesh;
}

// Times `load` (which returns the loaded mesh or fails the run) on `path`.
template <typename Load>
void timeLoads(benchmark::State& state, const std::string& path, Grid grid, Load load)
{
    kzMesh mesh;
    for (auto _ : state) {
        if (!load(path.c_str(), mesh)) {
            state.SkipWithError("load failed");
            return;
        }
        benchmark::DoNotOptimize(mesh.vertices);
    }
    if (mesh.width != grid.width || mesh.height != grid.height)
        state.SkipWithError("the mesh does not have the generated size");
    report(state, path, grid);
}

void BM_LoadWarpmap(benchmark::State& state)
{
    timeLoads(state, dovav::bench::warpmapFile(kWarpmap.width, kWarpmap.height), kWarpmap,
              [](const char* path, kzMesh& mesh) {
        return kzLoadWarpmapFromFile(path, &mesh, 0, 0) == KZ_OK;
    });
}

void BM_LoadWarpmapGetlineBaseline(benchmark::State& state)
{
    timeLoads(state, dovav::bench::warpmapFile(kWarpmap.width, kWarpmap.height), kWarpmap,
              [](const char* path, kzMesh& mesh) {
        mesh = readWithGetline(path, 6);
        return true;
    });
}

// The same grid as a PFM (25 MB of float samples): read at memory speed.
void BM_LoadPfmWarpmap(benchmark::State& state)
{
    timeLoads(state, dovav::bench::pfmWarpmapFile(kWarpmap.width, kWarpmap.height), kWarpmap,
              [](const char* path, kzMesh& mesh) {
        return kzLoadWarpmapFromFile(path, &mesh, 0, 0) == KZ_OK;
    });
}

void BM_LoadScreenShape(benchmark::State& state)
{
    timeLoads(state, dovav::bench::screenShapeFile(kScreenShape.width, kScreenShape.height),
              kScreenShape, [](const char* path, kzMesh& mesh) {
        return kzLoadScreenShapeFromFile(path, &mesh, 0) == KZ_OK;
    });
}

void BM_LoadScreenShapeGetlineBaseline(benchmark::State& state)
{
    timeLoads(state, dovav::bench::screenShapeFile(kScreenShape.width, kScreenShape.height),
              kScreenShape, [](const char* path, kzMesh& mesh) {
        mesh = readWithGetline(path, 13);
        return true;
    });
}

}  // namespace

BENCHMARK(BM_LoadWarpmap)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_LoadWarpmapGetlineBaseline)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_LoadPfmWarpmap)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_LoadScreenShape)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_LoadScreenShapeGetlineBaseline)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

BENCHMARK_MAIN();
