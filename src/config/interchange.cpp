#include "kzLib/interchange.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "config/mpcdi_export.h"
#include "config/mpcdi_import.h"

namespace {

kzResult report(kzResult result, const std::string& problem, char* message, size_t size)
{
    if (message && size > 0)
        std::snprintf(message, size, "%s", result == KZ_OK ? "" : problem.c_str());
    return result;
}

}  // namespace

KZ_API kzResult kzImportMpcdi(const char* source, const char* directory, char* message, size_t size)
{
    if (!source || !directory)
        return report(KZ_ERROR_INVALID_ARGUMENT, "no source or folder given", message, size);
    std::string problem;
    try {
        std::string folder = directory;
        if (folder.empty() || folder.back() != '/')
            folder += '/';
        kzResult result = mpcdi::convertToNative(source, folder, problem);
        if (result == KZ_ERROR_FILE && problem.empty())
            problem = std::string(source) + " cannot be read";
        return report(result, problem, message, size);
    } catch (const std::bad_alloc&) {
        return report(KZ_ERROR_INVALID_DATA, "out of memory", message, size);
    }
}

KZ_API kzResult kzExportMpcdi(const char* configuration, const char* destination, const char* profile,
                              char* message, size_t size)
{
    if (!configuration || !destination)
        return report(KZ_ERROR_INVALID_ARGUMENT, "no configuration or destination given", message, size);
    mpcdi::ExportProfile chosen = mpcdi::ExportProfile::Automatic;
    if (profile && std::strcmp(profile, "2d") == 0)
        chosen = mpcdi::ExportProfile::TwoD;
    else if (profile && std::strcmp(profile, "3d") == 0)
        chosen = mpcdi::ExportProfile::ThreeD;
    else if (profile)
        return report(KZ_ERROR_INVALID_ARGUMENT, "profile is 2d or 3d", message, size);
    std::string problem;
    try {
        return report(mpcdi::exportConfiguration(configuration, destination, chosen, problem), problem, message,
                      size);
    } catch (const std::bad_alloc&) {
        return report(KZ_ERROR_INVALID_DATA, "out of memory", message, size);
    }
}
