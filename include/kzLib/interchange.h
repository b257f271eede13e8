// Calibrations from and for other systems: MPCDI (VESA Multiple Projection
// Common Data Interchange) archives and documents converted to and from this
// library's native configuration folder. kzLoadConfigurationFromFile loads an
// MPCDI file directly; these entry points write the conversion out.
#pragma once

#include "kzLib/export.h"
#include "kzLib/types.h"

// Writes the MPCDI calibration `source` (a .mpcdi archive or an mpcdi.xml)
// into the existing folder `directory` as display.xml and the calibration
// files it names. On failure the reason goes into `message` (size bytes,
// terminated; may be null).
KZ_API kzResult kzImportMpcdi(const char* source, const char* directory, char* message, size_t size);

// Writes the native configuration `configuration` as the MPCDI archive
// `destination`. `profile` is "2d", "3d" or null (3d when every channel has a
// camera file). Only static channels can be written.
KZ_API kzResult kzExportMpcdi(const char* configuration, const char* destination, const char* profile,
                              char* message, size_t size);
