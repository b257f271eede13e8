// Result codes, enumerations and the plain records that cross the library's
// boundary. Every record is a fixed-layout structure of 32-bit fields (plus
// pointers in kzMesh); the static_asserts below pin the layouts hosts rely on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <type_traits>

// Result of every entry point except kzClamp, kzMax and kzMin.
enum kzResult : int32_t {
    KZ_OK = 0,
    KZ_ERROR_INVALID_ARGUMENT = 1,  // a required pointer argument is null
    KZ_ERROR_INVALID_DATA = 2,      // requested data is missing, unusable or does not fit
    KZ_ERROR_FILE = 3,              // a file could not be found, opened or created
    KZ_ERROR_NOT_SUPPORTED = 5,     // not available on this platform or in this state
    KZ_ERROR_OPENGL = 6,            // an OpenGL object could not be created
    KZ_ERROR_INVALID_CONTEXT = 8,   // null context, or a kind the call does not support
    KZ_ERROR_VULKAN = 9,            // the Vulkan runtime or a Vulkan object is unavailable
};

// Kind tag at the start of every context record.
enum kzContextKind : int32_t {
    KZ_CONTEXT_D3D9 = 0,    // reserved; never created by this library
    KZ_CONTEXT_D3D11 = 1,   // reserved; never created by this library
    KZ_CONTEXT_OPENGL = 2,
    KZ_CONTEXT_VULKAN = 3,
    KZ_CONTEXT_CONFIGURATION = 4,  // configuration only, no back-end (kzCreateContextConfiguration)
};

// Correction type of a channel (the `type` field of kzConfigurationData).
enum kzCorrectionType : int32_t {
    KZ_CORRECTION_STATIC = 0,   // camera file + warp map
    KZ_CORRECTION_DYNAMIC = 1,  // target rectangle + screen shape
};

// Texture target of the scene texture an OpenGL host passes to PostDraw.
enum kzTextureTarget : int32_t {
    KZ_TEXTURE_TARGET_2D = 0,
    KZ_TEXTURE_TARGET_RECTANGLE = 1,  // addressed in texels
};

// The correction passes that can be switched and weighted per channel.
enum kzCorrectionPassType : int32_t {
    KZ_CORRECTION_PASS_WARPING = 0,
    KZ_CORRECTION_PASS_BLENDING = 1,
    KZ_CORRECTION_PASS_BLACKLEVEL = 2,
    KZ_CORRECTION_PASS_SECONDARY_BLENDING = 3,
    KZ_CORRECTION_PASS_DIRECTIONAL_SHADING = 4,
};

// How PostDraw draws a static channel. The baked method renders the channel's
// correction once into a table the size of the output and then draws one
// full-screen pass a frame; the mesh method draws the correction mesh every
// frame (the reference the baked table is checked against).
enum kzCorrectionMethod : int32_t {
    KZ_CORRECTION_METHOD_BAKED = 0,
    KZ_CORRECTION_METHOD_MESH = 1,
};

// Severity of a message the library hands to the host's message callback.
enum kzMessageSeverity : int32_t {
    KZ_MESSAGE_ERROR = 0,
    KZ_MESSAGE_WARNING = 1,
    KZ_MESSAGE_INFO = 2,
};

// Opaque context records, created and destroyed by their back-end.
struct kzContextOpenGL;
struct kzContextVulkan;
struct kzContextConfiguration;

struct kzVec2f {
    float x, y;
};

struct kzVec3f {
    float x, y, z;
};

// Element 4r + c is row r, column c with points as row vectors (translation in
// 12..14); the same 16 floats are the column-major matrix OpenGL expects.
struct kzMatrix4x4 {
    float m[16];
};

// A channel camera. The four extents are the primary description; fovY,
// aspect, shiftX and shiftY are derived from them. Note farClip before nearClip.
struct kzCamera {
    float left, right, bottom, top;  // view window at unit distance
    float farClip, nearClip;
    float fovY;     // radians, 2 * atan((top - bottom) / 2)
    float aspect;   // (right - left) / (top - bottom)
    float shiftX;   // (right + left) / (right - left)
    float shiftY;   // (top + bottom) / (top - bottom)
    kzVec3f position;
    kzVec3f direction;
    kzVec3f up;
};

