#include "kzLib/core.h"

// The comparisons are written so that a NaN value fails them and passes through.

KZ_API float kzClamp(float value, float lower, float upper)
{
    if (lower > value)
        return lower;
    if (upper < value)
        return upper;
    return value;
}

KZ_API float kzMax(float value, float upper)
{
    return upper < value ? upper : value;
}

KZ_API float kzMin(float value, float lower)
{
    return lower > value ? lower : value;
}
