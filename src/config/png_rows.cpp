#include "config/png_rows.h"

#include <cstring>
#include <memory>
#include <vector>

#include <spng.h>

namespace calib {
namespace {

struct ContextFree {
    void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};
using Context = std::unique_ptr<spng_ctx, ContextFree>;

// A decoder over the bytes. Checksums are not verified (masks are read as
// the other formats are: a damaged checksum alone does not refuse a file);
// ancillary chunks may not claim more memory than the file has.
Context openPng(const unsigned char* data, size_t size, int maxSide)
{
    Context context(spng_ctx_new(0));
    if (!context || spng_set_png_buffer(context.get(), data, size) != 0 ||
        spng_set_crc_action(context.get(), SPNG_CRC_USE, SPNG_CRC_USE) != 0 ||
        spng_set_chunk_limits(context.get(), size, size) != 0 ||
        spng_set_image_limits(context.get(), uint32_t(maxSide), uint32_t(maxSide)) != 0)
        return nullptr;
    return context;
}

// The decoded form of a row: grey (G8) or grey and alpha (GA8) for grey
// images of up to 8 bits, else RGBA8; and its components a pixel.
int rowFormat(const spng_ihdr& header, int* components)
{
    if (header.bit_depth <= 8 && header.color_type == SPNG_COLOR_TYPE_GRAYSCALE) {
        *components = 1;
        return SPNG_FMT_G8;
    }
    if (header.bit_depth <= 8 && header.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA) {
        *components = 2;
        return SPNG_FMT_GA8;
    }
    *components = 4;
    return SPNG_FMT_RGBA8;
}

// Spreads a row of packed 1-, 2- or 4-bit grey samples (first sample in the
// high bits) to one byte each, scaled to 0..255. libspng's own conversion
// takes each sample on its own, several times slower on large masks.
void spreadPackedGrey(const uint8_t* packed, int depth, uint32_t width, uint8_t* grey)
{
    const int perByte = 8 / depth;
    const unsigned mask = (1u << depth) - 1;
    const unsigned scale = 255 / mask;
    for (uint32_t x = 0; x < width; ++x) {
        const unsigned shift = unsigned(8 - depth * (int(x % unsigned(perByte)) + 1));
        grey[x] = uint8_t(((packed[x / unsigned(perByte)] >> shift) & mask) * scale);
    }
}

}  // namespace

bool isPngData(const unsigned char* data, size_t size)
{
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    return size >= 8 && std::memcmp(data, signature, 8) == 0;
}

bool readPngHeader(const unsigned char* data, size_t size, int* width, int* height, int* components)
{
    Context context = openPng(data, size, 1 << 30);
    spng_ihdr header{};
    if (!context || spng_get_ihdr(context.get(), &header) != 0 || header.width > (1u << 30) ||
        header.height > (1u << 30))
        return false;
    *width = int(header.width);
    *height = int(header.height);
    rowFormat(header, components);
    return true;
}

bool decodePngRows(const unsigned char* data, size_t size, int maxSide,
                   const std::function<void(const uint8_t* row)>& row)
{
    Context context = openPng(data, size, maxSide);
    spng_ihdr header{};
    if (!context || spng_get_ihdr(context.get(), &header) != 0)
        return false;
    int components = 0;
    int format = rowFormat(header, &components);
    const size_t rowBytes = size_t(header.width) * size_t(components);
    const bool packedGrey = format == SPNG_FMT_G8 && header.bit_depth < 8 &&
                            header.interlace_method == SPNG_INTERLACE_NONE;
    if (packedGrey)
        format = SPNG_FMT_PNG;  // rows as stored, spread below

    if (header.interlace_method != SPNG_INTERLACE_NONE) {
        // Rows of an interlaced image arrive pass by pass: decode it whole.
        size_t imageBytes = 0;
        if (spng_decoded_image_size(context.get(), format, &imageBytes) != 0)
            return false;
        std::vector<uint8_t> image(imageBytes);
        if (spng_decode_image(context.get(), image.data(), image.size(), format, 0) != 0)
            return false;
        for (uint32_t y = 0; y < header.height; ++y)
            row(image.data() + size_t(y) * rowBytes);
        return true;
    }

    if (spng_decode_image(context.get(), nullptr, 0, format, SPNG_DECODE_PROGRESSIVE) != 0)
        return false;
    const size_t storedBytes = packedGrey ? (size_t(header.width) * header.bit_depth + 7) / 8 : rowBytes;
    std::vector<uint8_t> buffer(storedBytes);
    std::vector<uint8_t> spread(packedGrey ? rowBytes : 0);
    for (uint32_t y = 0; y < header.height; ++y) {
        const int result = spng_decode_row(context.get(), buffer.data(), buffer.size());
        if (result != 0 && !(result == SPNG_EOI && y + 1 == header.height))
            return false;
        if (packedGrey) {
            spreadPackedGrey(buffer.data(), header.bit_depth, header.width, spread.data());
            row(spread.data());
        } else {
            row(buffer.data());
        }
    }
    return true;
}

}  // namespace calib
