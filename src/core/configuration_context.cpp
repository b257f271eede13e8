// The context without a graphics back-end: a bare header.

#include <new>

#include "core/context_header.h"
#include "kzLib/configuration.h"

struct kzContextConfiguration : kzContextHeader {
    kzContextConfiguration() : kzContextHeader(KZ_CONTEXT_CONFIGURATION) {}
};

KZ_API kzResult kzCreateContextConfiguration(kzContextConfiguration** context)
{
    if (!context)
        return KZ_ERROR_INVALID_ARGUMENT;
    auto* created = new (std::nothrow) kzContextConfiguration;
    if (!created)
        return KZ_ERROR_INVALID_DATA;
    *context = created;
    return KZ_OK;
}

KZ_API kzResult kzDestroyContextConfiguration(kzContextConfiguration* context)
{
    if (!context)
        return KZ_ERROR_INVALID_CONTEXT;
    if (context->kind != KZ_CONTEXT_CONFIGURATION)
        return KZ_ERROR_INVALID_CONTEXT;
    delete context;
    return KZ_OK;
}
