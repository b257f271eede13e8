#include <algorithm>
#include <cstring>

#include "kzLib/core.h"

namespace {
#define KZ_TEXT(value) #value
#define KZ_VERSION_TEXT(major, minor, patch) KZ_TEXT(major) "." KZ_TEXT(minor) "." KZ_TEXT(patch) ".0"
// The fourth part, the build number, is always 0.
constexpr int kVersion[4] = {KZ_VERSION_MAJOR, KZ_VERSION_MINOR, KZ_VERSION_PATCH, 0};
constexpr char kVersionText[] = KZ_VERSION_TEXT(KZ_VERSION_MAJOR, KZ_VERSION_MINOR, KZ_VERSION_PATCH);
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
