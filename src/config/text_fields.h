// Fields of a calibration file line and their numbers.
//
// Fields are the maximal runs of characters other than ';': a run of
// semicolons is one separator and semicolons at either end of a line are
// ignored. Numbers read as strtod / strtol (base 10) in the "C" locale would
// read them, the floats rounded from the double: leading white space and '+'
// are accepted, reading stops at the first character that is not part of the
// number, and a field that is no number at all reads as 0.
//
// Three tiers keep that exact and fast: plain decimals are converted in
// place while the line is scanned, std::from_chars takes what it can read
// whole, and strtod / strtol in the "C" locale take the rest.
#pragma once

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "config/text_lines.h"

namespace calib {

struct Field {
    const char* begin = nullptr;
    const char* end = nullptr;
};

// The general conversions, for fields the fast paths do not take whole.
double readDoubleSlow(Field field);
long readLongSlow(Field field);

namespace detail {

// Powers of ten that a double holds exactly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

inline bool isDigit(char c)
{
    return static_cast<unsigned char>(c - '0') < 10;
}

// Scans an optional '-', digits and an optional '.' with more digits from c,
// leaving c where that stops; relies on the byte at `end` being neither a
// digit nor a '.' (see Line). True if it is a decimal whose mantissa a double
// holds exactly: mantissa / 10^k is then one correctly rounded operation on
// exact values, so it equals strtod's correctly rounded result. The caller
// checks that the field ends at c.
inline bool scanPlainDecimal(const char*& c, const char* end, double& value)
{
    bool negative = c != end && *c == '-';
    c += negative;
    const char* digitsBegin = c;
    uint64_t mantissa = 0;
    while (isDigit(*c))
        mantissa = mantissa * 10 + uint64_t(*c++ - '0');
    size_t digits = size_t(c - digitsBegin);
    size_t fractionDigits = 0;
    if (*c == '.') {
        const char* fractionBegin = ++c;
        while (isDigit(*c))
            mantissa = mantissa * 10 + uint64_t(*c++ - '0');
        fractionDigits = size_t(c - fractionBegin);
        digits += fractionDigits;
    }
    // At most 19 digits cannot overflow the 64-bit mantissa.
    if (digits == 0 || digits > 19 || mantissa > (uint64_t(1) << 53) || fractionDigits > 22)
        return false;
    double magnitude = double(mantissa) / kExactPowersOfTen[fractionDigits];
    value = negative ? -magnitude : magnitude;
    return true;
}

// Scans an optional '-' and at most 18 digits from c, leaving c where that
// stops; the byte at `end` must not be a digit.
inline bool scanPlainInteger(const char*& c, const char* end, long& value)
{
    bool negative = c != end && *c == '-';
    c += negative;
    const char* digitsBegin = c;
    long magnitude = 0;
    while (isDigit(*c) && c - digitsBegin < 18)
        magnitude = magnitude * 10 + (*c++ - '0');
    if (c == digitsBegin || isDigit(*c))
        return false;
    value = negative ? -magnitude : magnitude;
    return true;
}

inline double readDoubleGeneral(Field field)
{
    double value;
    auto [end, error] = std::from_chars(field.begin, field.end, value);
    // NaN goes the long way too, so that a payload in "nan(...)" is read as strtod reads it.
    if (error != std::errc() || end != field.end || std::isnan(value))
        value = readDoubleSlow(field);
    return value;
}

inline long readLongGeneral(Field field)
{
    long value;
    auto [end, error] = std::from_chars(field.begin, field.end, value, 10);
    if (error != std::errc() || end != field.end)
        value = readLongSlow(field);
    return value;
}

}  // namespace detail

// strtod of the field, rounded to float.
inline float readFloat(Field field)
{
    const char* c = field.begin;
    double value;
    if (!detail::scanPlainDecimal(c, field.end, value) || c != field.end)
        value = detail::readDoubleGeneral(field);
    return static_cast<float>(value);
}

// strtol of the field in base 10, taken as a 32-bit unsigned value.
inline uint32_t readIndex(Field field)
{
    const char* c = field.begin;
    long value;
    if (!detail::scanPlainInteger(c, field.end, value) || c != field.end)
        value = detail::readLongGeneral(field);
    return static_cast<uint32_t>(value);
}

// Walks the fields of one line, converting them on the way: plain numbers
// are read in the same pass that finds the field's end.
class FieldCursor {
public:
    explicit FieldCursor(Line line) : c_(line.begin), end_(line.end) {}

    // The next field; false when the line has no more.
    bool next(Field& field)
    {
        if (!skipSeparators())
            return false;
        field.begin = c_;
        field.end = c_ = fieldEnd(c_);
        return true;
    }

    // The next field read as readFloat() reads it; false when there is none.
    bool nextFloat(float& value)
    {
        Field field;
        return nextFloat(value, field);
    }

    // The same, also giving the field that was read.
    bool nextFloat(float& value, Field& field)
    {
        if (!skipSeparators())
            return false;
        field.begin = c_;
        double number;
        if (detail::scanPlainDecimal(c_, end_, number) && atFieldEnd()) {
            field.end = c_;
            value = static_cast<float>(number);
            return true;
        }
        field.end = c_ = fieldEnd(c_);
        value = static_cast<float>(detail::readDoubleGeneral(field));
        return true;
    }

    // The next field read as readIndex() reads it; false when there is none.
    bool nextIndex(uint32_t& value)
    {
        if (!skipSeparators())
            return false;
        const char* begin = c_;
        long number;
        if (!detail::scanPlainInteger(c_, end_, number) || !atFieldEnd()) {
            c_ = fieldEnd(c_);
            number = detail::readLongGeneral({begin, c_});
        }
        value = static_cast<uint32_t>(number);
        return true;
    }

private:
    bool skipSeparators()
    {
        while (c_ != end_ && *c_ == ';')
            ++c_;
        return c_ != end_;
    }

    bool atFieldEnd() const { return c_ == end_ || *c_ == ';'; }

    const char* fieldEnd(const char* c) const
    {
        while (c != end_ && *c != ';')
            ++c;
        return c;
    }

    const char* c_;
    const char* end_;
};

// Splits a line into fields. The first `keep` fields go to `first`, the last
// two to `lastTwo` (lastTwo[1] is the last field, lastTwo[0] the one before
// it; with fewer fields the unused slots keep their values). Returns the
// number of fields, however many there are.
inline size_t splitFields(Line line, Field* first, size_t keep, Field lastTwo[2])
{
    FieldCursor cursor(line);
    size_t count = 0;
    Field field;
    while (cursor.next(field)) {
        if (count < keep)
            first[count] = field;
        lastTwo[0] = lastTwo[1];
        lastTwo[1] = field;
        ++count;
    }
    return count;
}

}  // namespace calib
