// dovav import SOURCE OUT_DIR: a calibration from another system written as
// a native configuration folder.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "arguments.h"
#include "commands.h"
#include "kzLib.h"
#include "result_text.h"
#include "warp_grid.h"

namespace dovav {

const char kImportUsage[] =
    "usage: dovav import [--format FORMAT] [--grid WxH] [--bottom-first] SOURCE OUT_DIR\n"
    "\n"
    "Writes the calibration SOURCE as a native configuration folder OUT_DIR\n"
    "(created if missing): display.xml and the calibration files it names.\n"
    "\n"
    "formats (told from the file's first bytes, then its name):\n"
    "  mpcdi   a .mpcdi archive or an mpcdi.xml: one channel per region, as\n"
    "          kzLoadConfigurationFromFile loads it\n"
    "  pfm     a PFM warp map (R, G the normalised lookup): copied as warp.pfm\n"
    "          with a straight-ahead camera\n"
    "  bourke  a Paul Bourke warp mesh (.data, rectangular type 2): x over\n"
    "          +-aspect and y over +-1 to the output, u, v to the lookup (v up);\n"
    "          intensity below 0 marks a node without a lookup, other\n"
    "          intensities below 1 become a secondary blend mask intensity.png\n"
    "  obj     an OBJ warp mesh (v x y 0 output positions as dovav obj writes\n"
    "          them, vt u v lookups, faces): resampled onto the --grid of output\n"
    "          points; points no triangle covers have no lookup\n"
    "\n"
    "options:\n"
    "  --format FORMAT  mpcdi, pfm, bourke or obj instead of telling it\n"
    "  --grid WxH       output grid of an OBJ import (default 64x64, sides 2 to 4096)\n"
    "  --bottom-first   a PFM's first stored row is the bottom of the output\n"
    "\n"
    "exit status: 0 if OUT_DIR was written, 1 if SOURCE cannot be converted,\n"
    "2 for a bad command line or a missing SOURCE.\n";

namespace {

std::string readAll(const char* path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

bool endsWith(const std::string& text, const char* suffix)
{
    const size_t length = std::strlen(suffix);
    return text.size() >= length && text.compare(text.size() - length, length, suffix) == 0;
}

std::string detectFormat(const char* path)
{
    char head[4096] = {};
    std::ifstream file(path, std::ios::binary);
    file.read(head, sizeof head - 1);
    const std::string start(head, size_t(file.gcount()));
    const std::string name = path;
    if (start.compare(0, 4, "PK\3\4") == 0 || start.find("<MPCDI") != std::string::npos)
        return "mpcdi";
    if (start.size() > 2 && start[0] == 'P' && (start[1] == 'F' || start[1] == 'f'))
        return "pfm";
    if (endsWith(name, ".data"))
        return "bourke";
    if (endsWith(name, ".obj"))
        return "obj";
    return "";
}

bool importPfm(const char* source, const std::string& folder, bool bottomFirst, std::string& problem)
{
    kzMesh mesh;
    if (kzResult result = kzLoadWarpmapFromFile(source, &mesh, 0, 0); result != KZ_OK) {
        problem = describeResult(result) + ": not a three-channel PFM the library reads";
        return false;
    }
    const std::string bytes = readAll(source);
    std::ofstream(folder + "/warp.pfm", std::ios::binary) << bytes;
    std::ofstream(folder + "/camera.csv") << "camera\n0;0;0;0;0;0;0;0;0;0;-1;1;-1;1;0;0\n";
    std::ofstream configuration(folder + "/display.xml");
    configuration << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kzCorrection>\n  <type>0</type>\n"
                     "  <gamma>2.2</gamma>\n  <channel id=\"1\" warpmap=\"warp.pfm\" frustum=\"camera.csv\""
                  << (bottomFirst ? " warpmap-rows=\"bottom-first\"" : "") << "/>\n</kzCorrection>\n";
    configuration.close();
    if (!configuration) {
        problem = "cannot write into " + folder;
        return false;
    }
    return true;
}

}  // namespace

int runImport(int argc, char** argv)
{
    static const char kExpected[] = "expected a source file and an output folder";
    Arguments arguments("import", argc, argv);
    std::string format;
    unsigned width = 64, height = 64;
    bool bottomFirst = false;
    std::vector<const char*> paths;
    while (!arguments.done()) {
        const char* value = nullptr;
        if (arguments.takeEndOfOptions())
            continue;
        if (arguments.takeFlag("--bottom-first")) {
            bottomFirst = true;
        } else if (arguments.takeOption("--format", value)) {
            if (!value || !(std::strcmp(value, "mpcdi") == 0 || std::strcmp(value, "pfm") == 0 ||
                            std::strcmp(value, "bourke") == 0 || std::strcmp(value, "obj") == 0))
                return arguments.usageError("--format takes mpcdi, pfm, bourke or obj");
            format = value;
        } else if (arguments.takeOption("--grid", value)) {
            if (!value || !parseSize(value, 4096, width, height) || width < 2 || height < 2)
                return arguments.usageError("--grid takes WIDTHxHEIGHT, sides from 2 to 4096");
        } else if (!arguments.takePath(paths, 2, kExpected)) {
            return kExitUsage;
        }
    }
    if (paths.size() != 2)
        return arguments.usageError(kExpected);
    const char* source = paths[0];
    const std::string folder = paths[1];
    if (!arguments.canOpen(source))
        return kExitUsage;
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "dovav import: %s: %s\n", folder.c_str(), systemMessage(errno).c_str());
        return kExitFailure;
    }
    if (format.empty())
        format = detectFormat(source);
    if (format.empty())
        return arguments.usageError(std::string(source) + ": format not recognised; give --format");

    std::string problem;
    bool written = false;
    if (format == "mpcdi") {
        char message[512] = {};
        written = kzImportMpcdi(source, folder.c_str(), message, sizeof message) == KZ_OK;
        problem = message;
    } else if (format == "pfm") {
        written = importPfm(source, folder, bottomFirst, problem);
    } else {
        WarpGrid grid;
        const std::string text = readAll(source);
        written = (format == "bourke" ? readBourkeMesh(text, grid, problem)
                                      : readObjWarp(text, width, height, grid, problem)) &&
                  writeNativeFolder(grid, folder, problem);
    }
    if (!written) {
        std::fprintf(stderr, "dovav import: %s (%s): %s\n", source, format.c_str(), problem.c_str());
        return kExitFailure;
    }
    std::printf("%s (%s) -> %s/display.xml\n", source, format.c_str(), folder.c_str());
    return kExitOk;
}

}  // namespace dovav
