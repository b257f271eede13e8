// The message callback: what reaches it, from which entry points, and that
// it can be set and called through from several threads at once.

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/context_header.h"
#include "core/error_text.h"
#include "core/messages.h"
#include "kzLib.h"
#include "support/message_recorder.h"
#include "support/temp_dir.h"

namespace {

using namespace dovav::test;

TEST(MessageCallback, ReceivesSeverityAndTextAndReplacesStandardOutput)
{
    kzContextHeader header(KZ_CONTEXT_CONFIGURATION);
    {
        MessageRecorder recorder;
        testing::internal::CaptureStdout();
        kzLogMessage(KZ_MESSAGE_WARNING, "loader %d", 7);
        kzPrintMessage(KZ_MESSAGE_INFO, "printed %s", "before");
        kzSetErrorText(&header, kzErrorLimitOpenGL, "File %s not found", "x.xml");
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        const std::vector<std::pair<kzMessageSeverity, std::string>> expected = {
            {KZ_MESSAGE_WARNING, "loader 7"},
            {KZ_MESSAGE_INFO, "printed before"},
            {KZ_MESSAGE_ERROR, "File x.xml not found"},
        };
        EXPECT_EQ(recorder.messages(), expected);
    }
    // Without a callback only what the library always printed reaches standard output.
    testing::internal::CaptureStdout();
    kzLogMessage(KZ_MESSAGE_ERROR, "detail");
    kzPrintMessage(KZ_MESSAGE_ERROR, "texture failed to load at path:%s", "a.png");
    kzSetErrorText(&header, kzErrorLimitOpenGL, "quiet");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "texture failed to load at path:a.png\n");
}

TEST(MessageCallback, LongMessagesAreCutNotOverrun)
{
    MessageRecorder recorder;
    const std::string longText(5000, 'm');
    kzLogMessage(KZ_MESSAGE_INFO, "%s", longText.c_str());
    ASSERT_EQ(recorder.messages().size(), 1u);
    EXPECT_EQ(recorder.messages()[0].second, longText.substr(0, 1023));
}

// From inside the callback the library can be called: the messages that
// causes are dropped (a callback that always calls the library would else
// never return), and replacing the callback is refused.
TEST(MessageCallback, CallbackMayCallTheLibraryButNotReplaceItself)
{
    struct Inside {
        std::vector<std::string> messages;
        kzResult replaced = KZ_OK;
    } inside;
    ASSERT_EQ(kzSetMessageCallback(
                  [](kzMessageSeverity, const char* message, void* userData) {
                      auto& state = *static_cast<Inside*>(userData);
                      state.messages.push_back(message);
                      kzMesh mesh;
                      kzLoadWarpmapFromFile("/nonexistent/warp.csv", &mesh, 0, 0);
                      state.replaced = kzSetMessageCallback(nullptr, nullptr);
                  },
                  &inside),
              KZ_OK);
    kzLogMessage(KZ_MESSAGE_INFO, "outer");
    EXPECT_EQ(kzSetMessageCallback(nullptr, nullptr), KZ_OK);
    EXPECT_EQ(inside.replaced, KZ_ERROR_NOT_SUPPORTED);
    const std::vector<std::string> expected = {"outer"};
    EXPECT_EQ(inside.messages, expected);
}

// Threads log while another one keeps replacing the callback; once the
// callback is removed, it is never called again.
TEST(MessageCallback, SetAndCalledFromSeveralThreads)
{
    std::atomic<int> calls{0};
    auto count = [](kzMessageSeverity, const char*, void* userData) {
        static_cast<std::atomic<int>*>(userData)->fetch_add(1);
        kzLogMessage(KZ_MESSAGE_INFO, "from inside");  // dropped, not delivered again
    };
    std::atomic<bool> stop{false};
    std::vector<std::thread> loggers;
    for (int t = 0; t < 3; ++t) {
        loggers.emplace_back([&stop] {
            while (!stop.load())
                kzLogMessage(KZ_MESSAGE_INFO, "tick");
        });
    }
    ASSERT_EQ(kzSetMessageCallback(count, &calls), KZ_OK);
    while (calls.load() == 0)
        std::this_thread::yield();  // the loggers are delivering
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(kzSetMessageCallback(i % 2 ? nullptr : +count, &calls), KZ_OK);
    ASSERT_EQ(kzSetMessageCallback(nullptr, nullptr), KZ_OK);
    const int seen = calls.load();
    for (int i = 0; i < 1000; ++i)
        kzLogMessage(KZ_MESSAGE_INFO, "after");
    stop = true;
    for (std::thread& thread : loggers)
        thread.join();
    EXPECT_EQ(calls.load(), seen) << "no call after the callback was removed";
}

