// The only translation unit that sees the image decoder's implementation.
// Pixels are 8-bit RGBA, first image row first; free them with freeImage.
#pragma once

#include <cstdio>

namespace calib {

unsigned char* decodeImageFile(std::FILE* file, int* width, int* height);
unsigned char* decodeImageMemory(const unsigned char* data, int size, int* width, int* height);
void freeImage(unsigned char* pixels);

}  // namespace calib
