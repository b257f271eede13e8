#include "config/mask_image.h"

#include <cstdio>

#include "config/stb_image_decoder.h"

namespace calib {

MaskPixels::~MaskPixels()
{
    release();
}

void MaskPixels::release()
{
    freeImage(rgba_);
    rgba_ = nullptr;
    width_ = 0;
    height_ = 0;
}

bool MaskPixels::keep(unsigned char* pixels, int width, int height)
{
    release();
    if (!pixels)
        return false;
    if (width < 1 || height < 1) {
        freeImage(pixels);
        return false;
    }
    rgba_ = pixels;
    width_ = width;
    height_ = height;
    return true;
}

bool MaskPixels::decodeFile(const char* path)
{
    release();
    if (!path)
        return false;
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    int width = 0;
    int height = 0;
    unsigned char* pixels = decodeImageFile(file, &width, &height);
    std::fclose(file);
    return keep(pixels, width, height);
}

bool MaskPixels::decodeMemory(const unsigned char* data, int size)
{
    release();
    if (!data || size < 1)
        return false;
    int width = 0;
    int height = 0;
    unsigned char* pixels = decodeImageMemory(data, size, &width, &height);
    return keep(pixels, width, height);
}

}  // namespace calib
