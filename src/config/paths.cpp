#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "kzLib/configuration.h"

namespace fs = std::filesystem;

namespace {

// Zero-fills the caller's buffer; false if it is null but has a size.
bool clearBuffer(char* buffer, size_t size)
{
    if (!buffer)
        return size == 0;
    std::memset(buffer, 0, size);
    return true;
}

// Writes the textual absolute form of `path` (rooted paths as they are,
// others appended to the working directory; no normalisation, no symbolic
// link resolution), or its directory with the trailing separator, into the
// buffer, which the caller has zero-filled. A result that does not fit with
// its terminator leaves the buffer as it is.
kzResult writeAbsolute(const char* path, char* buffer, size_t size, bool directoryOnly)
{
    if (path[0] == '\0')
        return KZ_ERROR_INVALID_ARGUMENT;  // an empty path has no absolute form
    std::error_code error;
    fs::path full = fs::absolute(fs::path(path), error);
    if (error)
        return KZ_ERROR_INVALID_DATA;
    if (directoryOnly)
        full.remove_filename();  // /a/b.xml -> /a/
    const std::string& text = full.native();
    if (text.size() >= size)
        return KZ_ERROR_INVALID_DATA;
    std::memcpy(buffer, text.data(), text.size());
    return KZ_OK;
}

}  // namespace

KZ_API kzResult kzGetCurrentDirectory(char* buffer, size_t size)
{
    if (!clearBuffer(buffer, size))
        return KZ_ERROR_INVALID_ARGUMENT;
    return KZ_ERROR_NOT_SUPPORTED;
}

KZ_API kzResult kzGetFullPath(const char* path, char* buffer, size_t size)
{
    if (!clearBuffer(buffer, size) || !path)
        return KZ_ERROR_INVALID_ARGUMENT;
    return writeAbsolute(path, buffer, size, false);
}

KZ_API kzResult kzIsPathRooted(const char* path, bool* rooted)
{
    if (!path || !rooted)
        return KZ_ERROR_INVALID_ARGUMENT;
    *rooted = fs::path(path).has_root_path();
    return KZ_OK;
}

KZ_API kzResult kzGetDirectoryName(const char* path, char* buffer, size_t size)
{
    if (!clearBuffer(buffer, size) || !path)
        return KZ_ERROR_INVALID_ARGUMENT;
    return writeAbsolute(path, buffer, size, true);
}
