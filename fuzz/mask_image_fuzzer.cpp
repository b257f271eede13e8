// Fuzzes the mask image decoder from a file and from memory. A successful
// decode has a size within 1..kMaxMaskSide on each side and width x height x 4
// readable bytes (every byte is read, so AddressSanitizer sees a short
// buffer); a failed one leaves the object empty; both paths give the same
// pixels, and kzGetMaskImageSize gives the same verdict and size.

#include <climits>
#include <cstddef>

#include "config/mask_image.h"
#include "fuzz_input_file.h"
#include "kzLib/calibration.h"

namespace {

struct Outcome {
    bool decoded;
    int width;
    int height;
    unsigned checksum;
    bool operator!=(const Outcome& other) const
    {
        return decoded != other.decoded || width != other.width || height != other.height ||
               checksum != other.checksum;
    }
};

bool empty(const calib::MaskPixels& pixels)
{
    return !pixels.pixels() && pixels.width() == 0 && pixels.height() == 0;
}

// Reads every pixel byte into a position-weighted checksum.
unsigned checksumPixels(const calib::MaskPixels& pixels)
{
    const unsigned char* bytes = pixels.pixels();
    const size_t count = size_t(pixels.width()) * size_t(pixels.height()) * size_t(pixels.channels());
    unsigned sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum = sum * 31u + bytes[i];
    return sum;
}

Outcome check(const calib::MaskPixels& pixels, bool decoded)
{
    if (!decoded) {
        if (!empty(pixels))
            __builtin_trap();
        return {false, 0, 0, 0};
    }
    if (!pixels.pixels() || (pixels.channels() != 1 && pixels.channels() != 4) ||
        pixels.width() < 1 || pixels.width() > calib::kMaxMaskSide ||
        pixels.height() < 1 || pixels.height() > calib::kMaxMaskSide)
        __builtin_trap();
    return {true, pixels.width(), pixels.height(), checksumPixels(pixels)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > size_t(INT_MAX))
        return 0;
    const char* path = dovav::fuzz::writeInputFile(data, size, ".img");

    Outcome fromFile;
    {
        // Released before the second decode: one image in memory at a time.
        calib::MaskPixels pixels;
        fromFile = check(pixels, pixels.decodeFile(path));
    }
    int width = 0;
    int height = 0;
    const kzResult sized = kzGetMaskImageSize(path, &width, &height);
    if ((sized == KZ_OK) != fromFile.decoded ||
        (sized == KZ_OK && (width != fromFile.width || height != fromFile.height)))
        __builtin_trap();

    calib::MaskPixels pixels;
    const Outcome fromMemory = check(pixels, pixels.decodeMemory(data, int(size)));
    if (fromFile != fromMemory)
        __builtin_trap();

    // Reduced to a small output: the same verdict, within the fit, every byte readable.
    {
        calib::MaskPixels reduced;
        const Outcome fitted = check(reduced, reduced.decodeMemory(data, int(size), {3, 2}));
        if (fitted.decoded != fromMemory.decoded || reduced.width() > 3 || reduced.height() > 2)
            __builtin_trap();
    }

    // Decoding again into an object that holds pixels drops them, also on failure.
    if (fromMemory.decoded && (pixels.decodeMemory(data, 0) || !empty(pixels)))
        __builtin_trap();
    return 0;
}
