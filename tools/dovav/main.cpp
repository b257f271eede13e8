// dovav: inspect a display's calibration with the doVav library.

#include <cstdio>
#include <cstring>

#include "commands.h"
#include "kzLib.h"

namespace dovav {
namespace {

const Command kCommands[] = {
    {"channels", "load a configuration and print its channel table", kChannelsUsage, runChannels},
    {"check", "load every calibration file of every channel and report what would fail", kCheckUsage,
     runCheck},
    {"render", "draw each channel's corrected output of a test scene into PNG files", kRenderUsage,
     runRender},
    {"obj", "write a warp map or screen shape as a Wavefront OBJ mesh", kObjUsage, runObj},
    {"dump", "activate every channel and write the context dump", kDumpUsage, runDump},
    {"import", "write an MPCDI, PFM, Bourke or OBJ calibration as a native configuration", kImportUsage,
     runImport},
    {"export", "write a native configuration as an MPCDI archive", kExportUsage, runExport},
};

void printToolHelp(std::FILE* out)
{
    std::fprintf(out,
                 "usage: dovav COMMAND [ARGS...]\n"
                 "       dovav COMMAND --help\n"
                 "       dovav --version\n"
                 "\n"
                 "commands:\n");
    for (const Command& command : kCommands)
        std::fprintf(out, "  %-10s %s\n", command.name, command.summary);
}

bool isHelpFlag(const char* argument)
{
    return std::strcmp(argument, "-h") == 0 || std::strcmp(argument, "--help") == 0;
}

// Looks up a command by name; null if unknown.
const Command* findCommand(const char* name)
{
    for (const Command& command : kCommands) {
        if (std::strcmp(command.name, name) == 0)
            return &command;
    }
    return nullptr;
}

// Prints a command's help when asked (-h / --help) and reports it.
bool helpRequested(const Command& command, int argc, char** argv)
{
    for (int i = 0; i < argc; ++i) {
        if (isHelpFlag(argv[i])) {
            std::fputs(command.usage, stdout);
            return true;
        }
    }
    return false;
}

}  // namespace
}  // namespace dovav

int main(int argc, char** argv)
{
    using namespace dovav;
    if (argc < 2) {
        printToolHelp(stderr);
        return kExitUsage;
    }
    if (isHelpFlag(argv[1])) {
        printToolHelp(stdout);
        return kExitOk;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        char version[8] = {};
        kzGetVersionString(version, sizeof version - 1);
        std::printf("dovav %s\n", version);
        return kExitOk;
    }
    const Command* command = findCommand(argv[1]);
    if (!command) {
        std::fprintf(stderr, "dovav: unknown command '%s'\n\n", argv[1]);
        printToolHelp(stderr);
        return kExitUsage;
    }
    if (helpRequested(*command, argc - 2, argv + 2))
        return kExitOk;
    return command->run(argc - 2, argv + 2);
}
