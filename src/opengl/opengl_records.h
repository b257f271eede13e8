// The OpenGL back-end's records: the context, its two correction programs,
// mask textures, correction meshes and the per-channel correction data.
// Every pointer member is owned by the record that holds it.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include <epoxy/gl.h>

#include "config/mask_image.h"
#include "core/context_header.h"
#include "core/correction_passes.h"
#include "kzLib/types.h"

// Locations of the uniforms the programs may declare, looked up once when a
// program is linked; -1 where a program lacks one (GL ignores those calls).
struct kzOpenGLUniforms {
    GLint features = -1;
    GLint mvp = -1;
    GLint cameraMvp = -1;
    GLint cameraPosition = -1;
    GLint flipV = -1;
    GLint gamma = -1;
    GLint inputGamma = -1;
    GLint outputGamma = -1;
};

struct kzOpenGLShader {
    GLuint program;
    GLuint vertexShader;    // attached to program until it is freed
    GLuint fragmentShader;  // attached to program until it is freed
    kzOpenGLUniforms uniforms;
};

// Texture units of the programs' samplers, fixed when a program is linked.
enum kzOpenGLTextureUnit : GLint {
    KZ_UNIT_SOURCE = 0,
    KZ_UNIT_BLENDING = 1,
    KZ_UNIT_BLACKLEVEL = 2,
    KZ_UNIT_SECONDARY_BLENDING = 3,
    KZ_UNIT_DIRECTIONAL_SHADING = 4,
    KZ_UNIT_TABLE = 5,
};

// An RGBA8 GL_TEXTURE_2D: clamp to edge, linear, one level; v = 0 is the
// image's first row.
struct kzOpenGLTexture {
    GLuint id;
    int32_t width;
    int32_t height;
    int32_t storedWidth;  // size of the image in its file, before any reduction
    int32_t storedHeight;
};

// Attribute locations of the correction programs, which are also the indices
// into kzOpenGLCorrectionMesh::buffers.
enum kzOpenGLAttribute : GLuint {
    KZ_ATTRIBUTE_POSITION = 0,
    KZ_ATTRIBUTE_TEXCOORD_WARPED = 1,
    KZ_ATTRIBUTE_TEXCOORD_UNWARPED = 2,
    KZ_ATTRIBUTE_NORMAL = 3,
    KZ_ATTRIBUTE_TANGENT = 4,
    KZ_ATTRIBUTE_POSITION1 = 5,
    KZ_ATTRIBUTE_COUNT = 6,
};

// Which attributes a correction mesh fills: every one, or only those the
// static program reads, positions as x, y pairs and the warped lookup (the
// other buffers exist but stay empty).
enum class kzOpenGLMeshInputs { All, Flat };

// A vertex array with one buffer per attribute and its triangle list in an
// element buffer bound to the array; nothing is drawn from client memory.
struct kzOpenGLCorrectionMesh {
    GLuint vao = 0;
    GLuint buffers[KZ_ATTRIBUTE_COUNT] = {};
    GLuint elements = 0;
    GLsizei indexCount = 0;
};

// What a correction table was last baked with; a table whose key differs
// from the channel's current one is baked again before it is drawn.
struct kzOpenGLTableKey {
    float features[8] = {};
    float gamma = 0.0f;
    uint32_t width = 0;
    uint32_t height = 0;
    bool operator==(const kzOpenGLTableKey& other) const;
    bool operator!=(const kzOpenGLTableKey& other) const { return !(*this == other); }
};

// A static channel's correction baked per output pixel into a GL_RGBA32UI
// texture (see correction_table.cpp for the texel layout) and the framebuffer
// that renders into it.
struct kzOpenGLCorrectionTable {
    GLuint texture = 0;
    GLuint framebuffer = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    bool baked = false;
    kzOpenGLTableKey key;
};

// What a channel's set-up built. A record stored after a failed set-up may
// lack its camera or correction mesh; such a record is never drawn.
struct kzCorrectionDataOpenGL : kzChannelPasses {
    kzCamera* camera = nullptr;
    float gamma = 0.0f;
    float inputGamma = 0.0f;
    float outputGamma = 0.0f;
    kzOpenGLTexture* blendingTexture = nullptr;
    kzOpenGLTexture* secondaryBlendingTexture = nullptr;
    kzOpenGLTexture* blacklevelTexture = nullptr;
    kzOpenGLTexture* directionalShadingTexture = nullptr;
    kzOpenGLCorrectionMesh* cmesh = nullptr;
    kzOpenGLCorrectionTable* table = nullptr;  // static channels drawn by the baked method
    kzMesh* screenShape = nullptr;    // dynamic channels
    kzTargetRect* targetRect = nullptr;  // dynamic channels
    kzChannelSummary grid;  // of the warp map or screen shape, for the channel query

