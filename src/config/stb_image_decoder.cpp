// stb_image is compiled into the library with internal linkage, so none of its
// symbols reach the dynamic symbol table or clash with a host's own copy.
//
// Only BMP and TGA are decoded here (see MaskPixels for the BMPs refused);
// PNG goes to libspng (png_rows.h). The packaged decoder's JPEG and PNM
// readers write and read out of bounds on malformed files (found by fuzzing
// this library), and masks are lossless images anyway. Decoding always runs
// from memory: the stdio reader is never used.
#include "config/stb_image_decoder.h"

#include <cstdlib>
#include <cstring>

#include "config/mask_image.h"

namespace {

// realloc that zeroes the bytes it adds.
void* reallocZeroed(void* pointer, size_t oldSize, size_t newSize)
{
    auto* grown = static_cast<unsigned char*>(std::realloc(pointer, newSize));
    if (grown && newSize > oldSize)
        std::memset(grown + oldSize, 0, newSize - oldSize);
    return grown;
}

}  // namespace

// Malformed files make the decoder read parts of its buffers it never wrote
// (unwritten TGA pixels). Every buffer starts zeroed and grows zeroed, so
// such pixels come out black, never as whatever the heap held.
#define STBI_MALLOC(size) std::calloc(1, size)
#define STBI_REALLOC(pointer, size) std::realloc(pointer, size)
#define STBI_REALLOC_SIZED(pointer, oldSize, newSize) reallocZeroed(pointer, oldSize, newSize)
#define STBI_FREE(pointer) std::free(pointer)
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS calib::kMaxMaskSide
#define STBI_FAILURE_USERMSG
#include <stb_image.h>

namespace calib {

bool readImageSize(const unsigned char* data, int size, int* width, int* height, int* components)
{
    return stbi_info_from_memory(data, size, width, height, components) != 0;
}

unsigned char* decodeImage(const unsigned char* data, int size, int* width, int* height, int* components)
{
    return stbi_load_from_memory(data, size, width, height, components, 0);
}

void freeImage(unsigned char* pixels)
{
    stbi_image_free(pixels);
}

}  // namespace calib
