// The baked method for static channels: a table the size of the output
// holding, per pixel, the scene lookup, the mask factor, the black level and
// whether the mesh covers the pixel, baked from the correction mesh and
// drawn each frame as one full-screen triangle.
#pragma once

#include "opengl/opengl_records.h"

// Gives a static channel a table of width x height texels, allocated now and
// baked on the next draw; keeps the one it has at that size. False when no
// table can be made (sizes outside the GL limits, an incomplete framebuffer,
// a program that does not build): the channel is then drawn with its mesh.
bool kzOpenGLPrepareCorrectionTable(kzContextOpenGL& context, kzCorrectionDataOpenGL& data,
                                    uint32_t width, uint32_t height);

// The same for a channel at the context's output size when it is static and
// the context bakes; other channels are left alone.
void kzOpenGLPrepareChannelTable(kzContextOpenGL& context, uint32_t channel,
                                 kzCorrectionDataOpenGL& data);

void kzOpenGLFreeCorrectionTable(kzCorrectionDataOpenGL& data);

// The key a table drawn now must have been baked with.
kzOpenGLTableKey kzOpenGLCurrentTableKey(const kzContextOpenGL& context,
                                         const kzCorrectionDataOpenGL& data);

// Whether the channel is drawn from its table with this key: the method is
// baked and its table has the key's size.
bool kzOpenGLTableDrawable(const kzContextOpenGL& context, const kzCorrectionDataOpenGL& data,
                           const kzOpenGLTableKey& key);

// Renders the correction mesh into the table with the key's pass settings.
// The host's draw framebuffer, viewport, scissor test and colour mask are
// put back afterwards.
void kzOpenGLBakeCorrectionTable(const kzContextOpenGL& context, kzCorrectionDataOpenGL& data,
                                 const kzOpenGLTableKey& key);

// Draws the table's correction of `scene` over the bound viewport.
void kzOpenGLDrawCorrectionTable(const kzContextOpenGL& context, const kzCorrectionDataOpenGL& data,
                                 GLuint scene);
