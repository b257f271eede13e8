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

// Fills *info with what the context knows about the channel: type, gammas and every configured
// path by role (kzChannelInfo::paths, the warp map included); once the channel has been set up,
// its grid size, invalid-point count and camera; for imported calibrations, the region id.
// KZ_ERROR_INVALID_DATA for a channel the context has no configuration for; *info is written
// only on KZ_OK.
KZ_API kzResult kzGetChannelInfo(void* context, unsigned channel, kzChannelInfo* info);

// A context without a graphics back-end, for reading configurations and asking about channels
// (kzLoadConfigurationFromFile, kzGetChannels, kzGetChannelInfo, kzGetCamera, kzGetErrorString):
// no channel is ever set up on it. Needs no OpenGL or Vulkan. *context is written only on KZ_OK.
KZ_API kzResult kzCreateContextConfiguration(kzContextConfiguration** context);

// Releases a context made by kzCreateContextConfiguration.
KZ_API kzResult kzDestroyContextConfiguration(kzContextConfiguration* context);

// Zero-fills the buffer and returns KZ_ERROR_NOT_SUPPORTED: the working directory is not reported.
KZ_API kzResult kzGetCurrentDirectory(char* buffer, size_t size);

// Absolute form of path (textual, no normalisation) into a zero-filled buffer; KZ_ERROR_INVALID_DATA if it does not fit.
KZ_API kzResult kzGetFullPath(const char* path, char* buffer, size_t size);

// Whether path has a root (begins with "/").
KZ_API kzResult kzIsPathRooted(const char* path, bool* rooted);

// Absolute directory of path with its trailing separator; KZ_ERROR_INVALID_DATA if it does not fit.
KZ_API kzResult kzGetDirectoryName(const char* path, char* buffer, size_t size);
