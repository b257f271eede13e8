// Warp map and screen shape files: what a good file gives, and that a bad
// one fails with the mesh left exactly as it was.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "config/text_lines.h"
#include "kzLib.h"
#include "support/temp_dir.h"

namespace {

using dovav::test::TempDir;

constexpr const char* kGrid2x2 = "x;y;u;v;column;row\n"
                                 "0;0;0;0;0;0\n"
                                 "1;0;1;0;1;0\n"
                                 "0;1;0;1;0;1\n"
                                 "1;1;1;1;1;1\n";

void expectVec3(kzVec3f expected, kzVec3f actual)
{
    EXPECT_FLOAT_EQ(expected.x, actual.x);
    EXPECT_FLOAT_EQ(expected.y, actual.y);
    EXPECT_FLOAT_EQ(expected.z, actual.z);
}

void expectVec2(kzVec2f expected, kzVec2f actual)
{
    EXPECT_FLOAT_EQ(expected.x, actual.x);
    EXPECT_FLOAT_EQ(expected.y, actual.y);
}

class MeshFilesTest : public ::testing::Test {
protected:
    kzResult loadWarpmap(const std::string& text, int flipY = 0, int flipV = 0)
    {
        return kzLoadWarpmapFromFile(dir.write("warp.txt", text).c_str(), &mesh, flipY, flipV);
    }
    kzResult loadShape(const std::string& text, int flip = 0)
    {
        return kzLoadScreenShapeFromFile(dir.write("shape.txt", text).c_str(), &mesh, flip);
    }

