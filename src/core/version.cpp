#include <algorithm>
#include <cstring>

#include "kzLib/core.h"

namespace {
constexpr int kVersion[4] = {6, 0, 0, 0};
constexpr char kVersionText[] = "6.0.0.0";
}  // namespace

KZ_API kzResult kzGetVersion(int* major, int* minor, int* patch, int* build)
{
    int* parts[4] = {major, minor, patch, build};
    for (int i = 0; i < 4; ++i) {
        if (parts[i])
            *parts[i] = kVersion[i];
    }
    return KZ_OK;
}

KZ_API kzResult kzGetVersionString(char* buffer, size_t size)
{
    if (!buffer)
        return KZ_ERROR_INVALID_DATA;
    // No terminator, as strncpy of the 7 characters would do.
    std::memcpy(buffer, kVersionText, std::min(size, sizeof kVersionText - 1));
    return KZ_OK;
}
