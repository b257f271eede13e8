// The only translation unit that sees the image decoder's implementation.
// Pixels are 8 bits a component, first image row first; free them with freeImage.
#pragma once

namespace calib {

// Width, height and components a pixel (1 grey, 2 grey and alpha, 3 RGB,
// 4 RGBA) from the image's header, without decoding it.
bool readImageSize(const unsigned char* data, int size, int* width, int* height, int* components);
// Decodes to the components the image stores (reported in *components).
unsigned char* decodeImage(const unsigned char* data, int size, int* width, int* height, int* components);
void freeImage(unsigned char* pixels);

}  // namespace calib
