// Scratch folders a context owns, such as the native files an imported
// calibration was converted into: each is removed, with everything in it,
// once no channel of the context names a file in it, and at the latest when
// the context is destroyed.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

class kzOwnedFolder {
public:
    // `path` ends with a separator.
    explicit kzOwnedFolder(std::string path) : path_(std::move(path)) {}
    ~kzOwnedFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    kzOwnedFolder(const kzOwnedFolder&) = delete;
    kzOwnedFolder& operator=(const kzOwnedFolder&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

using kzOwnedFolders = std::vector<std::unique_ptr<kzOwnedFolder>>;
