// Mask images (blend, secondary blend, black level, directional shading)
// decoded to 8-bit RGBA, four components, rows top to bottom as stored in the
// file. PNG, TGA and BMP files of 16 bits a pixel or more are read.
#pragma once

#include <cstdint>

namespace calib {

// Largest width or height accepted: beyond any projector's resolution.
constexpr int kMaxMaskSide = 8192;
// Largest mask file read: an uncompressed 8192 x 8192 RGBA image and its header.
constexpr long kMaxMaskFileBytes = 8192L * 8192L * 4L + (1L << 20);

class MaskPixels {
public:
    MaskPixels() = default;
    ~MaskPixels();
    MaskPixels(const MaskPixels&) = delete;
    MaskPixels& operator=(const MaskPixels&) = delete;

    // Decodes a file; false if it cannot be read or decoded.
    bool decodeFile(const char* path);
    // Decodes `size` bytes at `data`; false for null data, a size below 1 or a decoding failure.
    bool decodeMemory(const unsigned char* data, int size);

    const unsigned char* rgba() const { return rgba_; }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    void release();

    unsigned char* rgba_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

// Whether `size` bytes can hold an image of width x height pixels in the
// format the bytes announce, and (for PNG) every chunk lies within them. A
// header that claims far more than the file could hold is refused before the
// decoder allocates memory for it.
bool plausibleImageSize(const unsigned char* data, int size, int width, int height);

}  // namespace calib
