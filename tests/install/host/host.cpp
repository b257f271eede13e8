// A minimal host: includes the one public header, asks for the version,
// uses an exported math class beside a geometry entry point, and fills and
// releases a mesh record the library allocated, and asks for an OpenGL
// context and a Vulkan context without having either.
#include <cstdio>

#include <kzLib.h>
#include <kzLib/vulkan.h>

int main()
{
    int major = 0, minor = 0, patch = 0, build = 0;
    if (kzGetVersion(&major, &minor, &patch, &build) != KZ_OK || major != 6)
        return 1;

    kzCamera camera{};
    camera.fovY = 1.0f;
    camera.aspect = 1.5f;
    camera.nearClip = 0.5f;
    camera.farClip = 100.0f;
    kzMatrix4x4 projection{};
    if (kzGetProjectionMatrix(&projection, camera) != KZ_OK)
        return 1;
    kzMatrix4x4_p matrix;
    for (int i = 0; i < 16; ++i) matrix.m[i] = projection.m[i];
    double fovy = 0, aspect = 0, zNear = 0, zFar = 0;
    if (!matrix.getPerspective(fovy, aspect, zNear, zFar) || aspect < 1.49 || aspect > 1.51)
        return 1;

    {
        kzMesh quad;
        if (kzCreateQuad(&quad, false, false, 2.0f, 1.0f) != KZ_OK || quad.vertices[3].x != 2.0f ||
            kzSaveObj("/dev/null", &quad) != KZ_OK)
            return 1;
    }  // the record frees its arrays here

    // The host has no OpenGL context current: creation must say so, not abort.
    kzContextOpenGL* context = nullptr;
    if (kzCreateContextOpenGL(&context, KZ_TEXTURE_TARGET_2D) != KZ_ERROR_NOT_SUPPORTED || context)
        return 1;

    // Nor has it loaded the Vulkan loader, which the library never loads itself.
    kzContextVulkan* vulkan = nullptr;
    if (kzCreateContextVulkan(&vulkan, VK_NULL_HANDLE, VK_NULL_HANDLE, VK_NULL_HANDLE, VK_NULL_HANDLE,
                              VK_FORMAT_B8G8R8A8_UNORM) != KZ_ERROR_VULKAN || vulkan)
        return 1;

    std::printf("kzLib %d.%d.%d.%d\n", major, minor, patch, build);
    return 0;
}
