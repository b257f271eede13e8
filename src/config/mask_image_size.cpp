#include <cerrno>
#include <cstdio>
#include <cstring>

#include "config/mask_image.h"
#include "core/messages.h"
#include "kzLib/calibration.h"

KZ_API kzResult kzGetMaskImageSize(const char* path, int* width, int* height)
{
    if (!path || !width || !height)
        return KZ_ERROR_INVALID_ARGUMENT;
    if (std::FILE* file = std::fopen(path, "rb")) {
        std::fclose(file);
    } else {
        kzLogMessage(KZ_MESSAGE_ERROR, "mask image %s: %s", path, std::strerror(errno));
        return KZ_ERROR_FILE;
    }
    calib::MaskPixels pixels;
    if (!pixels.decodeFile(path))
        return KZ_ERROR_INVALID_DATA;
    *width = pixels.width();
    *height = pixels.height();
    return KZ_OK;
}
