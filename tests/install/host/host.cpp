// A minimal host: includes the one public header and asks for the version.
#include <cstdio>

#include <kzLib.h>

int main()
{
    int major = 0, minor = 0, patch = 0, build = 0;
    if (kzGetVersion(&major, &minor, &patch, &build) != KZ_OK || major != 6)
        return 1;
    std::printf("kzLib %d.%d.%d.%d\n", major, minor, patch, build);
    return 0;
}
