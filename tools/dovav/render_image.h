// PNG output of dovav render.
#pragma once

#include <string>
#include <vector>

#include "render_backend.h"

namespace dovav::render {

// False when the file cannot be written.
bool writePng(const std::string& path, const Image& image);

// The images left to right in the order given, `gap` pixels of mid grey
// between them, on the height of the tallest.
Image sideBySide(const std::vector<Image>& images, unsigned gap);

}  // namespace dovav::render
