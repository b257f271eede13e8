#include "core/messages.h"

#include <cstdarg>
#include <cstdio>

void kzLogMessage(kzMessageSeverity severity, const char* format, ...)
{
    (void)severity;
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    // No callback can be registered yet: the message is dropped.
}
