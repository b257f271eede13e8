// Field splitting and number reading of calibration lines: every field must
// read exactly as strtod / strtol read it, whichever internal path takes it.

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/text_fields.h"

namespace {

using calib::Field;
using calib::FieldCursor;
using calib::Line;

// A field over a whole string (the NUL after it stands in for the line end).
Field fieldOf(const std::string& text)
{
    return {text.data(), text.data() + text.size()};
}

uint32_t bitsOf(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float strtodFloat(const std::string& text)
{
    return static_cast<float>(std::strtod(text.c_str(), nullptr));
}

// Reads every field of `line` through the cursor as floats.
std::vector<float> cursorFloats(const std::string& line)
{
    FieldCursor cursor(Line{line.data(), line.data() + line.size()});
    std::vector<float> values;
    float value;
    while (cursor.nextFloat(value))
        values.push_back(value);
    return values;
}

TEST(TextFields, FloatsReadAsStrtodReadsThem)
{
    const char* const texts[] = {
        "0",     "-0",       "0.5",          "-0.000",   "1e400",     "-1e400",    "1e-400",
        "nan",   "-nan",     "NAN",          "nan(123)", "inf",       "-Infinity", "0x1p-2",
        "0X1.8", "+3",       " 4",           "\t-2.5",   "1e5",       "1.5E-3",    "1e",
        "1e+",   ".5",       "5.",           "-.25",     ".",         "-",         "+",
        "abc",   "3abc",     "2.5.1",        "0.1",      "0.30000000000000004",
        "9007199254740993",  "9007199254740992.5",       "123456789012345678901234567890",
        "0.00000000000000000000000000001", "1234567.8", "16777217", "3.4028235e38",
        "3.4028236e38",      "1.17549435e-38",           "1e-45", "7e-46", "0.1 ",
        "1\r",   "00000000000000000000000001.5",         "-0.0000000000000000000001",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(std::string("field \"") + text + "\"");
        std::string owned(text);
        float expected = strtodFloat(owned);
        float read = calib::readFloat(fieldOf(owned));
        if (std::isnan(expected))
            EXPECT_TRUE(std::isnan(read));
        else
            EXPECT_EQ(bitsOf(expected), bitsOf(read));
        // The in-place path of the cursor, with the field between separators.
        std::vector<float> viaCursor = cursorFloats(";" + owned + ";1");
        ASSERT_EQ(2u, viaCursor.size());
        if (std::isnan(expected))
            EXPECT_TRUE(std::isnan(viaCursor[0]));
        else
            EXPECT_EQ(bitsOf(expected), bitsOf(viaCursor[0]));
    }
}

TEST(TextFields, RandomDecimalsReadAsStrtodReadsThem)
{
    // Plain decimals of every length around the exact fast path's limits
    // (19 digits, 2^53, 22 fraction digits) and printf-style text.
    std::mt19937_64 random(11);
    char text[64];
    for (int i = 0; i < 20000; ++i) {
        int digits = 1 + int(random() % 24);
        int point = int(random() % (digits + 1));
        std::string number = random() % 2 ? "-" : "";
        for (int d = 0; d < digits; ++d) {
            if (d == point)
                number += '.';
            number += char('0' + random() % 10);
        }
        SCOPED_TRACE(number);
        ASSERT_EQ(bitsOf(strtodFloat(number)), bitsOf(calib::readFloat(fieldOf(number))));
        // The in-place tier must be exact in double already, not just after
        // rounding to float hides an error.
        const char* c = number.data();
        double inPlace;
        if (calib::detail::scanPlainDecimal(c, number.data() + number.size(), inPlace)) {
            ASSERT_EQ(std::strtod(number.c_str(), nullptr), inPlace);
        }

        double value = std::ldexp(double(random() % 1000000007), int(random() % 80) - 60);
        std::snprintf(text, sizeof text, "%.*g", 1 + int(random() % 17), value);
        ASSERT_EQ(bitsOf(strtodFloat(text)), bitsOf(calib::readFloat(fieldOf(text)))) << text;
    }
}

TEST(TextFields, IndicesReadAsStrtolReadsThem)
{
    const char* const texts[] = {"0",    "7",   "-1",     "+3",   " 4",  "-0",
                                 "3.7",  "0x10", "1e3",   "abc",  "",    "4294967295",
                                 "4294967296", "-4294967297", "999999999999999999",
                                 "99999999999999999999", "-99999999999999999999",
                                 "0000000000000000000000012", "12\r"};
    for (const char* text : texts) {
        SCOPED_TRACE(std::string("field \"") + text + "\"");
        std::string owned(text);
        auto expected = static_cast<uint32_t>(std::strtol(text, nullptr, 10));
        EXPECT_EQ(expected, calib::readIndex(fieldOf(owned)));
        FieldCursor cursor(Line{owned.data(), owned.data() + owned.size()});
        uint32_t viaCursor = 12345;
        if (!owned.empty()) {
            ASSERT_TRUE(cursor.nextIndex(viaCursor));
            EXPECT_EQ(expected, viaCursor);
        }
    }
}

TEST(TextFields, NumbersIgnoreTheHostLocale)
{
    const char* previous = std::setlocale(LC_ALL, nullptr);
    std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "de_DE.UTF-8 is not installed (scripts/install-deps.sh generates it)";
    // Each tier: in-place decimal, from_chars (exponent), strtod ('+').
    for (const char* text : {"0.5", "5e-1", "+0.5", " 0.5"}) {
        std::string owned(text);
        EXPECT_EQ(0.5f, calib::readFloat(fieldOf(owned))) << text;
    }
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(TextFields, SplittingAtRunsOfSemicolons)
{
    struct Case {
        const char* line;
        std::vector<std::string> fields;
    } cases[] = {
        {"", {}},
        {";;;", {}},
        {"a", {"a"}},
        {"a;b", {"a", "b"}},
        {";a;;b;", {"a", "b"}},
        {"0.5;;0.25;0.1;0.2;3;4", {"0.5", "0.25", "0.1", "0.2", "3", "4"}},
        {" ; ", {" ", " "}},
        {"1 2;3", {"1 2", "3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::string line(c.line);
        Field first[3];
        Field last[2];
        size_t count = calib::splitFields(Line{line.data(), line.data() + line.size()}, first, 3, last);
        ASSERT_EQ(c.fields.size(), count);
        for (size_t i = 0; i < count && i < 3; ++i)
            EXPECT_EQ(c.fields[i], std::string(first[i].begin, first[i].end));
        if (count >= 2) {
            EXPECT_EQ(c.fields[count - 2], std::string(last[0].begin, last[0].end));
            EXPECT_EQ(c.fields[count - 1], std::string(last[1].begin, last[1].end));
        }
    }
}

}  // namespace
