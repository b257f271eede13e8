#include "support/capped_child.h"

#include <chrono>
#include <cstdio>
#include <cstring>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace dovav::test {
namespace {

// A "Name: <n> kB" field of /proc/self/status in bytes, 0 if it cannot be read.
size_t statusBytes(const char* name)
{
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return 0;
    char line[256];
    size_t kilobytes = 0;
    const size_t length = std::strlen(name);
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, name, length) == 0 && line[length] == ':') {
            std::sscanf(line + length + 1, "%zu", &kilobytes);
            break;
        }
    }
    std::fclose(status);
    return kilobytes * 1024;
}

// Starts the peak resident size (VmHWM) afresh from the current one.
void resetResidentPeak()
{
    if (std::FILE* clear = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", clear);
        std::fclose(clear);
    }
}

}  // namespace

bool childMemoryIsMeasured()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    return false;
#else
    return true;
#endif
#else
    return true;
#endif
}

ChildOutcome runInMeasuredChild(size_t capBytes, const std::function<int()>& work)
{
    ChildOutcome outcome;
    int channel[2];
    if (pipe(channel) != 0)
        return outcome;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        size_t peak = 0;
        if (childMemoryIsMeasured()) {
            const rlim_t limit = statusBytes("VmSize") + capBytes;
            const rlimit cap{limit, limit};
            if (setrlimit(RLIMIT_AS, &cap) != 0)
                _exit(125);
            resetResidentPeak();
            const size_t before = statusBytes("VmRSS");
            const int status = work();
            const size_t high = statusBytes("VmHWM");
            peak = high > before ? high - before : 0;
            (void)!write(channel[1], &peak, sizeof peak);
            _exit(status);
        }
        const int status = work();
        (void)!write(channel[1], &peak, sizeof peak);
        _exit(status);
    }
    close(channel[1]);
    if (child < 0) {
        close(channel[0]);
        return outcome;
    }
    if (read(channel[0], &outcome.peakBytes, sizeof outcome.peakBytes) != sizeof outcome.peakBytes)
        outcome.peakBytes = 0;
    close(channel[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.exited = WIFEXITED(status);
    outcome.status = outcome.exited ? WEXITSTATUS(status) : -1;
    return outcome;
}

}  // namespace dovav::test
