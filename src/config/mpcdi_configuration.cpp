// kzLoadConfigurationFromFile for MPCDI sources: the calibration is
// converted into native files in a scratch folder made for this load, which
// the context owns, and that native configuration is loaded.

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "config/mpcdi_import.h"
#include "config/mpcdi_source.h"
#include "core/context_header.h"
#include "core/error_text.h"
#include "core/messages.h"
#include "kzLib/configuration.h"

bool kzIsMpcdiSource(const char* path)
{
    return mpcdi::isArchiveFile(path) || mpcdi::isDocumentFile(path);
}

void kzReleaseUnusedFolders(kzContextHeader& header)
{
    auto named = [&](const kzOwnedFolder& folder) {
        for (const auto& [channel, record] : header.configurations) {
            for (const char* path : {record.warpmap, record.frustum, record.shape, record.target,
                                     record.blending, record.secondaryBlending, record.blacklevel,
                                     record.directionalShading}) {
                if (std::strncmp(path, folder.path().c_str(), folder.path().size()) == 0)
                    return true;
            }
        }
        return false;
    };
    auto& folders = header.ownedFolders;
    for (auto it = folders.begin(); it != folders.end();)
        it = named(**it) ? it + 1 : folders.erase(it);
}

kzResult kzLoadMpcdiConfiguration(kzContextHeader* header, const char* path)
{
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    std::string pattern = (error ? std::filesystem::path("/tmp") : temporary).string() + "/kzLib-mpcdi-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        kzSetErrorText(header, kzErrorLimitOpenGL, "No scratch folder for converting %s", path);
        return KZ_ERROR_FILE;
    }
    auto folder = std::make_unique<kzOwnedFolder>(pattern + "/");
    std::string problem;
    const kzResult converted = mpcdi::convertToNative(path, folder->path(), problem);
    if (converted != KZ_OK) {
        if (problem.empty()) {
            kzSetErrorText(header, kzErrorLimitOpenGL, "File %s not found", path);
        } else {
            kzSetErrorText(header, kzErrorLimitOpenGL, "MPCDI %s: %s", path, problem.c_str());
            kzLogMessage(KZ_MESSAGE_ERROR, "MPCDI %s: %s", path, problem.c_str());
        }
        return converted;
    }
    const std::string native = folder->path() + mpcdi::kNativeConfiguration;
    const kzResult loaded = kzLoadConfigurationFromFile(header, native.c_str());
    if (loaded == KZ_OK)
        header->ownedFolders.push_back(std::move(folder));
    return loaded;
}
