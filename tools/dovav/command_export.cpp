// dovav export CONFIG OUT.mpcdi: a native configuration written as MPCDI.

#include <cstdio>
#include <cstring>
#include <vector>

#include "arguments.h"
#include "commands.h"
#include "kzLib.h"

namespace dovav {

const char kExportUsage[] =
    "usage: dovav export [--profile 2d|3d] CONFIG OUT.mpcdi\n"
    "\n"
    "Writes the configuration CONFIG as the MPCDI archive OUT.mpcdi, one region\n"
    "per channel (named by the region id it was imported with, else channelN):\n"
    "its warp map as a PFM of the lookups on its output grid, its blend and\n"
    "black-level masks as alpha and beta maps (PNG, copied as they are), its\n"
    "mask gamma as the alpha map's gammaEmbedded, its camera as the region's\n"
    "frustum (profile 3d). Only static channels whose warp points lie on a\n"
    "regular output grid can be written; secondary blend and directional\n"
    "shading masks have no MPCDI counterpart and are left out.\n"
    "\n"
    "options:\n"
    "  --profile 2d|3d  the profile to write (default 3d when every channel\n"
    "                   has a camera file, else 2d)\n"
    "\n"
    "exit status: 0 if OUT.mpcdi was written, 1 if CONFIG cannot be written as\n"
    "MPCDI, 2 for a bad command line or a missing CONFIG.\n";

int runExport(int argc, char** argv)
{
    static const char kExpected[] = "expected a configuration file and an output file";
    Arguments arguments("export", argc, argv);
    const char* profile = nullptr;
    std::vector<const char*> paths;
    while (!arguments.done()) {
        const char* value = nullptr;
        if (arguments.takeEndOfOptions())
            continue;
        if (arguments.takeOption("--profile", value)) {
            if (!value || (std::strcmp(value, "2d") != 0 && std::strcmp(value, "3d") != 0))
                return arguments.usageError("--profile takes 2d or 3d");
            profile = value;
        } else if (!arguments.takePath(paths, 2, kExpected)) {
            return kExitUsage;
        }
    }
    if (paths.size() != 2)
        return arguments.usageError(kExpected);
    if (!arguments.canOpen(paths[0]))
        return kExitUsage;
    char message[512] = {};
    if (kzExportMpcdi(paths[0], paths[1], profile, message, sizeof message) != KZ_OK) {
        std::fprintf(stderr, "dovav export: %s: %s\n", paths[0], message);
        return kExitFailure;
    }
    std::printf("%s -> %s\n", paths[0], paths[1]);
    return kExitOk;
}

}  // namespace dovav
