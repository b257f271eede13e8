// Wording of the library's result codes and of file access problems in the
// tool's messages.
#pragma once

#include <cerrno>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "kzLib.h"

namespace dovav {

inline const char* resultName(kzResult result)
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
    return "unknown result";
}

// "KZ_ERROR_FILE (3)"
inline std::string describeResult(kzResult result)
{
    return std::string(resultName(result)) + " (" + std::to_string(int(result)) + ")";
}

// The system's text for an error number, as the library words it.
inline std::string systemMessage(int error)
{
    char text[KZ_PATH_SIZE] = {};
    kzGetErrorMessageString(error, text);
    return text;
}

// Why the loaders cannot open `path` (they read regular files and pipes
// only); empty if it opens and is one of those. A pipe is opened without
// waiting for a writer.
inline std::string openProblem(const char* path)
{
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return systemMessage(errno);
    struct stat status;
    std::string problem;
    if (::fstat(fd, &status) != 0)
        problem = systemMessage(errno);
    else if (S_ISDIR(status.st_mode))
        problem = systemMessage(EISDIR);
    else if (!S_ISREG(status.st_mode) && !S_ISFIFO(status.st_mode))
        problem = "not a regular file";
    ::close(fd);
    return problem;
}

}  // namespace dovav
