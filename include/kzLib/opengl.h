// OpenGL 3.3 back-end. Every call runs on the host's render thread with the
// host's OpenGL context current; a core or a compatibility profile of 3.3 or
// later will do (everything the library draws sits in buffer objects). Per frame: kzPreDrawOpenGL with the
// eye position, render the scene into a texture with the view it returns, bind
// the output framebuffer and viewport, then kzPostDrawOpenGL with the texture.
#pragma once

#include "kzLib/export.h"
#include "kzLib/types.h"

// Creates a context and compiles its two correction programs for scene textures on `target`;
// KZ_ERROR_NOT_SUPPORTED without a current OpenGL 3.3 desktop context. *context is written only on KZ_OK.
KZ_API kzResult kzCreateContextOpenGL(kzContextOpenGL** context, kzTextureTarget target);

// Releases every channel's textures and meshes, the programs, the channel table and the context.
// Without a current OpenGL context the memory is still released but no GL call is made.
KZ_API kzResult kzDestroyContextOpenGL(kzContextOpenGL* context);

// Same as kzLoadConfigurationFromFile.
KZ_API kzResult kzLoadConfigurationFromFileOpenGL(kzContextOpenGL* context, const char* path);

// Stores the clipping planes and applies them to every camera built so far.
KZ_API kzResult kzSetClippingPlanesOpenGL(kzContextOpenGL* context, float nearClip, float farClip);

// Switches a correction pass of the active channel on or off (a pass whose mask failed to load stays off).
KZ_API kzResult kzSetCorrectionPassOpenGL(kzContextOpenGL* context, kzCorrectionPassType pass, bool enable);

// Sets the strength of a correction pass of the active channel (not clamped; locked passes are left alone).
KZ_API kzResult kzSetCorrectionPassOpenGL_1(kzContextOpenGL* context, kzCorrectionPassType pass, float value);

// Flips warp map and screen shape output positions vertically for channels built afterwards.
KZ_API kzResult kzSetFlipWarpmeshVerticesYOpenGL(kzContextOpenGL* context, bool flip);

// Flips warp map texture coordinates and the dynamic warped lookup vertically.
KZ_API kzResult kzSetFlipWarpmeshTexcoordsVOpenGL(kzContextOpenGL* context, bool flip);

// Makes a channel active, building its camera, mask textures and correction mesh the first time.
// After a window resize, call it again with the new size; the context is kept.
KZ_API kzResult kzSetActiveChannelOpenGL(kzContextOpenGL* context, unsigned channel, unsigned width,
                                         unsigned height);

// The active channel's view angles (degrees) and projection for the eye; either output may be null.
KZ_API kzResult kzPreDrawOpenGL(kzContextOpenGL* context, kzVec3f eye, kzVec3f* angles,
                                kzMatrix4x4* projection);

// The active channel's whole camera for the eye.
KZ_API kzResult kzPreDrawOpenGL_1(kzContextOpenGL* context, kzVec3f eye, kzCamera* camera);

// Selects how static channels are drawn: KZ_CORRECTION_METHOD_BAKED (the default) bakes each
// channel's correction into a table the size of its output and draws one full-screen triangle a
// frame; KZ_CORRECTION_METHOD_MESH draws the correction mesh every frame. Dynamic channels are
// always drawn with their mesh. KZ_ERROR_NOT_SUPPORTED for other values.
KZ_API kzResult kzSetCorrectionMethodOpenGL(kzContextOpenGL* context, kzCorrectionMethod method);

// Draws the scene texture through the active channel's correction into the bound framebuffer with
// alpha 1. From a table every pixel of the viewport is written, those the warp map does not cover
// opaque black; the mesh method leaves those pixels as they were.
// Leaves culling and blending off, fill mode, units 0 to 5 unbound, unit 0 active, no vertex
// array and no program in use; after a re-bake the host's draw framebuffer, viewport, scissor
// test and colour mask are as they were.
KZ_API kzResult kzPostDrawOpenGL(kzContextOpenGL* context, unsigned texture);
