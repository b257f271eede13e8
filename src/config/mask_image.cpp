#include "config/mask_image.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "config/mask_reduce.h"
#include "config/png_rows.h"
#include "config/stb_image_decoder.h"
#include "core/messages.h"

namespace calib {

namespace {

// Pixels one file byte can stand for at most: deflate expands at most 1032
// times and a 1-bit PNG row byte holds 8 pixels; a run-length TGA packet of
// two bytes repeats an 8-bit pixel up to 128 times; BMP is read uncompressed.
constexpr uint64_t kPngPixelsPerByte = 1032 * 8;
constexpr uint64_t kOtherPixelsPerByte = 64;
// Room for headers and palettes of small images.
constexpr uint64_t kSlackBytes = 1024;

// A BMP of at most 8 bits a pixel indexes a palette; the packaged decoder
// reads entries the file does not hold from uninitialised memory.
bool palettedBmp(const unsigned char* data, int size)
{
    if (size < 2 || data[0] != 'B' || data[1] != 'M')
        return false;
    if (size < 30)
        return true;  // too short to say: refused like a paletted one
    const uint32_t headerSize = uint32_t(data[14]) | uint32_t(data[15]) << 8 |
                                uint32_t(data[16]) << 16 | uint32_t(data[17]) << 24;
    const unsigned char* bits = data + (headerSize == 12 ? 24 : 28);
    return (unsigned(bits[0]) | unsigned(bits[1]) << 8) < 16;
}

// Reads a whole file into memory; false if it cannot be read or is larger
// than any mask.
bool readFile(const char* path, std::vector<unsigned char>& bytes)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path, "rb"), std::fclose);
    if (!file)
        return false;
    unsigned char block[1 << 16];
    for (;;) {
        const size_t count = std::fread(block, 1, sizeof block, file.get());
        if (long(bytes.size() + count) > kMaxMaskFileBytes)
            return false;
        bytes.insert(bytes.end(), block, block + count);
        if (count < sizeof block)
            return !std::ferror(file.get());
    }
}

}  // namespace

bool plausibleImageSize(const unsigned char* data, int size, int width, int height)
{
    if (width < 1 || height < 1 || width > kMaxMaskSide || height > kMaxMaskSide)
        return false;
    const bool png = isPngData(data, size_t(size));
    const uint64_t perByte = png ? kPngPixelsPerByte : kOtherPixelsPerByte;
    return uint64_t(width) * uint64_t(height) <= perByte * (uint64_t(size) + kSlackBytes);
}

namespace {

// Whether every pixel of an RGBA image has equal red, green and blue.
bool allGrey(const std::vector<unsigned char>& rgba)
{
    for (size_t i = 0; i + 3 < rgba.size(); i += 4) {
        if (rgba[i] != rgba[i + 1] || rgba[i] != rgba[i + 2])
            return false;
    }
    return true;
}

// Keeps the red component of each RGBA pixel (the masks' alpha is never sampled).
void keepRed(std::vector<unsigned char>& rgba)
{
    const size_t count = rgba.size() / 4;
    for (size_t i = 0; i < count; ++i)
        rgba[i] = rgba[i * 4];
    rgba.resize(count);
    rgba.shrink_to_fit();
}

int fitted(int side, int limit)
{
    return limit > 0 && side > limit ? limit : side;
}

}  // namespace

void MaskPixels::release()
{
    std::vector<unsigned char>().swap(pixels_);  // frees the memory, not only the contents
    channels_ = width_ = height_ = storedWidth_ = storedHeight_ = 0;
}

bool MaskPixels::decodeFile(const char* path, MaskFit fit)
{
    release();
    std::vector<unsigned char> bytes;
    if (!path || !readFile(path, bytes) || bytes.empty())
        return false;
    if (!decodeMemory(bytes.data(), int(bytes.size()), fit))
        return false;
    if (width_ != storedWidth_ || height_ != storedHeight_) {
        kzLogMessage(KZ_MESSAGE_INFO,
                     "Mask %s: %dx%d reduced to %dx%d, the size of the output it is drawn over",
                     path, storedWidth_, storedHeight_, width_, height_);
    }
    return true;
}

bool MaskPixels::decodeMemory(const unsigned char* data, int size, MaskFit fit)
{
    release();
    if (!data || size < 1)
        return false;
    const bool png = isPngData(data, size_t(size));
    int width = 0;
    int height = 0;
    int components = 0;
    const bool header = png ? readPngHeader(data, size_t(size), &width, &height, &components)
                            : !palettedBmp(data, size) &&
                                  readImageSize(data, size, &width, &height, &components);
    if (!header || !plausibleImageSize(data, size, width, height))
        return false;

    // PNG rows go to the reducer as they are decoded; the other formats are
    // decoded whole first.
    std::unique_ptr<AreaReducer> reducer;
    auto start = [&](int channels) {
        reducer = std::make_unique<AreaReducer>(width, height, fitted(width, fit.width),
                                                fitted(height, fit.height), channels);
    };
    if (png) {
        start(components <= 2 ? 1 : 4);
        if (!decodePngRows(data, size_t(size), kMaxMaskSide,
                           [&](const uint8_t* row) { reducer->addRow(row, components); }))
            return false;
    } else {
        std::unique_ptr<unsigned char, void (*)(unsigned char*)> decoded(
            decodeImage(data, size, &width, &height, &components), freeImage);
        if (!decoded || width < 1 || height < 1 || components < 1 || components > 4)
            return false;
        start(components <= 2 ? 1 : 4);
        const size_t stride = size_t(width) * size_t(components);
        for (int row = 0; row < height; ++row)
            reducer->addRow(decoded.get() + size_t(row) * stride, components);
    }

    pixels_ = std::move(reducer->pixels());
    channels_ = components <= 2 ? 1 : 4;
    if (channels_ == 4 && allGrey(pixels_)) {
        keepRed(pixels_);
        channels_ = 1;
    }
    width_ = fitted(width, fit.width);
    height_ = fitted(height, fit.height);
    storedWidth_ = width;
    storedHeight_ = height;
    return true;
}

}  // namespace calib
