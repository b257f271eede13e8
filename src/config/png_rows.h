// PNG masks decoded with libspng one row at a time, so that a large image is
// never held whole (unless it is interlaced, whose rows come in passes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace calib {

// Whether the bytes start with the PNG signature.
bool isPngData(const unsigned char* data, size_t size);

// Reads the header: width, height and the components a decoded row has
// (1: grey, 2: grey and alpha, for grey images of up to 8 bits; else 4:
// RGBA). Transparency chunks are not applied: masks are sampled without
// their alpha.
bool readPngHeader(const unsigned char* data, size_t size, int* width, int* height, int* components);

// Hands every row, top to bottom, to `row` (width x components bytes, valid
// for the call). Images wider or taller than `maxSide` are refused. False if
// the file is not a PNG the decoder accepts or ends before its last row.
bool decodePngRows(const unsigned char* data, size_t size, int maxSide,
                   const std::function<void(const uint8_t* row)>& row);

}  // namespace calib
