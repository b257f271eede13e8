// The header every context record begins with. Kind-independent entry points
// receive a context as void* and read it through this header; back-end
// records derive from it so that the header sits at the start of the record.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "core/owned_folder.h"
#include "kzLib/types.h"

// Capacity of the error text; messages are cut to a per-writer limit below it.
constexpr size_t kzErrorStringSize = 310;
// Limit (terminator included) for messages of the configuration loader and the OpenGL back-end.
constexpr size_t kzErrorLimitOpenGL = 260;
// Limit for messages of the Vulkan back-end.
constexpr size_t kzErrorLimitVulkan = 310;

using kzChannelTable = std::map<uint32_t, kzConfigurationData>;

// Where a channel's configuration came from and how to read its files, beside
// its kzConfigurationData. Native configurations leave every field at its default.
struct kzChannelOrigin {
    std::string regionId;  // imported calibrations: the region's id in the source file
    bool warpBottomRowFirst = false;  // a PFM warp map stores its bottom row first
};

// What a back-end's set-up of a channel built, in back-end-neutral terms,
// for the channel query.
struct kzChannelSummary {
    uint32_t gridWidth = 0;
    uint32_t gridHeight = 0;
    uint32_t invalidPoints = 0;  // grid points with a non-finite coordinate
};

struct kzContextHeader;
// The back-end's live camera of a channel it has set up, or null.
using kzChannelCameraLookup = const kzCamera* (*)(const kzContextHeader& header, uint32_t channel);

struct kzContextHeader {
    explicit kzContextHeader(int32_t contextKind) : kind(contextKind) {}

    int32_t kind;
    char errorString[kzErrorStringSize] = {};
    uint32_t activeChannel = 0;
    float nearClip = 0.5f;
    float farClip = 5000.0f;
    bool flipWarpmeshVerticesY = false;
    bool flipWarpmeshTexcoordsV = false;
    kzChannelTable configurations;
    std::map<uint32_t, kzChannelOrigin> origins;  // channels that have an origin to report
    kzOwnedFolders ownedFolders;  // converted calibrations the channel table still names
    std::map<uint32_t, kzChannelSummary> summaries;  // channels set up on this context
    kzChannelCameraLookup channelCamera = nullptr;   // set by back-ends that build cameras
};

// The size and invalid-point count of a channel's grid (warp map or screen shape).
kzChannelSummary kzSummariseGrid(const kzMesh& grid);

// Records the set-up of a channel with its grid's summary when the back-end
// kept the channel, else forgets it.
void kzNoteChannelSetUp(kzContextHeader& header, uint32_t channel, bool kept,
                        const kzChannelSummary& grid);

// True for the kinds that kind-independent entry points accept (0 to 4).
inline bool kzIsKnownContextKind(int32_t kind)
{
    return kind >= KZ_CONTEXT_D3D9 && kind <= KZ_CONTEXT_CONFIGURATION;
}

// The header of a context handed in as void*, or null if the pointer is null
// or the kind is not one this library knows.
inline kzContextHeader* kzGetContextHeader(void* context)
{
    auto* header = static_cast<kzContextHeader*>(context);
    return header && kzIsKnownContextKind(header->kind) ? header : nullptr;
}
