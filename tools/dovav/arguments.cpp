#include "arguments.h"

#include <cstdio>
#include <cstring>

#include "commands.h"
#include "result_text.h"

namespace dovav {

Arguments::Arguments(const char* command, int argc, char** argv, bool joinedValues)
    : command_(command), argc_(argc), argv_(argv), joinedValues_(joinedValues)
{
}

bool Arguments::takeEndOfOptions()
{
    if (done() || !options_ || std::strcmp(argv_[next_], "--") != 0)
        return false;
    options_ = false;
    ++next_;
    return true;
}

bool Arguments::takeFlag(const char* name)
{
    if (done() || !options_ || std::strcmp(argv_[next_], name) != 0)
        return false;
    ++next_;
    return true;
}

bool Arguments::takeOption(const char* name, const char*& value)
{
    if (done() || !options_)
        return false;
    const char* argument = argv_[next_];
    const size_t length = std::strlen(name);
    if (std::strcmp(argument, name) == 0) {
        ++next_;
        value = done() ? nullptr : argv_[next_++];
        return true;
    }
    if (joinedValues_ && std::strncmp(argument, name, length) == 0 && argument[length] == '=') {
        ++next_;
        value = argument + length + 1;
        return true;
    }
    return false;
}

bool Arguments::takePositional(const char*& argument)
{
    if (done())
        return false;
    const char* next = argv_[next_];
    if (options_ && next[0] == '-' && next[1] != '\0')
        return false;
    argument = next;
    ++next_;
    return true;
}

bool Arguments::takePath(std::vector<const char*>& paths, size_t count, const char* expected)
{
    const char* path = nullptr;
    if (!takePositional(path)) {
        unknownOption();
        return false;
    }
    if (paths.size() == count) {
        usageError(expected);
        return false;
    }
    paths.push_back(path);
    return true;
}

std::string Arguments::optionName() const
{
    if (done())
        return "";
    const std::string argument = argv_[next_];
    if (!joinedValues_ || argument.compare(0, 2, "--") != 0)
        return argument;
    return argument.substr(0, argument.find('='));
}

int Arguments::unknownOption() const
{
    return usageError("unknown option '" + optionName() + "'");
}

int Arguments::usageError(const std::string& message) const
{
    std::fprintf(stderr, "dovav %s: %s (see dovav %s --help)\n", command_, message.c_str(), command_);
    return kExitUsage;
}

bool Arguments::canOpen(const char* path) const
{
    const std::string problem = openProblem(path);
    if (!problem.empty())
        std::fprintf(stderr, "dovav %s: %s: %s\n", command_, path, problem.c_str());
    return problem.empty();
}

namespace {

bool parseSide(const std::string& text, unsigned largest, unsigned& value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 9)
        return false;
    const unsigned long parsed = std::stoul(text);
    if (parsed < 1 || parsed > largest)
        return false;
    value = unsigned(parsed);
    return true;
}

}  // namespace

bool parseSize(const char* text, unsigned largest, unsigned& width, unsigned& height)
{
    const char* x = std::strchr(text, 'x');
    return x && parseSide(std::string(text, x), largest, width) && parseSide(x + 1, largest, height);
}

}  // namespace dovav
