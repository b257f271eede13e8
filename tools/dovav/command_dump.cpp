// dovav dump CONFIG OUT.txt: set up every channel of a configuration on a
// headless OpenGL context and write the library's context dump.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

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

// The library reports each mask it cannot read with a line on standard
// output, unconfigured masks included. Set-up runs with standard output
// diverted to a temporary file, and the lines are sorted out afterwards.
class CapturedOutput {
public:
    CapturedOutput()
    {
        std::fflush(stdout);
        file_ = std::tmpfile();
        saved_ = file_ ? ::dup(STDOUT_FILENO) : -1;
        if (saved_ < 0 || ::dup2(::fileno(file_), STDOUT_FILENO) < 0) {
            restore();  // nothing diverted: the lines go straight through
        }
    }
    ~CapturedOutput() { restore(); }
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;

    std::vector<std::string> finish()
    {
        std::vector<std::string> lines;
        if (!file_)
            return lines;
        std::fflush(stdout);
        ::dup2(saved_, STDOUT_FILENO);
        std::rewind(file_);
        std::string line;
        for (int c; (c = std::fgetc(file_)) != EOF;) {
            if (c != '\n') {
                line += char(c);
                continue;
            }
            lines.push_back(line);
            line.clear();
        }
        if (!line.empty())
            lines.push_back(line);
        restore();
        return lines;
    }

private:
    void restore()
    {
        if (saved_ >= 0) {
            std::fflush(stdout);
            ::dup2(saved_, STDOUT_FILENO);
            ::close(saved_);
            saved_ = -1;
        }
        if (file_) {
            std::fclose(file_);
            file_ = nullptr;
        }
    }

    std::FILE* file_ = nullptr;
    int saved_ = -1;
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
    static const char kTextureFailure[] = "texture failed to load at path:";
    static const char kMaskMessage[] = "Failed to create texture from ";

    const std::string before = errorText(context);
    CapturedOutput output;
    const kzResult result = kzSetActiveChannelOpenGL(context, channel, width, height);
    const std::vector<std::string> lines = output.finish();
    const std::string after = errorText(context);

    bool clean = result == KZ_OK;
    for (const std::string& line : lines) {
        if (!startsWith(line, kTextureFailure)) {
            std::printf("%s\n", line.c_str());
        } else if (line.size() > sizeof kTextureFailure - 1) {
            // An empty path is a mask that is not configured.
            std::fprintf(stderr, "dovav dump: channel %u: warning: mask %s did not load; its pass stays off\n",
                         channel, line.c_str() + sizeof kTextureFailure - 1);
            clean = false;
        }
    }
    if (result != KZ_OK) {
        std::fprintf(stderr, "dovav dump: channel %u: warning: set-up failed: %s: %s\n", channel,
                     describeResult(result).c_str(), after.c_str());
    } else if (after != before && !startsWith(after, kMaskMessage)) {
        // Set-up goes on past a missing target rectangle and says so only here.
        std::fprintf(stderr, "dovav dump: channel %u: warning: %s\n", channel, after.c_str());
        clean = false;
    }
    return clean;
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
