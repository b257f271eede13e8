// Where an MPCDI calibration's files come from: a .mpcdi archive (ZIP) or
// the folder of a plain mpcdi.xml. Everything in it is untrusted: member
// paths are checked before use and never become file names here, and every
// byte read counts against a budget, whatever sizes the archive declares.
#pragma once

#include <cstdint>
#include <string>

#include "kzLib/types.h"

typedef struct zip zip_t;

namespace mpcdi {

constexpr uint64_t kMaxDocumentBytes = uint64_t(16) << 20;
constexpr uint64_t kMaxMemberBytes = uint64_t(512) << 20;  // a 4K x 4K float map with room to spare
constexpr uint64_t kMaxTotalBytes = uint64_t(1) << 30;
constexpr int64_t kMaxArchiveEntries = 4096;

// A relative path of plain components: not empty, no leading '/', no '\',
// no NUL, no "." or ".." component, no empty component.
bool isSafeMemberPath(const std::string& path);

// True if the file begins as a ZIP archive does.
bool isArchiveFile(const char* path);

// True if the file's first kilobytes open an <MPCDI> document element.
bool isDocumentFile(const char* path);

class Source {
public:
    Source() = default;
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;
    ~Source();

    // Opens an archive, or a plain document and the folder it lies in.
    // KZ_ERROR_FILE if it cannot be read, KZ_ERROR_INVALID_DATA (with the
    // reason in `problem`) if it is not an MPCDI source.
    kzResult open(const char* path, std::string& problem);

    // The XML document: mpcdi.xml in an archive (or its only top-level .xml
    // member), the file itself otherwise.
    bool readDocument(std::string& text, std::string& problem);

    // Copies the member at `name` (checked with isSafeMemberPath) to the file
    // `destination`, at most `limit` bytes of it and within the total budget.
    bool extract(const std::string& name, const std::string& destination, uint64_t limit,
                 std::string& problem);

private:
    bool readMember(int64_t index, const std::string& name, uint64_t limit, int outputFd, std::string* text,
                    std::string& problem);

    zip_t* archive_ = nullptr;
    std::string documentPath_;  // a plain document
    std::string folder_;        // its folder, with a trailing separator
    uint64_t total_ = 0;
};

}  // namespace mpcdi
