#include "channel_table.h"

#include <vector>

namespace dovav {

const ChannelFileLabel kChannelFileLabels[8] = {
    {"warpmap", KZ_CHANNEL_FILE_WARPMAP},
    {"frustum", KZ_CHANNEL_FILE_FRUSTUM},
    {"shape", KZ_CHANNEL_FILE_SHAPE},
    {"target", KZ_CHANNEL_FILE_TARGET},
    {"blending", KZ_CHANNEL_FILE_BLENDING},
    {"secondary-blending", KZ_CHANNEL_FILE_SECONDARY_BLENDING},
    {"blacklevel", KZ_CHANNEL_FILE_BLACKLEVEL},
    {"directional-shading", KZ_CHANNEL_FILE_DIRECTIONAL_SHADING},
};

namespace {

const char* typeName(int32_t type)
{
    switch (type) {
    case KZ_CORRECTION_STATIC: return "static";
    case KZ_CORRECTION_DYNAMIC: return "dynamic";
    default: return "unknown";
    }
}

}  // namespace

void printChannelTable(void* context, std::FILE* out)
{
    size_t count = 0;
    kzGetChannels(context, nullptr, &count);
    std::vector<unsigned> channels(count);
    kzGetChannels(context, channels.data(), &count);
    std::fprintf(out, "%zu channel(s)\n", channels.size());
    for (unsigned channel : channels) {
        kzChannelInfo info{};
        if (kzGetChannelInfo(context, channel, &info) != KZ_OK)
            continue;
        std::fprintf(out, "\nchannel %u  type %d (%s)  gamma %g  input gamma %g  output gamma %g\n",
                     channel, info.type, typeName(info.type), info.gamma, info.inputGamma,
                     info.outputGamma);
        if (info.regionId[0] != '\0')
            std::fprintf(out, "  %-20s %s\n", "region", info.regionId);
        for (const ChannelFileLabel& file : kChannelFileLabels) {
            if (info.paths[file.role][0] != '\0')
                std::fprintf(out, "  %-20s %s\n", file.label, info.paths[file.role]);
        }
    }
}

}  // namespace dovav
