#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/context_header.h"
#include "kzLib/core.h"

namespace {

// Bytes kzGetErrorMessageString may write, terminator included.
constexpr size_t kMessageLimit = 260;

// strerror_r comes in a GNU flavour (returns the text) and a POSIX one
// (returns a status and fills the buffer); accept either.
[[maybe_unused]] const char* messageFrom(const char* text, const char*) { return text; }
[[maybe_unused]] const char* messageFrom(int status, const char* buffer)
{
    return status == 0 ? buffer : "Unknown error";
}

}  // namespace

KZ_API const char* kzGetResultName(kzResult result)
{
    switch (result) {
    case KZ_OK: return "KZ_OK";
    case KZ_ERROR_INVALID_ARGUMENT: return "KZ_ERROR_INVALID_ARGUMENT";
    case KZ_ERROR_INVALID_DATA: return "KZ_ERROR_INVALID_DATA";
    case KZ_ERROR_FILE: return "KZ_ERROR_FILE";
    case KZ_ERROR_NOT_SUPPORTED: return "KZ_ERROR_NOT_SUPPORTED";
    case KZ_ERROR_OPENGL: return "KZ_ERROR_OPENGL";
    case KZ_ERROR_INVALID_CONTEXT: return "KZ_ERROR_INVALID_CONTEXT";
    case KZ_ERROR_VULKAN: return "KZ_ERROR_VULKAN";
    }
    return "KZ_UNKNOWN_RESULT";
}

KZ_API kzResult kzGetErrorString(void* context, char* buffer, size_t size)
{
    if (!context || !buffer)
        return KZ_ERROR_INVALID_ARGUMENT;
    const auto* header = static_cast<const kzContextHeader*>(context);
    const size_t length = strnlen(header->errorString, sizeof header->errorString);
    // strncpy semantics: the caller gets min(size, length) characters, no terminator.
    std::memcpy(buffer, header->errorString, std::min(size, length));
    return KZ_OK;
}

KZ_API kzResult kzGetErrorMessageString(int code, char* buffer)
{
    if (!buffer)
        return KZ_ERROR_INVALID_ARGUMENT;
    char scratch[kMessageLimit] = {};
    const char* text = messageFrom(strerror_r(code, scratch, sizeof scratch), scratch);
    std::snprintf(buffer, kMessageLimit, "%s", text);
    return KZ_OK;
}
