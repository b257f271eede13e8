// A scratch directory for one test, removed with everything in it afterwards.
#pragma once

#include <string>

namespace dovav::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Absolute path of the directory, without a trailing separator.
    const std::string& path() const { return path_; }

    // Writes `contents` to `name` (relative to the directory, parent folders
    // created) and returns the file's absolute path.
    std::string write(const std::string& name, const std::string& contents) const;

    // Writes `contents` and extends the file to `size` bytes with a hole of
    // zeros that takes no disk space; returns the file's absolute path.
    std::string writeSparse(const std::string& name, const std::string& contents, size_t size) const;

private:
    std::string path_;
};

// Makes `directory` the working directory for the lifetime of the object.
class ScopedWorkingDirectory {
public:
    explicit ScopedWorkingDirectory(const std::string& directory);
    ~ScopedWorkingDirectory();
    ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
    ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;

private:
    std::string previous_;
};

}  // namespace dovav::test
