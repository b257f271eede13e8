// Exported OpenGL entry points. Each forwards to its internal twin; the ones
// that allocate turn an exception into a result code instead of letting it
// cross the library's boundary.
#include <exception>
#include <new>

#include "core/error_text.h"
#include "kzLib/configuration.h"
#include "kzLib/opengl.h"
#include "opengl/opengl_records.h"

namespace {

template <typename Call>
kzResult guarded(kzContextOpenGL* context, Call call)
{
    try {
        return call();
    } catch (const std::bad_alloc&) {
        if (context)
            kzSetErrorText(context, kzErrorLimitOpenGL, "Out of memory");
        return KZ_ERROR_OPENGL;
    } catch (const std::exception& error) {
        if (context)
            kzSetErrorText(context, kzErrorLimitOpenGL, "%s", error.what());
        return KZ_ERROR_OPENGL;
    }
}

}  // namespace

KZ_API kzResult kzCreateContextOpenGL(kzContextOpenGL** context, kzTextureTarget target)
{
    if (!context)
        return KZ_ERROR_INVALID_ARGUMENT;
    kzContextOpenGL* created = nullptr;
    const kzResult result = guarded(nullptr, [&] { return kzCreateContext_OpenGL(&created, target); });
    if (result == KZ_OK)
        *context = created;
    return result;
}

KZ_API kzResult kzDestroyContextOpenGL(kzContextOpenGL* context)
{
    return kzDestroyContext_OpenGL(context);
}

KZ_API kzResult kzLoadConfigurationFromFileOpenGL(kzContextOpenGL* context, const char* path)
{
    return kzLoadConfigurationFromFile(context, path);
}

KZ_API kzResult kzSetClippingPlanesOpenGL(kzContextOpenGL* context, float nearClip, float farClip)
{
    return kzSetClippingPlanes_OpenGL(context, nearClip, farClip);
}

KZ_API kzResult kzSetCorrectionPassOpenGL(kzContextOpenGL* context, kzCorrectionPassType pass, bool enable)
{
    return kzSetCorrectionPass_OpenGL(context, pass, enable);
}

KZ_API kzResult kzSetCorrectionPassOpenGL_1(kzContextOpenGL* context, kzCorrectionPassType pass, float value)
{
    return kzSetCorrectionPass_OpenGL_1(context, pass, value);
}

KZ_API kzResult kzSetFlipWarpmeshVerticesYOpenGL(kzContextOpenGL* context, bool flip)
{
    return kzSetFlipWarpmeshVerticesY_OpenGL(context, flip);
}

KZ_API kzResult kzSetFlipWarpmeshTexcoordsVOpenGL(kzContextOpenGL* context, bool flip)
{
    return kzSetFlipWarpmeshTexcoordsV_OpenGL(context, flip);
}

KZ_API kzResult kzSetActiveChannelOpenGL(kzContextOpenGL* context, unsigned channel, unsigned width,
                                         unsigned height)
{
    return guarded(context,
                   [&] { return kzSetActiveChannel_OpenGL(context, channel, width, height); });
}

KZ_API kzResult kzPreDrawOpenGL(kzContextOpenGL* context, kzVec3f eye, kzVec3f* angles,
                                kzMatrix4x4* projection)
{
    return kzPreDraw_OpenGL(context, eye, angles, projection);
}

KZ_API kzResult kzPreDrawOpenGL_1(kzContextOpenGL* context, kzVec3f eye, kzCamera* camera)
{
    return kzPreDraw_OpenGL_1(context, eye, camera);
}

KZ_API kzResult kzPostDrawOpenGL(kzContextOpenGL* context, unsigned texture)
{
    return kzPostDraw_OpenGL(context, texture);
}

KZ_API kzResult kzSetCorrectionMethodOpenGL(kzContextOpenGL* context, kzCorrectionMethod method)
{
    return guarded(context, [&] { return kzSetCorrectionMethod_OpenGL(context, method); });
}
