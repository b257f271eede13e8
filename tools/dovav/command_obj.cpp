// dovav obj: being written.

#include <cstdio>

#include "commands.h"

namespace dovav {

const char kObjUsage[] = "usage: dovav obj WARP_OR_SHAPE_FILE OUT.obj\n";

int runObj(int, char**)
{
    std::fprintf(stderr, "dovav obj: not available yet\n");
    return kExitFailure;
}

}  // namespace dovav
