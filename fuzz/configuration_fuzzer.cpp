// Fuzzes the XML configuration loader and the channel-table queries that read
// what it stored.

#include <cstring>
#include <vector>

#include "core/context_header.h"
#include "fuzz_input_file.h"
#include "kzLib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* path = dovav::fuzz::writeInputFile(data, size, ".xml");
    kzContextHeader context(KZ_CONTEXT_OPENGL);
    if (kzLoadConfigurationFromFile(&context, path) != KZ_OK)
        return 0;

    size_t count = 0;
    kzGetChannels(&context, nullptr, &count);
    std::vector<unsigned> channels(count);
    kzGetChannels(&context, channels.data(), &count);

    std::vector<std::vector<char>> storage(7, std::vector<char>(KZ_PATH_SIZE));
    char* names[7];
    for (size_t i = 0; i < 7; ++i)
        names[i] = storage[i].data();
    for (unsigned channel : channels) {
        size_t names_count = 7;
        kzGetConfigurationFileNames(&context, channel, names, &names_count);
        for (size_t i = 0; i < names_count; ++i) {
            if (strnlen(names[i], KZ_PATH_SIZE) == KZ_PATH_SIZE)
                __builtin_trap();  // every stored path must stay terminated
        }
    }
    return 0;
}
