// Version, error text and the numeric helpers.

#include <cerrno>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "core/context_header.h"
#include "core/error_text.h"
#include "kzLib.h"
#include "support/temp_dir.h"

namespace {

constexpr char kUntouched = '#';

TEST(Version, WritesOnlyThroughGivenPointers)
{
    int major = -1, minor = -1, patch = -1, build = -1;
    EXPECT_EQ(KZ_OK, kzGetVersion(nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(KZ_OK, kzGetVersion(&major, nullptr, &patch, nullptr));
    EXPECT_EQ(6, major);
    EXPECT_EQ(-1, minor);
    EXPECT_EQ(0, patch);
    EXPECT_EQ(-1, build);
    EXPECT_EQ(KZ_OK, kzGetVersion(&major, &minor, &patch, &build));
    EXPECT_EQ(0, minor);
    EXPECT_EQ(0, build);
}

TEST(Version, StringCopiesWithoutTerminator)
{
    const struct {
        size_t size;
        std::string expected;  // buffer contents after the call, 10 bytes
    } cases[] = {
        {0, "##########"},
        {3, "6.0#######"},
        {7, "6.0.0.0###"},
        {8, "6.0.0.0###"},  // never more than the seven characters
        {100, "6.0.0.0###"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        char buffer[10];
        std::memset(buffer, kUntouched, sizeof buffer);
        EXPECT_EQ(KZ_OK, kzGetVersionString(buffer, c.size));
        EXPECT_EQ(c.expected, std::string(buffer, sizeof buffer));
    }
    EXPECT_EQ(KZ_ERROR_INVALID_DATA, kzGetVersionString(nullptr, 8));
}

// The compile-time macros name the version the library reports at run time.
TEST(Version, MacrosMatchTheLibrary)
{
    int major = -1, minor = -1, patch = -1;
    ASSERT_EQ(KZ_OK, kzGetVersion(&major, &minor, &patch, nullptr));
    EXPECT_EQ(KZ_VERSION_MAJOR, major);
    EXPECT_EQ(KZ_VERSION_MINOR, minor);
    EXPECT_EQ(KZ_VERSION_PATCH, patch);
    EXPECT_EQ(KZ_VERSION, major * 10000 + minor * 100 + patch);
    char text[16] = {};
    kzGetVersionString(text, sizeof text - 1);
    EXPECT_EQ(std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch) + ".0",
              text);
}

TEST(ResultName, EveryCodeByNameAndOthersByOneText)
{
    const struct {
        int32_t code;
        const char* name;
    } cases[] = {
        {KZ_OK, "KZ_OK"},
        {KZ_ERROR_INVALID_ARGUMENT, "KZ_ERROR_INVALID_ARGUMENT"},
        {KZ_ERROR_INVALID_DATA, "KZ_ERROR_INVALID_DATA"},
        {KZ_ERROR_FILE, "KZ_ERROR_FILE"},
        {KZ_ERROR_NOT_SUPPORTED, "KZ_ERROR_NOT_SUPPORTED"},
        {KZ_ERROR_OPENGL, "KZ_ERROR_OPENGL"},
        {KZ_ERROR_INVALID_CONTEXT, "KZ_ERROR_INVALID_CONTEXT"},
        {KZ_ERROR_VULKAN, "KZ_ERROR_VULKAN"},
        {4, "KZ_UNKNOWN_RESULT"},
        {7, "KZ_UNKNOWN_RESULT"},
        {-1, "KZ_UNKNOWN_RESULT"},
        {INT32_MAX, "KZ_UNKNOWN_RESULT"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(c.name, kzGetResultName(kzResult(c.code))) << c.code;
}

// A context without a back-end reads configurations and answers the channel
// query; before set-up the query reports the configuration alone.
TEST(ConfigurationContext, AnswersTheChannelQueryWithoutABackEnd)
{
    dovav::test::TempDir dir;
    const std::string path = dir.write(
        "display.xml", "<kzCorrection><type>1</type><gamma>2.4</gamma>"
                       "<channel id=\"3\" shape=\"s.csv\" target=\"/abs/t.csv\" input-gamma=\"1.8\"/>"
                       "</kzCorrection>");
    kzContextConfiguration* context = nullptr;
    ASSERT_EQ(KZ_OK, kzCreateContextConfiguration(&context));
    ASSERT_EQ(KZ_OK, kzLoadConfigurationFromFile(context, path.c_str()));
    static_cast<kzContextHeader*>(static_cast<void*>(context))->origins[3].regionId = "region-3";

    kzChannelInfo info;
    std::memset(&info, kUntouched, sizeof info);
    ASSERT_EQ(KZ_OK, kzGetChannelInfo(context, 3, &info));
    EXPECT_EQ(3u, info.channel);
    EXPECT_EQ(KZ_CORRECTION_DYNAMIC, info.type);
    EXPECT_EQ(2.4f, info.gamma);
    EXPECT_EQ(1.8f, info.inputGamma);
    EXPECT_EQ(1.0f, info.outputGamma);
    EXPECT_EQ(dir.path() + "/s.csv", info.paths[KZ_CHANNEL_FILE_SHAPE]);
    EXPECT_STREQ("/abs/t.csv", info.paths[KZ_CHANNEL_FILE_TARGET]);
    for (int role : {KZ_CHANNEL_FILE_WARPMAP, KZ_CHANNEL_FILE_FRUSTUM, KZ_CHANNEL_FILE_BLENDING,
                     KZ_CHANNEL_FILE_SECONDARY_BLENDING, KZ_CHANNEL_FILE_BLACKLEVEL,
                     KZ_CHANNEL_FILE_DIRECTIONAL_SHADING})
        EXPECT_STREQ("", info.paths[role]) << role;
    EXPECT_STREQ("region-3", info.regionId);
    EXPECT_EQ(0, info.setUp);
    EXPECT_EQ(0u, info.gridWidth + info.gridHeight + info.invalidPoints);
    EXPECT_EQ(0, info.hasCamera);

    kzContextHeader unknownKind(-1);
    const struct {
        const char* label;
        void* context;
        unsigned channel;
        kzChannelInfo* info;
        kzResult result;
    } failures[] = {
        {"null context", nullptr, 3, &info, KZ_ERROR_INVALID_CONTEXT},
        {"null record", context, 3, nullptr, KZ_ERROR_INVALID_ARGUMENT},
        {"unknown kind", &unknownKind, 3, &info, KZ_ERROR_INVALID_CONTEXT},
        {"unknown channel", context, 4, &info, KZ_ERROR_INVALID_DATA},
    };
    for (const auto& f : failures)
        EXPECT_EQ(f.result, kzGetChannelInfo(f.context, f.channel, f.info)) << f.label;

    EXPECT_EQ(KZ_ERROR_INVALID_ARGUMENT, kzCreateContextConfiguration(nullptr));
    EXPECT_EQ(KZ_ERROR_INVALID_CONTEXT, kzDestroyContextConfiguration(nullptr));
    EXPECT_EQ(KZ_OK, kzDestroyContextConfiguration(context));
}

TEST(ErrorString, CopiesAtMostSizeCharactersWithoutTerminator)
{
    kzContextHeader header(KZ_CONTEXT_OPENGL);
    std::strcpy(header.errorString, "File x not found");
    const size_t length = std::strlen(header.errorString);

    const struct {
        size_t size;
        size_t copied;
    } cases[] = {{0, 0}, {4, 4}, {length, length}, {length + 5, length}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        char buffer[64];
        std::memset(buffer, kUntouched, sizeof buffer);
        EXPECT_EQ(KZ_OK, kzGetErrorString(&header, buffer, c.size));
        EXPECT_EQ(std::string(header.errorString, c.copied), std::string(buffer, c.copied));
        EXPECT_EQ(kUntouched, buffer[c.copied]);
    }
    EXPECT_STREQ("File x not found", header.errorString) << "reading must not clear the text";
}

TEST(ErrorString, FreshContextHasNoMessageAndNullsAreRejected)
{
    kzContextHeader header(KZ_CONTEXT_VULKAN);
    char buffer[8];
    std::memset(buffer, kUntouched, sizeof buffer);
    EXPECT_EQ(KZ_OK, kzGetErrorString(&header, buffer, sizeof buffer));
    EXPECT_EQ(kUntouched, buffer[0]);
    EXPECT_EQ(KZ_ERROR_INVALID_ARGUMENT, kzGetErrorString(nullptr, buffer, sizeof buffer));
    EXPECT_EQ(KZ_ERROR_INVALID_ARGUMENT, kzGetErrorString(&header, nullptr, sizeof buffer));
}

TEST(ErrorString, MessagesAreCutToTheWritersLimit)
{
    kzContextHeader header(KZ_CONTEXT_OPENGL);
    const std::string longText(400, 'm');
    kzSetErrorText(&header, kzErrorLimitOpenGL, "%s", longText.c_str());
    EXPECT_EQ(kzErrorLimitOpenGL - 1, std::strlen(header.errorString));
    kzSetErrorText(&header, kzErrorLimitVulkan, "%s", longText.c_str());
    EXPECT_EQ(kzErrorLimitVulkan - 1, std::strlen(header.errorString));
}

TEST(ErrorMessageString, SystemTextWithinTheDocumentedLimit)
{
    const int codes[] = {0, ENOENT, EACCES, 123456, -7};
    for (int code : codes) {
        SCOPED_TRACE(code);
        char buffer[400];
        std::memset(buffer, kUntouched, sizeof buffer);
        ASSERT_EQ(KZ_OK, kzGetErrorMessageString(code, buffer));
        const size_t length = strnlen(buffer, sizeof buffer);
        EXPECT_GT(length, 0u);
        EXPECT_LT(length, 260u);
        for (size_t i = 260; i < sizeof buffer; ++i)
            ASSERT_EQ(kUntouched, buffer[i]) << "wrote past 260 bytes at " << i;
    }
    char buffer[260];
    kzGetErrorMessageString(ENOENT, buffer);
    EXPECT_STREQ(std::strerror(ENOENT), buffer);
    EXPECT_EQ(KZ_ERROR_INVALID_ARGUMENT, kzGetErrorMessageString(ENOENT, nullptr));
}

TEST(Numeric, ClampMaxMin)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char* name;
        float result;
        float expected;
    } cases[] = {
        {"clamp above", kzClamp(5, 0, 1), 1},
        {"clamp below", kzClamp(-1, 0, 1), 0},
        {"clamp inside", kzClamp(0.25f, 0, 1), 0.25f},
        {"clamp inverted bounds take lower", kzClamp(0.5f, 1, 0), 1},
        {"max bounds from above", kzMax(5, 1), 1},
        {"max leaves smaller", kzMax(0.5f, 1), 0.5f},
        {"max NaN bound yields value", kzMax(0.5f, nan), 0.5f},
        {"min bounds from below", kzMin(-5, 0), 0},
        {"min leaves larger", kzMin(3, 0), 3},
        {"min NaN bound yields value", kzMin(3, nan), 3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, c.result) << c.name;

    EXPECT_TRUE(std::isnan(kzClamp(nan, 0, 1)));
    EXPECT_TRUE(std::isnan(kzMax(nan, 1)));
    EXPECT_TRUE(std::isnan(kzMin(nan, 0)));
}

}  // namespace
