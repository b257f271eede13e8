// Fuzzes the MPCDI reader: archives (ZIP) and plain documents alike go
// through kzLoadConfigurationFromFile, which tells them apart by content.
// Every file a loaded channel names must lie in the context's scratch folder.

#include <cstring>

#include "core/context_header.h"
#include "fuzz_input_file.h"
#include "kzLib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* path = dovav::fuzz::writeInputFile(data, size, ".mpcdi");
    kzContextHeader context(KZ_CONTEXT_OPENGL);
    if (kzLoadConfigurationFromFile(&context, path) != KZ_OK)
        return 0;
    if (context.ownedFolders.size() != 1)
        __builtin_trap();
    const std::string& folder = context.ownedFolders[0]->path();
    for (const auto& [channel, record] : context.configurations) {
        for (const char* file : {record.warpmap, record.frustum, record.shape, record.target, record.blending,
                                 record.blacklevel}) {
            if (file[0] != '\0' && std::strncmp(file, folder.c_str(), folder.size()) != 0)
                __builtin_trap();
        }
    }
    return 0;
}
