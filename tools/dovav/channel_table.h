// Printing a context's channel table.
#pragma once

#include <cstdio>

#include "kzLib.h"

namespace dovav {

// One block per channel: number, type, gammas, then every configured path.
void printChannelTable(void* context, std::FILE* out);

// A channel's configured files as label and path, in the order dovav lists them.
struct ChannelFileLabel {
    const char* label;  // the configuration attribute
    int role;           // index into kzChannelInfo::paths
};
extern const ChannelFileLabel kChannelFileLabels[8];

struct ConfigurationDeleter {
    void operator()(kzContextConfiguration* context) const { kzDestroyContextConfiguration(context); }
};

}  // namespace dovav
