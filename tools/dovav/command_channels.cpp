// dovav channels CONFIG: load a configuration and print its channel table.

#include <cstdio>
#include <memory>

#include "channel_table.h"
#include "commands.h"
#include "kzLib.h"

namespace dovav {

const char kChannelsUsage[] =
    "usage: dovav channels CONFIG\n"
    "\n"
    "Loads the XML configuration CONFIG and prints, per channel, its correction\n"
    "type, gamma, input and output gamma and every configured file, with\n"
    "relative paths resolved against the configuration's directory.\n";

int runChannels(int argc, char** argv)
{
    if (argc != 1 || argv[0][0] == '-') {
        std::fprintf(stderr, "dovav channels: expected one configuration file (see dovav channels --help)\n");
        return kExitUsage;
    }
    const char* path = argv[0];

    // The channel table needs no graphics back-end.
    kzContextConfiguration* created = nullptr;
    if (kzCreateContextConfiguration(&created) != KZ_OK) {
        std::fprintf(stderr, "dovav channels: out of memory\n");
        return kExitFailure;
    }
    const std::unique_ptr<kzContextConfiguration, ConfigurationDeleter> context(created);
    const kzResult result = kzLoadConfigurationFromFile(context.get(), path);
    char message[512] = {};
    kzGetErrorString(context.get(), message, sizeof message - 1);
    if (result != KZ_OK) {
        std::fprintf(stderr, "dovav channels: %s: %s (result %d)\n", path, message,
                     static_cast<int>(result));
        return result == KZ_ERROR_FILE ? kExitUsage : kExitFailure;
    }
    if (message[0] != '\0')
        std::fprintf(stderr, "dovav channels: warning: %s\n", message);

    std::printf("configuration %s\n", path);
    printChannelTable(context.get(), stdout);
    return kExitOk;
}

}  // namespace dovav
