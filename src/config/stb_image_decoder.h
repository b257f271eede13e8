// The only translation unit that sees the image decoder's implementation.
// Pixels are 8-bit RGBA, first image row first; free them with freeImage.
#pragma once

namespace calib {

// Width and height from the image's header, without decoding it.
bool readImageSize(const unsigned char* data, int size, int* width, int* height);
unsigned char* decodeImage(const unsigned char* data, int size, int* width, int* height);
void freeImage(unsigned char* pixels);

}  // namespace calib
