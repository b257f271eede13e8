// Stand-ins for single commands of the library's Vulkan table, to make a
// Vulkan call fail (or watch it) for the lifetime of a guard object.
#pragma once

#include <functional>
#include <type_traits>

#include "vulkan/vulkan_functions.h"

namespace dovav::test {

// Puts a stand-in for one command of the library's table while alive. Calls
// for which `fails` returns true get VK_ERROR_OUT_OF_DEVICE_MEMORY without
// reaching the driver; commands without a result are only watched. The table
// is filled by the first context created in the process, so a hook goes in
// after a context exists.
template <auto* Slot, typename Pointer = std::remove_pointer_t<decltype(Slot)>>
struct Hook;

template <auto* Slot, typename Result, typename... Args>
struct Hook<Slot, Result(VKAPI_PTR*)(Args...)> {
    static inline Result(VKAPI_PTR* real)(Args...) = nullptr;
    static inline std::function<bool(Args...)> fails;
    static Result VKAPI_CALL call(Args... args)
    {
        if constexpr (std::is_void_v<Result>) {
            fails(args...);
            return real(args...);
        } else {
            return fails(args...) ? VK_ERROR_OUT_OF_DEVICE_MEMORY : real(args...);
        }
    }
};

template <auto* Slot>
class CommandHook {
public:
    template <typename Fails>
    explicit CommandHook(Fails fails) : saved_(*Slot)
    {
        Hook<Slot>::real = saved_;
        Hook<Slot>::fails = fails;
        *Slot = &Hook<Slot>::call;
    }
    ~CommandHook() { *Slot = saved_; }
    CommandHook(const CommandHook&) = delete;
    CommandHook& operator=(const CommandHook&) = delete;

private:
    std::remove_pointer_t<decltype(Slot)> saved_;
};

}  // namespace dovav::test
