#include "core/error_text.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "core/context_header.h"
#include "core/messages.h"

void kzSetErrorText(kzContextHeader* header, size_t limit, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(header->errorString, std::min(limit, sizeof header->errorString), format,
                   arguments);
    va_end(arguments);
    kzLogMessage(KZ_MESSAGE_ERROR, "%s", header->errorString);
}
