// Version, error text and small numeric helpers.
#pragma once

#include "kzLib/export.h"
#include "kzLib/types.h"

// Writes 6, 0, 0, 0 through whichever of the four pointers are not null.
KZ_API kzResult kzGetVersion(int* major, int* minor, int* patch, int* build);

// Copies min(size, 7) characters of "6.0.0.0" without a terminator; KZ_ERROR_INVALID_DATA if buffer is null.
KZ_API kzResult kzGetVersionString(char* buffer, size_t size);

// Copies min(size, length) characters of the context's last error message, without a terminator.
KZ_API kzResult kzGetErrorString(void* context, char* buffer, size_t size);

// Writes the system's message for `code` taken as an error number: at most 260 bytes, NUL included.
KZ_API kzResult kzGetErrorMessageString(int code, char* buffer);

// lower if lower > value, upper if upper < value, else value (a NaN value passes through).
KZ_API float kzClamp(float value, float lower, float upper);

// Upper bound: upper if upper < value, else value.
KZ_API float kzMax(float value, float upper);

// Lower bound: lower if lower > value, else value.
KZ_API float kzMin(float value, float lower);

// Writes a text snapshot of an OpenGL context (version, header, channel table, built channels) to path.
KZ_API kzResult kzDumpContext(void* context, const char* path);
