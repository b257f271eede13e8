#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <unistd.h>

namespace fs = std::filesystem;

namespace dovav::test {

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "dovav-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary directory");
    // The library reports paths as given, so resolve /tmp symlinks up front.
    path_ = fs::canonical(pattern).string();
}

TempDir::~TempDir()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string& name, const std::string& contents) const
{
    const fs::path file = fs::path(path_) / name;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << contents;
    return file.string();
}

std::string TempDir::writeSparse(const std::string& name, const std::string& contents,
                                 size_t size) const
{
    const std::string file = write(name, contents);
    fs::resize_file(file, size);
    return file;
}

ScopedWorkingDirectory::ScopedWorkingDirectory(const std::string& directory)
    : previous_(fs::current_path().string())
{
    fs::current_path(directory);
}

ScopedWorkingDirectory::~ScopedWorkingDirectory()
{
    std::error_code ignored;
    fs::current_path(previous_, ignored);
}

}  // namespace dovav::test
