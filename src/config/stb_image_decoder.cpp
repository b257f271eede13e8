// stb_image is compiled into the library with internal linkage, so none of its
// symbols reach the dynamic symbol table or clash with a host's own copy.
#include "config/stb_image_decoder.h"

#include "config/mask_image.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_MAX_DIMENSIONS calib::kMaxMaskSide
#define STBI_FAILURE_USERMSG
#include <stb_image.h>

namespace calib {

unsigned char* decodeImageFile(std::FILE* file, int* width, int* height)
{
    int components = 0;
    return stbi_load_from_file(file, width, height, &components, 4);
}

unsigned char* decodeImageMemory(const unsigned char* data, int size, int* width, int* height)
{
    int components = 0;
    return stbi_load_from_memory(data, size, width, height, &components, 4);
}

void freeImage(unsigned char* pixels)
{
    stbi_image_free(pixels);
}

}  // namespace calib
