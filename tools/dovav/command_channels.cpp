// dovav channels CONFIG: load a configuration and print its channel table.

#include <cstdio>
#include <cstring>

#include "channel_table.h"
#include "commands.h"
#include "core/context_header.h"
#include "kzLib.h"

namespace dovav {

int runChannels(int argc, char** argv)
{
    if (argc != 1 || argv[0][0] == '-') {
        std::fprintf(stderr, "dovav channels: expected one configuration file (see dovav channels --help)\n");
        return kExitUsage;
    }
    const char* path = argv[0];

    // The channel table only needs a context header; no graphics back-end is
    // involved. The reserved Direct3D kind marks a record that holds nothing
    // beyond the header, so no back-end entry point will treat it as its own.
    kzContextHeader context(KZ_CONTEXT_D3D9);
    const kzResult result = kzLoadConfigurationFromFile(&context, path);
    if (result != KZ_OK) {
        std::fprintf(stderr, "dovav channels: %s: %s (result %d)\n", path, context.errorString,
                     static_cast<int>(result));
        return result == KZ_ERROR_FILE ? kExitUsage : kExitFailure;
    }
    if (context.errorString[0] != '\0')
        std::fprintf(stderr, "dovav channels: warning: %s\n", context.errorString);

    std::printf("configuration %s\n", path);
    printChannelTable(context, stdout);
    return kExitOk;
}

}  // namespace dovav
