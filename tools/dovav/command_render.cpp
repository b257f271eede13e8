// dovav render: being written.

#include <cstdio>

#include "commands.h"

namespace dovav {

const char kRenderUsage[] = "usage: dovav render CONFIG [options]\n";

int runRender(int, char**)
{
    std::fprintf(stderr, "dovav render: not available yet\n");
    return kExitFailure;
}

}  // namespace dovav
