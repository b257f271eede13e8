// GLSL 3.30 sources of the two correction programs.
#pragma once

#include <string>

#include "kzLib/types.h"

extern const char* const kzShaderCorrectionStaticVertex;
extern const char* const kzShaderCorrectionDynamicVertex;

// A fragment program's complete text: the line "#version 330", a line
// defining KZ_TEXTURE_TARGET_RECTANGLE for rectangle scene textures or
// KZ_TEXTURE_TARGET_2D for any other target value, then the static or the
// dynamic body (the dynamic one adds directional shading).
std::string kzOpenGLFragmentSource(kzTextureTarget target, bool dynamic);
