// Runs a piece of work in a child process and measures how much memory it
// took at its peak: a memory figure checked this way cannot flake on a busy
// machine. The child's address space is capped as well, so a runaway
// allocation fails in the child instead of taking the machine's memory.
#pragma once

#include <cstddef>
#include <functional>

namespace dovav::test {

struct ChildOutcome {
    bool exited = false;  // false: killed by a signal (an abort on a failed allocation, say)
    int status = -1;      // work's return value, when it exited
    double seconds = 0.0;
    size_t peakBytes = 0;  // resident memory at the peak, above what the child started with
};

// The address space may grow by at most `capBytes`. In sanitizer builds,
// whose shadow memory reserves far more address space than any cap and
// inflates resident memory, the cap is left off and peakBytes is 0.
ChildOutcome runInMeasuredChild(size_t capBytes, const std::function<int()>& work);

// Whether runInMeasuredChild caps and measures in this build.
bool childMemoryIsMeasured();

}  // namespace dovav::test
