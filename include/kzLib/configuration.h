// Configuration file, channel table and path helpers.
#pragma once

#include "kzLib/export.h"
#include "kzLib/types.h"

// Reads an XML configuration (root <kzCorrection>) and merges its channels into the context's channel table.
KZ_API kzResult kzLoadConfigurationFromFile(void* context, const char* path);

// Channel numbers in ascending order: copies up to *count of them (none if channels is null) and sets *count to the total.
KZ_API kzResult kzGetChannels(void* context, unsigned* channels, size_t* count);

// A channel's configured paths (blacklevel, blending, frustum, shape, secondary blending, target,
// directional shading; never the warp map): copies up to *count into 260-byte buffers and sets *count to the total.
KZ_API kzResult kzGetConfigurationFileNames(void* context, unsigned channel, char** names, size_t* count);

// Zero-fills the buffer and returns KZ_ERROR_NOT_SUPPORTED: the working directory is not reported.
KZ_API kzResult kzGetCurrentDirectory(char* buffer, size_t size);

// Absolute form of path (textual, no normalisation) into a zero-filled buffer; KZ_ERROR_INVALID_DATA if it does not fit.
KZ_API kzResult kzGetFullPath(const char* path, char* buffer, size_t size);

// Whether path has a root (begins with "/").
KZ_API kzResult kzIsPathRooted(const char* path, bool* rooted);

// Absolute directory of path with its trailing separator; KZ_ERROR_INVALID_DATA if it does not fit.
KZ_API kzResult kzGetDirectoryName(const char* path, char* buffer, size_t size);
