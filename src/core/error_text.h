// Formatting messages into a context's error text.
#pragma once

#include <cstddef>

struct kzContextHeader;

// printf-style message into header->errorString, cut to `limit` bytes
// (terminator included, at most the size of the error text), and handed to
// the message callback as an error.
void kzSetErrorText(kzContextHeader* header, size_t limit, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
