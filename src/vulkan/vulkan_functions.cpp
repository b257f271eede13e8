#include "vulkan/vulkan_functions.h"

#include <dlfcn.h>

namespace kz_vk_defs {

#define KZ_DEFINE_VULKAN_COMMAND(name) PFN_##name name = nullptr;
KZ_VULKAN_COMMANDS(KZ_DEFINE_VULKAN_COMMAND)
#undef KZ_DEFINE_VULKAN_COMMAND

}  // namespace kz_vk_defs

namespace {

template <typename Pointer>
bool resolve(void* loader, const char* name, Pointer& pointer)
{
    pointer = reinterpret_cast<Pointer>(dlsym(loader, name));
    return pointer != nullptr;
}

}  // namespace

bool initVK()
{
    // RTLD_NOLOAD: only a loader the host already has in the process is used.
    // One reference is kept for the life of the process, so the resolved
    // commands stay valid; later calls give theirs back.
    static void* held = nullptr;
    void* loader = dlopen("libvulkan.so.1", RTLD_NOW | RTLD_NOLOAD);
    if (!loader)
        return false;
    if (!held)
        held = loader;
    else
        dlclose(loader);
    loader = held;
    int resolved = 0;
#define KZ_RESOLVE_VULKAN_COMMAND(name) resolved += resolve(loader, #name, kz_vk_defs::name);
    KZ_VULKAN_COMMANDS(KZ_RESOLVE_VULKAN_COMMAND)
#undef KZ_RESOLVE_VULKAN_COMMAND
    return resolved == kzVulkanCommandCount;
}
