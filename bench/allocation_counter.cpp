#include "allocation_counter.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
}

namespace {

using dovav::bench::detail::countingAllocations;
using dovav::bench::detail::recordingCallers;

constexpr size_t kMaxCallers = 4096;

struct Counts {
    uint64_t news = 0;
    uint64_t mallocs = 0;
    // Return addresses of the calls while callers are recorded.
    const void* newCallers[kMaxCallers];
    const void* mallocCallers[kMaxCallers];
    size_t newCallerCount = 0;
    size_t mallocCallerCount = 0;
};

Counts counts;

inline void countMalloc(const void* caller)
{
    if (!countingAllocations)
        return;
    ++counts.mallocs;
    if (recordingCallers && counts.mallocCallerCount < kMaxCallers)
        counts.mallocCallers[counts.mallocCallerCount++] = caller;
}

inline void countNew(const void* caller)
{
    if (!countingAllocations)
        return;
    ++counts.news;
    if (recordingCallers && counts.newCallerCount < kMaxCallers)
        counts.newCallers[counts.newCallerCount++] = caller;
}

void* allocate(size_t size, const void* caller)
{
    countNew(caller);
    if (void* pointer = __libc_malloc(size ? size : 1))
        return pointer;
    throw std::bad_alloc();
}

void* allocateAligned(size_t size, std::align_val_t alignment, const void* caller)
{
    countNew(caller);
    void* pointer = nullptr;
    if (posix_memalign(&pointer, std::max(size_t(alignment), sizeof(void*)), size ? size : 1) != 0)
        throw std::bad_alloc();
    return pointer;
}

}  // namespace

extern "C" {
void* malloc(size_t size) noexcept
{
    countMalloc(__builtin_return_address(0));
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) noexcept
{
    countMalloc(__builtin_return_address(0));
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, size_t size) noexcept
{
    countMalloc(__builtin_return_address(0));
    return __libc_realloc(pointer, size);
}
}

// operator new takes its memory from glibc directly, so a new is not counted
// as a malloc as well.
void* operator new(size_t size)
{
    return allocate(size, __builtin_return_address(0));
}
void* operator new[](size_t size)
{
    return allocate(size, __builtin_return_address(0));
}
void* operator new(size_t size, std::align_val_t alignment)
{
    return allocateAligned(size, alignment, __builtin_return_address(0));
}
void* operator new[](size_t size, std::align_val_t alignment)
{
    return allocateAligned(size, alignment, __builtin_return_address(0));
}
void operator delete(void* pointer) noexcept
{
    std::free(pointer);
}
void operator delete[](void* pointer) noexcept
{
    std::free(pointer);
}
void operator delete(void* pointer, size_t) noexcept
{
    std::free(pointer);
}
void operator delete[](void* pointer, size_t) noexcept
{
    std::free(pointer);
}
void operator delete(void* pointer, std::align_val_t) noexcept
{
    std::free(pointer);
}
void operator delete[](void* pointer, std::align_val_t) noexcept
{
    std::free(pointer);
}
void operator delete(void* pointer, size_t, std::align_val_t) noexcept
{
    std::free(pointer);
}
void operator delete[](void* pointer, size_t, std::align_val_t) noexcept
{
    std::free(pointer);
}

namespace dovav::bench {

void resetAllocationCounts()
{
    counts.news = 0;
    counts.mallocs = 0;
    counts.newCallerCount = 0;
    counts.mallocCallerCount = 0;
}

AllocationCounts allocationCounts()
{
    return AllocationCounts{counts.news, counts.mallocs};
}

std::string moduleOf(const void* address)
{
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fname)
        return "?";
    const char* slash = std::strrchr(info.dli_fname, '/');
    return slash ? slash + 1 : info.dli_fname;
}

void printCallersByModule(const char* indent, const char* perWhat, int calls)
{
    auto print = [&](const char* what, const void* const* callers, size_t count) {
        std::map<std::string, int> byModule;
        for (size_t i = 0; i < count; ++i)
            ++byModule[moduleOf(callers[i])];
        std::printf("%s%s per %s by calling module:", indent, what, perWhat);
        if (byModule.empty())
            std::printf(" none");
        for (const auto& [module, n] : byModule)
            std::printf(" %s %.2f", module.c_str(), double(n) / calls);
        std::printf("\n");
    };
    print("operator new", counts.newCallers, counts.newCallerCount);
    print("malloc/calloc/realloc", counts.mallocCallers, counts.mallocCallerCount);
}

}  // namespace dovav::bench
