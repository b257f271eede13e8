// Mask images (blend, secondary blend, black level, directional shading)
// decoded to 8-bit pixels, rows top to bottom as stored in the file: one
// component for a grey mask (a grey image, or a colour one whose pixels are
// all grey), RGBA for a colour one. A mask larger than the output it is drawn
// over is reduced to that size on load. PNG, TGA and BMP files of 16 bits a
// pixel or more are read.
#pragma once

#include <cstdint>
#include <vector>

namespace calib {

// Largest width or height accepted: beyond any projector's resolution.
constexpr int kMaxMaskSide = 8192;
// Largest mask file read: an uncompressed 8192 x 8192 RGBA image and its header.
constexpr long kMaxMaskFileBytes = 8192L * 8192L * 4L + (1L << 20);

// The most texels a mask needs: the size of the output it is drawn over.
// A side of 0 leaves that side as the image has it.
struct MaskFit {
    int width = 0;
    int height = 0;
};

// The fit for an output of width x height pixels (0 leaves a side alone).
inline MaskFit maskFitForOutput(unsigned width, unsigned height)
{
    auto side = [](unsigned value) { return value > unsigned(kMaxMaskSide) ? 0 : int(value); };
    return {side(width), side(height)};
}

// Whether a mask loaded at width x height from an image of storedWidth x
// storedHeight has the size a load for `fit` would give it; a mask that does
// not is loaded again when its channel's output size changes.
inline bool maskMatchesFit(int width, int height, int storedWidth, int storedHeight, MaskFit fit)
{
    auto fitted = [](int side, int limit) { return limit > 0 && side > limit ? limit : side; };
    return width == fitted(storedWidth, fit.width) && height == fitted(storedHeight, fit.height);
}

class MaskPixels {
public:
    // Decodes a file; false if it cannot be read or decoded. An image wider
    // or taller than `fit` is reduced to it with an area-averaging (box)
    // filter, each side on its own.
    bool decodeFile(const char* path, MaskFit fit = {});
    // Decodes `size` bytes at `data`; false for null data, a size below 1 or a decoding failure.
    bool decodeMemory(const unsigned char* data, int size, MaskFit fit = {});

    // width x height pixels of channels() bytes each.
    const unsigned char* pixels() const { return pixels_.data(); }
    int channels() const { return channels_; }
    int width() const { return width_; }
    int height() const { return height_; }
    // Size of the image in the file, before any reduction.
    int storedWidth() const { return storedWidth_; }
    int storedHeight() const { return storedHeight_; }

private:
    void release();

    std::vector<unsigned char> pixels_;
    int channels_ = 0;
    int width_ = 0;
    int height_ = 0;
    int storedWidth_ = 0;
    int storedHeight_ = 0;
};

// Whether `size` bytes can hold an image of width x height pixels in the
// format the bytes announce. A header that claims far more than the file
// could hold is refused before anything is decoded.
bool plausibleImageSize(const unsigned char* data, int size, int width, int height);

}  // namespace calib
