// dovav check: being written.

#include <cstdio>

#include "commands.h"

namespace dovav {

const char kCheckUsage[] = "usage: dovav check CONFIG\n";

int runCheck(int, char**)
{
    std::fprintf(stderr, "dovav check: not available yet\n");
    return kExitFailure;
}

}  // namespace dovav
