// Fuzzes the camera file loader: a failed load writes nothing, a successful
// one gives a camera whose matrices can be computed.

#include <cstring>

#include "fuzz_input_file.h"
#include "kzLib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* path = dovav::fuzz::writeInputFile(data, size, ".txt");
    kzCamera camera;
    std::memset(&camera, 0xA5, sizeof camera);
    kzCamera before = camera;
    if (kzLoadCameraFromFile(path, &camera) != KZ_OK) {
        if (std::memcmp(&camera, &before, sizeof camera) != 0)
            __builtin_trap();
        return 0;
    }
    kzMatrix4x4 matrix;
    kzGetModelViewProjectionMatrix(&matrix, camera);
    kzVec2f screen;
    kzGetWorldToScreen(&screen, kzVec3f{0.0f, 0.0f, -1.0f}, camera);
    return 0;
}
