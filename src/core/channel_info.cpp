// The channel query and the back-end-neutral record of what set-up built.

#include <cmath>
#include <cstring>

#include "core/context_header.h"
#include "kzLib/configuration.h"

namespace {

bool finite(kzVec3f v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool finite(kzVec2f v)
{
    return std::isfinite(v.x) && std::isfinite(v.y);
}

void copyPath(char (&to)[KZ_PATH_SIZE], const char* from)
{
    std::strncpy(to, from, KZ_PATH_SIZE - 1);
    to[KZ_PATH_SIZE - 1] = '\0';
}

}  // namespace

kzChannelSummary kzSummariseGrid(const kzMesh& grid)
{
    kzChannelSummary summary;
    summary.gridWidth = grid.width;
    summary.gridHeight = grid.height;
    const size_t count = size_t(grid.width) * size_t(grid.height);
    for (size_t i = 0; i < count; ++i) {
        const bool valid = (!grid.vertices || finite(grid.vertices[i])) &&
                           (!grid.texcoords || finite(grid.texcoords[i]));
        summary.invalidPoints += !valid;
    }
    return summary;
}

void kzNoteChannelSetUp(kzContextHeader& header, uint32_t channel, bool kept,
                        const kzChannelSummary& grid)
{
    if (kept)
        header.summaries[channel] = grid;
    else
        header.summaries.erase(channel);
}

KZ_API kzResult kzGetChannelInfo(void* context, unsigned channel, kzChannelInfo* info)
{
    if (!context)
        return KZ_ERROR_INVALID_CONTEXT;
    if (!info)
        return KZ_ERROR_INVALID_ARGUMENT;
    const kzContextHeader* header = kzGetContextHeader(context);
    if (!header)
        return KZ_ERROR_INVALID_CONTEXT;
    const auto found = header->configurations.find(channel);
    if (found == header->configurations.end())
        return KZ_ERROR_INVALID_DATA;
    const kzConfigurationData& configuration = found->second;

    kzChannelInfo result{};
    result.channel = channel;
    result.type = configuration.type;
    result.gamma = configuration.gamma;
    result.inputGamma = configuration.inputGamma;
    result.outputGamma = configuration.outputGamma;
    const char* const paths[KZ_CHANNEL_FILE_COUNT] = {
        configuration.warpmap,   configuration.frustum,           configuration.shape,
        configuration.target,    configuration.blending,          configuration.secondaryBlending,
        configuration.blacklevel, configuration.directionalShading,
    };
    for (int role = 0; role < KZ_CHANNEL_FILE_COUNT; ++role)
        copyPath(result.paths[role], paths[role]);
    if (const auto origin = header->origins.find(channel); origin != header->origins.end())
        copyPath(result.regionId, origin->second.regionId.c_str());

    if (const auto summary = header->summaries.find(channel); summary != header->summaries.end()) {
        result.setUp = 1;
        result.gridWidth = summary->second.gridWidth;
        result.gridHeight = summary->second.gridHeight;
        result.invalidPoints = summary->second.invalidPoints;
        const kzCamera* camera = header->channelCamera ? header->channelCamera(*header, channel) : nullptr;
        if (camera) {
            result.hasCamera = 1;
            result.camera = *camera;
        }
    }
    *info = result;
    return KZ_OK;
}