// Each loader tells why a file failed: which file, which line, what it expected.
TEST(MessageCallback, LoadersTellTheirReasons)
{
    TempDir dir;
    const std::string warpHeader = "x;y;u;v;column;row\n";
    const struct {
        const char* label;
        std::string file;  // written to the scratch directory ("" for a missing file)
        std::string contents;
        std::function<kzResult(const char*)> load;
        kzResult result;
        std::string message;  // "@" stands for the file's path
    } cases[] = {
        {"warp map, short line", "a.csv", warpHeader + "0;0;0;0;0;0\n0;0\n",
         [](const char* p) { kzMesh m; return kzLoadWarpmapFromFile(p, &m, 0, 0); }, KZ_ERROR_INVALID_DATA,
         "Warp map @, line 3: not a grid point"},
        {"warp map, points out of order", "b.csv", warpHeader + "0;0;0;0;0;0\n1;1;1;1;1;1\n",
         [](const char* p) { kzMesh m; return kzLoadWarpmapFromFile(p, &m, 0, 0); }, KZ_ERROR_INVALID_DATA,
         "Warp map @, line 3: point (column 1, row 1) where (column 1, row 0) was due; points go row "
         "by row, each once"},
        {"warp map, header only", "c.csv", warpHeader,
         [](const char* p) { kzMesh m; return kzLoadWarpmapFromFile(p, &m, 0, 0); }, KZ_ERROR_INVALID_DATA,
         "Warp map @ holds no grid points"},
        {"screen shape, short line", "d.csv", "h\n\n1;2;3;4;5;0\n",
         [](const char* p) { kzMesh m; return kzLoadScreenShapeFromFile(p, &m, 0); }, KZ_ERROR_INVALID_DATA,
         "Screen shape @, line 3: not a grid point"},
        {"camera, short data line", "e.csv", "h\n1;2;3\n",
         [](const char* p) { kzCamera c; return kzLoadCameraFromFile(p, &c); }, KZ_ERROR_INVALID_DATA,
         "Camera file @: the second line does not hold 16 fields"},
        {"target rectangle, header only", "f.csv", "h\n",
         [](const char* p) { kzTargetRect r; return kzLoadTargetRectFromFile(p, &r); }, KZ_ERROR_INVALID_DATA,
         "Target rectangle @: the second line does not hold 27 fields"},
        {"mask, missing", "", "",
         [](const char* p) { int w, h; return kzGetMaskImageSize(p, &w, &h); }, KZ_ERROR_FILE,
         "mask image @: No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string path = c.file.empty() ? dir.path() + "/missing" : dir.write(c.file, c.contents);
        std::string expected = c.message;
        expected.replace(expected.find('@'), 1, path);
        MessageRecorder recorder;
        EXPECT_EQ(c.load(path.c_str()), c.result);
        const std::vector<std::pair<kzMessageSeverity, std::string>> messages = {{KZ_MESSAGE_ERROR, expected}};
        EXPECT_EQ(recorder.messages(), messages);
    }
}

TEST(MessageCallback, ConfigurationParseErrorsTellTheParserReason)
{
    TempDir dir;
    const std::string path = dir.write("bad.xml", "<kzCorrection>\n<channel id=\"1\"\n");
    kzContextConfiguration* context = nullptr;
    ASSERT_EQ(kzCreateContextConfiguration(&context), KZ_OK);
    MessageRecorder recorder;
    EXPECT_EQ(kzLoadConfigurationFromFile(context, path.c_str()), KZ_ERROR_INVALID_DATA);
    const auto messages = recorder.messages();
    ASSERT_EQ(messages.size(), 2u) << recorder.text();
    EXPECT_EQ(messages[0].second.rfind("Configuration " + path + ": ", 0), 0u) << messages[0].second;
    EXPECT_EQ(messages[1].second, "Failed to load xml");
    EXPECT_EQ(kzDestroyContextConfiguration(context), KZ_OK);
}

}  // namespace
