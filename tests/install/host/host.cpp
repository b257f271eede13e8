// A minimal host: includes the public header and, explicitly, the Vulkan
// one; checks the version macros against the library and that it is compiled
// as C++17 (which the package asks for whatever the host set), uses an
// exported math class beside a geometry entry point, fills and releases a
// mesh record the library allocated, receives a loader's reason through the
// message callback, asks about a channel on a context without a back-end, and
// asks for an OpenGL context and a Vulkan context without having either.
#include <cstdio>
#include <cstring>
#include <string>

#include <stdlib.h>
#include <unistd.h>

#include <kzLib.h>
#include <kzLib/vulkan.h>

static_assert(__cplusplus >= 201703L, "the package makes hosts compile as C++17");
static_assert(KZ_VERSION_MAJOR == 6, "headers of major version 6");

int main()
{
    int major = 0, minor = 0, patch = 0, build = 0;
    if (kzGetVersion(&major, &minor, &patch, &build) != KZ_OK || major != KZ_VERSION_MAJOR ||
        minor != KZ_VERSION_MINOR || patch != KZ_VERSION_PATCH)
        return 1;
    if (std::strcmp(kzGetResultName(KZ_ERROR_FILE), "KZ_ERROR_FILE") != 0)
        return 1;

    std::string reason;
    kzSetMessageCallback([](kzMessageSeverity, const char* message,
                            void* userData) { *static_cast<std::string*>(userData) = message; },
                         &reason);
    char path[] = "/tmp/kzhost-target-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0 || write(fd, "header\n1;2;3\n", 13) != 13)
        return 1;
    close(fd);
    kzTargetRect rect{};
    const kzResult shortLine = kzLoadTargetRectFromFile(path, &rect);
    kzSetMessageCallback(nullptr, nullptr);
    unlink(path);
    if (shortLine != KZ_ERROR_INVALID_DATA || reason.find(path) == std::string::npos)
        return 1;

    kzContextConfiguration* configuration = nullptr;
    kzChannelInfo info{};
    if (kzCreateContextConfiguration(&configuration) != KZ_OK ||
        kzGetChannelInfo(configuration, 1, &info) != KZ_ERROR_INVALID_DATA ||
        kzDestroyContextConfiguration(configuration) != KZ_OK)
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
    // Both forms of channel set-up are callable; neither accepts a null context.
    const VkImageView views[1] = {VK_NULL_HANDLE};
    if (kzSetActiveChannelVulkan_1(nullptr, 1, views, 1, 8, 8) != KZ_ERROR_INVALID_ARGUMENT ||
        kzSetActiveChannelVulkan(nullptr, 1, {VK_NULL_HANDLE}, 8, 8) != KZ_ERROR_INVALID_ARGUMENT)
        return 1;

    std::printf("kzLib %d.%d.%d.%d\n", major, minor, patch, build);
    return 0;
}
