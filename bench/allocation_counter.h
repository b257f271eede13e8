// Counts the calls of the global operator new and of malloc, calloc and
// realloc made on one thread while counting is on, and can keep their return
// addresses to tell which module (executable or shared object) made them.
//
// allocation_counter.cpp replaces those functions (and operator delete) with
// ones that count and forward to glibc. The replacements take effect only from
// an object file linked into the executable: the linker exports them because
// libc and libstdc++ refer to them, and the executable comes first in the
// symbol lookup of every shared object, so libstdc++, the drivers and libc
// itself all reach them. A static library member would be linked only if
// something else pulled it in, so each benchmark takes the object file as is,
// through an object library.
#pragma once

#include <cstdint>
#include <string>

namespace dovav::bench {

namespace detail {
// Inline variables, so that turning counting on and off inside a timed loop
// is a plain thread-local store in the caller.
inline thread_local bool countingAllocations = false;
inline thread_local bool recordingCallers = false;
}  // namespace detail

struct AllocationCounts {
    uint64_t news = 0;
    uint64_t mallocs = 0;  // malloc, calloc and realloc
};

enum class KeepCallers : bool { no, yes };

// Counts the calling thread's allocations until stopCountingAllocations(),
// and with KeepCallers::yes also where the first few thousand came from.
inline void startCountingAllocations(KeepCallers keepCallers = KeepCallers::no)
{
    detail::recordingCallers = keepCallers == KeepCallers::yes;
    detail::countingAllocations = true;
}

inline void stopCountingAllocations()
{
    detail::countingAllocations = false;
    detail::recordingCallers = false;
}

// Forgets the counts and the recorded callers.
void resetAllocationCounts();

// The counts since the last reset.
AllocationCounts allocationCounts();

// Module (shared object or executable) that holds `address`, by file name.
std::string moduleOf(const void* address);

// Prints the recorded callers, one line for operator new and one for malloc,
// calloc and realloc, as the number of calls from each module divided by
// `calls`: "<indent>operator new per <perWhat> by calling module: <module>
// <calls>...", or "none" when nothing was recorded.
void printCallersByModule(const char* indent, const char* perWhat, int calls);

}  // namespace dovav::bench
