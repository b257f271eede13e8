// strtod / strtol in the "C" locale, whatever locale the host process has set:
// calibration files always use '.' as the decimal point.
#pragma once

double kzStrtodC(const char* text, char** end);
long kzStrtolC(const char* text, char** end, int base);
