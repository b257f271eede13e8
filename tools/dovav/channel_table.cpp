#include "channel_table.h"

#include "core/context_header.h"

namespace dovav {
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

void printChannelTable(const kzContextHeader& header, std::FILE* out)
{
    std::fprintf(out, "%zu channel(s)\n", header.configurations.size());
    for (const auto& [channel, record] : header.configurations) {
        std::fprintf(out, "\nchannel %u  type %d (%s)  gamma %g  input gamma %g  output gamma %g\n",
                     channel, record.type, typeName(record.type), record.gamma,
                     record.inputGamma, record.outputGamma);
        const struct {
            const char* label;
            const char* path;
        } rows[] = {
            {"warpmap", record.warpmap},
            {"frustum", record.frustum},
            {"shape", record.shape},
            {"target", record.target},
            {"blending", record.blending},
            {"secondary-blending", record.secondaryBlending},
            {"blacklevel", record.blacklevel},
            {"directional-shading", record.directionalShading},
        };
        for (const auto& row : rows) {
            if (row.path[0] != '\0')
                std::fprintf(out, "  %-20s %s\n", row.label, row.path);
        }
    }
}

}  // namespace dovav
