#include "core/messages.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <shared_mutex>

#include "kzLib/core.h"

namespace {

// Longest message handed over, terminator included; longer ones are cut.
constexpr size_t kMessageSize = 1024;

struct Callback {
    kzMessageCallback function = nullptr;
    void* userData = nullptr;
};

// Deliveries hold the lock shared, so a callback is never replaced while it
// runs: once kzSetMessageCallback returns, the old one is neither running nor
// called again.
std::shared_mutex callbackLock;
Callback callback;

// Whether the calling thread is inside the callback. Messages the callback
// itself causes (by calling the library) are dropped: delivering them would
// call it again, without end if it calls the library every time.
thread_local bool insideCallback = false;

void deliver(kzMessageSeverity severity, bool printWithoutCallback, const char* format,
             va_list arguments)
{
    if (insideCallback)
        return;
    char text[kMessageSize];
    std::vsnprintf(text, sizeof text, format, arguments);
    std::shared_lock<std::shared_mutex> lock(callbackLock);
    if (callback.function) {
        insideCallback = true;
        callback.function(severity, text, callback.userData);
        insideCallback = false;
    } else if (printWithoutCallback) {
        std::printf("%s\n", text);
    }
}

}  // namespace

void kzLogMessage(kzMessageSeverity severity, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    deliver(severity, false, format, arguments);
    va_end(arguments);
}

void kzPrintMessage(kzMessageSeverity severity, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    deliver(severity, true, format, arguments);
    va_end(arguments);
}

KZ_API kzResult kzSetMessageCallback(kzMessageCallback function, void* userData)
{
    // Replacing the callback from inside it would wait for itself.
    if (insideCallback)
        return KZ_ERROR_NOT_SUPPORTED;
    std::unique_lock<std::shared_mutex> lock(callbackLock);
    callback = Callback{function, userData};
    return KZ_OK;
}
