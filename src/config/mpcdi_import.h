// An MPCDI calibration turned into this library's own configuration: a
// display.xml and the calibration files it names, written into a folder.
// Warp maps and masks are copied from the source as they are (PFM and PNG);
// frusta become camera files, and an a3 region's screen points a screen
// shape with a target rectangle fitted to them. Loading an MPCDI file and
// `dovav import` are both this conversion.
#pragma once

#include <string>

#include "kzLib/types.h"

namespace mpcdi {

constexpr const char kNativeConfiguration[] = "display.xml";

// Converts `source` (a .mpcdi archive or an mpcdi.xml) into `folder`, which
// must exist. KZ_ERROR_FILE if the source cannot be read or the folder not
// written; KZ_ERROR_INVALID_DATA with the reason in `problem` for anything
// in the source that is malformed, unsafe or not supported.
kzResult convertToNative(const char* source, const std::string& folder, std::string& problem);

}  // namespace mpcdi

struct kzContextHeader;

// True if the file is a ZIP archive or an <MPCDI> document.
bool kzIsMpcdiSource(const char* path);

// Converts the MPCDI source into a scratch folder the context owns and loads
// the result as kzLoadConfigurationFromFile loads a native configuration.
kzResult kzLoadMpcdiConfiguration(kzContextHeader* header, const char* path);

// Removes the owned folders that no channel of the table names any more.
void kzReleaseUnusedFolders(kzContextHeader& header);
