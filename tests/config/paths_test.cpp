// Path helpers: absolute forms, directories and buffer handling.

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kzLib.h"
#include "support/temp_dir.h"

namespace {

using dovav::test::ScopedWorkingDirectory;
using dovav::test::TempDir;

constexpr char kFill = '#';

using PathFunction = kzResult (*)(const char*, char*, size_t);

struct PathCase {
    const char* path;
    size_t size;
    kzResult code;
    std::string expected;  // "{cwd}" stands for the working directory
};

class PathHelpersTest : public ::testing::Test {
protected:
    // Runs each case in a buffer larger than `size`: the function must zero
    // exactly `size` bytes and leave the rest alone.
    void run(PathFunction function, const std::vector<PathCase>& cases)
    {
        for (const PathCase& c : cases) {
            SCOPED_TRACE(std::string(c.path) + " size " + std::to_string(c.size));
            std::vector<char> buffer(c.size + 8, kFill);
            EXPECT_EQ(c.code, function(c.path, buffer.data(), c.size));
            std::string expected = c.expected;
            if (expected.rfind("{cwd}", 0) == 0)
                expected = dir.path() + expected.substr(5);
            EXPECT_EQ(expected, std::string(buffer.data(), strnlen(buffer.data(), c.size)));
            for (size_t i = expected.size(); i < c.size; ++i)
                ASSERT_EQ('\0', buffer[i]) << "byte " << i << " not zeroed";
            for (size_t i = c.size; i < buffer.size(); ++i)
                ASSERT_EQ(kFill, buffer[i]) << "wrote past the buffer at " << i;
        }
    }

    TempDir dir;
    ScopedWorkingDirectory cwd{dir.path()};
};

TEST_F(PathHelpersTest, FullPath)
{
    run(kzGetFullPath, {
                           {"/a/b", 4, KZ_ERROR_INVALID_DATA, ""},  // no room for the terminator
                           {"/a/b", 5, KZ_OK, "/a/b"},
                           {"/a/./b/../c/", 260, KZ_OK, "/a/./b/../c/"},
                           {"a/../b", 260, KZ_OK, "{cwd}/a/../b"},
                           {"./x.xml", 260, KZ_OK, "{cwd}/./x.xml"},
                           {"x.xml", 0, KZ_ERROR_INVALID_DATA, ""},
                           {"", 260, KZ_ERROR_INVALID_ARGUMENT, ""},
                       });
}

TEST_F(PathHelpersTest, DirectoryName)
{
    run(kzGetDirectoryName, {
                                {"/data/cfg/display.xml", 260, KZ_OK, "/data/cfg/"},
                                {"/a/b/", 260, KZ_OK, "/a/b/"},
                                {"/a", 260, KZ_OK, "/"},
                                {"/", 260, KZ_OK, "/"},
                                {"c.xml", 260, KZ_OK, "{cwd}/"},
                                {"sub/c.xml", 260, KZ_OK, "{cwd}/sub/"},
                                {"/data/cfg/display.xml", 10, KZ_ERROR_INVALID_DATA, ""},
                                {"/data/cfg/display.xml", 11, KZ_OK, "/data/cfg/"},
                                {"", 260, KZ_ERROR_INVALID_ARGUMENT, ""},
                            });
}

TEST_F(PathHelpersTest, IsPathRooted)
{
    const struct {
        const char* path;
        bool rooted;
    } cases[] = {{"", false}, {"a/b", false}, {"./a", false}, {"/a", true}, {"/", true}};
    for (const auto& c : cases) {
        bool rooted = !c.rooted;
        EXPECT_EQ(KZ_OK, kzIsPathRooted(c.path, &rooted)) << c.path;
        EXPECT_EQ(c.rooted, rooted) << c.path;
    }
}

TEST_F(PathHelpersTest, CurrentDirectoryIsNotReported)
{
    std::vector<char> buffer(20, kFill);
    EXPECT_EQ(KZ_ERROR_NOT_SUPPORTED, kzGetCurrentDirectory(buffer.data(), 16));
    EXPECT_EQ(std::string(16, '\0') + std::string(4, kFill), std::string(buffer.begin(), buffer.end()));
}

TEST_F(PathHelpersTest, NullArguments)
{
    char buffer[16];
    bool rooted = false;
    const struct {
        const char* name;
        kzResult result;
        kzResult expected;
    } cases[] = {
        {"full path: null path", kzGetFullPath(nullptr, buffer, sizeof buffer), KZ_ERROR_INVALID_ARGUMENT},
        {"full path: null buffer", kzGetFullPath("/a", nullptr, 16), KZ_ERROR_INVALID_ARGUMENT},
        {"full path: null buffer of size 0", kzGetFullPath("/a", nullptr, 0), KZ_ERROR_INVALID_DATA},
        {"directory: null path", kzGetDirectoryName(nullptr, buffer, sizeof buffer), KZ_ERROR_INVALID_ARGUMENT},
        {"directory: null buffer", kzGetDirectoryName("/a", nullptr, 16), KZ_ERROR_INVALID_ARGUMENT},
        {"rooted: null path", kzIsPathRooted(nullptr, &rooted), KZ_ERROR_INVALID_ARGUMENT},
        {"rooted: null result", kzIsPathRooted("/a", nullptr), KZ_ERROR_INVALID_ARGUMENT},
        {"current directory: null buffer", kzGetCurrentDirectory(nullptr, 16), KZ_ERROR_INVALID_ARGUMENT},
        {"current directory: null buffer of size 0", kzGetCurrentDirectory(nullptr, 0), KZ_ERROR_NOT_SUPPORTED},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, c.result) << c.name;
}

}  // namespace
