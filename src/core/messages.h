// Diagnostic messages: every message the library writes (loaders' reasons,
// set-up failures, warnings) goes through kzLogMessage, which hands it to the
// host's callback when one is set.
#pragma once

#include "kzLib/types.h"

// Formats a message and hands it to the message callback; without a callback
// the message is dropped. Safe to call from any thread.
void kzLogMessage(kzMessageSeverity severity, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
