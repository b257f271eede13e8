// Version, result names, error text, messages and small numeric helpers.
#pragma once

#include "kzLib/export.h"
#include "kzLib/types.h"
#include "kzLib/version.h"

// Writes 6, 0, 0, 0 through whichever of the four pointers are not null.
KZ_API kzResult kzGetVersion(int* major, int* minor, int* patch, int* build);

// Copies min(size, 7) characters of "6.0.0.0" without a terminator; KZ_ERROR_INVALID_DATA if buffer is null.
KZ_API kzResult kzGetVersionString(char* buffer, size_t size);

// The enumerator's name of a result code ("KZ_OK", "KZ_ERROR_FILE", ...); "KZ_UNKNOWN_RESULT" for
// any other value. The text is static and never null.
KZ_API const char* kzGetResultName(kzResult result);

// Receives every message the library writes: loaders' detailed reasons (file, line, what was
// expected), every context error text as it is set, and OpenGL shader logs. `message` has no
// trailing line feed (a shader log may hold several lines), is at most 1023 bytes and is valid
// only during the call. Called on the thread that caused the message.
typedef void (*kzMessageCallback)(kzMessageSeverity severity, const char* message, void* userData);

// Sets the process-wide message callback (null removes it). With a callback set the library
// prints nothing; without one it prints only its shader and mask-loading failures to standard
// output and drops the other messages. Safe to call from any thread while others run: once it
// returns, the previous callback is neither running nor called again. The callback may call the
// library, but messages those calls write are not delivered (nor printed); kzSetMessageCallback
// called from inside the callback returns KZ_ERROR_NOT_SUPPORTED and changes nothing.
KZ_API kzResult kzSetMessageCallback(kzMessageCallback callback, void* userData);

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
