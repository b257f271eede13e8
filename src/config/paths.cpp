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

// Textual absolute form: rooted paths as they are, others appended to the
// working directory. No normalisation, no symbolic link resolution.
kzResult absolutePath(const char* path, fs::path& result)
{
    if (path[0] == '\0')
        return KZ_ERROR_INVALID_ARGUMENT;  // an empty path has no absolute form
    std::error_code error;
    result = fs::absolute(fs::path(path), error);
    return error ? KZ_ERROR_INVALID_DATA : KZ_OK;
}

// Copies text into the zero-filled buffer if it fits with its terminator.
kzResult copyIfFits(const std::string& text, char* buffer, size_t size)
{
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
    fs::path full;
    if (kzResult result = absolutePath(path, full); result != KZ_OK)
        return result;
    return copyIfFits(full.native(), buffer, size);
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
    fs::path full;
    if (kzResult result = absolutePath(path, full); result != KZ_OK)
        return result;
    // Drops the file name but keeps the separator before it: /a/b.xml -> /a/.
    return copyIfFits(full.remove_filename().native(), buffer, size);
}
