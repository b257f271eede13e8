#include "fuzz_input_file.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace dovav::fuzz {
namespace {

struct ScratchFile {
    std::string path;
    ~ScratchFile()
    {
        if (!path.empty())
            std::remove(path.c_str());
    }
};

ScratchFile scratch;

}  // namespace

const char* writeInputFile(const uint8_t* data, size_t size, const char* suffix)
{
    if (scratch.path.empty()) {
        scratch.path = (std::filesystem::temp_directory_path() /
                        ("dovav-fuzz-" + std::to_string(getpid()) + suffix))
                           .string();
    }
    FILE* file = std::fopen(scratch.path.c_str(), "wb");
    if (!file)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);
    return scratch.path.c_str();
}

}  // namespace dovav::fuzz
