#include "config/c_locale_number.h"

#include <clocale>
#include <cstdlib>

#include <locale.h>

namespace {

// Created once and kept for the life of the process.
locale_t cLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return locale;
}

}  // namespace

double kzStrtodC(const char* text, char** end)
{
    return strtod_l(text, end, cLocale());
}

long kzStrtolC(const char* text, char** end, int base)
{
    return strtol_l(text, end, base, cLocale());
}