// A grid mesh stored row by row (column c of row r is element r * width + c).
// The arrays are allocated with malloc by the library and released with free
// when the record is destroyed; loaders free what a record holds before they
// store new arrays, so one record can be refilled any number of times. A
// record owns its arrays alone: it can be moved but not copied.
struct kzMesh {
    kzVec3f* vertices = nullptr;
    kzVec2f* texcoords = nullptr;
    kzVec3f* normals = nullptr;
    kzVec3f* tangents = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;

    kzMesh() = default;
    kzMesh(const kzMesh&) = delete;
    kzMesh& operator=(const kzMesh&) = delete;
    kzMesh(kzMesh&& other) noexcept { takeFrom(other); }
    kzMesh& operator=(kzMesh&& other) noexcept
    {
        if (this != &other) {
            release();
            takeFrom(other);
        }
        return *this;
    }
    ~kzMesh() { release(); }

    // Frees the four arrays and leaves an empty 0 x 0 mesh.
    void release() noexcept
    {
        std::free(vertices);
        std::free(texcoords);
        std::free(normals);
        std::free(tangents);
        vertices = nullptr;
        texcoords = nullptr;
        normals = nullptr;
        tangents = nullptr;
        width = 0;
        height = 0;
    }

private:
    void takeFrom(kzMesh& other) noexcept
    {
        vertices = other.vertices;
        texcoords = other.texcoords;
        normals = other.normals;
        tangents = other.tangents;
        width = other.width;
        height = other.height;
        other.vertices = nullptr;
        other.texcoords = nullptr;
        other.normals = nullptr;
        other.tangents = nullptr;
        other.width = 0;
        other.height = 0;
    }
};

// Corners of a channel's target rectangle as seen by a viewer facing it:
// 0 upper-left, 1 lower-left, 2 upper-right, 3 lower-right.
struct kzTargetRect {
    kzVec3f corners[4];
    kzVec3f direction;
    kzVec3f up;
};

// Size of every path field and path buffer of the library, terminator included.
#define KZ_PATH_SIZE 260

// One channel's configuration as read from the XML configuration file. Paths
// are absolute and NUL-terminated; an empty path means "not configured".
struct kzConfigurationData {
    int32_t type;  // a kzCorrectionType; other values are kept as read
    float gamma;
    float inputGamma;
    float outputGamma;
    char shape[KZ_PATH_SIZE];
    char frustum[KZ_PATH_SIZE];
    char target[KZ_PATH_SIZE];
    char warpmap[KZ_PATH_SIZE];
    char blending[KZ_PATH_SIZE];
    char secondaryBlending[KZ_PATH_SIZE];
    char blacklevel[KZ_PATH_SIZE];
    char directionalShading[KZ_PATH_SIZE];
};

// Role of a file a channel's configuration names: the index into kzChannelInfo::paths.
enum kzChannelFile : int32_t {
    KZ_CHANNEL_FILE_WARPMAP = 0,
    KZ_CHANNEL_FILE_FRUSTUM = 1,
    KZ_CHANNEL_FILE_SHAPE = 2,
    KZ_CHANNEL_FILE_TARGET = 3,
    KZ_CHANNEL_FILE_BLENDING = 4,
    KZ_CHANNEL_FILE_SECONDARY_BLENDING = 5,
    KZ_CHANNEL_FILE_BLACKLEVEL = 6,
    KZ_CHANNEL_FILE_DIRECTIONAL_SHADING = 7,
    KZ_CHANNEL_FILE_COUNT = 8,
};

