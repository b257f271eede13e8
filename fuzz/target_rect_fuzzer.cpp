// Fuzzes the target rectangle loader: a failed load writes nothing, a
// successful one feeds the off-axis view portal.

#include <cstring>

#include "fuzz_input_file.h"
#include "kzLib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* path = dovav::fuzz::writeInputFile(data, size, ".txt");
    kzTargetRect rect;
    std::memset(&rect, 0xA5, sizeof rect);
    kzTargetRect before = rect;
    if (kzLoadTargetRectFromFile(path, &rect) != KZ_OK) {
        if (std::memcmp(&rect, &before, sizeof rect) != 0)
            __builtin_trap();
        return 0;
    }
    kzCamera camera{};
    kzGetOffAxisViewPortal(&camera, kzVec3f{0.0f, 0.0f, 1.0f}, rect.corners[0], rect.corners[1],
                           rect.corners[3]);
    return 0;
}
