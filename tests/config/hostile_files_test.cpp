// Files built to hurt the loaders: huge files of nothing, and files that
// change while they are read. Memory is measured as the peak resident size
// of a child process (whose address space is capped at a safe multiple of
// the budget), time by a bound far above what the refusal needs.

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "config/text_lines.h"
#include "core/context_header.h"
#include "kzLib.h"
#include "support/capped_child.h"
#include "support/temp_dir.h"

namespace {

using namespace dovav::test;

constexpr size_t kHugeFile = size_t(2) << 30;  // 2 GiB, sparse: no disk space
constexpr size_t kPeakBudget = size_t(300) << 20;
constexpr size_t kAddressSpaceCap = 4 * kPeakBudget;
constexpr double kTimeBudgetSeconds = 10.0;

struct HugeFileCase {
    const char* name;
    std::string head;  // written before the hole of zeros
    std::function<kzResult(const char* path)> load;
    kzResult expected;
};

kzResult loadWarpmap(const char* path)
{
    kzMesh mesh;
    return kzLoadWarpmapFromFile(path, &mesh, 0, 0);
}

kzResult loadScreenShape(const char* path)
{
    kzMesh mesh;
    return kzLoadScreenShapeFromFile(path, &mesh, 0);
}

kzResult loadCamera(const char* path)
{
    kzCamera camera;
    return kzLoadCameraFromFile(path, &camera);
}

kzResult loadConfiguration(const char* path)
{
    kzContextHeader context{KZ_CONTEXT_OPENGL};
    return kzLoadConfigurationFromFile(&context, path);
}

TEST(HostileFiles, HugeFilesAreRefusedInBoundedMemoryAndTime)
{
    const HugeFileCase cases[] = {
        {"warp map: header, then zeros without a line feed", "x;y;u;v;column;row\n", loadWarpmap,
         KZ_ERROR_INVALID_DATA},
        {"warp map: zeros from the first byte", "", loadWarpmap, KZ_ERROR_INVALID_DATA},
        {"warp map: a good point, then zeros", "h\n0;0;0;0;0;0\n", loadWarpmap, KZ_ERROR_INVALID_DATA},
        {"screen shape: header, then zeros", "h\n", loadScreenShape, KZ_ERROR_INVALID_DATA},
        {"camera: header, then zeros", "c\n", loadCamera, KZ_ERROR_INVALID_DATA},
        {"configuration of zeros", "", loadConfiguration, KZ_ERROR_INVALID_DATA},
        {"configuration: a good start, then zeros", "<kzCorrection><channel id=\"1\"/>",
         loadConfiguration, KZ_ERROR_INVALID_DATA},
    };
    TempDir dir;
    for (const HugeFileCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.writeSparse("huge", c.head, kHugeFile);
        const ChildOutcome outcome =
            runInMeasuredChild(kAddressSpaceCap, [&] { return int(c.load(path.c_str())); });
        ASSERT_TRUE(outcome.exited) << "the child was killed";
        EXPECT_EQ(int(c.expected), outcome.status);
        EXPECT_LT(outcome.peakBytes, kPeakBudget);
        EXPECT_LT(outcome.seconds, kTimeBudgetSeconds);
    }
    if (!childMemoryIsMeasured())
        GTEST_SKIP() << "sanitizer build: results checked, memory not measured";
}

// A file that another process rewrites between open and end of the read is
// refused, whichever way it changed.
TEST(HostileFiles, LineReaderNoticesAFileChangingUnderIt)
{
    const struct {
        const char* name;
        std::function<void(const std::string& path)> change;
    } cases[] = {
        {"grown", [](const std::string& path) {
             std::FILE* file = std::fopen(path.c_str(), "a");
             std::fputs("0;0;0;0;1;0\n", file);
             std::fclose(file);
         }},
        {"truncated and rewritten", [](const std::string& path) {
             std::FILE* file = std::fopen(path.c_str(), "w");
             std::fputs("h\n0;0;0;0;0;0\n", file);
             std::fclose(file);
         }},
        {"rewritten in place, same size", [](const std::string& path) {
             struct timespec later[2] = {{0, UTIME_OMIT}, {2000000000, 0}};
             std::FILE* file = std::fopen(path.c_str(), "r+");
             std::fputs("H", file);
             std::fclose(file);
             utimensat(AT_FDCWD, path.c_str(), later, 0);
         }},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.write("warp.txt", "h\n0;0;0;0;0;0\n0;0;0;0;1;0\n");
        calib::LineReader reader;
        ASSERT_EQ(KZ_OK, reader.open(path.c_str()));
        calib::Line line;
        ASSERT_TRUE(reader.next(line));
        c.change(path);
        while (reader.next(line)) {
        }
        EXPECT_FALSE(reader.unchanged());
        EXPECT_EQ(calib::LineError::changed, reader.error());
        EXPECT_EQ(KZ_ERROR_FILE, calib::reportLineError(reader, "Warp map", path.c_str()));
    }

    const std::string path = dir.write("still.txt", "h\n0;0;0;0;0;0\n");
    calib::LineReader reader;
    ASSERT_EQ(KZ_OK, reader.open(path.c_str()));
    calib::Line line;
    while (reader.next(line)) {
    }
    EXPECT_TRUE(reader.unchanged());
}

// A calibration tool rewriting the warp map while the library loads it:
// every load either gives the whole grid or fails, never a smaller grid.
// (A file that stands complete but smaller between two writes cannot be told
// from a good one; the writer here never leaves one.)
TEST(HostileFiles, WarpMapRewrittenDuringLoadsIsWholeOrRefused)
{
    const uint32_t width = 64, height = 64;
    std::string text = "x;y;u;v;column;row\n";
    for (uint32_t row = 0; row < height; ++row)
        for (uint32_t column = 0; column < width; ++column)
            text += "0.5;0.5;0.5;0.5;" + std::to_string(column) + ";" + std::to_string(row) + "\n";
    TempDir dir;
    const std::string path = dir.write("warp.txt", text);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        while (!stop) {
            // Truncated, then written in pieces that each end inside a line,
            // as a tool writing through a buffer does: no moment leaves a
            // whole smaller grid behind.
            std::FILE* file = std::fopen(path.c_str(), "w");
            size_t at = 0;
            while (at < text.size()) {
                size_t end = text.find('\n', std::min(text.size(), at + 3000));
                end = end == std::string::npos ? text.size() : std::min(text.size(), end + 5);
                std::fwrite(text.data() + at, 1, end - at, file);
                std::fflush(file);
                at = end;
            }
            std::fclose(file);
        }
    });
    int whole = 0;
    for (int i = 0; i < 300; ++i) {
        kzMesh mesh;
        if (kzLoadWarpmapFromFile(path.c_str(), &mesh, 0, 0) == KZ_OK) {
            EXPECT_EQ(width, mesh.width);
            EXPECT_EQ(height, mesh.height);
            ++whole;
        }
    }
    stop = true;
    writer.join();
    RecordProperty("whole_loads", whole);
}

}  // namespace
