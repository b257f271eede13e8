// Diagnostic messages: every message the library writes (loaders' reasons,
// set-up failures, warnings) goes through kzLogMessage or kzPrintMessage,
// which hand it to the host's message callback when one is set.
#pragma once

#include "kzLib/types.h"

// Formats a message and hands it to the message callback; without a callback
// the message is dropped. Safe to call from any thread.
void kzLogMessage(kzMessageSeverity severity, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// The same, but without a callback the message is printed to standard
// output as one line: for the messages the library has always printed.
void kzPrintMessage(kzMessageSeverity severity, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
