#include "core/context_header.h"
#include "kzLib/calibration.h"
#include "kzLib/geometry.h"

kzResult kzGetCamera(void* context, unsigned channel, kzCamera* camera)
{
    auto* header = static_cast<kzContextHeader*>(context);
    if (!header)
        return KZ_ERROR_INVALID_CONTEXT;
    if (!camera)
        return KZ_ERROR_INVALID_ARGUMENT;
    if (!kzIsKnownContextKind(header->kind))
        return KZ_ERROR_INVALID_CONTEXT;
    auto found = header->configurations.find(channel);
    if (found == header->configurations.end())
        return KZ_ERROR_INVALID_DATA;
    return kzLoadCameraFromFile(found->second.frustum, camera);
}
