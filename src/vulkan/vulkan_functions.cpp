#include "vulkan/vulkan_functions.h"

#include <atomic>
#include <mutex>

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

// Set, with release order, once every command is in the table; from then on
// the table is only read. Until then only the thread holding `resolving`
// writes it, and no context exists that could read it.
std::atomic<bool> tableComplete{false};
std::mutex resolving;

}  // namespace

bool initVK()
{
    if (tableComplete.load(std::memory_order_acquire))
        return true;
    std::lock_guard<std::mutex> lock(resolving);
    if (tableComplete.load(std::memory_order_relaxed))
        return true;
    // RTLD_NOLOAD: only a loader the host already has in the process is used.
    // Once the table is complete its reference is kept for the life of the
    // process, so the resolved commands stay valid.
    void* loader = dlopen("libvulkan.so.1", RTLD_NOW | RTLD_NOLOAD);
    if (!loader)
        return false;
    int resolved = 0;
#define KZ_RESOLVE_VULKAN_COMMAND(name) resolved += resolve(loader, #name, kz_vk_defs::name);
    KZ_VULKAN_COMMANDS(KZ_RESOLVE_VULKAN_COMMAND)
#undef KZ_RESOLVE_VULKAN_COMMAND
    if (resolved != kzVulkanCommandCount) {
        dlclose(loader);
        return false;
    }
    tableComplete.store(true, std::memory_order_release);
    return true;
}
