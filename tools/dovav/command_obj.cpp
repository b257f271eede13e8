// dovav obj FILE OUT.obj: write a warp map or screen shape as a Wavefront OBJ
// mesh, to look at in a modelling tool.

#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "arguments.h"
#include "calibration_text.h"
#include "commands.h"
#include "kzLib.h"
#include "result_text.h"

namespace dovav {

const char kObjUsage[] =
    "usage: dovav obj [--warpmap | --shape] WARP_OR_SHAPE_FILE OUT.obj\n"
    "\n"
    "Loads a warp map or screen shape with the library's loader and writes it\n"
    "with the library's OBJ exporter: one vertex and one texture coordinate per\n"
    "grid point, two triangles per grid cell. A warp map's vertices are its\n"
    "output positions (z = 0); a screen shape's are its surface points, turned\n"
    "from the file's z-up axes to the library's y-up axes.\n"
    "\n"
    "Which loader reads the file is decided by its first data line: up to six\n"
    "fields is a warp map (x;y;u;v;column;row), seven or more a screen shape\n"
    "(x;y;z;u;v;[normal;[tangent;]]column;row). If that loader refuses the file,\n"
    "the other one is tried.\n"
    "\n"
    "options:\n"
    "  --warpmap  read the file as a warp map, nothing else\n"
    "  --shape    read the file as a screen shape, nothing else\n"
    "\n"
    "exit status: 0 if OUT.obj was written, 1 if the file loads as neither or\n"
    "OUT.obj cannot be written, 2 for a bad command line or a missing input file.\n";

namespace {

const char* kindName(MeshFile kind)
{
    return kind == MeshFile::Warpmap ? "warp map" : "screen shape";
}

kzResult load(MeshFile kind, const char* path, kzMesh& mesh)
{
    return kind == MeshFile::Warpmap ? kzLoadWarpmapFromFile(path, &mesh, 0, 0)
                                     : kzLoadScreenShapeFromFile(path, &mesh, 0);
}

}  // namespace

int runObj(int argc, char** argv)
{
    static const char kExpected[] = "expected an input file and an output file";
    Arguments arguments("obj", argc, argv);
    std::optional<MeshFile> forced;
    std::vector<const char*> paths;
    while (!arguments.done()) {
        if (arguments.takeEndOfOptions())
            continue;
        if (arguments.takeFlag("--warpmap"))
            forced = MeshFile::Warpmap;
        else if (arguments.takeFlag("--shape"))
            forced = MeshFile::ScreenShape;
        else if (!arguments.takePath(paths, 2, kExpected))
            return kExitUsage;
    }
    if (paths.size() != 2)
        return arguments.usageError(kExpected);
    const char* input = paths[0];
    const char* output = paths[1];
    if (!arguments.canOpen(input))
        return kExitUsage;

    std::vector<MeshFile> tried;
    if (forced) {
        tried = {*forced};
    } else if (firstDataLineFields(input) >= 7) {
        tried = {MeshFile::ScreenShape, MeshFile::Warpmap};
    } else {
        tried = {MeshFile::Warpmap, MeshFile::ScreenShape};
    }
    kzMesh mesh;
    std::vector<kzResult> results;
    for (MeshFile kind : tried) {
        results.push_back(load(kind, input, mesh));
        if (results.back() == KZ_OK)
            break;
    }
    if (results.back() != KZ_OK) {
        for (size_t i = 0; i < tried.size(); ++i) {
            const std::string reason =
                results[i] == KZ_ERROR_INVALID_DATA ? explainMeshFile(input, tried[i]) : "";
            std::fprintf(stderr, "dovav obj: %s: not a %s: %s%s%s\n", input, kindName(tried[i]),
                         describeResult(results[i]).c_str(), reason.empty() ? "" : ": ",
                         reason.c_str());
        }
        return kExitFailure;
    }
    const MeshFile loaded = tried[results.size() - 1];

    errno = 0;
    if (const kzResult saved = kzSaveObj(output, &mesh); saved != KZ_OK) {
        const std::string problem = errno != 0 ? systemMessage(errno) : "";
        std::fprintf(stderr, "dovav obj: cannot write %s: %s%s%s\n", output,
                     describeResult(saved).c_str(), problem.empty() ? "" : ": ", problem.c_str());
        return kExitFailure;
    }
    const unsigned long cells =
        mesh.width < 2 || mesh.height < 2 ? 0 : (mesh.width - 1UL) * (mesh.height - 1UL);
    std::printf("wrote %s: %s %ux%u, %lu vertices, %lu triangles\n", output, kindName(loaded),
                mesh.width, mesh.height, (unsigned long)mesh.width * mesh.height, 2 * cells);
    if (cells == 0)
        std::fprintf(stderr, "dovav obj: warning: a %ux%u grid has no cells, so %s holds no faces\n",
                     mesh.width, mesh.height, output);
    return kExitOk;
}

}  // namespace dovav
