// Scratch folders a context owns, such as the native files an imported
// calibration was converted into: each is removed, with everything in it,
// once no channel of the context names a file in it, and at the latest when
// the context is destroyed.
#pragma once

#include <memory>
#include <string>
#include <vector>

class kzOwnedFolder {
public:
    // `path` ends with a separator.
    explicit kzOwnedFolder(std::string path) : path_(std::move(path)) {}
    ~kzOwnedFolder();
    kzOwnedFolder(const kzOwnedFolder&) = delete;
    kzOwnedFolder& operator=(const kzOwnedFolder&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

using kzOwnedFolders = std::vector<std::unique_ptr<kzOwnedFolder>>;