    bool drawable() const { return camera && cmesh; }
};

struct kzContextOpenGL : kzContextHeader {
    explicit kzContextOpenGL(kzTextureTarget textureTarget)
        : kzContextHeader(KZ_CONTEXT_OPENGL), target(textureTarget)
    {
    }

    kzOpenGLShader* staticShader = nullptr;
    kzOpenGLShader* dynamicShader = nullptr;
    // Built on first use: the program that bakes correction tables and the
    // table programs, one per combination of input and output gamma being 1.
    kzOpenGLShader* bakeShader = nullptr;
    kzOpenGLShader* tableShaders[4] = {};
    GLuint emptyVertexArray = 0;  // bound for the attribute-less full-screen triangle
    kzCorrectionMethod method = KZ_CORRECTION_METHOD_BAKED;
    uint32_t width = 0;
    uint32_t height = 0;
    kzTextureTarget target;
    std::map<uint32_t, kzCorrectionDataOpenGL> corrections;
};

// Whether an OpenGL context is current on this thread. Only GL 1.0 calls are
// safe without one, so every entry point that issues later calls asks first.
// The free functions below release only memory when none is current: the GL
// objects then belong to a context that is gone or elsewhere.
inline bool kzOpenGLContextIsCurrent()
{
    return glGetString(GL_VERSION) != nullptr;
}

// Releases everything a correction record owns and leaves it empty.
void kzOpenGLReleaseCorrectionData(kzCorrectionDataOpenGL& data);

// Tells the channel query what set-up built for the channel (kept: stored in corrections).
void kzOpenGLNoteSetUp(kzContextOpenGL& context, uint32_t channel, bool kept,
                       const kzCorrectionDataOpenGL& data);

bool kzOpenGLCreateShader(kzOpenGLShader** shader, const char* vertexSource,
                          const char* fragmentSource, char* errorBuffer, size_t errorBufferSize);
void kzOpenGLFreeShader(kzOpenGLShader* shader);

// Mask textures: one byte a texel for a grey mask (sampled as grey, grey,
// grey, 1), RGBA for a colour one, reduced to `fit` when larger.
bool kzOpenGLCreateTextureFromFile(const char* path, kzOpenGLTexture** texture, calib::MaskFit fit = {});
bool kzOpenGLCreateTextureFromMemory(const unsigned char* data, int size, kzOpenGLTexture** texture,
                                     calib::MaskFit fit = {});
void kzOpenGLFreeTexture(kzOpenGLTexture* texture);

bool kzOpenGLCreateCorrectionMesh(const kzMesh* mesh, kzOpenGLCorrectionMesh** cmesh, GLenum usage,
                                  std::vector<kzVec3f> worldPositions,
                                  kzOpenGLMeshInputs inputs = kzOpenGLMeshInputs::All);
void kzOpenGLFreeCorrectionMesh(kzOpenGLCorrectionMesh* cmesh);

// Internal twins of the exported OpenGL entry points.
kzResult kzCreateContext_OpenGL(kzContextOpenGL** context, kzTextureTarget target);
kzResult kzDestroyContext_OpenGL(kzContextOpenGL* context);
kzResult kzSetClippingPlanes_OpenGL(kzContextOpenGL* context, float nearClip, float farClip);
kzResult kzSetFlipWarpmeshVerticesY_OpenGL(kzContextOpenGL* context, bool flip);
kzResult kzSetFlipWarpmeshTexcoordsV_OpenGL(kzContextOpenGL* context, bool flip);
kzResult kzSetActiveChannel_OpenGL(kzContextOpenGL* context, unsigned channel, unsigned width,
                                   unsigned height);
kzResult kzPreDraw_OpenGL(kzContextOpenGL* context, kzVec3f eye, kzVec3f* angles,
                          kzMatrix4x4* projection);
kzResult kzPreDraw_OpenGL_1(kzContextOpenGL* context, kzVec3f eye, kzCamera* camera);
kzResult kzPostDraw_OpenGL(kzContextOpenGL* context, unsigned texture);
kzResult kzSetCorrectionPass_OpenGL(kzContextOpenGL* context, kzCorrectionPassType pass, bool enable);
kzResult kzSetCorrectionMethod_OpenGL(kzContextOpenGL* context, kzCorrectionMethod method);
kzResult kzSetCorrectionPass_OpenGL_1(kzContextOpenGL* context, kzCorrectionPassType pass,
                                      float weight);