    TempDir dir;
    kzMesh mesh;
};

TEST_F(MeshFilesTest, WarpmapGridAndFlips)
{
    struct Case {
        int flipY, flipV;
        float y[4], v[4];
    } cases[] = {
        {0, 0, {0, 0, 1, 1}, {0, 0, 1, 1}},
        {1, 0, {1, 1, 0, 0}, {0, 0, 1, 1}},
        {0, 1, {0, 0, 1, 1}, {1, 1, 0, 0}},
        {1, 1, {1, 1, 0, 0}, {1, 1, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "flips " << c.flipY << c.flipV);
        ASSERT_EQ(KZ_OK, loadWarpmap(kGrid2x2, c.flipY, c.flipV));
        ASSERT_EQ(2u, mesh.width);
        ASSERT_EQ(2u, mesh.height);
        for (int i = 0; i < 4; ++i) {
            expectVec3({float(i % 2), c.y[i], 0.0f}, mesh.vertices[i]);
            expectVec2({float(i % 2), c.v[i]}, mesh.texcoords[i]);
            expectVec3({0, 0, 0}, mesh.normals[i]);
            expectVec3({0, 0, 0}, mesh.tangents[i]);
        }
    }
}

TEST_F(MeshFilesTest, WarpmapLineForms)
{
    // Each file is one 1 x 1 grid point after a header; the point must read
    // as (0.5, 0.25) / (0.1, 0.2) whatever surrounds the fields.
    const char* const files[] = {
        "h\n0.5;;0.25;0.1;0.2;0;0\n",          // empty fields are skipped
        "h\r\n0.5;0.25;0.1;0.2;0;0\r\n",       // CRLF line ends
        "h\n;;0.5;0.25;0.1;0.2;0;0;;\n",       // separators at both ends
        "h\n0.5;0.25;0.1;0.2;0;0;9;extra\n",   // fields past the sixth are ignored
        "h\n0.5;0.25;0.1;0.2;0;0",             // no final line feed
        "h\n\n  \t\n0.5;0.25;0.1;0.2;0;0\n\r\n",  // blank lines are skipped
        "h\n+0.5; 0.25;5e-2;2e-1;0;0\n",       // non-plain numbers (the slower paths)
        "0;0;0;0;7;7\n0.5;0.25;0.1;0.2;0;0\n",  // the header is skipped whatever it says
    };
    for (const char* file : files) {
        SCOPED_TRACE(file);
        ASSERT_EQ(KZ_OK, loadWarpmap(file));
        ASSERT_EQ(1u, mesh.width);
        ASSERT_EQ(1u, mesh.height);
        expectVec3({0.5f, 0.25f, 0.0f}, mesh.vertices[0]);
        EXPECT_FLOAT_EQ(std::string(file).find("5e-2") == std::string::npos ? 0.1f : 0.05f,
                        mesh.texcoords[0].x);
        EXPECT_FLOAT_EQ(0.2f, mesh.texcoords[0].y);
    }
}

TEST_F(MeshFilesTest, WarpmapSpanningManyReadBlocks)
{
    // About 3 MB of text, read in blocks of 1 MiB: lines cross block edges,
    // and the header line is as long as a line may be.
    const uint32_t width = 300, height = 200;
    std::string text(calib::kMaxLineBytes - 1, 'h');
    text += "\n";
    char line[96];
    for (uint32_t r = 0; r < height; ++r) {
        for (uint32_t c = 0; c < width; ++c) {
            std::snprintf(line, sizeof line, "%u.125;%u.5;%u.25;0.75;%u;%u\n", c, r, c, c, r);
            text += line;
        }
    }
    ASSERT_EQ(KZ_OK, loadWarpmap(text));
    ASSERT_EQ(width, mesh.width);
    ASSERT_EQ(height, mesh.height);
    for (uint32_t i = 0; i < width * height; i += 997) {
        uint32_t c = i % width, r = i / width;
        SCOPED_TRACE(i);
        expectVec3({c + 0.125f, r + 0.5f, 0.0f}, mesh.vertices[i]);
        expectVec2({c + 0.25f, 0.75f}, mesh.texcoords[i]);
    }
    expectVec3({width - 1 + 0.125f, height - 1 + 0.5f, 0.0f}, mesh.vertices[width * height - 1]);

    // A data line up to the limit (extra fields are ignored).
    const std::string point = "0.5;0.25;0.1;0.2;0;0";
    std::string longLine = "h\n" + point + std::string(calib::kMaxLineBytes - point.size() - 2, ';') + "1\n";
    ASSERT_EQ(KZ_OK, loadWarpmap(longLine));
    expectVec3({0.5f, 0.25f, 0.0f}, mesh.vertices[0]);
}

TEST_F(MeshFilesTest, ScreenShapeFieldCounts)
{
    struct Case {
        const char* line;
        int flip;
        kzVec3f vertex;
        kzVec2f texcoord;
        kzVec3f normal, tangent;
        uint32_t width, height;
    } cases[] = {
        {"1;2;3;0.25;0.75;0;0", 0, {1, 3, -2}, {0.25f, 0.75f}, {0, 0, 0}, {0, 0, 0}, 1, 1},
        {"1;2;3;0.25;0.75;0;0", 1, {1, -2, -2}, {0.25f, 0.25f}, {0, 0, 0}, {0, 0, 0}, 1, 1},
        {"1;2;3;0.25;0.75;0;0;1;4;5", 0, {1, 3, -2}, {0.25f, 0.75f}, {0, 1, 0}, {0, 0, 0}, 5, 6},
        {"1;2;3;0.25;0.75;0;0;1;1;0;0;7;8", 0, {1, 3, -2}, {0.25f, 0.75f}, {0, 1, 0}, {1, 0, 0}, 8, 9},
        // 8 and 9 fields read as 7 (the extra middle fields are ignored),
        // 11 and 12 as 10; the indices are always the last two fields.
        {"1;2;3;0.25;0.75;9;2;3", 0, {1, 3, -2}, {0.25f, 0.75f}, {0, 0, 0}, {0, 0, 0}, 3, 4},
        {"1;2;3;0.25;0.75;9;9;2;3", 0, {1, 3, -2}, {0.25f, 0.75f}, {0, 0, 0}, {0, 0, 0}, 3, 4},
        {"1;2;3;0.25;0.75;0;0;1;9;2;3", 0, {1, 3, -2}, {0.25f, 0.75f}, {0, 1, 0}, {0, 0, 0}, 3, 4},
        {"1;2;3;0.25;0.75;0;0;1;9;9;2;3", 0, {1, 3, -2}, {0.25f, 0.75f}, {0, 1, 0}, {0, 0, 0}, 3, 4},
        // Fields past the thirteenth: the indices still come from the end.
        {"1;2;3;0.25;0.75;0;0;1;1;0;0;9;9;9;2;3", 0, {1, 3, -2}, {0.25f, 0.75f}, {0, 1, 0}, {1, 0, 0}, 3, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        // The case's point comes last; the grid before it is filled with
        // points that carry their own indices.
        std::string text = "x;y;z;u;v;...\n";
        for (uint32_t i = 0; i + 1 < c.width * c.height; ++i)
            text += "0;0;0;0;0;" + std::to_string(i % c.width) + ";" + std::to_string(i / c.width) + "\n";
        text += std::string(c.line) + "\n";
        ASSERT_EQ(KZ_OK, loadShape(text, c.flip));
        ASSERT_EQ(c.width, mesh.width);
        ASSERT_EQ(c.height, mesh.height);
        const uint32_t last = c.width * c.height - 1;
        expectVec3(c.vertex, mesh.vertices[last]);
        expectVec2(c.texcoord, mesh.texcoords[last]);
        expectVec3(c.normal, mesh.normals[last]);
        expectVec3(c.tangent, mesh.tangents[last]);
    }
}

TEST_F(MeshFilesTest, ScreenShapeKeepsLineOrder)
{
    ASSERT_EQ(KZ_OK, loadShape("h\n"
                               "0;0;0;0;0;0;0\n"
                               "1;0;0;1;0;1;0\n"
                               "0;0;1;0;1;0;1\n"
                               "1;0;1;1;1;1;1\n"));
    ASSERT_EQ(2u, mesh.width);
    ASSERT_EQ(2u, mesh.height);
    expectVec3({1, 0, 0}, mesh.vertices[1]);
    expectVec3({0, 1, 0}, mesh.vertices[2]);
    expectVec2({1, 1}, mesh.texcoords[3]);
}

struct FailureCase {
    const char* name;
    std::optional<std::string> text;  // none: no such file
};

// Every failure must leave the mesh exactly as it was.
TEST_F(MeshFilesTest, FailuresLeaveTheMeshUntouched)
{
    const FailureCase warpmapCases[] = {
        {"missing file", std::nullopt},
        {"empty file", ""},
        {"header only", "x;y;u;v;column;row\n"},
        {"header only, no line feed", "x;y;u;v;column;row"},
        {"five fields", "h\n0;0;0;0;0\n"},
        {"one field", "h\n0;0;0;0;0;0\nbroken\n"},
        {"separators only", "h\n;;;;;;\n"},
        {"too few points", "h\n0;0;0;0;0;0\n1;1;1;1;1;1\n"},
        {"too many points", "h\n0;0;0;0;0;0\n0;0;0;0;0;0\n"},
        {"width overflows 32 bits", "h\n0;0;0;0;4294967295;0\n"},
        {"negative index", "h\n0;0;0;0;-1;0\n"},
        {"area overflows 32 bits", "h\n0;0;0;0;65536;0\n0;0;0;0;0;65536\n"},
        {"indices repeat", "h\n0;0;0;0;0;0\n0;0;0;0;1;1\n0;0;0;0;0;0\n0;0;0;0;0;0\n"},
        {"a point given twice", "h\n0;0;0;0;0;0\n0;0;0;0;1;0\n0;0;0;0;1;0\n0;0;0;0;0;1\n"},
        {"columns listed before rows", "h\n0;0;0;0;0;0\n0;0;0;0;0;1\n0;0;0;0;1;0\n0;0;0;0;1;1\n"},
        {"a row skipped", "h\n0;0;0;0;0;0\n0;0;0;0;1;0\n0;0;0;0;0;2\n0;0;0;0;1;2\n"},
        {"last row cut short", "h\n0;0;0;0;0;0\n0;0;0;0;1;0\n0;0;0;0;0;1\n"},
        {"header line over the length limit",
         std::string(calib::kMaxLineBytes, 'h') + "\n0;0;0;0;0;0\n"},
        {"data line over the length limit",
         "h\n0;0;0;0;0;0" + std::string(calib::kMaxLineBytes, ';') + "\n"},
        {"endless line of zero bytes", "h\n" + std::string(3 * calib::kMaxLineBytes, '\0')},
    };
    const FailureCase shapeCases[] = {
        {"missing file", std::nullopt},
        {"header only", "h\n"},
        {"six fields", "h\n1;2;3;0.25;0.75;0\n"},
        {"too few points", "h\n1;2;3;0.25;0.75;1;1\n"},
        {"width overflows 32 bits", "h\n1;2;3;0.25;0.75;4294967295;0\n"},
    };
    auto check = [this](const FailureCase& c, bool warpmap) {
        SCOPED_TRACE(std::string(warpmap ? "warp map: " : "screen shape: ") + c.name);
        ASSERT_EQ(KZ_OK, kzCreateQuad(&mesh, false, false, 3.0f, 4.0f));
        const void* arrays[4] = {mesh.vertices, mesh.texcoords, mesh.normals, mesh.tangents};
        std::string path = c.text ? dir.write("bad.txt", *c.text) : dir.path() + "/missing.txt";
        kzResult result = warpmap ? kzLoadWarpmapFromFile(path.c_str(), &mesh, 1, 1)
                                  : kzLoadScreenShapeFromFile(path.c_str(), &mesh, 1);
        EXPECT_EQ(c.text ? KZ_ERROR_INVALID_DATA : KZ_ERROR_FILE, result);
        EXPECT_EQ(arrays[0], mesh.vertices);
        EXPECT_EQ(arrays[1], mesh.texcoords);
        EXPECT_EQ(arrays[2], mesh.normals);
        EXPECT_EQ(arrays[3], mesh.tangents);
        EXPECT_EQ(2u, mesh.width);
        EXPECT_EQ(2u, mesh.height);
        expectVec3({3.0f, 4.0f, 0.0f}, mesh.vertices[3]);
    };
    for (const FailureCase& c : warpmapCases)
        check(c, true);
    for (const FailureCase& c : shapeCases)
        check(c, false);
}

TEST_F(MeshFilesTest, ArgumentsAndUnreadablePaths)
{
    std::string good = dir.write("warp.txt", kGrid2x2);
    EXPECT_EQ(KZ_ERROR_INVALID_ARGUMENT, kzLoadWarpmapFromFile(good.c_str(), nullptr, 0, 0));
    EXPECT_EQ(KZ_ERROR_INVALID_ARGUMENT, kzLoadScreenShapeFromFile(good.c_str(), nullptr, 0));
    EXPECT_EQ(KZ_ERROR_INVALID_ARGUMENT, kzLoadWarpmapFromFile(nullptr, &mesh, 0, 0));
    EXPECT_EQ(KZ_ERROR_INVALID_ARGUMENT, kzLoadScreenShapeFromFile(nullptr, &mesh, 0));
    EXPECT_EQ(KZ_ERROR_FILE, kzLoadWarpmapFromFile(dir.path().c_str(), &mesh, 0, 0));
    EXPECT_EQ(KZ_ERROR_FILE, kzLoadScreenShapeFromFile(dir.path().c_str(), &mesh, 0));
    EXPECT_EQ(KZ_ERROR_FILE, kzLoadWarpmapFromFile("/dev/zero", &mesh, 0, 0));  // one endless line
    EXPECT_EQ(nullptr, mesh.vertices);
}

TEST_F(MeshFilesTest, WarpmapFromAPipe)
{
    // A pipe has no size to reserve from, so the arrays grow as points come.
    const uint32_t width = 64, height = 40;
    std::string text = "h\n";
    for (uint32_t i = 0; i < width * height; ++i)
        text += std::to_string(i) + ";0.5;0;0;" + std::to_string(i % width) + ";" +
                std::to_string(i / width) + "\n";
    std::string path = dir.path() + "/warp.fifo";
    ASSERT_EQ(0, mkfifo(path.c_str(), 0600));
    std::thread writer([&] {
        if (std::FILE* fifo = std::fopen(path.c_str(), "w")) {
            std::fwrite(text.data(), 1, text.size(), fifo);
            std::fclose(fifo);
        }
    });
    kzResult result = kzLoadWarpmapFromFile(path.c_str(), &mesh, 0, 0);
    writer.join();
    ASSERT_EQ(KZ_OK, result);
    ASSERT_EQ(width, mesh.width);
    ASSERT_EQ(height, mesh.height);
    EXPECT_EQ(float(width * height - 1), mesh.vertices[width * height - 1].x);
}

TEST_F(MeshFilesTest, ReloadingReplacesTheArrays)
{
    // Run under LeakSanitizer: every replaced array must be freed.
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(KZ_OK, loadWarpmap(kGrid2x2));
        ASSERT_EQ(KZ_OK, loadShape("h\n1;2;3;0.25;0.75;0;0\n"));
        ASSERT_EQ(1u, mesh.width);
        ASSERT_EQ(KZ_OK, kzCreateQuad(&mesh, false, false, 1.0f, 1.0f));
    }
    kzMesh moved = std::move(mesh);
    EXPECT_EQ(nullptr, mesh.vertices);
    EXPECT_EQ(0u, mesh.width);
    EXPECT_EQ(2u, moved.width);
    mesh = std::move(moved);
    EXPECT_EQ(2u, mesh.width);
}

}  // namespace