// What a context knows about one channel (kzGetChannelInfo): its configuration,
// and once the channel has been set up on the context, what set-up built.
struct kzChannelInfo {
    uint32_t channel;
    int32_t type;  // a kzCorrectionType; other values are kept as read
    float gamma;
    float inputGamma;
    float outputGamma;
    int32_t setUp;           // 1 once set-up has built the channel on this context, else 0
    uint32_t gridWidth;      // warp map (static) or screen shape (dynamic) grid; 0 before set-up
    uint32_t gridHeight;
    uint32_t invalidPoints;  // grid points with a non-finite position or texture coordinate
    int32_t hasCamera;       // 1 when `camera` holds the channel's camera, else 0 (all zero)
    // Static channels: the camera file's camera with the context's clipping planes. Dynamic
    // channels: the camera as the last PreDraw aimed it from the eye (before that, only the
    // clipping planes are set).
    kzCamera camera;
    char paths[KZ_CHANNEL_FILE_COUNT][KZ_PATH_SIZE];  // absolute; "" when not configured
    char regionId[KZ_PATH_SIZE];  // imported calibrations: the source's region id; else ""
};

static_assert(sizeof(kzResult) == 4 && sizeof(kzContextKind) == 4, "32-bit enumerations");
static_assert(sizeof(kzCorrectionType) == 4 && sizeof(kzTextureTarget) == 4 &&
                  sizeof(kzCorrectionPassType) == 4 && sizeof(kzCorrectionMethod) == 4 &&
                  sizeof(kzMessageSeverity) == 4,
              "32-bit enumerations");
static_assert(sizeof(kzVec2f) == 8, "kzVec2f is two floats");
static_assert(sizeof(kzVec3f) == 12, "kzVec3f is three floats");
static_assert(sizeof(kzMatrix4x4) == 64, "kzMatrix4x4 is 16 floats");
static_assert(sizeof(kzCamera) == 76, "kzCamera is 19 floats");
static_assert(offsetof(kzCamera, farClip) == 16 && offsetof(kzCamera, nearClip) == 20 &&
                  offsetof(kzCamera, fovY) == 24 && offsetof(kzCamera, shiftY) == 36 &&
                  offsetof(kzCamera, position) == 40 && offsetof(kzCamera, direction) == 52 &&
                  offsetof(kzCamera, up) == 64,
              "kzCamera field order");
static_assert(sizeof(kzTargetRect) == 72, "kzTargetRect is six kzVec3f");
static_assert(offsetof(kzTargetRect, direction) == 48 && offsetof(kzTargetRect, up) == 60,
              "kzTargetRect field order");
static_assert(offsetof(kzMesh, texcoords) == sizeof(void*) &&
                  offsetof(kzMesh, tangents) == 3 * sizeof(void*) &&
                  offsetof(kzMesh, width) == 4 * sizeof(void*) &&
                  offsetof(kzMesh, height) == 4 * sizeof(void*) + 4 &&
                  sizeof(kzMesh) == 4 * sizeof(void*) + 8,
              "kzMesh field order");
static_assert(std::is_standard_layout_v<kzMesh>, "kzMesh keeps a plain record layout");
static_assert(offsetof(kzConfigurationData, gamma) == 4 &&
                  offsetof(kzConfigurationData, inputGamma) == 8 &&
                  offsetof(kzConfigurationData, outputGamma) == 12 &&
                  offsetof(kzConfigurationData, shape) == 16 &&
                  offsetof(kzConfigurationData, frustum) == 16 + KZ_PATH_SIZE &&
                  offsetof(kzConfigurationData, warpmap) == 16 + 3 * KZ_PATH_SIZE &&
                  offsetof(kzConfigurationData, directionalShading) == 16 + 7 * KZ_PATH_SIZE &&
                  sizeof(kzConfigurationData) == 16 + 8 * KZ_PATH_SIZE,
              "kzConfigurationData field order");
static_assert(sizeof(kzChannelFile) == 4, "32-bit enumeration");
static_assert(offsetof(kzChannelInfo, setUp) == 20 && offsetof(kzChannelInfo, invalidPoints) == 32 &&
                  offsetof(kzChannelInfo, camera) == 40 && offsetof(kzChannelInfo, paths) == 116 &&
                  offsetof(kzChannelInfo, regionId) == 116 + KZ_CHANNEL_FILE_COUNT * KZ_PATH_SIZE &&
                  sizeof(kzChannelInfo) == 116 + (KZ_CHANNEL_FILE_COUNT + 1) * KZ_PATH_SIZE,
              "kzChannelInfo field order");
