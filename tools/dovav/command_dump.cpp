// dovav dump CONFIG OUT.txt: set up every channel of a configuration on a
// headless OpenGL context and write the library's context dump.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "arguments.h"
#include "commands.h"
#include "gl_harness.h"
#include "kzLib.h"
#include "result_text.h"

namespace dovav {

const char kDumpUsage[] =
    "usage: dovav dump [--size WIDTHxHEIGHT] CONFIG OUT.txt\n"
    "\n"
    "Creates an OpenGL 3.3 context without a window (Mesa's surfaceless EGL\n"
    "platform, software rendering when there is no GPU), loads the XML\n"
    "configuration CONFIG into a library context, makes every channel active in\n"
    "ascending order, so that its camera, masks and correction mesh are built,\n"
    "and writes the library's text dump of the context to OUT.txt: the OpenGL\n"
    "version, the context's settings and last error text, the channel table and\n"
    "what was built for each channel. A channel whose set-up fails is reported\n"
    "as a warning and the others go on; the dump shows what it left behind.\n"
    "\n"
    "options:\n"
    "  --size WIDTHxHEIGHT  output size passed with each channel (default 0x0);\n"
    "                       the dump records it, nothing else uses it\n"
    "\n"
    "exit status: 0 if OUT.txt was written, 1 if there is no OpenGL context, the\n"
    "configuration cannot be read or the dump cannot be written, 2 for a bad\n"
    "command line or a missing CONFIG.\n";

namespace {

// Every message the library writes while a channel is set up, in order.
class CollectedMessages {
public:
    CollectedMessages() { kzSetMessageCallback(collect, &messages_); }
    ~CollectedMessages() { kzSetMessageCallback(nullptr, nullptr); }
    CollectedMessages(const CollectedMessages&) = delete;
    CollectedMessages& operator=(const CollectedMessages&) = delete;

    const std::vector<std::string>& messages() const { return messages_; }

private:
    static void collect(kzMessageSeverity, const char* message, void* userData)
    {
        static_cast<std::vector<std::string>*>(userData)->push_back(message);
    }

    std::vector<std::string> messages_;
};

std::string errorText(kzContextOpenGL* context)
{
    char text[512] = {};
    kzGetErrorString(context, text, sizeof text - 1);
    return text;
}

bool startsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// Makes one channel active; prints what went wrong. True if it set up cleanly.
bool setUpChannel(kzContextOpenGL* context, unsigned channel, unsigned width, unsigned height)
{
    // A mask the configuration names but that does not load is told twice:
    // once as it fails to load, once as the context's error text.
    static const char kTextureFailure[] = "texture failed to load at path:";
    static const char kMaskMessage[] = "Failed to create texture from ";

    kzResult result;
    std::vector<std::string> messages;
    {
        CollectedMessages collected;
        result = kzSetActiveChannelOpenGL(context, channel, width, height);
        messages = collected.messages();
    }
    const std::string after = errorText(context);

    for (const std::string& message : messages) {
        if (startsWith(message, kTextureFailure)) {
            std::fprintf(stderr, "dovav dump: channel %u: warning: mask %s did not load; its pass stays off\n",
                         channel, message.c_str() + sizeof kTextureFailure - 1);
        } else if (!startsWith(message, kMaskMessage) && (result == KZ_OK || message != after)) {
            // Set-up goes on past a missing target rectangle and says so only here.
            std::fprintf(stderr, "dovav dump: channel %u: warning: %s\n", channel, message.c_str());
        }
    }
    if (result != KZ_OK) {
        std::fprintf(stderr, "dovav dump: channel %u: warning: set-up failed: %s: %s\n", channel,
                     describeResult(result).c_str(), after.c_str());
    }
    return result == KZ_OK && messages.empty();
}

struct ContextDeleter {
    void operator()(kzContextOpenGL* context) const { kzDestroyContextOpenGL(context); }
};

}  // namespace

// Any size a projector or a texture could have.
constexpr unsigned kLargestDumpSide = 65536;

int runDump(int argc, char** argv)
{
    static const char kExpected[] = "expected a configuration file and an output file";
    Arguments arguments("dump", argc, argv);
    unsigned width = 0;
    unsigned height = 0;
    std::vector<const char*> paths;
    while (!arguments.done()) {
        const char* size = nullptr;
        if (arguments.takeEndOfOptions())
            continue;
        if (arguments.takeOption("--size", size)) {
            if (!size || !parseSize(size, kLargestDumpSide, width, height)) {
                std::fprintf(stderr, "dovav dump: --size expects WIDTHxHEIGHT, such as 1920x1080\n");
                return kExitUsage;
            }
        } else if (!arguments.takePath(paths, 2, kExpected)) {
            return kExitUsage;
        }
    }
    if (paths.size() != 2)
        return arguments.usageError(kExpected);
    const char* config = paths[0];
    const char* output = paths[1];
    if (!arguments.canOpen(config))
        return kExitUsage;

    std::string reason;
    const std::unique_ptr<headless::GLContext> gl = headless::GLContext::create(&reason);
    if (!gl) {
        std::fprintf(stderr, "dovav dump: no OpenGL context: %s\n", reason.c_str());
        return kExitFailure;
    }
    kzContextOpenGL* created = nullptr;
    if (const kzResult result = kzCreateContextOpenGL(&created, KZ_TEXTURE_TARGET_2D); result != KZ_OK) {
        std::fprintf(stderr, "dovav dump: the library cannot use the OpenGL context: %s\n",
                     describeResult(result).c_str());
        return kExitFailure;
    }
    // Destroyed while the OpenGL context is still current, so that its GL objects go too.
    const std::unique_ptr<kzContextOpenGL, ContextDeleter> context(created);

    if (const kzResult result = kzLoadConfigurationFromFileOpenGL(context.get(), config); result != KZ_OK) {
        std::fprintf(stderr, "dovav dump: %s: %s: %s\n", config, describeResult(result).c_str(),
                     errorText(context.get()).c_str());
        return result == KZ_ERROR_FILE ? kExitUsage : kExitFailure;
    }
    if (const std::string warning = errorText(context.get()); !warning.empty())
        std::fprintf(stderr, "dovav dump: warning: %s\n", warning.c_str());

    size_t count = 0;
    kzGetChannels(context.get(), nullptr, &count);
    std::vector<unsigned> channels(count);
    kzGetChannels(context.get(), channels.data(), &count);
    size_t clean = 0;
    for (unsigned channel : channels) {
        if (setUpChannel(context.get(), channel, width, height)) {
            std::printf("channel %u: set up\n", channel);
            ++clean;
        }
    }

    errno = 0;
    if (const kzResult result = kzDumpContext(context.get(), output); result != KZ_OK) {
        const std::string problem = errno != 0 ? systemMessage(errno) : "";
        std::fprintf(stderr, "dovav dump: cannot write %s: %s%s%s\n", output,
                     describeResult(result).c_str(), problem.empty() ? "" : ": ", problem.c_str());
        return kExitFailure;
    }
    std::printf("wrote %s: %zu channel(s), %zu set up cleanly\n", output, channels.size(), clean);
    return kExitOk;
}

}  // namespace dovav
