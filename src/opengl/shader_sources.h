// GLSL 3.30 sources of the correction programs: the two mesh programs, the
// program that bakes a static channel into a table, and the table programs.
#pragma once

#include <string>

#include "kzLib/types.h"

extern const char* const kzShaderCorrectionStaticVertex;
extern const char* const kzShaderCorrectionDynamicVertex;
// A full-screen triangle drawn with no attributes; uv_output spans the viewport.
extern const char* const kzShaderTableVertex;

// A fragment program's complete text: the line "#version 330", a line
// defining KZ_TEXTURE_TARGET_RECTANGLE for rectangle scene textures or
// KZ_TEXTURE_TARGET_2D for any other target value, then the static or the
// dynamic body (the dynamic one adds directional shading).
std::string kzOpenGLFragmentSource(kzTextureTarget target, bool dynamic);

// The bake program's fragment text (paired with the static vertex program):
// writes a table texel per covered pixel, unsigned-integer output.
std::string kzOpenGLBakeFragmentSource();

// A table program's fragment text: one table fetch, one scene fetch, input
// and output gamma compiled in only where asked for.
std::string kzOpenGLTableFragmentSource(kzTextureTarget target, bool inputGamma, bool outputGamma);
