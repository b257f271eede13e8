// dovav dump: being written.

#include <cstdio>

#include "commands.h"

namespace dovav {

const char kDumpUsage[] = "usage: dovav dump CONFIG OUT.txt\n";

int runDump(int, char**)
{
    std::fprintf(stderr, "dovav dump: not available yet\n");
    return kExitFailure;
}

}  // namespace dovav
