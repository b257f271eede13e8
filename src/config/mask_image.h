// Mask images (blend, secondary blend, black level, directional shading)
// decoded to 8-bit RGBA, four components, rows top to bottom as stored in the
// file. Any format the image decoder reads is accepted.
#pragma once

#include <cstdint>

namespace calib {

// Largest width or height accepted; larger images are rejected before their
// pixels are allocated.
constexpr int kMaxMaskSide = 16384;

class MaskPixels {
public:
    MaskPixels() = default;
    ~MaskPixels();
    MaskPixels(const MaskPixels&) = delete;
    MaskPixels& operator=(const MaskPixels&) = delete;

    // Decodes a file opened in byte mode; false if it cannot be opened or decoded.
    bool decodeFile(const char* path);
    // Decodes `size` bytes at `data`; false for null data, a size below 1 or a decoding failure.
    bool decodeMemory(const unsigned char* data, int size);

    const unsigned char* rgba() const { return rgba_; }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    bool keep(unsigned char* pixels, int width, int height);
    void release();

    unsigned char* rgba_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace calib
