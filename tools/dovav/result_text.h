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

// "KZ_ERROR_FILE (3)"
inline std::string describeResult(kzResult result)
{
    return std::string(kzGetResultName(result)) + " (" + std::to_string(int(result)) + ")";
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
